// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/DatasetDownload.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class Alarm;
class Clock;
class FileDialogs;
class ProgramLauncher;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

// "Download logger data": the choice of what to fetch (the dataset from its start, the
// records not yet downloaded, or the whole memory), the file to write, the progress of
// the transfer and, at the end, the viewer. The transfer runs from the event loop; a close
// while it runs is refused and asks the transfer to stop instead. The dialog owns the
// transfer: closed and destroyed, it takes the transfer with it and hears nothing more.
class frmDownload : public QDialog, public DownloadView
{
    Q_OBJECT

public:
    // What the dialog asks of the logger window.
    struct Host
    {
        // Starts the transfer (the logger window's DownloadAll); its outcome comes to the
        // callback, from the event loop.
        std::function<std::unique_ptr<DatasetDownload>(const DownloadRequest &, DownloadView &,
                                                       DatasetDownload::Done)>
            download;
        // Shows a failure in the logger window's status bar.
        std::function<void(const QString &)> status;
    };

    static constexpr int ProgressMaximum = 1000;
    static constexpr int ClosingPauseMs = 500;

    frmDownload(Clock &clock, FileDialogs &dialogs, ProgramLauncher &launcher, Host host,
                QWidget *parent = nullptr);
    ~frmDownload() override;

    // Set by the caller before showing.
    double mStartTime = 0;
    double mNewTime = 0;
    bool mDownloadAll = false;
    bool mCancel = false;
    // The folder searched for the graphing program (the program's own folder).
    QString programFolder;

    QGroupBox *Frame1;
    QRadioButton *optStart;
    QRadioButton *optNew;
    QRadioButton *optAll;
    QLabel *lblStart;
    QLabel *lblNew;
    QLabel *lblDownloadAll;
    QLabel *lblProgress;
    QProgressBar *ProgressBar1;
    QPushButton *OKButton;
    QPushButton *CancelButton;

    // Offers the choices; runs when the dialog shows and again after a cancelled file
    // choice or a file that could not be created.
    void Form_Load();
    void OKButton_Click();
    // From OK until the transfer's outcome has been shown (and the closing pause after it
    // is over).
    bool Downloading() const { return m_downloading; }

    void ShowProgress(const QString &strInfo, float fractionDone) override;
    bool cancelRequested() const override { return mCancel; }
    void showStatus(const QString &text) override;

    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool AskDatasetFileName(QString &path);
    // The transfer's outcome, for the file at `path`.
    void downloadEnded(const DownloadOutcome &outcome, const DownloadRequest &request,
                       const QString &path);
    // Runs `then` after the closing pause, from the event loop.
    void afterClosingPause(std::function<void()> then);
    // Starts the viewer on `path`; when it cannot start, shows why and pauses before
    // `then`.
    void ShowDataset(const QString &path, std::function<void()> then);
    // Shows why the download did not end in a file to view.
    void showOutcome(const QString &text);
    void fitToText();

    Clock &m_clock;
    FileDialogs &m_dialogs;
    ProgramLauncher &m_launcher;
    Host m_host;
    bool m_downloading = false;
    bool m_loaded = false;
    std::unique_ptr<DatasetDownload> m_download;
    std::unique_ptr<Alarm> m_closingPause;
    std::function<void()> m_afterPause;
};
