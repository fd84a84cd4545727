// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/SensorLink.h"

#include "link/BusyFlagHold.h"
#include "link/Crc.h"
#include "link/Frame.h"
#include "link/StatusReplies.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr double HandshakeSeconds = 1.0;
constexpr double TextReplySeconds = 1.0;
// SendPacket: the header within 1 s of the request, the whole frame within 2 s.
constexpr double PacketHeaderSeconds = 1.0;
constexpr double PacketWholeSeconds = 2.0;
// SendPacket2 and WaitDataBlock: each part within 1 s of the one before.
constexpr double PacketPartSeconds = 1.0;
constexpr double BlockSeconds = 1.0;
constexpr double BlockExtensionSeconds = 0.1;
// While a packet wait lets window events run, it looks at them at least this often.
constexpr int EventSliceMs = 20;
// A byte on the line: 9600 baud, 11 bits with start, two stop bits and no parity.
constexpr double LineSecondsPerByte = 11.0 / 9600.0;
constexpr quint8 LargeDataBlockCommand = 0x16;
constexpr int StatusLineCount = 5;

QString fromBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

// True when a packet's header is in and checked and the rest of it is still to come.
bool awaitingRest(const FrameAssembler &reply)
{
    return reply.status() == FrameAssembler::Status::NeedMore && !reply.gatheringHeader();
}

bool endsWithTestPrompt(const QByteArray &reply)
{
    return reply.endsWith("TEST:");
}

} // namespace

SensorLink::SensorLink(SerialPort &port, Clock &clock, EventPump &pump, QObject *parent)
    : QObject(parent), m_port(port), m_clock(clock), m_pump(pump)
{
    // The line settings are fixed (9600 baud, 8 data bits, no parity, 2 stop bits, no
    // handshaking) and applied by the port on open; the modem lines start asserted.
    m_port.setDtr(true);
    m_port.setRts(true);
    m_dtrBox = m_port.dtr();
    InitCrcTable();
    m_port.setLostHandler([this] {
        noteLostPort();
        emit portLost();
    });
}

SensorLink::~SensorLink()
{
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

QStringList SensorLink::GetCommPorts(bool bConnect, int MaxPort)
{
    if (m_portList)
        return *m_portList;

    QStringList ports;
    for (int number = 1; number <= MaxPort; ++number) {
        m_port.clearError();
        if (!m_port.setPortNumber(number))
            continue;
        DelayMs(50);
        const bool opened = m_port.open();
        const int error = opened ? SerialPort::NoError : m_port.errorNumber();
        if (error == SerialPort::ErrorPermission)
            m_deniedPorts.insert(number, m_port.errorDescription());
        if (opened || error == SerialPort::ErrorPortAlreadyOpen ||
            error == SerialPort::ErrorPermission)
            ports.append(QStringLiteral("COM ") + QString::number(number));
        emit StatusMsg(QStringLiteral("Checking serial ports COM") + QString::number(number));
        if (m_port.isOpen() && error == SerialPort::NoError) {
            if (bConnect && m_commDefault == 0) {
                if (m_dtrBox)
                    m_port.setDtr(true);
                if (Connect())
                    m_commDefault = static_cast<int>(ports.size());
            } else {
                writeCommand(QByteArrayLiteral("R"));
            }
            m_port.setDtr(false);
            DelayMs(50);
        }
        if (m_port.isOpen())
            m_port.close();
    }
    m_portList = ports;
    return ports;
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
        m_status = QStringLiteral("No serial port selected");
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
        m_port.setDtr(m_dtrBox);
    }
}

