#pragma once

// A logger window on a fake serial line with a FakeLogger at the far end, on virtual
// time: reads cost no real time and no window needs a screen.

#include "FakeLogger.h"
#include "QtPrinters.h"
#include "RecordingPrompts.h"
#include "common/DateTimeDays.h"
#include "link/SensorLink.h"
#include "logger/ui/frmLogger.h"
#include "platform/FakeEventPump.h"
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

inline double Days(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return DateTimeToDays(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

inline LoggerTimeStamp StampAt(int year, int month, int day, int hour = 0, int minute = 0,
                               int second = 0)
{
    return LoggerTimeStamp::fromDays(Days(year, month, day, hour, minute, second));
}

class LoggerWindowFixture : public ::testing::Test
{
protected:
    LoggerWindowFixture()
    {
        link.setCommPort(1);
        loggingLogger();
    }

    // A logger that is logging one-minute records (10 s readings), without overwrite, in a
    // memory of 1024 blocks: the dataset runs from block 10 to block 14, downloaded up to
    // the record at offset 100 of block 12.
    void loggingLogger()
    {
        logger.memoryBlocks = 1024;
        logger.setProgram(0x0A, 0x41, 0x02, 10, 12, 100, 14);
        logger.setStatus(StampAt(2026, 6, 1, 10, 0, 30), StampAt(2026, 6, 1, 10, 1, 0), 196);
        logger.blocks[10] = FakeLogger::block(StampAt(2026, 5, 31, 20, 0, 0), 0x0A, 0x41, 125);
        logger.blocks[12] = FakeLogger::block(StampAt(2026, 6, 1, 1, 0, 0), 0x0A, 0x41, 125);
        logger.blocks[14] = FakeLogger::block(StampAt(2026, 6, 1, 9, 0, 0), 0x0A, 0x41, 47);
    }

    frmLogger &open()
    {
        window = std::make_unique<frmLogger>(link, clock, pump, prompts, [this] { ++giveBacks; });
        window->Form_Load();
        return *window;
    }

    const LoggerControls &ui() const { return window->controls(); }
    const LoggerState &state() const { return window->state(); }

    QString text(const QLabel *label) const { return label->text(); }
    QColor textColour(const QWidget *widget) const
    {
        return widget->palette().color(QPalette::WindowText);
    }
    QStringList items(const QComboBox *list) const
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->itemText(i));
        return texts;
    }

    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(10, 0, 0))};
    FakeSerialPort port{clock};
    FakeLine &line{port.addLine(1)};
    FakeLogger logger{line, clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    RecordingPrompts prompts;
    int giveBacks = 0;
    std::unique_ptr<frmLogger> window;
};
