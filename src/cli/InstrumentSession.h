// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "link/SensorLink.h"
#include "link/TracingSerialPort.h"
#include "platform/PortTable.h"
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"

#include <QString>

#include <functional>
#include <memory>

class DemoSimulator;

// The instrument as the command line names it: the port table (the built-in simulator,
// the --device path, the system's ports), the real serial port with the link's trace,
// the computer's clock and the one SensorLink that
// every command uses, as the windows do.
class InstrumentSession
{
public:
    // `clock` stands in for the computer's clock when given (tests fix the time files are
    // made at).
    explicit InstrumentSession(const CliOptions &options, Clock *clock = nullptr);
    ~InstrumentSession();
    InstrumentSession(const InstrumentSession &) = delete;
    InstrumentSession &operator=(const InstrumentSession &) = delete;

    // Builds the port table, starting the simulator for --demo. False, with the reason,
    // when the simulator cannot start.
    bool prepare(QString &error);
    const PortTable &table() const { return m_table; }

    // Opens the chosen port (--device, --port, --demo; otherwise the first port where an
    // instrument answers) and shakes hands. False, with the reason, when no port opens or
    // no instrument answers.
    bool connect(QString &error);

    // The last connect failed because another program holds the port.
    bool busy() const { return m_busy; }
    // What the serial port found worth telling at the last open (a stale lock), once.
    QString takeNotice() { return m_serialPort ? m_serialPort->takeNotice() : QString(); }

    // A text of the link for a message: "COM 1" as the device path it stands for.
    QString forMessage(const QString &text) const;
    // forMessage() as a function, for the classes that word messages without the session.
    std::function<QString(const QString &)> messageWords() const
    {
        return [this](const QString &text) { return forMessage(text); };
    }

    // Runs the event loop until the link's queued requests have ended: the command line's
    // one place to wait for them.
    void waitForRequests();
    // A queued request, waited for: whether it succeeded.
    bool waitFor(const std::function<void(SensorLink::Reply)> &request);
    // The handshake, the status and the readings, each waited for.
    bool connectNow();
    bool readStatus();
    bool readReadings();
    SensorLink &link() { return *m_link; }
    Clock &clock() { return m_clock; }

private:
    // The port number the options name, 0 when the instrument is to be searched for.
    int chosenPort() const;

    const CliOptions &m_options;
    std::unique_ptr<DemoSimulator> m_simulator;
    PortTable m_table;
    SystemClock m_systemClock;
    Clock &m_clock;
    std::unique_ptr<QtSerialPort> m_serialPort;
    std::unique_ptr<TracingSerialPort> m_port;
    std::unique_ptr<SensorLink> m_link;
    int m_devicePort = 0;
    bool m_busy = false;
};

// The --device path as given, taken relative to the working folder; a bare name that is
// no file there ("ttyUSB0") is looked for under /dev.
QString DevicePath(const QString &given);
