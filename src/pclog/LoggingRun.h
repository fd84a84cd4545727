#pragma once

#include "CalibrationReader.h"
#include "LogFileWriter.h"
#include "LoggingSchedule.h"
#include "PeriodLines.h"
#include "ReadingSums.h"
#include "SensorReader.h"

#include <QChar>
#include <QString>

class Clock;
class FileDialogs;
class LoggingRunView;
class SensorLink;

// Logging on the computer: starting and stopping, the clock-aligned readings of the
// timer tick, the averaging periods with their lines on screen and in the log file. It
// belongs to the logging window and outlives its openings: the calibration factors and
// the last file name are kept from one opening to the next.
class LoggingRun
{
public:
    LoggingRun(SensorLink &link, Clock &clock, FileDialogs &dialogs,
               LogFileWriter::Opener opener = LogFileWriter::OpenReplacingFile);

    // The window the run works through; set before any other call.
    void setView(LoggingRunView &view) { m_view = &view; }

    // The start button: reads the calibration (individual sensors), opens the log file
    // (when asked), aligns the schedule to the clock and starts the timer. Periods that
    // cannot drive a schedule refuse the start with a message.
    void Start();
    // The stop button: stops the timer and closes the log file.
    void Stop();
    // The timer: takes every reading that is due, closes every averaging period that has
    // ended, and reconnects a lost link. A failure stops the run.
    void Tick();
    // The window closes: the log file is closed and the timer stopped.
    void Unload();

    bool IsLogging() const { return m_isLogging; }
    // A tick is running (it lets window events run between readings).
    bool InTick() const { return m_inTick; }
    const QString &LogFileName() const { return m_logFileName; }
    const CalibrationValues &CalValues() const { return m_calValues; }
    const ReadingSums &Sums() const { return m_sums; }
    const LoggingSchedule &Schedule() const { return m_schedule; }

    // The reading operations, with their messages shown through the window.
    bool GetIndividualReadings();
    bool GetTemp();
    bool ReadZQ3Calibration();
    bool ReadZQ4Calibration();
    void ClearSums() { m_sums.ClearSums(); }

private:
    enum class FileOpening { Opened, Cancelled, Failed };

    LoggingRunView &view() { return *m_view; }
    float secondsNow() const;
    LineSettings lineSettings() const;
    // Starts the schedule again from the clock at time of day t, dropping the partial
    // period unless the clock still lies in it, and notes it for the status bar.
    void realignToClock(float t);

    bool readCalibration();
    FileOpening OpenLogFile(QString &error);
    void CloseLogFile();
    // Writes the lines of the period ending at NextAvgTime and clears the sums; false
    // when the log file could not be written (the run has then stopped).
    bool closePeriod();
    void failTick(const QString &description);

    SensorLink &m_link;
    Clock &m_clock;
    FileDialogs &m_dialogs;
    LoggingRunView *m_view = nullptr;
    CalibrationReader m_calibration;
    SensorReader m_reader;
    LogFileWriter m_logFile;

    bool m_isLogging = false;
    bool m_inTick = false;
    CalibrationValues m_calValues{};
    ReadingSums m_sums;
    LoggingSchedule m_schedule;
    // The lines' layout, fixed at the start as the heading is: a link that drops out
    // clears its units and version, and the lines must keep their columns and decimals.
    LineSettings m_lineSettings;
    // Shown after the link's status once the schedule was realigned to the clock.
    QString m_realignedNote;
    QString m_logFileName;
    QChar m_separator = QLatin1Char('\t');
};
