// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/SensorLink.h"

#include "link/BusyFlagHold.h"
#include "link/Crc.h"
#include "link/Frame.h"
#include "link/HandshakeExchange.h"
#include "link/LinkDriver.h"
#include "link/PacketExchange.h"
#include "link/UnitsExchange.h"
#include "platform/Alarm.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// While a packet or block wait lets window events run, it looks at them at least this often.
constexpr int EventSliceMs = 20;
// A byte on the line: 9600 baud, 11 bits with start, two stop bits and no parity.
constexpr double LineSecondsPerByte = 11.0 / 9600.0;

bool failed(const ExchangeStep &step)
{
    return step.state != ExchangeStep::State::Done;
}

} // namespace

SensorLink::SensorLink(SerialPort &port, Clock &clock, EventPump &pump, QObject *parent)
    : QObject(parent), m_port(port), m_clock(clock), m_pump(pump), m_alarm(clock.makeAlarm()),
      m_driver(std::make_unique<LinkDriver>(port, clock, *m_alarm, m_counters))
{
    // The line settings are fixed (9600 baud, 8 data bits, no parity, 2 stop bits, no
    // handshaking) and applied by the port on open; the modem lines start asserted.
    m_port.setDtr(true);
    m_port.setRts(true);
    m_dtrOnOpen = m_port.dtr();
    InitCrcTable();
    m_driver->setDropHandler([this](int count) {
        // The rest of a block asked for ahead that nobody reads any more is no news.
        if (m_blocksAsked > 0)
            return;
        m_counters.unaskedBytes += count;
        qCInfo(lcLink, "dropped %d unasked bytes (%d in this run)", count, m_counters.unaskedBytes);
    });
    m_port.setLostHandler([this] {
        noteLostPort();
        // A queued request that was waiting for a reply ends now, not at its time limit.
        m_driver->portClosed();
        emit portLost();
    });
}

SensorLink::~SensorLink()
{
    // The driver goes first: it gives back the port's and the alarm's handlers.
    m_driver.reset();
    m_port.setLostHandler({});
    if (m_port.isOpen()) {
        m_port.setRts(false);
        m_port.close();
    }
}

// ---------------------------------------------------------------------------------------
// Port handling

int SensorLink::CommPort() const
{
    return m_port.isOpen() ? m_port.portNumber() : 0;
}

QString SensorLink::portDigits() const
{
    return QString::number(m_port.portNumber());
}

void SensorLink::setCommPort(int Port)
{
    const int previous = CommPort();
    if (m_port.isOpen()) {
        m_port.setRts(false);
        m_port.setDtr(false);
        m_port.close();
    }
    m_connected = false;
    m_inTestMode = false;
    m_lostPort = 0;

    if (Port <= 0) {
        setStatus(QStringLiteral("No serial port selected"));
        clearInstrumentFields();
        return;
    }

    m_port.clearError();
    if (m_port.setPortNumber(Port) && m_port.open()) {
        openChosenPort();
        return;
    }

    const int error = m_port.errorNumber();
    if (error == SerialPort::ErrorPortAlreadyOpen) {
        emit portSelectionFailed(QStringLiteral("COM  ") + QString::number(Port) +
                                 QStringLiteral(" is in use by another application"));
    } else {
        emit portSelectionFailed(QStringLiteral("Error ") + QString::number(error) +
                                 QStringLiteral(" ") + m_port.errorDescription());
    }
    if (previous > 0 && m_port.setPortNumber(previous) && m_port.open()) {
        m_port.setRts(true);
        m_port.setDtr(m_dtrOnOpen);
    }
}

void SensorLink::openChosenPort()
{
    m_port.setRts(true);
    m_port.setDtr(m_dtrOnOpen);
    setStatus(QStringLiteral("Opening COM ") + portDigits());
}

bool SensorLink::reopenLostPort()
{
    if (m_lostPort == 0 || m_port.isOpen())
        return false;
    m_port.clearError();
    if (!m_port.setPortNumber(m_lostPort) || !m_port.open())
        return false;
    m_lostPort = 0;
    openChosenPort();
    return true;
}

void SensorLink::setDtr(bool asserted)
{
    m_dtrOnOpen = asserted;
    m_port.setDtr(asserted);
}

