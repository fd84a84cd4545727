// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/SensorLink.h"

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

// Bytes dropped that answered nothing the link asked for: counted and traced.
void countUnasked(LinkCounters &counters, int dropped)
{
    counters.unaskedBytes += dropped;
    qCInfo(lcLink, "dropped %d unasked bytes (%d in this run)", dropped, counters.unaskedBytes);
}

bool failed(const ExchangeStep &step)
{
    return step.state != ExchangeStep::State::Done;
}

} // namespace

SensorLink::SensorLink(SerialPort &port, Clock &clock, QObject *parent)
    : QObject(parent), m_port(port), m_clock(clock), m_alarm(clock.makeAlarm()),
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
        if (m_blocksAsked == 0)
            countUnasked(m_counters, count);
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

void SensorLink::startAfresh(int dropped)
{
    // Bytes dropped while a requested block was outstanding are its bytes, not unasked
    // ones; either way the link starts afresh and awaits no block any more.
    const bool blockAsked = m_blocksAsked > 0;
    m_blocksAsked = 0;
    if (dropped > 0 && !blockAsked)
        countUnasked(m_counters, dropped);
}

bool SensorLink::writeCommand(const QByteArray &bytes)
{
    ++m_counters.exchanges;
    return m_port.isOpen() && m_port.write(bytes);
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

// ---------------------------------------------------------------------------------------
// Handshake

void SensorLink::applyHandshake(const ExchangeStep &step)
{
    // What came while the line settled answers nothing; what came after the prompt the
    // driver hands to the command that follows, as it would on the line.
    startAfresh(step.unaskedBytes);
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

bool SensorLink::applyPacket(const ExchangeStep &step)
{
    if (!failed(step) && m_port.isOpen())
        return true;
    applyFailure(step);
    m_connected = false;
    notedIfLost();
    return false;
}

void SensorLink::noteFailedReply(const QString &why)
{
    setStatus(why);
    qCInfo(lcLink, "reply refused: %s", qUtf8Printable(why));
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
