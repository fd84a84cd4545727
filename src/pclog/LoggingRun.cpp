// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoggingRun.h"

#include "LogFileHeader.h"
#include "LogPeriods.h"
#include "LoggingRunView.h"
#include "link/InstrumentModel.h"

#include "common/DataFileText.h"
#include "common/NamedFormats.h"
#include "link/SensorLink.h"
#include "platform/Clock.h"
#include "platform/FileDialogs.h"

#include <cmath>
#include <utility>

namespace {

const QString LineEnd = QStringLiteral("\r\n");
// A setting of the clock smaller than this is not followed: the schedule's half second
// of grace covers it.
constexpr qint64 ClockStepLimitMs = 1000;

qint64 monotonicMs(const Clock &clock)
{
    return static_cast<qint64>(std::floor(clock.monotonicSeconds() * 1000.0));
}

} // namespace

LoggingRun::LoggingRun(SensorLink &link, Clock &clock, FileDialogs &dialogs,
                       LogFileWriter::Opener opener)
    : m_link(link), m_clock(clock), m_dialogs(dialogs), m_calibration(link), m_reader(link),
      m_logFile(std::move(opener))
{}

LineSettings LoggingRun::lineSettings() const
{
    LineSettings settings;
    settings.fmt = AveragePattern(m_link.units());
    settings.individual = m_view->individualSensors();
    settings.temperatureModel = IsTemperatureModel(m_link.Version());
    settings.testMenu = m_view->testMenuFlag();
    settings.isoTimes = m_view->isoTimes();
    return settings;
}

// ---------------------------------------------------------------------------------------
// Start and stop

void LoggingRun::Start()
{
    if (m_starting)
        return;
    // A period of no seconds (or beyond 16 bits) cannot drive the schedule: refuse the
    // start before anything is asked of the instrument or the user.
    const std::optional<qint16> logInterval = UsablePeriodSeconds(view().logPeriodText());
    const std::optional<qint16> avgInterval = UsablePeriodSeconds(view().avgPeriodText());
    if (!logInterval || !avgInterval) {
        view().showMessage(logInterval ? QStringLiteral("Avg period must be from 1s to 32767s")
                                       : QStringLiteral("Log period must be from 1s to 32767s"));
        return;
    }

    const Periods periods{*logInterval, *avgInterval};
    if (view().individualSensors()) {
        view().showMessage(QStringLiteral("Reading calibration values"));
        m_starting = true;
        const int run = ++m_runNumber;
        m_calibration.requestForModel(
            m_calValues, guarded([this, run, periods](const CalibrationOutcome &outcome) {
                if (run == m_runNumber)
                    calibrationRead(outcome, periods);
            }));
        return;
    }
    beginLogging(periods);
}

void LoggingRun::calibrationRead(const CalibrationOutcome &outcome, Periods periods)
{
    m_starting = false;
    m_calValues = outcome.values;
    if (!outcome.error.isEmpty())
        view().showRunTimeError(outcome.error);
    if (!outcome.output.isEmpty())
        view().appendOutput(outcome.output);
    if (!outcome.message.isEmpty())
        view().showMessage(outcome.message);
    if (!outcome.ok) {
        view().showLinkStatus(outcome.failure);
        return;
    }
    beginLogging(periods);
}

void LoggingRun::beginLogging(Periods periods)
{
    view().showLinkStatus(m_link.Status());

    if (view().logToFile()) {
        QString error;
        const FileOpening opening = OpenLogFile(error);
        if (opening == FileOpening::Failed)
            view().showRunTimeError(error);
        if (opening != FileOpening::Opened)
            view().clearLogToFile();
    }

    view().showLogging(true);
    const QDateTime now = m_clock.now();
    view().startTimer(LoggingSchedule::timerIntervalMs(periods.log));
    m_schedule.start(periods.log, periods.avg, now);
    m_clockOffsetMs = now.toMSecsSinceEpoch() - monotonicMs(m_clock);
    m_sums.ClearSums();
    m_instrument = LoggedInstrument::Of(m_link);
    m_instrumentKnown = true;
    m_heldLines.clear();
    m_isLogging = true;
    m_lineSettings = lineSettings();
    view().showHeading(ScreenHeading(m_lineSettings));
    view().layoutWindow();
}

void LoggingRun::Stop()
{
    // Lines held for an instrument that never came back hold only its own readings. A
    // failed write has stopped the run itself, saying what was lost.
    if (!writeHeldLines())
        return;
    m_isLogging = false;
    ++m_runNumber;
    view().showLogging(false);
    view().stopTimer();
    if (view().logToFile()) {
        CloseLogFile();
        view().showPlainTitle();
    }
    view().showMessage(QStringLiteral(" "));
}

void LoggingRun::Unload()
{
    if (m_isLogging)
        writeHeldLines();
    if (view().logToFile())
        CloseLogFile();
    view().stopTimer();
    m_isLogging = false;
    m_starting = false;
    ++m_runNumber;
}

// ---------------------------------------------------------------------------------------
// The log file