void SensorLink::clearInstrumentFields()
{
    m_version.clear();
    m_units.clear();
    m_power.clear();
    m_logStatus.clear();
    m_total = 0;
    m_diffuse = 0;
    m_sun = false;
    m_hasReadings = false;
}

QString SensorLink::connectedStatus() const
{
    // "ZQ5  1234 connected on COM 3": the model name and its blank, one more blank,
    // the serial number. Empty when the version has no blank after its first character.
    const auto blank = m_version.indexOf(QLatin1Char(' '));
    if (blank < 1)
        return {};
    return m_version.left(blank + 1) + QStringLiteral(" ") + m_serialNumber +
           QStringLiteral(" connected on COM ") + portDigits();
}

void SensorLink::noteLostPort()
{
    // The port closed itself (the device went away); a loss already noted is not
    // counted again when the exchange that met it ends.
    if (m_lostPort != 0 && !m_port.isOpen())
        return;
    m_lostPort = m_port.portNumber();
    ++m_counters.portLosses;
    m_lostSinceConnect = true;
    m_connected = false;
    m_inTestMode = false;
    clearInstrumentFields();
    setStatus(QStringLiteral("Lost COM ") + portDigits() + QStringLiteral(": ") +
              m_port.errorDescription());
}

bool SensorLink::notedIfLost()
{
    if (m_port.isOpen())
        return false;
    noteLostPort();
    return true;
}

// ---------------------------------------------------------------------------------------
// Low-level reading and waiting

QByteArray SensorLink::readChunk()
{
    if (!m_port.isOpen() || m_port.bytesWaiting() <= 0)
        return {};
    return m_port.read(0);
}

void SensorLink::discardInput()
{
    const QByteArray carried = std::exchange(m_carried, {});
    const QByteArray waiting = readChunk();
    startAfresh(static_cast<int>(carried.size() + waiting.size()));
}

void SensorLink::startAfresh(int dropped)
{
    // Bytes dropped while a requested block was outstanding are its bytes, not unasked
    // ones; either way the link starts afresh and awaits no block any more.
    const bool blockAsked = m_blocksAsked > 0;
    m_blocksAsked = 0;
    if (dropped <= 0 || blockAsked)
        return;
    m_counters.unaskedBytes += dropped;
    qCInfo(lcLink, "dropped %d unasked bytes (%d in this run)", dropped, m_counters.unaskedBytes);
}

void SensorLink::waitForBytes(double deadline, bool letEventsRun)
{
    if (!m_port.isOpen())
        return;
    // At least a millisecond: a deadline met to the last rounding error must still move
    // time on, or the caller's "time left" test could loop for ever.
    const double remaining = std::max(deadline - now(), 0.001);
    // Whole milliseconds, not one more for the rounding error of a difference of times.
    int ms = static_cast<int>(std::ceil(remaining * 1000.0 - 1e-6));
    if (letEventsRun)
        ms = std::min(ms, EventSliceMs);
    m_port.waitForReadyRead(std::max(ms, 1));
}

bool SensorLink::sleptForMissingBytes(const ExchangeStep &step, bool letEventsRun,
                                      bool bytesCameLast)
{
    if (!letEventsRun || !bytesCameLast || step.awaiting <= 1)
        return false;
    const double due = now() + step.awaiting * LineSecondsPerByte;
    if (due >= step.deadline)
        return false;
    SleepLettingEventsRun(m_clock, m_pump, due, EventSliceMs, [this] { return m_port.isOpen(); });
    return true;
}

bool SensorLink::writeBytes(const QByteArray &bytes)
{
    return m_port.isOpen() && m_port.write(bytes);
}

bool SensorLink::writeCommand(const QByteArray &bytes)
{
    ++m_counters.exchanges;
    return writeBytes(bytes);
}

void SensorLink::writeSteps(const QList<QByteArray> &writes)
{
    if (writes.isEmpty())
        return;
    ++m_counters.exchanges;
    for (const QByteArray &bytes : writes)
        writeBytes(bytes);
}

