// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/ui/frmLogger.h"

#include "logger/LoggerBlock.h"
#include "logger/MemoryBar.h"
#include "logger/MemoryEstimate.h"
#include "logger/PeriodLists.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "link/SensorLink.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>

#include <cmath>

namespace {

const QColor Red(255, 0, 0);

QString lines(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void fillList(QComboBox *list, const QList<PeriodEntry> &entries)
{
    const QSignalBlocker quiet(list);
    list->clear();
    for (const PeriodEntry &entry : entries)
        list->addItem(entry.text, entry.seconds);
    list->setCurrentIndex(-1);
}

} // namespace

frmLogger::frmLogger(SensorLink &link, Clock &clock, UserPrompts &prompts,
                     std::function<void()> giveBack, QWidget *parent)
    : QMainWindow(parent), m_link(link), m_clock(clock), m_prompts(prompts),
      m_giveBack(std::move(giveBack)), m_packets(link), m_reader(link, clock, m_packets),
      m_ui(*this)
{
    setObjectName(QStringLiteral("frmLogger"));
    fillList(m_ui.cboRdg, PeriodLists::readingPeriods());
    fillList(m_ui.cboAvg, PeriodLists::initialAveragePeriods());

    connect(m_ui.cmdRefresh, &QPushButton::clicked, this, &frmLogger::cmdRefresh_Click);
    connect(m_ui.cmdSetTime, &QPushButton::clicked, this, &frmLogger::cmdSetTime_Click);
    connect(m_ui.cmdStartLogging, &QPushButton::clicked, this, &frmLogger::cmdStartLogging_Click);
    connect(m_ui.cmdDownload, &QPushButton::clicked, this, &frmLogger::cmdDownload_Click);
    connect(m_ui.cboRdg, &QComboBox::currentIndexChanged, this, &frmLogger::cboRdg_Click);
    connect(m_ui.cboAvg, &QComboBox::currentIndexChanged, this, &frmLogger::cboAvg_Click);

    Timer1.setInterval(TimerIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &frmLogger::Timer1_Timer);
    Timer1.start();
}

frmLogger::~frmLogger() = default;

double frmLogger::computerNow() const
{
    return DateTimeToDays(m_clock.now());
}

void frmLogger::setStatusText(const QString &text)
{
    m_ui.StatusBar1->showMessage(text);
}

// ---------------------------------------------------------------------------------------
// Opening and closing

void frmLogger::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_loaded)
        return;
    // The window paints first; the details are read once it is on the screen.
    m_loaded = true;
    QTimer::singleShot(0, this, [this] {
        // Closed before it could load: nothing to read.
        if (isVisible())
            Form_Load();
    });
}

void frmLogger::Form_Load()
{
    m_loaded = true;
    m_ui.Bar1->setGeometry(0, 0, 0, 0);
    m_ui.Bar2->setGeometry(0, 0, 0, 0);
    show();
    runInTurn([this](std::function<void()> finished) {
        Timer1.stop();
        readDetails([this, finished] {
            // The first read goes without the pause between packets.
            m_packets.setPacketDelay(LoadedPacketDelayMs);
            resumeTimer1();
            finished();
        });
    });
}

void frmLogger::closeEvent(QCloseEvent *event)
{
    // A sequence under way ends by itself (its requests are queued on the link, which runs
    // the main window's poll after them); those waiting are dropped, and the clock stops.
    m_waiting.clear();
    Timer1.stop();
    event->accept();
    if (m_giveBack)
        m_giveBack();
}

// ---------------------------------------------------------------------------------------
// The window's sequences, one at a time

void frmLogger::runInTurn(Sequence sequence)
{
    m_waiting.push_back(std::move(sequence));
    if (!m_busy)
        startNextSequence();
}

