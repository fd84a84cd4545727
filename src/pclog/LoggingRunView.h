// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTime>

// What a logging run needs from the window it runs in: the user's choices, the places it
// shows its state and the timer that drives it.
class LoggingRunView
{
public:
    virtual ~LoggingRunView() = default;

    virtual bool individualSensors() const = 0; // "Individual sensors" ticked
    virtual bool logToFile() const = 0;         // "Log to file" ticked
    virtual void clearLogToFile() = 0;
    virtual QString logPeriodText() const = 0;
    virtual QString avgPeriodText() const = 0;
    // The main window's test-menu flag: chip temperature and sensor spread shown.
    virtual bool testMenuFlag() const = 0;
    // The file's lines carry ISO 8601 times with the UTC offset instead of the locale's.
    virtual bool isoTimes() const { return false; }

    // The status bar: the link's status, and the clock and messages.
    virtual void showLinkStatus(const QString &text) = 0;
    virtual void showMessage(const QString &text) = 0;
    // Appends text (lines ended by CR LF) to the output box.
    virtual void appendOutput(const QString &text) = 0;
    virtual void showHeading(const QString &text) = 0;
    // Logging: the start button becomes the stop button and the choices are locked;
    // idle: the other way round.
    virtual void showLogging(bool logging) = 0;
    // Lays the window out again, with the log file's name in its title when one is used.
    virtual void layoutWindow() = 0;
    virtual void showPlainTitle() = 0;
    // A run-time failure: a message box with "Error: " and the description.
    virtual void showRunTimeError(const QString &description) = 0;
    // A period's line could not be written to the log file: the run has stopped.
    virtual void showWriteFailure(const QString &description) { showRunTimeError(description); }
    // The computer's clock was set by stepSeconds (not a change of summer time): the
    // period it cut was written and the schedule follows the clock from `at` on. Shown
    // until the next start.
    virtual void showClockStep(qint64 stepSeconds, const QTime &at) = 0;
    // Another instrument answers on the port after a loss: the run has written what it
    // had under the old heading and stops; the text names both instruments.
    virtual void showInstrumentChange(const QString &text) = 0;

    virtual void startTimer(int intervalMs) = 0;
    virtual void stopTimer() = 0;
    virtual bool timerEnabled() const = 0;
};
