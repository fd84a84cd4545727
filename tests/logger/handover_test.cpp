// The main window lends the instrument to the logger window from its "Built-in Logger"
// item and takes it back when the logger window closes.
#include "FakeLogger.h"
#include "RecordingPrompts.h"
#include "app/frmDisplay.h"
#include "app/frmLoggerFactory.h"
#include "link/SensorLink.h"
#include "logger/ui/frmLogger.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

#include <memory>

namespace {

class HandOverTest : public ::testing::Test
{
protected:
    HandOverTest()
    {
        display = std::make_unique<frmDisplay>(port, clock, pump, prompts);
        display->windows.logger = LoggerWindowFactory(clock, pump, prompts);
        display->ZQ4().setCommPort(1);
        display->move(40, 30);
        display->show();
        display->Timer1.start(frmDisplay::PollIntervalMs);
    }
    ~HandOverTest() override { display.reset(); }

    frmLogger *loggerWindow() const
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *window = qobject_cast<frmLogger *>(widget))
                return window;
        }
        return nullptr;
    }

    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(10, 0, 0))};
    FakeSerialPort port{clock};
    FakeLogger logger{port.addLine(1), clock};
    FakeEventPump pump;
    RecordingPrompts prompts;
    std::unique_ptr<frmDisplay> display;
};

TEST_F(HandOverTest, TheLoggerWindowTakesTheMainWindowsPlaceAndGivesItBack)
{
    display->mnuLogger_Click();
    frmLogger *window = loggerWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(display->isVisible());
    EXPECT_FALSE(display->Timer1.isActive());
    EXPECT_EQ(window->pos(), display->pos());

    // It reads the logger once it is on the screen.
    QApplication::processEvents();
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(logger.commands().first(), 15);
    EXPECT_EQ(window->findChild<QLabel *>("lblSerial")->text(),
              QStringLiteral("5523\nZQ5 v3.2\nW.m-2\n3612mV\n512kB"));

    const auto firstRead = logger.commands();
    window->close();
    EXPECT_TRUE(display->isVisible());
    EXPECT_TRUE(display->Timer1.isActive());
    EXPECT_EQ(display->Timer1.interval(), frmDisplay::PollIntervalMs);
    EXPECT_FALSE(window->Timer1.isActive());

    // Opened again: a fresh window that reads again.
    logger.frames.clear();
    display->mnuLogger_Click();
    QApplication::processEvents();
    EXPECT_EQ(loggerWindow()->state().MemoryBlocks, 1024);
    EXPECT_EQ(logger.commands(), firstRead);
    loggerWindow()->close();
}

} // namespace
