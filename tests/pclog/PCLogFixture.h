#pragma once

// Shared pieces of the PC-logging tests: an instrument at the far end of a fake cable
// whose replies a test sets, a recording stand-in for the logging window, and a timer
// that fires on virtual time.

#include "pclog/LoggingRun.h"
#include "pclog/LoggingRunView.h"

#include "common/TimeOfDay.h"
#include "link/SensorLink.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include <gtest/gtest.h>

// An instrument that answers the link's commands with texts the test chooses: "R" with
// the prompt, "I" with its identification, "S" with readings (plain at the prompt,
// counts in test mode), "T" with the test prompt, and in test mode "I" with temperatures
// and "E" with a calibration dump. Replies arrive 10 ms after the command.
class FakeInstrument
{
public:
    FakeInstrument(FakeLine &line, VirtualClock &clock) : m_line(line), m_clock(clock)
    {
        m_line.onWrite = [this](const QByteArray &bytes) { heard(bytes); };
    }
    ~FakeInstrument() { m_line.onWrite = nullptr; }
    FakeInstrument(const FakeInstrument &) = delete;
    FakeInstrument &operator=(const FakeInstrument &) = delete;

    QByteArray version = "ZQ3 v2.1";
    QByteArray units = "Units: W.m-2";
    QByteArray serialNumber = "1234";
    // The n-th reading (from 0): "total,diffuse,sun" at the prompt.
    std::function<QByteArray(int)> plainReading = [](int n) {
        return QByteArray::number(100 + n) + ",50.0,1";
    };
    // The n-th reading in test mode, without the trailing CR and prompt.
    std::function<QByteArray(int)> sensorReply = [](int) {
        return QByteArray("S100.0,50.0,1(4096 4096 4096 4096 4096 4096 4096 4096)");
    };
    QByteArray temperatures = "I\rTherm temp  21.40\rChip temp  25.10\rVref   2.500";
    QByteArray calibrationDump;
    // Seconds from "E" to its dump.
    double calibrationDelay = 0.01;
    // Readings and temperatures go unanswered (everything else still answers).
    bool readingsSilent = false;
    // Nothing is answered at all.
    bool silent = false;

    // Seconds after midnight (wall clock) at which each "S" was heard.
    QList<float> readingTimes;
    int readings() const { return static_cast<int>(readingTimes.size()); }

private:
    void heard(const QByteArray &bytes)
    {
        if (silent)
            return;
        if (bytes == "R") {
            m_testMode = false;
            answer(QByteArray("\r\n") + SensorLink::PromptByte);
        } else if (bytes == "T") {
            m_testMode = true;
            answer("T\rTEST:");
        } else if (bytes == "I" && !m_testMode) {
            answer("I" + version + '\r' + units + "\rBattery 3612mV\r" + serialNumber +
                   "\rNot logging\r");
        } else if (bytes == "S") {
            readingTimes.append(SecondsSinceMidnight(m_clock.now()));
            const int n = m_count++;
            if (readingsSilent)
                return;
            answer(m_testMode ? sensorReply(n) + "\rTEST:" : "S" + plainReading(n) + '\r');
        } else if (bytes == "I" && !readingsSilent) {
            answer(temperatures + "\rTEST:");
        } else if (bytes == "E") {
            answer(calibrationDump + "\rTEST:", calibrationDelay);
        }
    }

    void answer(const QByteArray &reply, double delay = 0.01) { m_line.deliver(reply, delay); }

    FakeLine &m_line;
    VirtualClock &m_clock;
    bool m_testMode = false;
    int m_count = 0;
};

// A fake instrument on COM 1 and the link to it, on a clock set to 1 June 2026, 09:59.
class InstrumentOnCable : public ::testing::Test
{
protected:
    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(9, 59, 0))};
    FakeSerialPort port{clock};
    FakeLine &line = port.addLine(1);
    FakeInstrument instrument{line, clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
};

// The logging window as the run sees it, recording what it is told.
class RecordingView : public LoggingRunView
{
public:
    explicit RecordingView(const VirtualClock &clock) : m_clock(clock) {}

