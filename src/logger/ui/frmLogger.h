// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/DatasetDownload.h"
#include "logger/LoggerControl.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"
#include "logger/LoggerState.h"
#include "logger/ui/frmLoggerControls.h"
#include "platform/ui/GuiFileDialogs.h"
#include "platform/ui/GuiProgramLauncher.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>

class Clock;
class EventPump;
class QDialog;
class SensorLink;
class UserPrompts;

// The built-in logger window ("Logger"): shows the logger's details, clock and clock
// offset, program, dataset extent and download position, keeps the clock and the
// next-record time moving between reads, draws the memory bar and estimates when memory
// will be full. It borrows the link from the main window and gives the instrument back
// when it closes.
class frmLogger : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int TimerIntervalMs = 1000;
    // Pause before each packet once the window has loaded.
    static constexpr int LoadedPacketDelayMs = 25;

    // `giveBack` runs when the window closes: it shows the main window and restarts its
    // poll.
    frmLogger(SensorLink &link, Clock &clock, EventPump &pump, UserPrompts &prompts,
              std::function<void()> giveBack = {}, QWidget *parent = nullptr);
    ~frmLogger() override;

    // Loads the window: shows it and reads the logger's details. Runs by itself the
    // first time the window is shown. A close asked for meanwhile waits for its end.
    void Form_Load();

    // Reads and shows everything. A tick or a close that comes while the read lets
    // window events run waits for the read to end.
    void GetLoggerDetails();
    void DrawMemoryBar();
    void CalculateMemoryFull();
    // Logging on: "Stop logging", and the program cannot be changed; off: "Start Logging".
    void ShowLoggingState(bool logging);

    // The clock and next-record tick, every second.
    QTimer Timer1;
    void Timer1_Timer();
    // Starts Timer1 again after an operation that stopped it, unless the last read could
    // not get the logger's clock (the clock would then be the computer's, shifted by a
    // stale offset).
    void resumeTimer1();

    void cmdRefresh_Click();
    void cmdSetTime_Click();
    void cmdStartLogging_Click();
    void cmdDownload_Click();
    void cboRdg_Click();
    void cboAvg_Click();

    // Changes to the logger, each one packet whose outcome the next read shows: the
    // clock (days), a start of logging at logger time `start` with the program chosen in
    // the lists and the overwrite box.
    void SetLoggerTime(double loggerTime);
    void StartLogging(double start);
    // Starts the download into `strFile` (see DatasetDownload) with `view` showing the
    // progress; tells the user when the file cannot be created. The outcome comes to
    // `done` from the event loop, unless the transfer returned is destroyed first.
    std::unique_ptr<DatasetDownload> DownloadAll(bool bStart, bool bAll, bool bRequestAhead,
                                                 const QString &strFile, DownloadView &view,
                                                 DatasetDownload::Done done);

    // How the window's own dialogs are shown (modal; tests answer them in place), the
    // file dialog, the launcher of the dataset viewer and the folder it looks in, and how
    // dataset files are created.
    std::function<void(QDialog &)> runDialog = ShowModal;
    FileDialogs *fileDialogs = &m_guiFileDialogs;
    ProgramLauncher *launcher = &m_guiLauncher;
    QString programFolder;
    DatasetFile::Opener datasetOpener = DatasetFile::OpenReplacingFile;
    static void ShowModal(QDialog &dialog);

    // What the last read found: the clock offset, and the logger's program, status and
    // dataset, or why they are unknown.
    const LoggerDetails &details() const { return m_details; }
    LoggerPackets &packets() { return m_packets; }
    SensorLink &link() { return m_link; }
    UserPrompts &prompts() { return m_prompts; }
    const LoggerControls &controls() const { return m_ui; }
    bool clockRead() const { return m_details.clockOffset.has_value(); }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FillAverageList();
    // Selects a list entry as the program does, running the list's handler even when the
    // entry was already selected; a negative index changes nothing.
    void selectReadingPeriod(int index);
    void selectAveragePeriod(int index);

    // Closes the window when a close was asked for while it was busy.
    void closeIfAsked();
    void StopLogging();
    // Disables the window's controls while one of its dialogs runs (the dialog itself
    // stays usable).
    void setControlsEnabled(bool enabled);
    void showDetails(const LoggerDetailsView &view);
    void showLoggerTime(const LoggerDetailsView &view);
    void showProgram(const LoggerState &state);
    // No program: the lists without a choice, the bar empty.
    void showUnknownProgram();
    // The logger's state when the last read knew it; otherwise tells the user, naming
    // `action`, that a successful read is needed first, and gives nothing.
    LoggerState *knownStateFor(const QString &action);
    void setStatusText(const QString &text);
    double computerNow() const;

    SensorLink &m_link;
    Clock &m_clock;
    EventPump &m_pump;
    UserPrompts &m_prompts;
    std::function<void()> m_giveBack;
    LoggerPackets m_packets;
    LoggerDetailsReader m_reader;
    LoggerDetails m_details;
    LoggerControls m_ui;

    bool m_loaded = false;
    bool m_loading = false;
    bool m_reading = false;
    bool m_closePending = false;

    LoggerControl m_control{m_link};
    GuiFileDialogs m_guiFileDialogs{this};
    GuiProgramLauncher m_guiLauncher;
    // What the status bar says after a download, once the details have been read again.
    QString m_downloadStatus;
};
