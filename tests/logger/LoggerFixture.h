// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The logger window's tests run against the simulated ZQ5 at the far end of a fake cable,
// on virtual time: reads cost no real time and no window needs a screen. A test plants
// the logger's memory and program, and spoils replies with the simulator's faults. What
// the window queues on the link runs when the test runs the link's events.

#include "Instrument.h"
#include "QtPrinters.h"
#include "RecordingPrompts.h"
#include "SimulatedLine.h"
#include "VirtualLinkEvents.h"

// After the simulator, whose SimMode::Prompt it would otherwise shadow.
#include "Bytes.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "link/Frame.h"
#include "link/SensorLink.h"
#include "logger/ui/frmLogger.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <memory>

inline QDateTime At(int month, int day, int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute, second));
}

// A logger time: the simulator's count of local seconds.
inline qint64 LoggerSeconds(const QDateTime &time)
{
    return SimLocalTime::secondsOf(time);
}

// A run of records in the logger's memory, one an interval apart, each the record
// 3A 5C 80 07 (284.7 and 976.6 W.m-2 in units code 1, sunny in 7 of its readings).
struct Stretch
{
    QDateTime first;
    int records;
    quint8 readingCode = 0x0A;   // 10 s
    quint8 averagingCode = 0x41; // 1 min
    int unitsCode = 1;
};

class LoggerFixture : public ::testing::Test
{
protected:
    LoggerFixture()
    {
        link.setCommPort(1);
        useLogger(1024);
        plantLoggingDataset();
    }

    // A simulated ZQ5 in W.m-2 with a logger of `memoryBlocks` blocks on the cable, its
    // bytes at the line's pace when `paced`.
    void useLogger(int memoryBlocks, bool paced = false, const SimPrefillOptions &prefill = {})
    {
        simulated.reset();
        InstrumentOptions options(SimModel::ZQ5);
        options.logger.memoryBlocks = memoryBlocks;
        options.logger.prefill = prefill;
        instrument = std::make_unique<Instrument>(clock, options);
        instrument->state().selectUnits(1);
        instrument->noteHeardFrames(true);
        simulated = std::make_unique<SimulatedLine>(*instrument, cable, paced);
    }

    // Plants a dataset from `startBlock`: every stretch begins a block of its own and
    // fills the blocks after it. `flags` is the program's (logging 0x02, overwrite 0x01);
    // a logging logger records its next one an interval after the last.
    void plant(int startBlock, const QList<Stretch> &stretches, quint8 flags, int downloadBlock,
               int downloadAddress)
    {
        SimRecorder &recorder = logger().recorder();
        recorder.beginDataset(startBlock);
        SimProgram program;
        qint64 next = 0;
        for (const Stretch &stretch : stretches) {
            program.readingCode = stretch.readingCode;
            program.averagingCode = stretch.averagingCode;
            recorder.setProgram(program);
            next = LoggerSeconds(stretch.first);
            for (int i = 0; i < stretch.records; ++i, next += program.intervalSeconds())
                recorder.store(next, {933, 3200, 7}, stretch.unitsCode);
        }
        program.flags = flags;
        program.start = LoggerSeconds(stretches.first().first) - program.intervalSeconds();
        recorder.setProgram(program);
        recorder.resumeAt(program.logging() ? std::optional<qint64>(next) : std::nullopt);
        recorder.setDownloadPointer(downloadBlock, downloadAddress);
    }

    // One-minute records (10 s readings) logged without overwrite into a memory of 1024
    // blocks: 547 records up to now (10:00) in blocks 10 to 14, the top one holding 47,
    // downloaded up to the record at offset 100 of block 12 (05:26).
    void plantLoggingDataset(quint8 flags = 0x02)
    {
        plant(10, {{At(6, 1, 0, 54), 547}}, flags, 12, 100);
    }

    frmLogger &open()
    {
        window = std::make_unique<frmLogger>(link, clock, prompts, [this] { ++giveBacks; });
        window->Form_Load();
        runLink();
        return *window;
    }
    // What the event loop does meanwhile: the window's sequences run to their end, or
    // until `until` holds.
    void runLink(const std::function<bool()> &until = {})
    {
        runLinkEvents(clock, port, [&] {
            return (until && until()) || (link.requestsIdle() && !(window && window->busy()));
        });
    }
    void click(QPushButton *button)
    {
        button->click();
        runLink();
    }
    const LoggerControls &ui() const { return window->controls(); }
    // The logger's state as the window's last read found it (which must have succeeded).
    const LoggerState &state() const { return window->details().logger.value.value(); }
    SimLogger &logger() { return instrument->logger(); }
    static QString text(const QLabel *label) { return label->text(); }
    // The frames the computer has sent to the logger.
    QList<SimHeardFrame> &frames() { return instrument->heardFrames(); }

    VirtualClock clock{At(6, 1, 10)};
    FakeSerialPort port{clock};
    FakeLine &cable{port.addLine(1)};
    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<SimulatedLine> simulated;
    SensorLink link{port, clock};
    RecordingPrompts prompts;
    int giveBacks = 0;
    std::unique_ptr<frmLogger> window;
};