void frmLogger::startNextSequence()
{
    if (m_waiting.empty()) {
        m_busy = false;
        unsetCursor();
        return;
    }
    m_busy = true;
    setCursor(Qt::WaitCursor);
    const Sequence sequence = std::move(m_waiting.front());
    m_waiting.pop_front();
    sequence(m_lifetime.guard([this] { startNextSequence(); }));
}

// ---------------------------------------------------------------------------------------
// Reading the logger

void frmLogger::GetLoggerDetails()
{
    runInTurn([this](std::function<void()> finished) {
        Timer1.stop();
        readDetails([this, finished] { endOfButton(finished); });
    });
}

void frmLogger::readDetails(std::function<void()> then)
{
    m_reader.read(
        m_lifetime.guard([this, then](const LoggerDetailsView &view, const LoggerDetails &details) {
            m_details = details;
            showDetails(view);
            setStatusText(view.statusText);
            then();
        }));
}

void frmLogger::readUntilKnown(int reads, std::function<void()> then)
{
    if (m_details.known() || reads <= 0) {
        then();
        return;
    }
    readDetails([this, reads, then] { readUntilKnown(reads - 1, then); });
}

void frmLogger::endOfButton(std::function<void()> finished)
{
    resumeTimer1();
    finished();
}

void frmLogger::showDetails(const LoggerDetailsView &view)
{
    m_ui.Label6->setText(lines(view.namesColumn));
    m_ui.lblSerial->setText(lines(view.valuesColumn));
    showLoggerTime(view);
    if (m_details.known())
        showProgram(*m_details.logger.value);
    else
        showUnknownProgram();
    m_ui.lblNextRdg->setText(view.nextRecordText);
    m_ui.lblFirstRecord->setText(view.firstRecordText);
    m_ui.lblLastRecord->setText(view.lastRecordText);
    m_ui.lblRetrieved->setText(view.retrievedText);
    DrawMemoryBar();
    CalculateMemoryFull();
}

void frmLogger::showLoggerTime(const LoggerDetailsView &view)
{
    m_ui.lblLoggerTime->setText(view.loggerTimeText);
    if (!view.clockRead)
        return;
    QPalette palette = m_ui.lblLoggerTime->palette();
    const QPalette normal = QApplication::palette(m_ui.lblLoggerTime);
    palette.setColor(QPalette::Window, view.clockAlarm == ClockAlarm::RedBackground
                                           ? Red
                                           : normal.color(QPalette::Window));
    palette.setColor(QPalette::WindowText, view.clockAlarm == ClockAlarm::RedText
                                               ? Red
                                               : normal.color(QPalette::WindowText));
    m_ui.lblLoggerTime->setPalette(palette);
    // Only a warning colour is painted behind the text: the normal background is the
    // frame's own.
    m_ui.lblLoggerTime->setAutoFillBackground(view.clockAlarm == ClockAlarm::RedBackground);

    QPalette mirror = m_ui.txtLoggerTime->palette();
    mirror.setColor(QPalette::Text, palette.color(QPalette::WindowText));
    mirror.setColor(QPalette::Base, palette.color(QPalette::Window));
    m_ui.txtLoggerTime->setPalette(mirror);
    m_ui.txtLoggerTime->setText(m_ui.lblLoggerTime->text());
}

void frmLogger::showProgram(const LoggerState &state)
{
    selectReadingPeriod(PeriodLists::firstAtLeast(PeriodLists::readingPeriods(), state.LogPeriod));
    QList<PeriodEntry> averages;
    for (int i = 0; i < m_ui.cboAvg->count(); ++i)
        averages.append({m_ui.cboAvg->itemText(i), m_ui.cboAvg->itemData(i).toInt()});
    selectAveragePeriod(PeriodLists::firstAtLeast(averages, state.AvgPeriod));
    m_ui.chkOverwrite->setChecked(state.overwrite());
    ShowLoggingState(state.logging());
    m_ui.Picture1->setToolTip(QString());
}

