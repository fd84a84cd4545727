// The logger window's actions that change the logger: setting its clock, starting and
// stopping logging, and downloading its data into a file.
#include "logger/ui/frmLogger.h"

#include "logger/ui/frmDownload.h"
#include "logger/ui/frmSetTime.h"
#include "logger/ui/frmStartLogging.h"

#include "common/DateTimeDays.h"
#include "platform/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QStatusBar>

namespace {

const QString SetTimeTitle = QStringLiteral("Set Logger Time");
const QString SetTimeWhileLogging =
    QStringLiteral("If you adjust the time while logging,\r\n"
                   "your dataset may show gaps or repeat readings.\r\n"
                   "Are you sure you want to change the time?");
const QString StartTitle = QStringLiteral("Start Logging");
const QString StartBeforeDownload =
    QStringLiteral("You have not downloaded all your data. \r\n"
                   "This may be deleted if you start logging now.\r\n"
                   "Are you sure you want to continue?");

} // namespace

void frmLogger::ShowModal(QDialog &dialog)
{
    dialog.exec();
}

void frmLogger::setControlsEnabled(bool enabled)
{
    centralWidget()->setEnabled(enabled);
}

void frmLogger::SetLoggerTime(double loggerTime)
{
    m_control.SetLoggerTime(loggerTime);
}

void frmLogger::StartLogging(double start)
{
    m_control.StartLogging(m_state, m_ui.chkOverwrite->isChecked(), start);
}

void frmLogger::StopLogging()
{
    m_control.StopLogging();
}

void frmLogger::cmdSetTime_Click()
{
    setControlsEnabled(false);
    Timer1.stop();
    if (!m_state.logging() || m_prompts.confirm(SetTimeTitle, SetTimeWhileLogging)) {
        frmSetTime dialog(
            m_clock, [this](double loggerTime) { SetLoggerTime(loggerTime); }, this);
        runDialog(dialog);
    }
    GetLoggerDetails();
    resumeTimer1();
    setControlsEnabled(true);
}

void frmLogger::cmdStartLogging_Click()
{
    setControlsEnabled(false);
    Timer1.stop();
    if (m_state.logging()) {
        StopLogging();
    } else if (m_state.RecordsLogged <= m_state.RecordsRetrieved ||
               m_prompts.confirm(StartTitle, StartBeforeDownload)) {
        // A list without a choice keeps the period the window already has.
        if (m_ui.cboRdg->currentIndex() >= 0)
            m_state.LogPeriod = m_ui.cboRdg->currentData().toInt();
        if (m_ui.cboAvg->currentIndex() >= 0)
            m_state.AvgPeriod = m_ui.cboAvg->currentData().toInt();
        frmStartLogging dialog(
            m_clock, [this](double start) { StartLogging(start); }, this);
        dialog.AvgPeriod = m_state.AvgPeriod;
        dialog.ClockOffset = m_state.ClockOffset;
        runDialog(dialog);
    }
    GetLoggerDetails();
    resumeTimer1();
    setControlsEnabled(true);
}

void frmLogger::cmdDownload_Click()
{
    setControlsEnabled(false);
    Timer1.stop();
    frmDownload::Host host;
    host.download = [this](const DownloadRequest &request, DownloadView &view) {
        return DownloadAll(request.bStart, request.bAll, request.bRequestAhead, request.strFile,
                           view);
    };
    host.status = [this](const QString &text) { setStatusText(text); };
    frmDownload dialog(m_clock, *fileDialogs, *launcher, host, this);
    dialog.programFolder =
        programFolder.isNull() ? QCoreApplication::applicationDirPath() : programFolder;
    dialog.mDownloadAll = m_state.RecordsLogged < 1;
    if (!dialog.mDownloadAll)
        dialog.mStartTime = m_state.FirstRecordTime;
    dialog.mNewTime =
        m_state.RecordsRetrieved < 1 ? 0 : m_state.RetrievedTime + SecondsToDays(m_state.AvgPeriod);
    m_downloadStatus.clear();
    runDialog(dialog);

    // The new download position shows after the read; a failure of the download stays
    // in the status bar.
    GetLoggerDetails();
    if (!m_downloadStatus.isEmpty())
        setStatusText(m_downloadStatus);
    resumeTimer1();
    setControlsEnabled(true);
}

DownloadOutcome frmLogger::DownloadAll(bool bStart, bool bAll, bool bRequestAhead,
                                       const QString &strFile, DownloadView &view)
{
    DatasetDownload download(m_link, m_clock, m_pump, datasetOpener);
    DownloadRequest request;
    request.bStart = bStart;
    request.bAll = bAll;
    request.bRequestAhead = bRequestAhead;
    request.strFile = strFile;
    const DownloadOutcome outcome =
        download.DownloadAll(m_state, m_ui.chkOverwrite->isChecked(), request, view);
    if (outcome.end == DownloadOutcome::End::FileNotCreated)
        m_prompts.message(QStringLiteral("Download"), QStringLiteral("Error opening file ") +
                                                          strFile + QStringLiteral("\r\n") +
                                                          outcome.fileError);
    m_downloadStatus = outcome.statusText();
    return outcome;
}
