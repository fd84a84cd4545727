// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <memory>
#include <optional>

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

void frmLogger::OpenWindowModal(QDialog &dialog)
{
    dialog.open();
}

void frmLogger::setControlsEnabled(bool enabled)
{
    centralWidget()->setEnabled(enabled);
    // The user has the word while a dialog is open: no busy pointer over the window then.
    if (enabled)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

LoggerState *frmLogger::knownStateFor(const QString &action)
{
    if (m_details.known())
        return &*m_details.logger.value;
    m_prompts.message(action, QStringLiteral("The logger's program could not be read (") +
                                  m_details.logger.failure +
                                  QStringLiteral(").\r\nPress Refresh to read it again first."));
    return nullptr;
}

void frmLogger::readAfterChange(const QString &action, const ParsedReply<QByteArray> &reply,
                                std::function<void()> finished)
{
    const QString failure =
        reply.ok() ? QString() : action + QStringLiteral(" failed: ") + reply.failure;
    readDetails([this, failure, finished] {
        if (!failure.isEmpty())
            setStatusText(failure);
        endOfButton(finished);
    });
}

void frmLogger::cmdSetTime_Click()
{
    runInTurn([this](std::function<void()> finished) { setTimeInTurn(finished); });
}

void frmLogger::openThen(QDialog *dialog, std::function<void()> closed)
{
    setControlsEnabled(false);
    // A dialog that goes with the window (its child) is not heard of.
    const std::function<void()> onFinished = m_lifetime.guard([this, dialog, closed] {
        dialog->deleteLater();
        setControlsEnabled(true);
        closed();
    });
    connect(dialog, &QDialog::finished, this, [onFinished] { onFinished(); });
    openDialog(*dialog);
}

void frmLogger::setTimeInTurn(std::function<void()> finished)
{
    Timer1.stop();
    const auto readOnly = [this, finished] {
        readDetails([this, finished] { endOfButton(finished); });
    };
    // A logger whose program is unknown may be logging: the question is asked.
    const bool mayBeLogging = !m_details.known() || m_details.logger.value->logging();
    if (mayBeLogging && !m_prompts.confirm(SetTimeTitle, SetTimeWhileLogging)) {
        readOnly();
        return;
    }
    // The dialog only takes the time: nothing is queued on the link while it is open.
    auto chosen = std::make_shared<std::optional<double>>();
    openThen(new frmSetTime(
                 m_clock, [chosen](double loggerTime) { *chosen = loggerTime; }, this),
             [this, chosen, finished, readOnly] {
                 if (!*chosen) {
                     readOnly();
                     return;
                 }
                 m_control.requestSetLoggerTime(
                     **chosen,
                     m_lifetime.guard([this, finished](const ParsedReply<QByteArray> &reply) {
                         readAfterChange(SetTimeTitle, reply, finished);
                     }));
             });
}

void frmLogger::cmdStartLogging_Click()
{
    runInTurn([this](std::function<void()> finished) { startLoggingInTurn(finished); });
}

void frmLogger::startLoggingInTurn(std::function<void()> finished)
{
    Timer1.stop();
    const auto readAfter = m_lifetime.guard([this, finished](const ParsedReply<QByteArray> &reply) {
        readAfterChange(StartTitle, reply, finished);
    });
    const auto readOnly = [this, finished] {
        readDetails([this, finished] { endOfButton(finished); });
    };
    // Whether the logger logs, what is not yet downloaded and the logger's own time all
    // come from the last read: without them nothing is started or stopped.
    LoggerState *state = knownStateFor(StartTitle);
    if (state && !m_details.clockOffset) {
        m_prompts.message(StartTitle, QStringLiteral("The logger's clock could not be read.\r\n"
                                                     "Press Refresh to read it again first."));
        state = nullptr;
    }
    if (state && state->logging()) {
        m_control.requestStopLogging(readAfter);
        return;
    }
    if (!state || (state->RecordsLogged > state->RecordsRetrieved &&
                   !m_prompts.confirm(StartTitle, StartBeforeDownload))) {
        readOnly();
        return;
    }
    // A list without a choice keeps the period the window already has.
    if (m_ui.cboRdg->currentIndex() >= 0)
        state->LogPeriod = m_ui.cboRdg->currentData().toInt();
    if (m_ui.cboAvg->currentIndex() >= 0)
        state->AvgPeriod = m_ui.cboAvg->currentData().toInt();
    auto chosen = std::make_shared<std::optional<double>>();
    auto *dialog = new frmStartLogging(
        m_clock, [chosen](double start) { *chosen = start; }, this);
    dialog->AvgPeriod = state->AvgPeriod;
    dialog->ClockOffset = *m_details.clockOffset;
    openThen(dialog, [this, program = *state, chosen, readAfter, readOnly] {
        if (*chosen)
            m_control.requestStartLogging(program, m_ui.chkOverwrite->isChecked(), **chosen,
                                          readAfter);
        else
            readOnly();
    });
}

void frmLogger::cmdDownload_Click()
{
    runInTurn([this](std::function<void()> finished) { downloadInTurn(finished); });
}

void frmLogger::downloadInTurn(std::function<void()> finished)
{
    Timer1.stop();
    // A download starts from the logger's positions: a read that failed is tried again
    // as often as a failed block would be, before the user is told.
    readUntilKnown(DatasetDownload::AbandonAtRetry, [this, finished] {
        const LoggerState *state = knownStateFor(QStringLiteral("Download"));
        if (!state) {
            setStatusText(QStringLiteral("Download refused: ") + m_details.logger.failure);
            endOfButton(finished);
            return;
        }
        setControlsEnabled(false);
        frmDownload::Host host;
        host.download = [this](const DownloadRequest &request, DownloadView &view,
                               DatasetDownload::Done done) {
            return DownloadAll(request.bStart, request.bAll, request.bRequestAhead, request.strFile,
                               view, std::move(done));
        };
        host.status = [this](const QString &text) { setStatusText(text); };
        frmDownload dialog(m_clock, *fileDialogs, *launcher, host, this);
        dialog.programFolder =
            programFolder.isNull() ? QCoreApplication::applicationDirPath() : programFolder;
        dialog.mDownloadAll = state->RecordsLogged < 1;
        if (!dialog.mDownloadAll)
            dialog.mStartTime = state->FirstRecordTime;
        dialog.mNewTime = state->RecordsRetrieved < 1
                              ? 0
                              : state->RetrievedTime + SecondsToDays(state->AvgPeriod);
        m_downloadStatus.clear();
        runDialog(dialog);
        setControlsEnabled(true);

        // The new download position shows after the read; a failure of the download stays
        // in the status bar.
        readDetails([this, finished] {
            if (!m_downloadStatus.isEmpty())
                setStatusText(m_downloadStatus);
            endOfButton(finished);
        });
    });
}

std::unique_ptr<DatasetDownload> frmLogger::DownloadAll(bool bStart, bool bAll, bool bRequestAhead,
                                                        const QString &strFile, DownloadView &view,
                                                        DatasetDownload::Done done)
{
    auto download = std::make_unique<DatasetDownload>(m_link, m_clock, datasetOpener);
    DownloadRequest request;
    request.bStart = bStart;
    request.bAll = bAll;
    request.bRequestAhead = bRequestAhead;
    request.strFile = strFile;
    // Unknown details refuse the transfer (as a memory of no blocks does).
    const LoggerState state = m_details.known() ? *m_details.logger.value : LoggerState();
    // The transfer goes with whoever holds it, and with it this callback: the window
    // outlives its dialog.
    download->start(state, m_ui.chkOverwrite->isChecked(), request, view,
                    [this, strFile, done = std::move(done)](const DownloadOutcome &outcome) {
                        if (outcome.end == DownloadOutcome::End::FileNotCreated)
                            m_prompts.message(QStringLiteral("Download"),
                                              QStringLiteral("Error opening file ") + strFile +
                                                  QStringLiteral("\r\n") + outcome.fileError);
                        m_downloadStatus = outcome.statusText();
                        if (done)
                            done(outcome);
                    });
    return download;
}
