// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The PC-logging tests: the logging window offscreen on a virtual clock, with an
// instrument at the far end of a fake cable whose replies a test sets, and the window's
// timer fired on virtual time, the link's queued requests run after each tick.

#include "FakeFileDialogs.h"
#include "QtPrinters.h"
#include "RecordingPrompts.h"
#include "VirtualLinkEvents.h"

#include "common/TimeOfDay.h"
#include "link/SensorLink.h"
#include "pclog/ui/frmPCLog.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

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

    QByteArray version = "ZQ3 v2.1";
    QByteArray units = "Units: W.m-2";
    QByteArray serialNumber = "1234";
    // The n-th reading (from 0): "total,diffuse,sun" at the prompt, and in test mode.
    std::function<QByteArray(int)> plainReading = [](int n) {
        return QByteArray::number(100 + n) + ",50.0,1";
    };
    std::function<QByteArray(int)> sensorReply = [](int) {
        return QByteArray("S100.0,50.0,1(4096 4096 4096 4096 4096 4096 4096 4096)");
    };
    QByteArray temperatures = "I\rTherm temp  21.40\rChip temp  25.10\rVref   2.500";
    QByteArray calibrationDump;
    // Readings and temperatures go unanswered; temperatures only; the identification;
    // nothing at all.
    bool readingsSilent = false;
    bool statusSilent = false;
    bool temperaturesSilent = false;
    bool silent = false;
    // When each "S" was heard (seconds after midnight).
    QList<float> readingTimes;

private:
    void heard(const QByteArray &bytes)
    {
        QByteArray reply;
        if (silent) {
            return;
        } else if (bytes == "R") {
            m_testMode = false;
            reply = QByteArray("\r\n") + SensorLink::PromptByte;
        } else if (bytes == "T") {
            m_testMode = true;
            reply = "T\rTEST:";
        } else if (bytes == "I" && !m_testMode && !statusSilent) {
            reply = "I" + version + '\r' + units + "\rBattery 3612mV\r" + serialNumber +
                    "\rNot logging\r";
        } else if (bytes == "S") {
            readingTimes.append(SecondsSinceMidnight(m_clock.now()));
            const int n = static_cast<int>(readingTimes.size()) - 1;
            if (!readingsSilent)
                reply = m_testMode ? sensorReply(n) + "\rTEST:" : "S" + plainReading(n) + '\r';
        } else if (bytes == "I" && !readingsSilent && !temperaturesSilent) {
            reply = temperatures + "\rTEST:";
        } else if (bytes == "E") {
            reply = calibrationDump + "\rTEST:";
        }
        if (!reply.isEmpty())
            m_line.deliver(reply, 0.01);
    }

    FakeLine &m_line;
    VirtualClock &m_clock;
    bool m_testMode = false;
};

class PCLogFixture : public ::testing::Test
{
protected:
    PCLogFixture()
    {
        link.setCommPort(1);
        readStatus();
    }

    // The link's queued requests run on virtual time until none is left.
    void runRequests()
    {
        runLinkEvents(clock, port, [this] { return link.requestsIdle(); });
    }
    void readStatus()
    {
        link.requestStatus({});
        runRequests();
    }

    // The window as the main window opens it, with the file made by `opener`.
    frmPCLog &open(LogFileWriter::Opener opener = LogFileWriter::OpenReplacingFile)
    {
        window = std::make_unique<frmPCLog>(
            link, clock, prompts, dialogs,
            frmPCLog::Host{[this] { return testMenu; }, [this] { ++takenBack; }},
            std::move(opener));
        window->show();
        return *window;
    }
    // Starts logging at `when` (a time of 1 June 2026) with the periods given; to a file
    // when `file` is not null, the file dialog answering with it (empty text: cancelled).
    void start(const QDateTime &when, const char *logPeriod, const char *avgPeriod,
               const QString &file = QString())
    {
        if (!window)
            open();
        window->cboLog->setCurrentText(QString::fromLatin1(logPeriod));
        window->cboAvg->setEditText(QString::fromLatin1(avgPeriod));
        window->chkFile->setChecked(!file.isNull());
        dialogs.answers = {file};
        clock.setNow(when);
        window->cmdLog->click();
        runRequests();
    }
    void start(const QTime &time, const char *logPeriod, const char *avgPeriod,
               const QString &file = QString())
    {
        start(QDateTime(QDate(2026, 6, 1), time), logPeriod, avgPeriod, file);
    }
    // Lets the window's timer fire for `seconds`, as often as its interval says.
    void runTimer(double seconds)
    {
        const double end = clock.monotonicSeconds() + seconds;
        while (window->Timer1.isActive()) {
            const double next = clock.monotonicSeconds() + window->Timer1.interval() / 1000.0;
            if (next > end)
                break;
            clock.advanceTo(next);
            tick();
        }
        clock.advanceTo(end);
    }
    // The timer held up: the clock jumps by `seconds` without a tick, then one tick.
    void lateTick(double seconds)
    {
        clock.advanceSeconds(seconds);
        tick();
    }
    // One tick, and the requests it queued.
    void tick()
    {
        window->Timer1_Timer();
        runRequests();
    }
    // The lines shown, and those in the log file after its header.
    QStringList shown() const { return window->outputText().split("\r\n", Qt::SkipEmptyParts); }
    QStringList fileLines() const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).split("\r\n", Qt::SkipEmptyParts).mid(4);
    }

    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(9, 59, 0))};
    FakeSerialPort port{clock};
    FakeLine &line = port.addLine(1);
    FakeInstrument instrument{line, clock};
    SensorLink link{port, clock};
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    bool testMenu = false;
    int takenBack = 0;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("run.txt"));
    std::unique_ptr<frmPCLog> window;
};

// A time of day as seconds after midnight.
inline float At(int hours, int minutes, double seconds)
{
    return static_cast<float>(hours * 3600 + minutes * 60 + seconds);
}