    bool individualSensors() const override { return individual; }
    bool logToFile() const override { return file; }
    void clearLogToFile() override { file = false; }
    QString logPeriodText() const override { return logPeriod; }
    QString avgPeriodText() const override { return avgPeriod; }
    bool testMenuFlag() const override { return testMenu; }

    void showLinkStatus(const QString &text) override { panel1 = text; }
    void showMessage(const QString &text) override
    {
        panel2 = text;
        messages.append(text);
    }
    void appendOutput(const QString &text) override { appended.append(text); }
    void showHeading(const QString &text) override { heading = text; }
    void showLogging(bool on) override
    {
        logging = on;
        loggingShown.append(on);
    }
    void layoutWindow() override { ++layouts; }
    void showPlainTitle() override { ++plainTitles; }
    void showRunTimeError(const QString &description) override
    {
        errors.append(QStringLiteral("Error: ") + description);
    }
    void startTimer(int intervalMs) override
    {
        timerMs = intervalMs;
        timerOn = true;
        timerStartedAt = m_clock.monotonicSeconds();
    }
    void stopTimer() override { timerOn = false; }
    bool timerEnabled() const override { return timerOn; }
    void letEventsRun() override
    {
        if (duringEvents)
            duringEvents();
    }

    // The lines appended after the start, without their CR LF.
    QStringList lines() const
    {
        QStringList all;
        for (const QString &text : appended) {
            if (text.endsWith(QLatin1String("\r\n")))
                all.append(text.chopped(2));
        }
        return all;
    }

    bool individual = false;
    bool file = false;
    QString logPeriod = QStringLiteral("10s");
    QString avgPeriod = QStringLiteral("10s");
    bool testMenu = false;

    QString panel1;
    QString panel2;
    QStringList messages;
    QStringList appended;
    QString heading;
    bool logging = false;
    QList<bool> loggingShown;
    int layouts = 0;
    int plainTitles = 0;
    QStringList errors;
    int timerMs = 0;
    bool timerOn = false;
    double timerStartedAt = 0;
    std::function<void()> duringEvents;

private:
    const VirtualClock &m_clock;
};

// Fires the run's timer as the window's timer would, on virtual time: every interval
// from the start, a late tick merging the ones it missed.
class VirtualTimer
{
public:
    VirtualTimer(LoggingRun &run, RecordingView &view, VirtualClock &clock)
        : m_run(run), m_view(view), m_clock(clock)
    {}

    // Runs the timer for `seconds` of virtual time from now.
    void runFor(double seconds)
    {
        const double end = m_clock.monotonicSeconds() + seconds;
        if (m_startedAt != m_view.timerStartedAt) {
            m_startedAt = m_view.timerStartedAt;
            m_next = m_startedAt + interval();
        }
        while (m_view.timerOn && m_next <= end) {
            if (m_clock.monotonicSeconds() < m_next)
                m_clock.advanceTo(m_next);
            m_run.Tick();
            m_next += interval();
            if (m_next < m_clock.monotonicSeconds())
                m_next = m_clock.monotonicSeconds();
        }
        if (m_clock.monotonicSeconds() < end)
            m_clock.advanceTo(end);
    }

    // The timer held up: the clock jumps by `seconds` without a tick, then one tick.
    void lateTick(double seconds)
    {
        m_clock.advanceSeconds(seconds);
        m_run.Tick();
        m_next = m_clock.monotonicSeconds() + interval();
    }

private:
    double interval() const { return m_view.timerMs / 1000.0; }

    LoggingRun &m_run;
    RecordingView &m_view;
    VirtualClock &m_clock;
    double m_startedAt = -1;
    double m_next = 0;
};

// A time of day as seconds after midnight.
inline float At(int hours, int minutes, double seconds)
{
    return static_cast<float>(hours * 3600 + minutes * 60 + seconds);
}

// Lets a window's timer fire for `seconds` of virtual time, as often as its interval says.
template <class Window> void RunWindowTimer(Window &window, VirtualClock &clock, double seconds)
{
    const double end = clock.monotonicSeconds() + seconds;
    while (window.Timer1.isActive()) {
        const double next = clock.monotonicSeconds() + window.Timer1.interval() / 1000.0;
        if (next > end)
            break;
        clock.advanceTo(next);
        window.Timer1_Timer();
    }
}