LoggingRun::FileOpening LoggingRun::OpenLogFile(QString &error)
{
    const QString chosen =
        m_dialogs.saveFileName(QStringLiteral("Record to file"), DocumentsFolder(), m_logFileName,
                               DataFileFilter, QStringLiteral("txt"));
    if (chosen.isEmpty())
        return FileOpening::Cancelled;

    m_logFileName = chosen;
    m_separator = DataFileSeparator(chosen);
    if (!m_logFile.create(chosen, error))
        return FileOpening::Failed;

    LogFileInfo info;
    info.version = m_link.Version();
    info.serialNumber = m_link.SerialNumber();
    info.units = m_link.units();
    info.individual = view().individualSensors();
    info.calValues = m_calValues;
    for (const QString &line : LogFileHeader(info, m_clock.now(), m_separator)) {
        if (!m_logFile.writeLine(line, error)) {
            m_logFile.close();
            return FileOpening::Failed;
        }
    }
    return FileOpening::Opened;
}

void LoggingRun::CloseLogFile()
{
    m_logFile.close();
}

// ---------------------------------------------------------------------------------------
// The timer

void LoggingRun::Tick(std::function<void()> ended)
{
    // A tick that falls due while requests still run (the last tick's readings, the
    // calibration of a start) or while a tick's message box is open is not queued behind
    // them: ticks that pile up make one, run when the link is free.
    if (m_ticking || !m_link.requestsIdle()) {
        m_dueTickEnded = std::move(ended);
        // A tick in progress runs the due one at its end (asked now, from inside the tick,
        // the link's idle call would come at once).
        if (!std::exchange(m_tickDue, true) && !m_ticking)
            runDueTickWhenIdle();
        return;
    }
    m_tickEnded = std::move(ended);
    // Without a run there is no schedule to follow.
    if (!m_isLogging) {
        endTick();
        return;
    }
    m_ticking = true;
    m_tickRun = m_runNumber;
    view().showMessage(LongTimeText(m_clock.now().time()));
    takeDueReadings();
}

void LoggingRun::runDueTickWhenIdle()
{
    m_link.whenRequestsIdle(guarded([this] {
        if (std::exchange(m_tickDue, false))
            Tick(std::exchange(m_dueTickEnded, {}));
    }));
}

void LoggingRun::takeDueReadings()
{
    for (;;) {
        const qint64 stepMs = clockStepMs();
        if (std::abs(stepMs) >= ClockStepLimitMs && !followClockStep(stepMs))
            return endTick();
        const qint64 nowMs = m_clock.now().toMSecsSinceEpoch();
        // Held up: the readings missed are not taken late; the periods that ended
        // meanwhile are written from the readings they had.
        if (m_schedule.farBehind(nowMs)) {
            m_schedule.skipMissedReadings(nowMs);
            if (!closePeriodsEndedBy(m_schedule.NextLogTime - 1))
                return endTick();
        }
        if (!m_schedule.readingDue(nowMs))
            break;

        if (instrumentConfirmed()) {
            m_readingFailure.clear();
            m_reader.requestReading(m_sums, m_calValues, m_lineSettings.individual,
                                    guarded([this](const ReadingOutcome &outcome) {
                                        if (tickGoesOn())
                                            readingTaken(outcome);
                                    }));
            return;
        }
        if (!m_isLogging)
            return endTick();
        if (!closePeriodsEndedBy(m_schedule.NextLogTime))
            return endTick();
        m_schedule.nextReading();
    }
    checkLinkAtTickEnd();
}

void LoggingRun::readingTaken(const ReadingOutcome &outcome)
{
    m_sums = outcome.sums;
    if (!outcome.error.isEmpty())
        view().showRunTimeError(outcome.error);
    noteFailure(outcome.failure);
    if (!m_lineSettings.temperatureModel) {
        readingDone();
        return;
    }
    m_reader.requestTemperatures(m_sums, guarded([this](const ReadingOutcome &temperatures) {
                                     if (tickGoesOn())
                                         temperaturesTaken(temperatures);
                                 }));
}

void LoggingRun::temperaturesTaken(const ReadingOutcome &outcome)
{
    m_sums = outcome.sums;
    if (!outcome.error.isEmpty()) {
        failTick(outcome.error);
        endTick();
        return;
    }
    noteFailure(outcome.failure);
    readingDone();
}

void LoggingRun::readingDone()
{
    if (!closePeriodsEndedBy(m_schedule.NextLogTime))
        return endTick();
    m_schedule.nextReading();
    // A stop (the timer stopped by a signal, in the console) ends the tick after the
    // reading it was taking.
    if (!view().timerEnabled())
        return endTick();
    takeDueReadings();
}

void LoggingRun::checkLinkAtTickEnd()
{
    // A lost link is connected again, and the instrument must be known before the next
    // reading: its status is read once a tick until it is.
    if (m_link.Connected() && m_instrumentKnown) {
        showTickStatus();
        endTick();
        return;
    }
    m_instrumentKnown = false;
    if (!m_link.Connected())
        m_link.requestConnect({});
    m_link.requestStatus(guarded([this](bool read) {
        if (!tickGoesOn())
            return;
        if (!read || checkInstrument())
            showTickStatus();
        endTick();
    }));
}