void SensorLink::openChosenPort()
{
    m_port.setRts(true);
    m_port.setDtr(m_dtrBox);
    m_status = QStringLiteral("Opening COM ") + portDigits();
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

void SensorLink::setDTR(bool value)
{
    m_port.setDtr(value);
    if (m_dtrBox != value) {
        m_dtrBox = value;
        emit dtrBoxChanged(value);
    }
    DelayMs(50);
}

void SensorLink::setDtrBox(bool ticked)
{
    m_dtrBox = ticked;
    m_port.setDtr(ticked);
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
    // The port closed itself (the device went away).
    m_lostPort = m_port.portNumber();
    ++m_counters.portLosses;
    m_lostSinceConnect = true;
    m_connected = false;
    m_inTestMode = false;
    clearInstrumentFields();
    m_status = QStringLiteral("Lost COM ") + portDigits() + QStringLiteral(": ") +
               m_port.errorDescription();
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
    return m_port.read(m_readLimit);
}

void SensorLink::discardInput()
{
    if (!m_port.isOpen() || m_port.bytesWaiting() <= 0)
        return;
    // Nothing was asked since the last exchange ended: these bytes answer nothing.
    const auto dropped = static_cast<int>(m_port.read(0).size());
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
    int ms = static_cast<int>(std::ceil(remaining * 1000.0));
    if (letEventsRun)
        ms = std::min(ms, EventSliceMs);
    m_port.waitForReadyRead(std::max(ms, 1));
}

bool SensorLink::awaitCount(int needed, int &seen, double deadline)
{
    const int waiting = m_port.bytesWaiting();
    if (waiting <= seen) {
        waitForBytes(deadline, true);
        return false;
    }
    seen = waiting;
    const double due = std::min(deadline, now() + (needed - waiting) * LineSecondsPerByte);
    SleepLettingEventsRun(m_clock, m_pump, due, EventSliceMs, [this] { return m_port.isOpen(); });
    return due >= deadline;
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
    DelayMs(50);
    discardInput();

    const double startedAt = now();
    QByteArray latestChunk(1, '\0');
    writeCommand(QByteArrayLiteral("R"));
    // Each chunk replaces the one before: the prompt byte must end the latest chunk.
    while (latestChunk.back() != PromptByte && now() - startedAt < HandshakeSeconds &&
           m_port.isOpen()) {
        QByteArray chunk = readChunk();
        if (!chunk.isEmpty())
            latestChunk = chunk;
        else
            waitForBytes(startedAt + HandshakeSeconds);
    }

    if (!m_port.isOpen()) {
        noteLostPort();
    } else if (latestChunk.back() == PromptByte) {
        if (m_lostSinceConnect)
            ++m_counters.reconnects;
        m_lostSinceConnect = false;
        m_connected = true;
        const QString status = connectedStatus();
        if (!status.isEmpty())
            m_status = status;
    } else {
        ++m_counters.timeouts;
        m_connected = false;
        m_status = QStringLiteral("VTA1 not found on COM ") + portDigits();
        clearInstrumentFields();
    }
    DelayMs(50);
    return m_connected;
}

// ---------------------------------------------------------------------------------------
// Text commands

void SensorLink::gather(QByteArray &reply, double startedAt, double seconds,
                        const ReplyComplete &complete)
{
    do {
        const QByteArray chunk = readChunk();
        if (!chunk.isEmpty()) {
            reply += chunk;
            continue;
        }
        if (complete(reply) || now() - startedAt >= seconds || !m_port.isOpen())
            break;
        waitForBytes(startedAt + seconds);
    } while (!complete(reply) && now() - startedAt < seconds);
    if (!complete(reply) && m_port.isOpen())
        ++m_counters.timeouts;
}

bool SensorLink::GetStatus()
{
    if (m_active)
        return false;
    m_version.clear();
    m_units.clear();
    m_serialNumber.clear();
    m_logStatus.clear();
    m_power.clear();
    if (!Connect())
        return false;

    QByteArray reply;
    int lineEndsCounted = 0;
    {
        const BusyFlagHold busy(m_active);
        writeCommand(QByteArrayLiteral("I"));
        const double startedAt = now();
        qsizetype searchFrom = 0;
        // At most one CR is counted per read: several CRs that came together are counted
        // over the following (possibly empty) reads.
        while (now() - startedAt < TextReplySeconds && lineEndsCounted < StatusLineCount &&
               m_port.isOpen()) {
            const QByteArray chunk = readChunk();
            reply += chunk;
            // Line ends count only after the echo: a CR in noise before it is not a line.
            const auto echo = reply.indexOf('I');
            const auto cr =
                echo < 0 ? qsizetype(-1) : reply.indexOf('\r', std::max(searchFrom, echo + 1));
            if (cr >= 0) {
                ++lineEndsCounted;
                searchFrom = cr + 1;
                continue;
            }
            if (chunk.isEmpty())
                waitForBytes(startedAt + TextReplySeconds);
        }
    }

    if (lineEndsCounted < StatusLineCount && m_port.isOpen())
        ++m_counters.timeouts;
    m_infoString = StatusInfoText(reply);
    if (!m_port.isOpen()) {
        noteLostPort();
        return false;
    }
    // The reply counts only when its five lines were counted before the time ran out.
    const ParsedReply<StatusLines> parsed = ParseStatusReply(reply);
    if (lineEndsCounted < StatusLineCount || !parsed.ok()) {
        m_status = QStringLiteral("GetStatus command failed");
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
        m_status = status;
    return true;
}

bool SensorLink::GetReadings()
{
    if (m_active)
        return false;
    m_total = 0;
    m_diffuse = 0;
    m_sun = false;
    m_hasReadings = false;
    if (!Connect())
        return false;

    QByteArray reply;
    {
        const BusyFlagHold busy(m_active);
        writeCommand(QByteArrayLiteral("S"));
        gather(reply, now(), TextReplySeconds,
               // A CR in noise before the echo does not end the reply.
               [](const QByteArray &sofar) { return sofar.endsWith('\r') && sofar.contains('S'); });
    }

    if (!m_port.isOpen()) {
        noteLostPort();
        return false;
    }
    const ParsedReply<PlainReadings> parsed = ParseReadingsReply(reply);
    if (!parsed.ok()) {
        m_status = QStringLiteral("GetReadings command failed");
        return false;
    }
    m_total = parsed.value->total;
    m_diffuse = parsed.value->diffuse;
    m_sun = parsed.value->sun;
    m_hasReadings = true;
    return true;
}

bool SensorLink::enterTestMode(double seconds)
{
    writeCommand(QByteArrayLiteral("T"));
    QByteArray reply;
    gather(reply, now(), seconds, endsWithTestPrompt);
    return endsWithTestPrompt(reply);
}

bool SensorLink::SetUnits(int unitsCode)
{
    if (m_active)
        return false;
    if (!Connect())
        return false;

    QByteArray command("U");
    command.append(static_cast<char>('0' + unitsCode));
    const QByteArray expected = command + QByteArrayLiteral("OK\rTEST:");
    QByteArray reply;
    {
        const BusyFlagHold busy(m_active);
        if (!enterTestMode(TextReplySeconds)) {
            writeCommand(QByteArrayLiteral("R"));
            if (!notedIfLost())
                m_status = QStringLiteral("TEST: prompt missing");
            return false;
        }
        writeCommand(command);
        gather(reply, now(), TextReplySeconds, [&expected](const QByteArray &sofar) {
            return sofar.left(expected.size()) == expected;
        });
    }

    if (reply.left(expected.size()) != expected) {
        writeCommand(QByteArrayLiteral("R"));
        if (notedIfLost())
            return false;
        m_status = QStringLiteral("SetUnits command failed");
        return false;
    }
    return true;
}

QString SensorLink::TestCommand(const QString &command, int timeoutMs)
{
    if (m_active)
        return {};
    const double seconds = timeoutMs / 1000.0;

    // The flag is held only by a command that enters test mode itself; one sent while the
    // instrument already sits in test mode runs without it.
    std::optional<BusyFlagHold> busy;
    bool promptSeen = true;
    if (!m_inTestMode) {
        if (!Connect())
            return {};
        busy.emplace(m_active);
        promptSeen = enterTestMode(seconds);
    }

    if (promptSeen) {
        DelayMs(50);
        const QByteArray bytes = command.toLatin1();
        writeCommand(bytes);
        QByteArray reply;
        gather(reply, now(), seconds, endsWithTestPrompt);
        if (endsWithTestPrompt(reply) || bytes.startsWith('B')) {
            m_inTestMode = true;
            // The reply without its line end and "TEST:" prompt; a shorter reply (only
            // possible for a "B" command) gives empty text.
            return reply.size() >= 6 ? fromBytes(reply.chopped(6)) : QString();
        }
    }

    if (!notedIfLost())
        m_status = QStringLiteral("TEST: prompt missing");
    m_inTestMode = false;
    return {};
}

// ---------------------------------------------------------------------------------------
// Packets and data blocks

void SensorLink::writeFrame(quint8 command, quint32 address, quint8 n, const QByteArray &data)
{
    // The request goes out one byte per write, as the instrument expects it.
    const QByteArray frame =
        Frame::build(command, static_cast<quint16>(address & 0xFFFFu), n, data);
    ++m_counters.exchanges;
    for (const char byte : frame)
        writeBytes(QByteArray(1, byte));
}

void SensorLink::receivePart(FrameAssembler &reply, double startedAt, double seconds,
                             int readThreshold)
{
    const bool onHeader = reply.gatheringHeader();
    const auto partMissing = [&] {
        return reply.status() == FrameAssembler::Status::NeedMore &&
               reply.gatheringHeader() == onHeader && m_port.isOpen();
    };
    int seen = -1;
    bool lastLookDue = false;
    while (now() - startedAt < seconds && partMissing()) {
        if (m_port.bytesWaiting() >= readThreshold) {
            reply.feed(m_port.read(m_readLimit));
            seen = -1;
            lastLookDue = false;
        } else if (readThreshold == 1) {
            waitForBytes(startedAt + seconds, true);
        } else {
            lastLookDue = awaitCount(readThreshold, seen, startedAt + seconds);
        }
        m_pump.processEvents();
    }
    if (lastLookDue && partMissing() && m_port.bytesWaiting() >= readThreshold)
        reply.feed(m_port.read(m_readLimit));
    if (reply.status() == FrameAssembler::Status::NeedMore && m_port.isOpen() &&
        reply.gatheringHeader() == onHeader)
        ++m_counters.timeouts;
    if (reply.status() == FrameAssembler::Status::Invalid)
        ++m_counters.crcFailures;
}

bool SensorLink::connectForPacket()
{
    if (m_connected)
        return true;
    if (!Connect())
        return false;
    DelayMs(10);
    return true;
}

QByteArray SensorLink::SendPacket(quint8 command, quint32 address, quint8 n, const QByteArray &data)
{
    if (m_active)
        return {};
    if (!connectForPacket())
        return {};
    discardInput();
    writeFrame(command, address, n, data);

    // Whatever is waiting is read as soon as a byte is there; the whole frame must be in
    // within 2 s of the request, its header within 1 s.
    FrameAssembler reply(FrameAssembler::Layout::Packet);
    const double startedAt = now();
    receivePart(reply, startedAt, PacketHeaderSeconds, 1);
    if (awaitingRest(reply))
        receivePart(reply, startedAt, PacketWholeSeconds, 1);
    if (reply.status() == FrameAssembler::Status::Frame)
        return reply.bytes();
    m_connected = false;
    notedIfLost();
    return {};
}

bool SensorLink::SendPacket2(quint8 &command, quint32 &address, quint8 &n, QByteArray &data)
{
    if (m_active) {
        m_lastPacketFailure = QStringLiteral("the link is busy");
        return false;
    }
    const BusyFlagHold busy(m_active);
    if (!connectForPacket()) {
        m_lastPacketFailure = QStringLiteral("no answer to the handshake");
        return false;
    }
    discardInput();
    writeFrame(command, address, n, data);

    FrameAssembler reply(FrameAssembler::Layout::Packet);
    const bool received = receiveCountedFrame(reply);
    m_lastPacketFailure = reply.reason();
    if (!received)
        return false;
    const QByteArray &frame = reply.bytes();
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

bool SensorLink::receiveCountedFrame(FrameAssembler &reply)
{
    const auto receiveNextPart = [&] {
        m_readLimit = reply.partSize();
        receivePart(reply, now(), PacketPartSeconds, reply.partSize());
    };
    const bool onHeader = reply.gatheringHeader();
    receiveNextPart();
    // After a packet's header, its rest once; a part that did not come ends the wait.
    if (onHeader && awaitingRest(reply))
        receiveNextPart();
    m_readLimit = 0;
    if (reply.status() == FrameAssembler::Status::Frame)
        return true;
    m_connected = false;
    notedIfLost();
    return false;
}

void SensorLink::noteFailedReply(const QString &why)
{
    m_status = why;
    qCInfo(lcLink, "reply refused: %s", qUtf8Printable(why));
}

bool SensorLink::RequestDataBlock(quint32 address, int length)
{
    if (m_active)
        return false;
    const BusyFlagHold busy(m_active);
    if (!connectForPacket())
        return false;
    QByteArray data;
    data.append(static_cast<char>(length & 0xFF));
    data.append(static_cast<char>((length >> 8) & 0xFF));
    writeFrame(LargeDataBlockCommand, address, 2, data);
    return true;
}

bool SensorLink::WaitDataBlock(quint32 address)
{
    if (m_active || !m_connected)
        return false;
    const BusyFlagHold busy(m_active);
    FrameAssembler reply(FrameAssembler::Layout::Acknowledgement);
    if (!receiveCountedFrame(reply))
        return false;
    return Frame::byteAt(reply.bytes(), 1) == LargeDataBlockCommand &&
           Frame::readLe16(reply.bytes(), 2) == (address & 0xFFFFu);
}

bool SensorLink::GetDataBlock(int n, QByteArray &data)
{
    const int blockSize = n + 2; // data and CRC
    const auto lastIndex = data.size() - 1;
    m_readLimit = blockSize;
    // Each read moves the start of the 1 s window on by 0.1 s.
    double windowStart = now();
    qsizetype stored = 0;
    int seen = -1;
    bool lastLookDue = false;
    const auto storeRead = [&] {
        const QByteArray chunk = m_port.read(m_readLimit);
        for (const char byte : chunk) {
            if (stored > lastIndex)
                break;
            data[stored] = byte;
            // The byte stored at the array's last place is not counted; the rest of the
            // read is dropped.
            if (stored == lastIndex)
                break;
            ++stored;
        }
        windowStart += BlockExtensionSeconds;
        seen = -1;
        lastLookDue = false;
    };
    while (stored < blockSize && now() - windowStart < BlockSeconds && m_port.isOpen()) {
        if (m_port.bytesWaiting() >= blockSize)
            storeRead();
        else
            lastLookDue = awaitCount(blockSize, seen, windowStart + BlockSeconds);
        m_pump.processEvents();
    }
    if (lastLookDue && stored < blockSize && m_port.isOpen() && m_port.bytesWaiting() >= blockSize)
        storeRead();
    const quint16 crc = CalcCrc(data.constData(), std::min(stored, data.size()));
    m_readLimit = 0;
    return stored == blockSize && crc == 0;
}
