// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmPCLog.h"

#include "pclog/LogPeriods.h"
#include "pclog/WindowTitle.h"
#include "platform/ProgramTitle.h"
#include "platform/ui/FixedPitchFont.h"

#include "common/NamedFormats.h"
#include "link/SensorLink.h"
#include "platform/UserPrompts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>

#include <algorithm>
#include <utility>

namespace {

const QString WindowTitle = QStringLiteral("Vantlog");

// The window's design is in twips (1/1440 inch); at 96 dots per inch a pixel is 15 twips.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}

const QRect Label1Design(px(120), px(60), px(972), px(252));
const QRect cboLogDesign(px(120), px(300), px(852), px(315));
const QRect Label2Design(px(1200), px(60), px(852), px(252));
const QRect cboAvgDesign(px(1200), px(300), px(852), px(315));
const QRect chkIndividualDesign(px(2400), px(120), px(1692), px(252));
const QRect chkFileDesign(px(2400), px(360), px(1812), px(252));
const QRect cmdLogDesign(px(4320), px(120), px(1212), px(492));
const int Line1Top = px(720);
const QRect lblHeadingDesign(px(120), px(840), px(6852), px(252));
const QRect txtOutDesign(px(120), px(1080), px(6852), px(4452));
const int Panel1Width = px(6075);
const int Panel2Width = px(1440);
// Room kept beside the file name in the title.
const int TitleMargin = px(2200);

QString ForDisplay(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return shown;
}

} // namespace

frmPCLog::frmPCLog(SensorLink &link, Clock &clock, UserPrompts &prompts, FileDialogs &dialogs,
                   Host host, LogFileWriter::Opener opener, QWidget *parent)
    : QWidget(parent, Qt::Window), m_prompts(prompts), m_host(std::move(host)),
      m_run(link, clock, dialogs, std::move(opener))
{
    m_run.setView(*this);
    buildControls();
    connect(cboLog, &QComboBox::currentIndexChanged, this, &frmPCLog::cboLog_Click);
    connect(cmdLog, &QPushButton::clicked, this, &frmPCLog::cmdLog_Click);
    connect(&Timer1, &QTimer::timeout, this, &frmPCLog::Timer1_Timer);
    Form_Load();
}

frmPCLog::~frmPCLog()
{
    Timer1.stop();
}

// ---------------------------------------------------------------------------------------
// Controls and layout

void frmPCLog::buildControls()
{
    const QFont tableFont = FixedPitchFont(0);

    Label1 = new QLabel(QStringLiteral("Log period"), this);
    cboLog = new QComboBox(this);
    cboLog->setGeometry(cboLogDesign);
    cboLog->addItems(LogPeriodEntries());
    cboLog->setToolTip(QStringLiteral("How often a reading is taken"));

    Label2 = new QLabel(QStringLiteral("Avg period"), this);
    cboAvg = new QComboBox(this);
    cboAvg->setEditable(true);
    cboAvg->setInsertPolicy(QComboBox::NoInsert);
    cboAvg->setGeometry(cboAvgDesign);
    cboAvg->setToolTip(QStringLiteral("How often a reading is stored or displayed"));

    chkIndividual = new QCheckBox(QStringLiteral("Individual sensors"), this);
    chkIndividual->setToolTip(
        QStringLiteral("Check this box to show the 7 individual light sensor readings"));
    chkFile = new QCheckBox(QStringLiteral("Log to file"), this);
    chkFile->setToolTip(QStringLiteral("Check this to store readings to file, otherwise they "
                                       "are only displayed on the screen"));
    cmdLog = new QPushButton(QStringLiteral("Start logging"), this);
    cmdLog->setDefault(true);

    // The design's widths, or more where this system's font needs it; the button keeps
    // clear of the check boxes.
    const auto atLeastHint = [](QWidget *control, QRect design) {
        design.setWidth(std::max(design.width(), control->sizeHint().width()));
        control->setGeometry(design);
    };
    atLeastHint(Label1, Label1Design);
    atLeastHint(Label2, Label2Design);
    atLeastHint(chkIndividual, chkIndividualDesign);
    atLeastHint(chkFile, chkFileDesign);
    QRect button = cmdLogDesign;
    button.moveLeft(std::max(
        button.left(),
        std::max(chkIndividual->geometry().right(), chkFile->geometry().right()) + px(120)));
    button.setWidth(std::max(button.width(), cmdLog->sizeHint().width()));
    cmdLog->setGeometry(button);

    Line1 = new QFrame(this);
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(0, Line1Top, lblHeadingDesign.width(), 2);

    lblHeading = new QLabel(this);
    lblHeading->setFont(tableFont);
    lblHeading->setGeometry(lblHeadingDesign);
    lblHeading->setFixedHeight(
        std::max(lblHeadingDesign.height(), QFontMetrics(tableFont).height() + 2));
    txtOut = new QPlainTextEdit(this);
    txtOut->setFont(tableFont);
    txtOut->setReadOnly(true);
    txtOut->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtOut->setGeometry(txtOutDesign);
    // The heading's text starts where the box's text does.
    const int textInset =
        txtOut->frameWidth() + static_cast<int>(txtOut->document()->documentMargin());
    lblHeading->setContentsMargins(txtOutDesign.left() + textInset - lblHeadingDesign.left(), 0, 0,
                                   0);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    m_panel1 = new QLabel(StatusBar1);
    m_panel1->setMinimumWidth(std::min(Panel1Width, px(3000)));
    m_panel2 = new QLabel(StatusBar1);
    m_panel2->setMinimumWidth(Panel2Width);
    StatusBar1->addWidget(m_panel1, 1);
    StatusBar1->addPermanentWidget(m_panel2);

    const int width = std::max(txtOutDesign.right() + 1 + txtOutDesign.left(),
                               cmdLog->geometry().right() + 1 + px(120));
    resize(width, txtOutDesign.bottom() + 1 + px(50) + StatusBar1->sizeHint().height());
}