bool LoggingRun::tickGoesOn()
{
    if (m_isLogging && m_tickRun == m_runNumber)
        return true;
    endTick();
    return false;
}

void LoggingRun::noteFailure(const QString &why)
{
    // The link's own failures are its status, shown anyway.
    if (!why.isEmpty() && why != m_link.Status())
        m_readingFailure = why;
}

void LoggingRun::showTickStatus()
{
    // Why the last reading was not taken, when the reply was at fault.
    const QString status = m_link.Status();
    view().showLinkStatus(
        m_readingFailure.isEmpty() ? status : status + QStringLiteral("; ") + m_readingFailure);
}

void LoggingRun::endTick()
{
    m_ticking = false;
    const std::function<void()> ended = std::exchange(m_tickEnded, {});
    const std::weak_ptr<int> alive = m_lifetime.watch();
    if (ended)
        ended();
    // `ended` may have replaced the run (a new day's file in the console).
    if (alive.lock() && m_tickDue)
        runDueTickWhenIdle();
}

qint64 LoggingRun::clockStepMs()
{
    const qint64 offset = m_clock.now().toMSecsSinceEpoch() - monotonicMs(m_clock);
    return offset - std::exchange(m_clockOffsetMs, offset);
}

bool LoggingRun::followClockStep(qint64 stepMs)
{
    const QDateTime now = m_clock.now();
    if (m_sums.ReadingCount > 0 && !closePeriod(now))
        return false;
    m_sums.ClearSums();
    m_schedule.realign(now);
    view().showClockStep((stepMs + (stepMs < 0 ? -500 : 500)) / 1000, now.time());
    return true;
}

bool LoggingRun::instrumentConfirmed()
{
    if (!m_link.Connected())
        m_instrumentKnown = false;
    return m_instrumentKnown;
}

bool LoggingRun::checkInstrument()
{
    const LoggedInstrument found = LoggedInstrument::Of(m_link);
    // A run started while no status was known takes the first instrument that answers.
    if (m_instrument.isEmpty())
        m_instrument = found;
    if (found != m_instrument) {
        changeOfInstrument(found);
        return false;
    }
    m_instrumentKnown = true;
    return writeHeldLines();
}

void LoggingRun::changeOfInstrument(const LoggedInstrument &found)
{
    // Every reading summed so far is the noted instrument's: its lines, and the period
    // the change cut short, are written under its heading before the run stops.
    if (!writeHeldLines())
        return;
    if (m_sums.ReadingCount > 0) {
        m_instrumentKnown = true;
        if (!closePeriod(m_clock.now()))
            return;
    }
    view().showInstrumentChange(QStringLiteral("another instrument answers on the port: ") +
                                found.text() + QStringLiteral(", not ") + m_instrument.text());
    Stop();
}

bool LoggingRun::closePeriodsEndedBy(qint64 moment)
{
    while (m_schedule.NextAvgTime <= moment) {
        if (!closePeriod(QDateTime::fromMSecsSinceEpoch(m_schedule.NextAvgTime)))
            return false;
        m_schedule.nextPeriod();
    }
    return true;
}

bool LoggingRun::closePeriod(const QDateTime &end)
{
    const PeriodLine line{ScreenLine(m_sums, end.time(), m_lineSettings),
                          FileLine(m_sums, end, m_lineSettings, m_separator), end};
    m_sums.ClearSums();
    if (!m_instrumentKnown) {
        m_heldLines.append(line);
        return true;
    }
    return writePeriodLine(line);
}

bool LoggingRun::writePeriodLine(const PeriodLine &line)
{
    view().appendOutput(line.screen + LineEnd);
    if (view().logToFile()) {
        QString error;
        if (!m_logFile.writeLine(line.file, error)) {
            failWrite(error, line.end);
            return false;
        }
    }
    return true;
}

bool LoggingRun::writeHeldLines()
{
    const QList<PeriodLine> held = std::exchange(m_heldLines, {});
    for (const PeriodLine &line : held) {
        if (!writePeriodLine(line))
            return false;
    }
    return true;
}

void LoggingRun::failWrite(const QString &description, const QDateTime &periodEnd)
{
    // The run stops with the file: the user learns so, and which period the file lacks,
    // from the message, and from the status bar once the message is closed.
    const QString period = LongTimeText(periodEnd.addSecs(-m_schedule.AvgInterval).time()) +
                           QStringLiteral(" to ") + LongTimeText(periodEnd.time());
    view().showWriteFailure(description +
                            QStringLiteral("\r\nLogging has stopped: the period from ") + period +
                            QStringLiteral(" was not written to the file."));
    Stop();
    view().showMessage(QStringLiteral("Logging stopped - ") + period +
                       QStringLiteral(" not written"));
}

void LoggingRun::failTick(const QString &description)
{
    view().showRunTimeError(description);
    Stop();
}
