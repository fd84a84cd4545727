// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InstrumentSession.h"

#include "DemoSimulator.h"
#include "cli/LinkWait.h"
#include "link/LinkTrace.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QString DevicePath(const QString &given)
{
    if (QDir::isAbsolutePath(given))
        return given;
    const QString here = QDir::current().absoluteFilePath(given);
    const QString underDev = QStringLiteral("/dev/") + given;
    return !QFileInfo::exists(here) && QFileInfo::exists(underDev) ? underDev
                                                                   : QDir::cleanPath(here);
}

InstrumentSession::InstrumentSession(const CliOptions &options, Clock *clock)
    : m_options(options), m_clock(clock ? *clock : m_systemClock)
{}

InstrumentSession::~InstrumentSession()
{
    // The link closes the port before the simulator at its far end stops.
    m_link.reset();
    m_port.reset();
    m_serialPort.reset();
    m_simulator.reset();
}

bool InstrumentSession::prepare(QString &error)
{
    if (m_options.demo) {
        const SimModel model = modelFromName(m_options.demoModel.isEmpty() ? QStringLiteral("ZQ5")
                                                                           : m_options.demoModel)
                                   .value_or(SimModel::ZQ5);
        m_simulator = DemoSimulator::startInTable(model, m_table, m_devicePort, error);
        if (!m_simulator)
            return false;
    }
    if (!m_options.device.isEmpty())
        m_devicePort = m_table.addDevice(DevicePath(m_options.device));
    m_table.addSystemPorts(PortTable::systemPorts());
    TracePorts(m_table.mapLines());
    m_serialPort = std::make_unique<QtSerialPort>(m_table);
    m_port = std::make_unique<TracingSerialPort>(*m_serialPort);
    m_link = std::make_unique<SensorLink>(*m_port, m_clock);
    return true;
}

int InstrumentSession::chosenPort() const
{
    return m_options.port > 0 ? m_options.port : m_devicePort;
}

QString InstrumentSession::forMessage(const QString &text) const
{
    static const QRegularExpression port(QStringLiteral("\\bCOM +(\\d+)"));
    QString result;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : port.globalMatch(text)) {
        const QString path = m_table.devicePath(match.captured(1).toInt());
        result += text.mid(from, match.capturedStart() - from) +
                  (path.isEmpty() ? match.captured() : path);
        from = match.capturedEnd();
    }
    return result + text.mid(from);
}

bool InstrumentSession::connect(QString &error)
{
    m_busy = false;
    int number = chosenPort();
    if (number == 0) {
        m_link->requestPortSearch(true, m_table.count(), {});
        waitForRequests();
        number = m_link->CommDefault();
        if (number < 1) {
            const auto &denied = m_link->deniedPorts();
            error = denied.isEmpty() ? QStringLiteral("no instrument answered on any serial port")
                                     : denied.first();
            return false;
        }
    }
    QString failure;
    const auto watch = QObject::connect(m_link.get(), &SensorLink::portSelectionFailed,
                                        [&failure](const QString &text) { failure = text; });
    m_link->setCommPort(number);
    QObject::disconnect(watch);
    if (!failure.isEmpty() || m_link->CommPort() == 0) {
        m_busy = m_serialPort->errorNumber() == SerialPort::ErrorPortAlreadyOpen;
        const QString path = m_table.devicePath(number);
        error = m_busy ? m_serialPort->errorDescription()
                       : QStringLiteral("cannot open ") + path + QStringLiteral(": ") +
                             forMessage(failure.isEmpty() ? m_link->Status() : failure);
        return false;
    }
    if (!connectNow()) {
        error = QStringLiteral("no instrument answered on ") + m_table.devicePath(number);
        return false;
    }
    return true;
}

bool InstrumentSession::waitFor(const std::function<void(SensorLink::Reply)> &request)
{
    bool succeeded = false;
    request([&succeeded](bool ok) { succeeded = ok; });
    waitForRequests();
    return succeeded;
}

bool InstrumentSession::connectNow()
{
    return waitFor([this](SensorLink::Reply done) { m_link->requestConnect(std::move(done)); });
}

bool InstrumentSession::readStatus()
{
    return waitFor([this](SensorLink::Reply done) { m_link->requestStatus(std::move(done)); });
}

bool InstrumentSession::readReadings()
{
    return waitFor([this](SensorLink::Reply done) { m_link->requestReadings(std::move(done)); });
}

void InstrumentSession::waitForRequests()
{
    if (m_link)
        RunLinkUntil(*m_link, {}, [] { return false; });
}
