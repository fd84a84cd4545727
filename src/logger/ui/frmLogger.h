// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Lifetime.h"
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

#include <deque>
#include <functional>

class Clock;
class QDialog;
class SensorLink;
class UserPrompts;

// The built-in logger window ("Logger"): shows the logger's details, clock and clock
// offset, program, dataset extent and download position, keeps the clock and the
// next-record time moving between reads, draws the memory bar and estimates when memory
// will be full. It borrows the link from the main window and gives the instrument back
// when it closes.
//
// Each of its dealings with the logger (a read, setting the clock, starting or stopping
// logging, the download's reads) is a sequence of requests queued on the link, whose end
// is shown when it comes; the window never waits for the instrument. The sequences run one
// at a time: a click while one runs waits for it and then runs, in the order clicked. The
// window shows the busy pointer meanwhile.
class frmLogger : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int TimerIntervalMs = 1000;
    // Pause before each packet once the window has loaded.
    static constexpr int LoadedPacketDelayMs = 25;

    // `giveBack` runs when the window closes: it shows the main window and restarts its
    // poll.
    frmLogger(SensorLink &link, Clock &clock, UserPrompts &prompts,
              std::function<void()> giveBack = {}, QWidget *parent = nullptr);
    ~frmLogger() override;

    // Loads the window: shows it and reads the logger's details. Runs by itself the
    // first time the window is shown.
    void Form_Load();

    // Reads and shows everything, in its turn.
    void GetLoggerDetails();
    // A sequence runs or waits.
    bool busy() const { return m_busy; }
    void DrawMemoryBar();
    void CalculateMemoryFull();
    // Logging on: "Stop logging", and the program cannot be changed; off: "Start Logging".
    void ShowLoggingState(bool logging);

    // The clock and next-record tick, every second.
    QTimer Timer1;
    void Timer1_Timer();
    // Starts Timer1 again after an operation that stopped it, unless the last read could
    // not get the logger's clock (the clock would then be the computer's, shifted by a
    // stale offset) or the window has closed.
    void resumeTimer1();

    void cmdRefresh_Click();
    void cmdSetTime_Click();
    void cmdStartLogging_Click();
    void cmdDownload_Click();
    void cboRdg_Click();
    void cboAvg_Click();

    // Starts the download into `strFile` (see DatasetDownload) with `view` showing the
    // progress; tells the user when the file cannot be created. The outcome comes to
    // `done` from the event loop, unless the transfer returned is destroyed first.
    std::unique_ptr<DatasetDownload> DownloadAll(bool bStart, bool bAll, bool bRequestAhead,
                                                 const QString &strFile, DownloadView &view,
                                                 DatasetDownload::Done done);

    // How the window's own dialogs are shown (tests answer them in place): the clock and
    // start dialogs window-modal without an event loop of their own, the window going on
    // when they have finished; the download's modal, returning when it has closed. Then the
    // file dialog, the launcher of the dataset viewer and the folder it looks in, and how
    // dataset files are created.
    std::function<void(QDialog &)> openDialog = OpenWindowModal;
    std::function<void(QDialog &)> runDialog = ShowModal;
    FileDialogs *fileDialogs = &m_guiFileDialogs;
    ProgramLauncher *launcher = &m_guiLauncher;
    QString programFolder;
    DatasetFile::Opener datasetOpener = DatasetFile::OpenReplacingFile;
    static void OpenWindowModal(QDialog &dialog);
    static void ShowModal(QDialog &dialog);

    // What the last read found: the clock offset, and the logger's program, status and
    // dataset, or why they are unknown.
    const LoggerDetails &details() const { return m_details; }
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

    // A sequence of the window's: it calls `finished` once its last request has ended.
    using Sequence = std::function<void(std::function<void()> finished)>;
    // Runs `sequence` now when no other runs, otherwise after those asked for before it.
    void runInTurn(Sequence sequence);
    void startNextSequence();
    // Queues a read of the details; `then` runs once they are shown.
    void readDetails(std::function<void()> then);
    // Reads while the details are unknown, `reads` times at most, then runs `then`.
    void readUntilKnown(int reads, std::function<void()> then);
    // A change sent to the logger has been answered (or not): the details are read again
    // to show what the logger does, and a change that failed says why in the status bar.
    void readAfterChange(const QString &action, const ParsedReply<QByteArray> &reply,
                         std::function<void()> finished);
    // The end of every button's sequence: the clock goes on, the next sequence runs.
    void endOfButton(std::function<void()> finished);
    void setTimeInTurn(std::function<void()> finished);
    void startLoggingInTurn(std::function<void()> finished);
    void downloadInTurn(std::function<void()> finished);
    // Disables the window's controls while one of its dialogs runs (the dialog itself
    // stays usable), the busy pointer off meanwhile.
    void setControlsEnabled(bool enabled);
    // Opens `dialog`, a child of the window, with the controls disabled; once it has
    // finished it goes and `closed` runs.
    void openThen(QDialog *dialog, std::function<void()> closed);
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
    // The download's own transfer lets window events run through it.
    UserPrompts &m_prompts;
    std::function<void()> m_giveBack;
    LoggerPackets m_packets;
    LoggerDetailsReader m_reader;
    LoggerDetails m_details;
    LoggerControls m_ui;

    bool m_loaded = false;
    // A sequence runs; those asked for meanwhile wait in order.
    bool m_busy = false;
    std::deque<Sequence> m_waiting;

    LoggerControl m_control{m_link};
    GuiFileDialogs m_guiFileDialogs{this};
    GuiProgramLauncher m_guiLauncher;
    // What the status bar says after a download, once the details have been read again.
    QString m_downloadStatus;
    // Last, so that callbacks are dropped first when the window goes.
    Lifetime m_lifetime;
};