void frmLogger::showUnknownProgram()
{
    for (QComboBox *list : {m_ui.cboRdg, m_ui.cboAvg}) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(-1);
    }
    m_ui.chkOverwrite->setChecked(false);
    m_ui.Bar1->setGeometry(0, 0, 0, 0);
    m_ui.Bar2->setGeometry(0, 0, 0, 0);
    m_ui.Picture1->setToolTip(QStringLiteral("Memory use unknown: the logger's program could not "
                                             "be read - press Refresh to read it again"));
}

void frmLogger::ShowLoggingState(bool logging)
{
    m_ui.cmdStartLogging->setText(logging ? QStringLiteral("Stop logging")
                                          : QStringLiteral("Start Logging"));
    m_ui.cboRdg->setEnabled(!logging);
    m_ui.cboAvg->setEnabled(!logging);
    m_ui.chkOverwrite->setEnabled(!logging);
}

// ---------------------------------------------------------------------------------------
// The period lists

void frmLogger::selectReadingPeriod(int index)
{
    if (index < 0)
        return;
    {
        const QSignalBlocker quiet(m_ui.cboRdg);
        m_ui.cboRdg->setCurrentIndex(index);
    }
    cboRdg_Click();
}

void frmLogger::selectAveragePeriod(int index)
{
    if (index < 0)
        return;
    {
        const QSignalBlocker quiet(m_ui.cboAvg);
        m_ui.cboAvg->setCurrentIndex(index);
    }
    cboAvg_Click();
}

void frmLogger::FillAverageList()
{
    const QList<PeriodEntry> entries = PeriodLists::averagePeriodsFrom(m_ui.cboRdg->currentIndex());
    fillList(m_ui.cboAvg, entries);
    // An averaging period beyond the longest entry matches none: the list then shows no
    // choice rather than one the logger does not use.
    if (m_details.known())
        selectAveragePeriod(PeriodLists::firstAtLeast(entries, m_details.logger.value->AvgPeriod));
}

// While the logger logs, its own periods date its records and the lists only show the
// nearest entries (a 20 s period is not in them): the lists' choice is the program of
// the next start, taken when logging starts.
void frmLogger::cboRdg_Click()
{
    FillAverageList();
    LoggerState *state = m_details.logger.value ? &*m_details.logger.value : nullptr;
    if (state && m_ui.cboRdg->currentIndex() >= 0 && !state->logging())
        state->LogPeriod = m_ui.cboRdg->currentData().toInt();
}

void frmLogger::cboAvg_Click()
{
    LoggerState *state = m_details.logger.value ? &*m_details.logger.value : nullptr;
    if (state && m_ui.cboAvg->currentIndex() >= 0 && !state->logging())
        state->AvgPeriod = m_ui.cboAvg->currentData().toInt();
    CalculateMemoryFull();
}

// ---------------------------------------------------------------------------------------
// Memory bar and memory-full time

void frmLogger::DrawMemoryBar()
{
    // Without the logger's details the bar stays empty.
    if (!m_details.known())
        return;
    const LoggerState &state = *m_details.logger.value;
    const QRect inner = m_ui.Picture1->contentsRect();
    const auto layout = MemoryBar::compute(state.MemoryBlocks, state.RecordsRetrieved,
                                           state.RecordsLogged, inner.width());
    if (!layout.drawn)
        return;
    const auto pixels = [](double width) { return static_cast<int>(std::lround(width)); };
    const int bar1 = pixels(layout.bar1Width);
    m_ui.Bar1->setGeometry(inner.left(), inner.top(), bar1, inner.height());
    m_ui.Bar2->setGeometry(inner.left() + pixels(layout.bar2Left), inner.top(),
                           pixels(layout.bar2Width), inner.height());
    const auto fill = [](QWidget *part, quint32 rgb) {
        QPalette palette = part->palette();
        palette.setColor(QPalette::Window, QColor::fromRgb(rgb));
        part->setPalette(palette);
    };
    fill(m_ui.Bar1, MemoryBar::DownloadedRgb);
    fill(m_ui.Bar2, MemoryBar::NotDownloadedRgb);
    if (layout.firstRecordRgb)
        setTextColour(m_ui.lblFirstRecord, QColor::fromRgb(*layout.firstRecordRgb));
    if (layout.lastRecordRgb)
        setTextColour(m_ui.lblLastRecord, QColor::fromRgb(*layout.lastRecordRgb));
    if (layout.retrievedRgb)
        setTextColour(m_ui.lblRetrieved, QColor::fromRgb(*layout.retrievedRgb));
}

