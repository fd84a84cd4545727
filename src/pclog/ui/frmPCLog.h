// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pclog/LogFileWriter.h"
#include "pclog/LoggingRun.h"
#include "pclog/LoggingRunView.h"
#include "pclog/OutputText.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class Clock;
class FileDialogs;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class SensorLink;
class UserPrompts;

// "Vantlog": logging on the computer. The user picks how often a reading is taken and
// how often readings are averaged, optionally ticks "Individual sensors" and "Log to
// file", and starts; the timer then takes the readings and writes a line of averages per
// period to the output box and the log file. The window object lives for the whole run
// (the calibration factors and the last file name are kept); its controls start afresh
// at every opening (Form_Load).
class frmPCLog : public QWidget, private LoggingRunView
{
    Q_OBJECT

public:
    // What the window needs from the main window that opened it.
    struct Host
    {
        // The main window's test-menu flag ("/E").
        std::function<bool()> testMenuFlag;
        // Shows the main window again and restarts its poll.
        std::function<void()> takeBack;
    };

    frmPCLog(SensorLink &link, Clock &clock, UserPrompts &prompts, FileDialogs &dialogs, Host host,
             LogFileWriter::Opener opener = LogFileWriter::OpenReplacingFile,
             QWidget *parent = nullptr);
    ~frmPCLog() override;

    // Puts every control back to its design state (done at every opening).
    void Form_Load();

    void cboLog_Click();
    void cmdLog_Click();
    void Timer1_Timer();

    // The output box's text, lines ended by CR LF.
    const QString &outputText() const { return m_output.text(); }
    QString panel1Text() const;
    QString panel2Text() const;
    LoggingRun &run() { return m_run; }

    QLabel *Label1;
    QComboBox *cboLog;
    QLabel *Label2;
    QComboBox *cboAvg;
    QCheckBox *chkIndividual;
    QCheckBox *chkFile;
    QPushButton *cmdLog;
    QFrame *Line1;
    QLabel *lblHeading;
    QPlainTextEdit *txtOut;
    QStatusBar *StatusBar1;
    QTimer Timer1;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void layoutControls();
    void Form_Unload();
    void fitTableWidth(const QString &row);

    // LoggingRunView
    bool individualSensors() const override;
    bool logToFile() const override;
    void clearLogToFile() override;
    QString logPeriodText() const override;
    QString avgPeriodText() const override;
    bool testMenuFlag() const override;
    void showLinkStatus(const QString &text) override;
    void showMessage(const QString &text) override;
    void appendOutput(const QString &text) override;
    void showHeading(const QString &text) override;
    void showLogging(bool logging) override;
    void layoutWindow() override;
    void showPlainTitle() override;
    void showRunTimeError(const QString &description) override;
    void showClockStep(qint64 stepSeconds, const QTime &at) override;
    void showInstrumentChange(const QString &text) override;
    void startTimer(int intervalMs) override;
    void stopTimer() override;
    bool timerEnabled() const override;

    UserPrompts &m_prompts;
    Host m_host;
    LoggingRun m_run;
    OutputText m_output;
    QLabel *m_panel1;
    QLabel *m_panel2;
    // The last setting of the clock during this run, shown after the link's status.
    QString m_clockStepNote;
};
