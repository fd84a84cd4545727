// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pclog/LoggingRunView.h"

#include <QString>
#include <QTextStream>
#include <QTimer>

#include <utility>

struct CliOptions;

// The logging window's part played on the console: the choices come from the command
// line, the lines of each period go to standard output, messages and errors to standard
// error, and a QTimer drives the run's ticks as the window's timer does.
class ConsoleLoggingView : public LoggingRunView
{
public:
    ConsoleLoggingView(const CliOptions &options, QTextStream &out, QTextStream &err);

    bool individualSensors() const override { return m_individual; }
    bool logToFile() const override { return m_logToFile; }
    void clearLogToFile() override;
    QString logPeriodText() const override { return m_logPeriod; }
    QString avgPeriodText() const override { return m_avgPeriod; }
    bool testMenuFlag() const override { return false; }
    bool isoTimes() const override { return m_isoTimes; }

    void showLinkStatus(const QString &text) override;
    void showMessage(const QString &text) override;
    void appendOutput(const QString &text) override;
    void showHeading(const QString &text) override;
    void showLogging(bool) override {}
    void layoutWindow() override {}
    void showPlainTitle() override {}
    void showRunTimeError(const QString &description) override;
    // The log file failed: the command ends with the file's failure.
    void showWriteFailure(const QString &description) override;
    // A setting of the clock is told on standard error unless quiet.
    void showClockStep(qint64 stepSeconds, const QTime &at) override;
    // Kept for the log command, which goes on in a file of the other instrument's.
    void showInstrumentChange(const QString &text) override { m_instrumentChange = text; }
    QString takeInstrumentChange() { return std::exchange(m_instrumentChange, QString()); }

    void startTimer(int intervalMs) override;
    void stopTimer() override { m_timer.stop(); }
    bool timerEnabled() const override { return m_timer.isActive(); }

    QTimer &timer() { return m_timer; }
    // The last message the run showed (why a start was refused).
    const QString &lastMessage() const { return m_lastMessage; }
    // The log file could not be opened or written.
    bool fileFailed() const { return m_fileFailed; }

private:
    bool m_individual;
    bool m_logToFile;
    QString m_logPeriod;
    QString m_avgPeriod;
    bool m_isoTimes;
    int m_verbosity;
    QTextStream &m_out;
    QTextStream &m_err;
    QTimer m_timer;
    QString m_lastStatus;
    QString m_lastMessage;
    bool m_fileFailed = false;
    QString m_instrumentChange;
};
