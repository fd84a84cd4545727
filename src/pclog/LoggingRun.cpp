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

// Marks a tick in progress for as long as it runs.
class TickScope
{
public:
    explicit TickScope(bool &flag) : m_flag(flag) { m_flag = true; }
    ~TickScope() { m_flag = false; }
    TickScope(const TickScope &) = delete;
    TickScope &operator=(const TickScope &) = delete;

private:
    bool &m_flag;
};

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
    // A period of no seconds (or beyond 16 bits) cannot drive the schedule: refuse the
    // start before anything is asked of the instrument or the user.
    const std::optional<qint16> logInterval = UsablePeriodSeconds(view().logPeriodText());
    const std::optional<qint16> avgInterval = UsablePeriodSeconds(view().avgPeriodText());
    if (!logInterval || !avgInterval) {
        view().showMessage(logInterval ? QStringLiteral("Avg period must be from 1s to 32767s")
                                       : QStringLiteral("Log period must be from 1s to 32767s"));
        return;
    }

    if (view().individualSensors() && !readCalibration())
        return;

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
    view().startTimer(LoggingSchedule::timerIntervalMs(*logInterval));
    m_schedule.start(*logInterval, *avgInterval, now);
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
}

bool LoggingRun::readCalibration()
{
    view().showMessage(QStringLiteral("Reading calibration values"));
    const CalibrationOutcome outcome = m_calibration.ReadForModel(m_calValues);
    if (!outcome.error.isEmpty())
        view().showRunTimeError(outcome.error);
    if (!outcome.output.isEmpty())
        view().appendOutput(outcome.output);
    if (!outcome.message.isEmpty())
        view().showMessage(outcome.message);
    return outcome.ok;
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

void LoggingRun::Tick()
{
    // Events let run inside a tick can bring the timer round again: that tick has
    // nothing to do, this one takes every reading that is due. Without a run there is no
    // schedule to follow.
    if (m_inTick || !m_isLogging)
        return;
    const TickScope scope(m_inTick);

    view().showMessage(LongTimeText(m_clock.now().time()));
    for (;;) {
        const qint64 stepMs = clockStepMs();
        if (std::abs(stepMs) >= ClockStepLimitMs && !followClockStep(stepMs))
            return;
        const qint64 nowMs = m_clock.now().toMSecsSinceEpoch();
        // Held up: the readings missed are not taken late; the periods that ended
        // meanwhile are written from the readings they had.
        if (m_schedule.farBehind(nowMs)) {
            m_schedule.skipMissedReadings(nowMs);
            if (!closePeriodsEndedBy(m_schedule.NextLogTime - 1))
                return;
        }
        if (!m_schedule.readingDue(nowMs))
            break;

        if (instrumentConfirmed()) {
            GetIndividualReadings();
            if (m_lineSettings.temperatureModel) {
                const ReadingOutcome temperature = m_reader.GetTemp(m_sums);
                if (!temperature.error.isEmpty()) {
                    failTick(temperature.error);
                    return;
                }
            }
        } else if (!m_isLogging) {
            return;
        }

        if (!closePeriodsEndedBy(m_schedule.NextLogTime))
            return;
        m_schedule.nextReading();

        view().letEventsRun();
        if (!view().timerEnabled())
            return;
    }

    // A lost link is connected again, and the instrument must be known before the next
    // reading: its status is read once a tick until it is.
    if (!m_link.Connected() || !m_instrumentKnown) {
        m_instrumentKnown = false;
        if (!m_link.Connected())
            m_link.Connect();
        if (m_link.GetStatus() && !checkInstrument())
            return;
    }
    view().showLinkStatus(m_link.Status());
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
    view().showRunTimeError(description +
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

// ---------------------------------------------------------------------------------------
// Reading operations

bool LoggingRun::GetIndividualReadings()
{
    const ReadingOutcome outcome =
        m_reader.GetIndividualReadings(m_sums, m_calValues, view().individualSensors());
    if (!outcome.error.isEmpty())
        view().showRunTimeError(outcome.error);
    return outcome.ok;
}

bool LoggingRun::GetTemp()
{
    const ReadingOutcome outcome = m_reader.GetTemp(m_sums);
    if (!outcome.error.isEmpty())
        view().showRunTimeError(outcome.error);
    return outcome.ok;
}

bool LoggingRun::ReadZQ3Calibration()
{
    QString output;
    const bool ok = m_calibration.ReadZQ3Calibration(m_calValues, output);
    if (!output.isEmpty())
        view().appendOutput(output);
    return ok;
}

bool LoggingRun::ReadZQ4Calibration()
{
    QString output;
    QString error;
    const bool ok = m_calibration.ReadZQ4Calibration(m_calValues, output, error);
    if (!error.isEmpty())
        view().showRunTimeError(error);
    if (!output.isEmpty())
        view().appendOutput(output);
    return ok;
}