void frmLogger::CalculateMemoryFull()
{
    const MemoryFullEstimate estimate =
        m_details.known()
            ? ::CalculateMemoryFull(*m_details.logger.value, m_details.clockOffset, m_clock.now())
            : MemoryFullEstimate::unknown();
    switch (estimate.kind) {
    case MemoryFullEstimate::Kind::None:
        m_ui.lblMemoryFull->clear();
        m_ui.lblEstimatedFull->clear();
        return;
    case MemoryFullEstimate::Kind::Unknown:
        // Whichever label shows says why there is no time; a logging logger's caption
        // stays with it.
        m_ui.lblMemoryFull->setText(estimate.text());
        m_ui.lblEstimatedFull->setText(estimate.text());
        if (!estimate.caption.isEmpty())
            m_ui.lblMemoryFullAt->setText(estimate.caption);
        return;
    case MemoryFullEstimate::Kind::Logging:
        m_ui.lblMemoryFullAt->setText(estimate.caption);
        m_ui.lblMemoryFull->setText(estimate.text());
        m_ui.lblMemoryFull->show();
        m_ui.lblMemoryFullAt->show();
        m_ui.lblEstimatedFull->hide();
        m_ui.lblEstimatedFullAt->hide();
        return;
    case MemoryFullEstimate::Kind::NotLogging:
        m_ui.lblEstimatedFull->setText(estimate.text());
        m_ui.lblMemoryFull->hide();
        m_ui.lblMemoryFullAt->hide();
        m_ui.lblEstimatedFull->show();
        m_ui.lblEstimatedFullAt->show();
        return;
    }
}

// ---------------------------------------------------------------------------------------
// Timer and buttons

void frmLogger::Timer1_Timer()
{
    // A tick that comes while a sequence runs leaves it alone. Without the logger's clock
    // there is nothing to move on.
    if (m_busy || !m_details.clockOffset)
        return;
    const double loggerNow = computerNow() + *m_details.clockOffset;
    const QString now = FormatLoggerTime(loggerNow, true);
    if (now != m_ui.lblLoggerTime->text()) {
        m_ui.lblLoggerTime->setText(now);
        m_ui.txtLoggerTime->setText(now);
    }
    if (!m_details.known())
        return;
    LoggerState &state = *m_details.logger.value;
    if (!AdvanceNextRecord(state, loggerNow))
        return;
    m_ui.lblNextRdg->setText(FormatLoggerTime(state.NextRecordTime, true));
    m_ui.lblFirstRecord->setText(FormatLoggerTime(state.FirstRecordTime, true));
    m_ui.lblLastRecord->setText(
        FormatLoggerTime(state.NextRecordTime - SecondsToDays(state.AvgPeriod), true));
    // A slot beyond the top block's last means a new block has begun: read everything
    // again.
    if (state.TopFill >= LoggerBlock::Size)
        GetLoggerDetails();
    else
        DrawMemoryBar();
}

void frmLogger::resumeTimer1()
{
    // A window closed while the operation ran has given the instrument back: its clock
    // must not tick (and read the logger) behind the main window's poll.
    if (m_details.clockOffset && isVisible())
        Timer1.start();
}

void frmLogger::cmdRefresh_Click()
{
    GetLoggerDetails();
}

// Setting the logger's clock, starting and stopping logging and the download:
// frmLoggerActions.cpp.