void frmPCLog::Form_Load()
{
    Timer1.stop();
    setWindowTitle(WindowTitle);
    chkIndividual->setChecked(false);
    chkFile->setChecked(false);
    showLogging(false);
    cmdLog->setText(QStringLiteral("Start logging"));
    lblHeading->clear();
    m_output.clear();
    txtOut->clear();
    m_panel1->setText(QStringLiteral("ZQ3 & VTA1 Logger"));
    m_panel2->clear();

    // Selecting "10s" fills the averaging list through the linkage.
    const QSignalBlocker quiet(cboLog);
    cboLog->setCurrentIndex(3);
    cboLog_Click();
    layoutControls();
}

void frmPCLog::cboLog_Click()
{
    cboAvg->clear();
    cboAvg->addItems(LogPeriodEntriesFrom(cboLog->currentIndex()));
    cboAvg->setCurrentIndex(0);
}

void frmPCLog::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

void frmPCLog::layoutControls()
{
    const int clientWidth = width();
    const int clientHeight = height();
    const int statusHeight = StatusBar1->sizeHint().height();
    StatusBar1->setGeometry(0, clientHeight - statusHeight, clientWidth, statusHeight);

    QRect box = txtOut->geometry();
    box.moveTop(lblHeading->y() + lblHeading->height() + px(25));
    const int boxHeight =
        clientHeight - lblHeading->y() - lblHeading->height() - statusHeight - px(50);
    if (boxHeight > 0)
        box.setHeight(boxHeight);
    box.moveLeft(px(25));
    lblHeading->move(px(50), lblHeading->y());
    Line1->setGeometry(0, Line1Top, std::max(1, clientWidth - 2 * Line1->x()), 2);
    if (clientWidth - 2 * box.left() > 0) {
        box.setWidth(clientWidth - 2 * box.left());
        lblHeading->resize(box.width(), lblHeading->height());
    }
    txtOut->setGeometry(box);

    // The file's name only while a run writes to it: after a stop the box stays ticked.
    if (chkFile->isChecked() && m_run.IsLogging()) {
        const QFontMetrics metrics(font());
        setWindowTitle(TitleWithFile(
            m_run.LogFileName(), width() - TitleMargin,
            [&metrics](const QString &text) { return metrics.horizontalAdvance(text); }));
    }
}

// A table row wider than the box widens the window, as far as the screen allows, so the
// heading and the rows are seen whole and stay aligned.
void frmPCLog::fitTableWidth(const QString &row)
{
    const int textInset =
        txtOut->frameWidth() + static_cast<int>(txtOut->document()->documentMargin());
    const int needed = QFontMetrics(txtOut->font()).horizontalAdvance(row) + 2 * textInset +
                       txtOut->verticalScrollBar()->sizeHint().width() + px(60);
    if (needed <= txtOut->width())
        return;
    int wanted = width() + needed - txtOut->width();
    if (const QScreen *shown = screen())
        wanted = std::min(wanted, shown->availableGeometry().width());
    if (wanted > width())
        resize(wanted, height());
}

