// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/ui/frmDownload.h"

#include "common/DataFileText.h"
#include "logger/DatasetViewer.h"

#include "common/NamedFormats.h"
#include "platform/Alarm.h"
#include "platform/Clock.h"
#include "platform/FileDialogs.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

template <typename Control> Control *named(Control *control, const char *name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

} // namespace

frmDownload::frmDownload(Clock &clock, FileDialogs &dialogs, ProgramLauncher &launcher, Host host,
                         QWidget *parent)
    : QDialog(parent), m_clock(clock), m_dialogs(dialogs), m_launcher(launcher),
      m_host(std::move(host))
{
    setObjectName(QStringLiteral("frmDownload"));
    setWindowTitle(QStringLiteral("Download logger data"));

    Frame1 = named(new QGroupBox(QStringLiteral("Starting from:")), "Frame1");
    optStart = named(new QRadioButton(QStringLiteral("&Start of Dataset")), "optStart");
    optNew = named(new QRadioButton(QStringLiteral("&Next Record")), "optNew");
    optAll = named(new QRadioButton(QStringLiteral("&All datasets in memory")), "optAll");
    lblStart = named(new QLabel, "lblStart");
    lblNew = named(new QLabel, "lblNew");
    auto *choices = new QGridLayout(Frame1);
    choices->addWidget(optStart, 0, 0);
    choices->addWidget(lblStart, 0, 1);
    choices->addWidget(optNew, 1, 0);
    choices->addWidget(lblNew, 1, 1);
    choices->addWidget(optAll, 2, 0, 1, 2);

    lblDownloadAll =
        named(new QLabel(QStringLiteral("Download all data in memory - this may take some time!")),
              "lblDownloadAll");
    lblProgress = named(new QLabel, "lblProgress");
    // A failure's text (a path, the system's reason) can be longer than the dialog is
    // wide.
    lblProgress->setWordWrap(true);
    ProgressBar1 = named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setRange(0, ProgressMaximum);
    ProgressBar1->setTextVisible(false);
    // The progress rows keep their room while hidden, so the dialog does not jump.
    for (QWidget *row :
         {static_cast<QWidget *>(lblProgress), static_cast<QWidget *>(ProgressBar1)}) {
        QSizePolicy policy = row->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        row->setSizePolicy(policy);
    }

    OKButton = named(new QPushButton(QStringLiteral("&OK")), "OKButton");
    OKButton->setDefault(true);
    CancelButton = named(new QPushButton(QStringLiteral("&Cancel")), "CancelButton");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);

    auto *column = new QVBoxLayout(this);
    column->addWidget(Frame1);
    column->addWidget(lblDownloadAll);
    column->addWidget(lblProgress);
    column->addWidget(ProgressBar1);
    column->addLayout(buttons);
    setMinimumWidth(360);

    connect(OKButton, &QPushButton::clicked, this, &frmDownload::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmDownload::reject);
}

frmDownload::~frmDownload() = default;

void frmDownload::showEvent(QShowEvent *event)
{
    // The caller sets the times and the whole-memory flag after construction.
    if (!m_loaded)
        Form_Load();
    QDialog::showEvent(event);
}

void frmDownload::Form_Load()
{
    m_loaded = true;
    mCancel = false;
    for (QWidget *control : {static_cast<QWidget *>(optStart), static_cast<QWidget *>(optNew),
                             static_cast<QWidget *>(optAll), static_cast<QWidget *>(OKButton)})
        control->setEnabled(true);
    if (mDownloadAll) {
        optNew->setEnabled(false);
        lblNew->hide();
        optStart->setEnabled(false);
        lblStart->hide();
        optAll->setChecked(true);
        lblDownloadAll->show();
    } else {
        lblDownloadAll->hide();
        Frame1->show();
        lblStart->setText(FormatLoggerTime(mStartTime, true));
        lblNew->setText(FormatLoggerTime(mNewTime, true));
        if (mNewTime == 0) {
            optNew->setEnabled(false);
            lblNew->hide();
            optStart->setChecked(true);
        } else {
            optNew->setEnabled(true);
            lblNew->show();
            optNew->setChecked(true);
        }
        optStart->setEnabled(true);
        lblStart->show();
    }
    ProgressBar1->hide();
    lblProgress->hide();
    OKButton->setEnabled(true);
}

