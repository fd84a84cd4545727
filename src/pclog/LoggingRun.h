// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CalibrationReader.h"
#include "LogFileWriter.h"
#include "LoggedInstrument.h"
#include "LoggingSchedule.h"
#include "PeriodLines.h"
#include "ReadingSums.h"
#include "SensorReader.h"
#include "link/Lifetime.h"

#include <QChar>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class Clock;
class FileDialogs;
class LoggingRunView;
class SensorLink;

// Logging on the computer: starting and stopping, the clock-aligned readings of the
// timer tick, the averaging periods with their lines on screen and in the log file. It
// belongs to the logging window and outlives its openings: the calibration factors and
// the last file name are kept from one opening to the next.
//
// The schedule runs on real time; each line carries the clock time of its period's end
// as the time zone gives it. A setting of the clock (seen as the clock moving otherwise
// than the monotonic time) cuts the period: its line is written from the readings it had,
// stamped at the step, and the schedule starts again from the clock. The run notes the
// instrument it starts with; after a loss of the link no reading is taken and no line
// written until the instrument is known again, and another instrument stops the run.
class LoggingRun
{
public:
    LoggingRun(SensorLink &link, Clock &clock, FileDialogs &dialogs,
               LogFileWriter::Opener opener = LogFileWriter::OpenReplacingFile);
    LoggingRun(const LoggingRun &) = delete;
    LoggingRun &operator=(const LoggingRun &) = delete;

    // The window the run works through; set before any other call.
    void setView(LoggingRunView &view) { m_view = &view; }

    // The start button: reads the calibration (individual sensors), opens the log file
    // (when asked), aligns the schedule to the clock and starts the timer. Periods that
    // cannot drive a schedule refuse the start with a message. With individual sensors the
    // run starts once the calibration has come; a click meanwhile does nothing.
    void Start();
    // The stop button: stops the timer and closes the log file. A reading still on the
    // line is not added.
    void Stop();
    // The timer: takes every reading that is due, closes every averaging period that has
    // ended, and reconnects a lost link. A failure or another instrument stops the run.
    // The readings are the link's queued requests, taken one after the other; `ended`
    // runs once the tick's last request has ended. Ticks that fall due while requests
    // still run are not queued behind them: they make one tick, run when the link is free
    // (with the `ended` of the last of them).
    void Tick(std::function<void()> ended = {});
    // The window closes: the log file is closed with every line written so far, the
    // timer stopped, and a start or a reading still on the line comes to nothing.
    void Unload();

    bool IsLogging() const { return m_isLogging; }
    // The calibration read of a start is on the line.
    bool IsStarting() const { return m_starting; }
    const QString &LogFileName() const { return m_logFileName; }
    const CalibrationValues &CalValues() const { return m_calValues; }
    const ReadingSums &Sums() const { return m_sums; }
    const LoggingSchedule &Schedule() const { return m_schedule; }
    void ClearSums() { m_sums.ClearSums(); }

private:
    enum class FileOpening { Opened, Cancelled, Failed };
    // A period's line on screen and in the file.
    struct PeriodLine
    {
        QString screen;
        QString file;
        // When its averaging period ended.
        QDateTime end;
    };

    LoggingRunView &view() { return *m_view; }
    LineSettings lineSettings() const;
    // The clock's step since the last look (wall clock against monotonic time), in ms.
    qint64 clockStepMs();
    // The clock was set by stepMs: the period so far is written, stamped now, and the
    // schedule starts again from the clock. False when the line could not be written.
    bool followClockStep(qint64 stepMs);
    // Whether readings may be taken: the link is connected to the instrument noted at the
    // start. A lost link makes it unknown until the end of a tick reads its status again.
    bool instrumentConfirmed();
    // The status just read names the noted instrument (the held lines are written then),
    // or another one (the run stops).
    bool checkInstrument();
    void changeOfInstrument(const LoggedInstrument &found);

    // `call` made safe to run after the run has gone: a request it queued may end later.
    template <typename F> auto guarded(F call) { return m_lifetime.guard(std::move(call)); }
    // The log and averaging periods of a start, in seconds.
    struct Periods
    {
        qint16 log;
        qint16 avg;
    };
    // The calibration came: the start goes on when it was read.
    void calibrationRead(const CalibrationOutcome &outcome, Periods periods);
    void beginLogging(Periods periods);

    // The steps of a tick: the readings due, one at a time; each reading's outcome, then
    // its temperatures'; the periods its reading ends; at the end the link connected again
    // and the instrument checked when it is not known.
    void takeDueReadings();
    void readingTaken(const ReadingOutcome &outcome);
    void temperaturesTaken(const ReadingOutcome &outcome);
    void readingDone();
    void checkLinkAtTickEnd();
    void showTickStatus();
    // The last thing every way through a tick does: runs its `ended`, then a tick that
    // fell due meanwhile.
    void endTick();
    void runDueTickWhenIdle();
    // A request of this tick has ended: false (and the tick ended) when the run it was made
    // for has stopped or started afresh meanwhile.
    bool tickGoesOn();
    // A reading not taken for a fault of the reply: the reason is shown with the link's
    // status until the next reading.
    void noteFailure(const QString &why);
    FileOpening OpenLogFile(QString &error);
    void CloseLogFile();
    // Writes the lines of the period ending at `end` and clears the sums; held while the
    // instrument is not known. False when the log file could not be written (the run has
    // then stopped).
    bool closePeriod(const QDateTime &end);
    // Closes every period that ends at or before `moment` (ms since the epoch).
    bool closePeriodsEndedBy(qint64 moment);
    bool writePeriodLine(const PeriodLine &line);
    bool writeHeldLines();
    void failTick(const QString &description);
    // A period's line could not be written: the run stops, saying which period is lost.
    void failWrite(const QString &description, const QDateTime &periodEnd);

    SensorLink &m_link;
    Clock &m_clock;
    FileDialogs &m_dialogs;
    LoggingRunView *m_view = nullptr;
    CalibrationReader m_calibration;
    SensorReader m_reader;
    LogFileWriter m_logFile;

    bool m_isLogging = false;
    bool m_starting = false;
    // Counts the starts, stops and unloads: a request's end that belongs to an earlier
    // one is not applied.
    int m_runNumber = 0;
    // A tick's readings are being taken; the run number it was started for, and what it
    // runs at its end.
    bool m_ticking = false;
    int m_tickRun = 0;
    std::function<void()> m_tickEnded;
    // A tick fell due while the link was busy, and the `ended` it brought.
    bool m_tickDue = false;
    std::function<void()> m_dueTickEnded;
    // Why the last reading (or its temperatures) was not taken, when the reply was at
    // fault; empty otherwise.
    QString m_readingFailure;
    CalibrationValues m_calValues{};
    ReadingSums m_sums;
    LoggingSchedule m_schedule;
    // The lines' layout, fixed at the start as the heading is: a link that drops out
    // clears its units and version, and the lines must keep their columns and decimals.
    LineSettings m_lineSettings;
    // The wall clock less the monotonic time at the last look, in ms.
    qint64 m_clockOffsetMs = 0;
    // The instrument the run writes about, and whether the link is known to talk to it.
    LoggedInstrument m_instrument;
    bool m_instrumentKnown = false;
    // Lines of periods that ended while the instrument was not known.
    QList<PeriodLine> m_heldLines;
    QString m_logFileName;
    QChar m_separator = QLatin1Char('\t');
    Lifetime m_lifetime;
};