QString frmPCLog::panel1Text() const
{
    return m_panel1->text();
}

QString frmPCLog::panel2Text() const
{
    return m_panel2->text();
}

// ---------------------------------------------------------------------------------------
// Events

void frmPCLog::cmdLog_Click()
{
    if (m_run.IsLogging())
        m_run.Stop();
    else
        m_run.Start();
}

void frmPCLog::Timer1_Timer()
{
    m_run.Tick();
}

void frmPCLog::closeEvent(QCloseEvent *event)
{
    // While the question is open the timer goes on and the readings keep their times. A
    // reading still on the line when the window goes is not added: the lines written
    // before it stay.
    if (Timer1.isActive() &&
        !m_prompts.question(QStringLiteral("Close Vantlog"),
                            QStringLiteral("You are still logging, do you really want to stop?"))) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmPCLog::Form_Unload()
{
    m_run.Unload();
    if (m_host.takeBack)
        m_host.takeBack();
}

// ---------------------------------------------------------------------------------------
// LoggingRunView

bool frmPCLog::individualSensors() const
{
    return chkIndividual->isChecked();
}

bool frmPCLog::logToFile() const
{
    return chkFile->isChecked();
}

void frmPCLog::clearLogToFile()
{
    chkFile->setChecked(false);
}

QString frmPCLog::logPeriodText() const
{
    return cboLog->currentText();
}

QString frmPCLog::avgPeriodText() const
{
    return cboAvg->currentText();
}

bool frmPCLog::testMenuFlag() const
{
    return m_host.testMenuFlag && m_host.testMenuFlag();
}

void frmPCLog::showLinkStatus(const QString &text)
{
    m_panel1->setText(m_clockStepNote.isEmpty() ? text
                                                : text + QStringLiteral("; ") + m_clockStepNote);
}

void frmPCLog::showMessage(const QString &text)
{
    m_panel2->setText(text);
    // Shown at once: a calibration read that follows keeps the window busy.
    m_panel2->repaint();
}

void frmPCLog::appendOutput(const QString &text)
{
    for (const QString &row : text.split(QStringLiteral("\r\n")))
        fitTableWidth(row);
    if (m_output.append(text))
        txtOut->setPlainText(ForDisplay(m_output.text()));
    else {
        QTextCursor end = txtOut->textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(ForDisplay(text));
    }
    QTextCursor end = txtOut->textCursor();
    end.movePosition(QTextCursor::End);
    txtOut->setTextCursor(end);
    txtOut->ensureCursorVisible();
}

void frmPCLog::showHeading(const QString &text)
{
    lblHeading->setText(text);
    fitTableWidth(text);
}

void frmPCLog::showLogging(bool logging)
{
    if (logging)
        m_clockStepNote.clear();
    cmdLog->setText(logging ? QStringLiteral("Stop Logging") : QStringLiteral("Start Logging"));
    for (QWidget *choice : {static_cast<QWidget *>(cboLog), static_cast<QWidget *>(cboAvg),
                            static_cast<QWidget *>(chkFile), static_cast<QWidget *>(chkIndividual)})
        choice->setEnabled(!logging);
}

void frmPCLog::layoutWindow()
{
    layoutControls();
}

void frmPCLog::showPlainTitle()
{
    setWindowTitle(WindowTitle);
}

void frmPCLog::showRunTimeError(const QString &description)
{
    m_prompts.message(ProgramTitle, QStringLiteral("Error: ") + description);
}

void frmPCLog::showClockStep(qint64, const QTime &at)
{
    m_clockStepNote = QStringLiteral("realigned to clock ") + LongTimeText(at);
}

void frmPCLog::showInstrumentChange(const QString &text)
{
    QString sentence = text;
    sentence[0] = sentence[0].toUpper();
    m_prompts.message(ProgramTitle,
                      QStringLiteral("Logging stopped. ") + sentence + QLatin1Char('.'));
}

void frmPCLog::startTimer(int intervalMs)
{
    Timer1.start(intervalMs);
}

void frmPCLog::stopTimer()
{
    Timer1.stop();
}

bool frmPCLog::timerEnabled() const
{
    return Timer1.isActive();
}