ExchangeStep SensorLink::run(Exchange &exchange, bool letEventsRun)
{
    int unasked = 0;
    QByteArray input = std::exchange(m_carried, {});
    bool bytesCameLast = !input.isEmpty();
    ExchangeStep step = exchange.start(now());
    for (;;) {
        unasked += step.unaskedBytes;
        writeSteps(step.send);
        if (step.finished())
            break;
        if (!m_port.isOpen()) {
            step = ExchangeStep::failed(ExchangeStep::Failure::None,
                                        QStringLiteral("the port closed"));
            break;
        }
        if (input.isEmpty() && !sleptForMissingBytes(step, letEventsRun, bytesCameLast)) {
            input = readChunk();
            if (input.isEmpty())
                waitForBytes(step.deadline, letEventsRun);
        }
        if (input.isEmpty())
            input = readChunk();
        bytesCameLast = !input.isEmpty();
        step = exchange.feed(std::exchange(input, {}), now());
        if (letEventsRun)
            m_pump.processEvents();
    }
    step.unaskedBytes = unasked;
    return step;
}

void SensorLink::applyFailure(const ExchangeStep &step)
{
    if (!m_port.isOpen())
        return;
    if (step.failure == ExchangeStep::Failure::TimedOut)
        ++m_counters.timeouts;
    else if (step.failure == ExchangeStep::Failure::BadCheck) {
        ++m_counters.crcFailures;
        TraceNote(QStringLiteral("CRC failure"), step.reason);
    }
    if (failed(step))
        qCInfo(lcLink, "exchange failed: %s", qUtf8Printable(step.reason));
}

void SensorLink::DelayMs(float ms)
{
    if (!(ms > 0))
        return;
    // The end time on the signed 32-bit millisecond counter; when it lies beyond the
    // counter's top, first wait for the counter to wrap, then for the end time.
    qint64 end = static_cast<qint64>(m_clock.msCounter()) + static_cast<qint64>(std::ceil(ms));
    constexpr qint64 top = std::numeric_limits<qint32>::max();
    constexpr qint64 wrap = qint64(1) << 32;
    if (end > top) {
        end -= wrap;
        while (static_cast<qint64>(m_clock.msCounter()) >= end) {
            const qint64 untilWrap = top - m_clock.msCounter() + 1;
            m_clock.sleepMs(static_cast<double>(std::max<qint64>(1, untilWrap)));
        }
    }
    while (static_cast<qint64>(m_clock.msCounter()) < end)
        m_clock.sleepMs(static_cast<double>(end - m_clock.msCounter()));
}

// ---------------------------------------------------------------------------------------
// Handshake

bool SensorLink::Connect()
{
    m_inTestMode = false;
    if (!m_port.isOpen()) {
        m_connected = false;
        return false;
    }
    const BusyFlagHold busy(m_active);
    HandshakeExchange handshake;
    applyHandshake(run(handshake));
    return m_connected;
}

void SensorLink::applyHandshake(const ExchangeStep &step)
{
    // What came while the line settled answers nothing; what came after the prompt stays
    // for the command that follows, as it would on the line.
    startAfresh(step.unaskedBytes);
    m_carried = step.surplus;
    if (!m_port.isOpen()) {
        noteLostPort();
    } else if (!failed(step)) {
        if (m_lostSinceConnect)
            ++m_counters.reconnects;
        m_lostSinceConnect = false;
        m_connected = true;
        const QString status = connectedStatus();
        if (!status.isEmpty())
            setStatus(status);
    } else {
        applyFailure(step);
        m_connected = false;
        setStatus(QStringLiteral("VTA1 not found on COM ") + portDigits());
        clearInstrumentFields();
    }
}

// ---------------------------------------------------------------------------------------
// Text commands

bool SensorLink::busy() const
{
    return m_active || !m_driver->idle();
}

void SensorLink::clearStatusFields()
{
    m_version.clear();
    m_units.clear();
    m_serialNumber.clear();
    m_logStatus.clear();
    m_power.clear();
}

void SensorLink::clearReadings()
{
    m_total = 0;
    m_diffuse = 0;
    m_sun = false;
    m_hasReadings = false;
}