void frmDownload::OKButton_Click()
{
    for (QWidget *control : {static_cast<QWidget *>(optStart), static_cast<QWidget *>(optNew),
                             static_cast<QWidget *>(optAll), static_cast<QWidget *>(OKButton)})
        control->setEnabled(false);
    m_downloading = true;

    QString path;
    if (!AskDatasetFileName(path)) {
        m_downloading = false;
        Form_Load();
        return;
    }
    update();
    DownloadRequest request;
    request.bAll = optAll->isChecked();
    request.bStart = !request.bAll && optStart->isChecked();
    request.bRequestAhead = true;
    request.strFile = path;
    // The transfer that ran before (its outcome shown) goes; the new one hears only of
    // a dialog that still exists, since it goes with it.
    m_download.reset();
    m_download =
        m_host.download(request, *this, [this, request, path](const DownloadOutcome &outcome) {
            downloadEnded(outcome, request, path);
        });
}

void frmDownload::downloadEnded(const DownloadOutcome &outcome, const DownloadRequest &request,
                                const QString &path)
{
    using End = DownloadOutcome::End;
    if (outcome.end == End::FileNotCreated || outcome.end == End::WriteFailed ||
        outcome.end == End::DetailsUnknown) {
        // Nothing, or not all there was, is in the file: no "Done!" and no viewer; the
        // dialog says why and offers the choices again (the logger's download position
        // has not moved).
        m_downloading = false;
        Form_Load();
        showOutcome(outcome.end == End::FileNotCreated
                        ? QStringLiteral("The file could not be created: ") + outcome.fileError
                        : outcome.statusText());
        return;
    }
    if (outcome.end == End::Cancelled) {
        // The user asked the dialog to close: it says what was kept, with the bar where
        // the transfer stopped, and closes without a viewer on the partial file (the
        // logger window's status bar keeps the text).
        showOutcome(outcome.cancelText());
        afterClosingPause([this] {
            m_downloading = false;
            reject();
        });
        return;
    }
    // A download of the new records that found none says so rather than "Done!".
    const bool nothingNew = !request.bAll && !request.bStart && outcome.recordsWritten == 0;
    ShowProgress(outcome.end == DownloadOutcome::End::Abandoned
                     ? QStringLiteral("Download abandoned after repeated data errors")
                 : nothingNew ? QStringLiteral("No new records")
                              : QStringLiteral("Done!"),
                 1);
    afterClosingPause([this, path] {
        ShowDataset(path, [this] {
            m_downloading = false;
            accept();
        });
    });
}

void frmDownload::afterClosingPause(std::function<void()> then)
{
    // The alarm goes with the dialog: a dialog destroyed meanwhile hears nothing.
    if (!m_closingPause) {
        m_closingPause = m_clock.makeAlarm();
        // What runs is taken out first: it may start the next pause.
        m_closingPause->setHandler([this] {
            if (const auto next = std::exchange(m_afterPause, nullptr))
                next();
        });
    }
    m_afterPause = std::move(then);
    m_closingPause->setAt(m_clock.monotonicSeconds() + ClosingPauseMs / 1000.0);
}

void frmDownload::ShowProgress(const QString &strInfo, float fractionDone)
{
    const float shown = std::isfinite(fractionDone) ? std::clamp(fractionDone, 0.0f, 1.0f) : 0.0f;
    ProgressBar1->setValue(static_cast<int>(std::lround(ProgressMaximum * shown)));
    lblProgress->setText(strInfo);
    ProgressBar1->show();
    lblProgress->show();
    update();
}

void frmDownload::showStatus(const QString &text)
{
    if (m_host.status)
        m_host.status(text);
}

bool frmDownload::AskDatasetFileName(QString &path)
{
    path = m_dialogs.saveFileName(QStringLiteral("Save Dataset as"), QString(), QString(),
                                  DataFileFilter, QStringLiteral("txt"));
    return !path.isEmpty();
}

void frmDownload::ShowDataset(const QString &path, std::function<void()> then)
{
    QString error;
    if (DatasetViewer::Show(m_launcher, programFolder, path, error)) {
        then();
        return;
    }
    ShowProgress(error, 1);
    fitToText();
    afterClosingPause(std::move(then));
}

void frmDownload::showOutcome(const QString &text)
{
    lblProgress->setText(text);
    lblProgress->show();
    fitToText();
}

void frmDownload::fitToText()
{
    // The label wraps its text: the dialog keeps its width and grows to the height of
    // the lines it needs.
    layout()->activate();
    resize(width(), std::max(height(), heightForWidth(width())));
}

void frmDownload::reject()
{
    // The transfer still writes the file: it stops at its next check.
    if (m_downloading) {
        mCancel = true;
        return;
    }
    QDialog::reject();
}

void frmDownload::closeEvent(QCloseEvent *event)
{
    if (m_downloading) {
        mCancel = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
