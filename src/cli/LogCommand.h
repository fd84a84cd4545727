// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/ConsoleLogging.h"
#include "cli/InstrumentCommands.h"
#include "cli/Journal.h"
#include "cli/OutputFileDialogs.h"
#include "link/Lifetime.h"
#include "pclog/LogFileWriter.h"

#include <functional>
#include <memory>

class Clock;
class InstrumentSession;
class LoggingRun;
class SensorLink;

// The log file's name for another instrument: its serial number before the extension
// ("station.txt" and 8585 give "station-8585.txt"); characters a file name cannot carry
// become "_".
QString InstrumentPath(const QString &path, const QString &serialNumber);

// The log command's run on a link and a clock: the logging window's LoggingRun on the
// console, a new file at midnight for a dated --output, and a new file, named with its
// serial number, when another instrument answers on the port after a loss.
class LogSession
{
public:
    // `describe` turns the link's texts into the words of a message ("COM 1" as its device).
    LogSession(const CliOptions &options, SensorLink &link, Clock &clock, Console &console,
               std::function<QString(const QString &)> describe = {});
    ~LogSession();
    LogSession(const LogSession &) = delete;
    LogSession &operator=(const LogSession &) = delete;

    // Starts the run; false when its file could not be made. With individual sensors the
    // run starts once the calibration has come (the link's requests have ended).
    bool start();
    // One tick of the timer: the port opened again when its device is back, the run's
    // tick, and the file changed for a new day or another instrument. `ended` hears, once
    // the tick's requests have ended, whether the run goes on (false once it has stopped
    // or its file failed). A tick that falls due while the last one's requests run makes
    // one with those after it, run when the link is free.
    void tick(std::function<void(bool goOn)> ended);
    void stop();

    ConsoleLoggingView &view() { return m_view; }
    bool isLogging() const;
    const QString &path() const { return m_path; }

private:
    // The path for today, with the serial number of another instrument when one came.
    QString pathNow() const;
    void startRun(LogFileWriter::Opener opener);
    // The run's tick has ended: the file of another instrument, and whether to go on.
    bool tickEnded();

    const CliOptions &m_options;
    SensorLink &m_link;
    Clock &m_clock;
    Console &m_console;
    std::function<QString(const QString &)> m_describe;
    Journal m_journal;
    ConsoleLoggingView m_view;
    OutputFileDialogs m_dialogs;
    std::unique_ptr<LoggingRun> m_run;
    QString m_path;
    // The serial number the file names, once another instrument came.
    QString m_serialNumber;
    // The device was gone at the last tick.
    bool m_lost = false;
    // A tick fell due while the link was busy, and the `ended` of the last one that did.
    bool m_tickDue = false;
    std::function<void(bool)> m_dueTickEnded;
    Lifetime m_lifetime;
};

// Logging on the computer as the logging window does it (the same LoggingRun, schedule,
// averaging and file), until --duration, SIGINT or SIGTERM, with a new file at midnight
// for a dated --output and the port opened again when the device comes back.
int RunLogCommand(const CliOptions &options, InstrumentSession &session, Console &console,
                  InterruptWatch &interrupts);