bool SensorLink::GetStatus()
{
    if (busy())
        return false;
    clearStatusFields();
    if (!Connect())
        return false;

    StatusExchange exchange;
    ExchangeStep step;
    {
        const BusyFlagHold busy(m_active);
        step = run(exchange);
    }
    return applyStatus(exchange, step);
}

bool SensorLink::applyStatus(const StatusExchange &exchange, const ExchangeStep &step)
{
    m_infoString = StatusInfoText(exchange.statusReply());
    if (notedIfLost())
        return false;
    applyFailure(step);
    const ParsedReply<StatusLines> parsed = exchange.status();
    if (failed(step) || !parsed.ok()) {
        setStatus(QStringLiteral("GetStatus command failed"));
        return false;
    }
    const StatusLines &lines = *parsed.value;
    m_version = lines.version;
    m_units = lines.units;
    m_power = lines.power;
    m_serialNumber = lines.serialNumber;
    m_logStatus = lines.logStatus;

    const QString status = connectedStatus();
    if (!status.isEmpty())
        setStatus(status);
    return true;
}

bool SensorLink::GetReadings()
{
    if (busy())
        return false;
    clearReadings();
    if (!Connect())
        return false;

    ReadingsExchange exchange;
    ExchangeStep step;
    {
        const BusyFlagHold busy(m_active);
        step = run(exchange);
    }
    return applyReadings(exchange, step);
}

bool SensorLink::applyReadings(const ReadingsExchange &exchange, const ExchangeStep &step)
{
    if (notedIfLost())
        return false;
    applyFailure(step);
    const ParsedReply<PlainReadings> parsed = exchange.readings();
    if (failed(step) || !parsed.ok()) {
        setStatus(QStringLiteral("GetReadings command failed"));
        return false;
    }
    m_total = parsed.value->total;
    m_diffuse = parsed.value->diffuse;
    m_sun = parsed.value->sun;
    m_hasReadings = true;
    return true;
}

bool SensorLink::SetUnits(int unitsCode)
{
    if (busy())
        return false;
    if (!Connect())
        return false;

    UnitsExchange exchange(unitsCode);
    ExchangeStep step;
    {
        const BusyFlagHold busy(m_active);
        step = run(exchange);
    }
    return applyUnits(step);
}

bool SensorLink::applyUnits(const ExchangeStep &step)
{
    if (notedIfLost())
        return false;
    applyFailure(step);
    if (!failed(step))
        return true;
    // "TEST: prompt missing" or "SetUnits command failed"; "R" has gone out.
    setStatus(step.reason);
    return false;
}

QString SensorLink::TestCommand(const QString &command, int timeoutMs)
{
    if (busy())
        return {};
    const double seconds = timeoutMs / 1000.0;

    // The flag is held only by a command that enters test mode itself; one sent while the
    // instrument already sits in test mode runs without it.
    std::optional<BusyFlagHold> busy;
    const bool entersTestMode = !m_inTestMode;
    if (entersTestMode) {
        if (!Connect())
            return {};
        busy.emplace(m_active);
    }
    TestCommandExchange exchange(command.toLatin1(), seconds, entersTestMode);
    const ExchangeStep step = run(exchange);
    busy.reset();
    return applyTestCommand(exchange, step);
}

QString SensorLink::applyTestCommand(const TestCommandExchange &exchange, const ExchangeStep &step)
{
    if (!failed(step) && m_port.isOpen()) {
        m_inTestMode = true;
        return exchange.text();
    }
    if (!notedIfLost()) {
        applyFailure(step);
        setStatus(QStringLiteral("TEST: prompt missing"));
    }
    m_inTestMode = false;
    return {};
}

// ---------------------------------------------------------------------------------------
// Packets and data blocks

bool SensorLink::connectForPacket()
{
    if (m_connected)
        return true;
    if (!Connect())
        return false;
    DelayMs(10);
    return true;
}

bool SensorLink::applyPacket(const ExchangeStep &step)
{
    m_carried = step.surplus;
    if (!failed(step) && m_port.isOpen())
        return true;
    applyFailure(step);
    m_connected = false;
    notedIfLost();
    return false;
}

