#include "LoggingRun.h"

#include "LogFileHeader.h"
#include "LogPeriods.h"
#include "LoggingRunView.h"
#include "link/InstrumentModel.h"

#include "common/DataFileText.h"
#include "common/NamedFormats.h"
#include "common/TimeOfDay.h"
#include "link/SensorLink.h"
#include "platform/Clock.h"
#include "platform/FileDialogs.h"

namespace {

const QString LineEnd = QStringLiteral("\r\n");

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

float LoggingRun::secondsNow() const
{
    return SecondsSinceMidnight(m_clock.now());
}

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
    const float timeOfDay = secondsNow();
    view().startTimer(LoggingSchedule::timerIntervalMs(*logInterval));
    m_schedule.start(*logInterval, *avgInterval, timeOfDay);
    m_sums.ClearSums();
    m_realignedNote.clear();
    m_isLogging = true;
    m_lineSettings = lineSettings();
    view().showHeading(ScreenHeading(m_lineSettings));
    view().layoutWindow();
}

void LoggingRun::Stop()
{
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
        const float timeOfDay = secondsNow();
        if (m_schedule.farBehind(timeOfDay) || m_schedule.farAhead(timeOfDay)) {
            // The clock was set either way, or the program held up: start again from the
            // next reading after now. That reading is taken at its own time, not now.
            realignToClock(timeOfDay);
            continue;
        }
        if (!m_schedule.readingDue(timeOfDay))
            break;

        GetIndividualReadings();
        if (m_lineSettings.temperatureModel) {
            const ReadingOutcome temperature = m_reader.GetTemp(m_sums);
            if (!temperature.error.isEmpty()) {
                failTick(temperature.error);
                return;
            }
        }

        while (m_schedule.periodEnded()) {
            if (!closePeriod())
                return;
            m_schedule.nextPeriod();
        }
        m_schedule.nextReading();

        view().letEventsRun();
        if (!view().timerEnabled())
            return;
    }

    if (!m_link.Connected()) {
        m_link.Connect();
        m_link.GetStatus();
    }
    view().showLinkStatus(m_link.Status() + m_realignedNote);
}

void LoggingRun::realignToClock(float t)
{
    // The partial period's readings belong to the line of its end: kept when the clock
    // still lies in that period, dropped when it ends no period the schedule now closes.
    const float periodEnd = m_schedule.NextAvgTime;
    m_schedule.realign(t);
    if (m_schedule.NextAvgTime != periodEnd)
        m_sums.ClearSums();
    m_realignedNote = QStringLiteral("; realigned to clock ") + LongTimeText(m_clock.now().time());
}

bool LoggingRun::closePeriod()
{
    const float periodEnd = m_schedule.NextAvgTime;
    const QString screenLine = ScreenLine(m_sums, periodEnd, m_lineSettings);
    const QString fileLine = FileLine(m_sums, PeriodEndDate(m_clock.now(), periodEnd), periodEnd,
                                      m_lineSettings, m_separator);
    m_sums.ClearSums();

    view().appendOutput(screenLine + LineEnd);
    if (view().logToFile()) {
        QString error;
        if (!m_logFile.writeLine(fileLine, error)) {
            failTick(error);
            return false;
        }
    }
    return true;
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