QByteArray SensorLink::SendPacket(quint8 command, quint32 address, quint8 n, const QByteArray &data)
{
    if (busy())
        return {};
    if (!connectForPacket())
        return {};
    discardInput();
    // Whatever is waiting is read as soon as a byte is there; the whole frame must be in
    // within 2 s of the request, its header within 1 s.
    PacketExchange exchange(command, address, n, data,
                            PacketExchange::Timing::WholeWithinTwoSeconds);
    if (!applyPacket(run(exchange, true)))
        return {};
    return exchange.frame();
}

bool SensorLink::SendPacket2(quint8 &command, quint32 &address, quint8 &n, QByteArray &data)
{
    if (busy()) {
        m_lastPacketFailure = QStringLiteral("the link is busy");
        return false;
    }
    const BusyFlagHold busy(m_active);
    if (!connectForPacket()) {
        m_lastPacketFailure = QStringLiteral("no answer to the handshake");
        return false;
    }
    discardInput();
    PacketExchange exchange(command, address, n, data,
                            PacketExchange::Timing::EachPartWithinASecond);
    // A block request answered this way is followed by its block.
    if (command == DataBlockExchange::Command)
        ++m_blocksAsked;
    const ExchangeStep step = run(exchange, true);
    m_lastPacketFailure = step.reason;
    if (!applyPacket(step))
        return false;
    const QByteArray &frame = exchange.frame();
    const int length = Frame::byteAt(frame, 4);
    command = Frame::byteAt(frame, 1);
    address = Frame::readLe16(frame, 2);
    n = static_cast<quint8>(length);
    if (data.size() < length)
        data.resize(length);
    for (int i = 0; i < length; ++i)
        data[i] = frame.at(Frame::HeaderSize + i);
    return true;
}

void SensorLink::noteFailedReply(const QString &why)
{
    setStatus(why);
    qCInfo(lcLink, "reply refused: %s", qUtf8Printable(why));
}

bool SensorLink::RequestDataBlock(quint32 address, int length)
{
    if (busy())
        return false;
    const BusyFlagHold busy(m_active);
    if (!connectForPacket())
        return false;
    writeSteps(DataBlockExchange::requestWrites(address, length));
    ++m_blocksAsked;
    return true;
}

bool SensorLink::WaitDataBlock(quint32 address)
{
    if (busy() || !m_connected)
        return false;
    const BusyFlagHold busy(m_active);
    using Stage = DataBlockExchange::Stage;
    DataBlockExchange exchange(address, 0, {Stage::Acknowledgement, Stage::Acknowledgement, {}});
    return applyAcknowledgement(run(exchange, true));
}

bool SensorLink::applyAcknowledgement(const ExchangeStep &step)
{
    m_carried = step.surplus;
    if (notedIfLost()) {
        m_connected = false;
        return false;
    }
    applyFailure(step);
    // An acknowledgement of another block is a whole frame: the link stays connected.
    if (failed(step) && step.failure != ExchangeStep::Failure::Refused)
        m_connected = false;
    return !failed(step);
}

bool SensorLink::GetDataBlock(int n, QByteArray &data)
{
    using Stage = DataBlockExchange::Stage;
    DataBlockExchange exchange(0, n, {Stage::Block, Stage::Block, {}});
    return applyBlock(exchange, run(exchange, true), n, data);
}

bool SensorLink::applyBlock(const DataBlockExchange &exchange, const ExchangeStep &step, int n,
                            QByteArray &data)
{
    m_carried = step.surplus;
    m_blocksAsked = std::max(0, m_blocksAsked - 1);
    if (notedIfLost())
        return false;
    applyFailure(step);
    // The caller's array holds the block and its CRC with one element to spare.
    if (failed(step) || data.size() < n + 3)
        return false;
    std::copy(exchange.block().cbegin(), exchange.block().cend(), data.begin());
    return true;
}

void SensorLink::setStatus(const QString &text)
{
    // Every status the window shows is in the trace, once when it changes.
    if (text != m_status)
        TraceNote(QStringLiteral("status"), text);
    m_status = text;
}

void SensorLink::countRetry()
{
    ++m_counters.retries;
    TraceNote(
        QStringLiteral("retry"),
        QStringLiteral("the exchange is tried again (%1 in this run)").arg(m_counters.retries));
}
