// Setting the logger's clock and starting and stopping logging: the packets byte for
// byte, the default start times, and the two buttons with their questions and dialogs
// against a fake logger.
#include "LoggerWindowFixture.h"

#include "common/NamedFormats.h"
#include "logger/LoggerControl.h"
#include "logger/LoggingStart.h"
#include "logger/frmSetTime.h"
#include "logger/frmStartLogging.h"

#include <QDateEdit>
#include <QRadioButton>
#include <QTimeEdit>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

TEST(LoggerControlDataTest, PacketsCarryStampsPeriodCodesAndFlags)
{
    struct Case
    {
        const char *name;
        QByteArray data;
        QByteArray expected;
    };
    const Case cases[] = {
        // 2027 = 0x07EB, day 1, midnight.
        {"ClockOnTheFirstDayOfTheYear", LoggerControlData::SetClock(Days(2027, 1, 1)),
         hex("eb07010000000000")},
        // 31 December of a leap year is day 366 (0x016E); 23:59:59 is second 86399.
        {"ClockOnTheLastDayOfALeapYear",
         LoggerControlData::SetClock(Days(2024, 12, 31, 23, 59, 59)), hex("e8076e017f510100")},
        // 0.6 s past rounds to the next second, carrying into the next year.
        {"ClockRoundedToTheSecond",
         LoggerControlData::SetClock(Days(2024, 12, 31, 23, 59, 59) + 0.6 / 86400),
         hex("e907010000000000")},
        // 10 s readings, 1 min averages, logging on, start 1 June 2026 (day 152) 10:00.
        {"StartWithoutOverwrite",
         LoggerControlData::StartLogging(10, 60, false, Days(2026, 6, 1, 10)),
         hex("0a0041000002ea079800a08c0000")},
        // 1 h readings, 2 h averages, overwrite and logging on.
        {"StartWithOverwrite",
         LoggerControlData::StartLogging(3600, 7200, true, Days(2026, 6, 1, 10)),
         hex("810082000003ea079800a08c0000")},
        {"Stop", LoggerControlData::StopLogging(), QByteArray(14, '\0')},
        {"DownloadPointer", LoggerControlData::DownloadPointer(0x0123, 508), hex("2301fc01")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.data.toHex(), c.expected.toHex());
    }
}

TEST(LoggingStartTest, DefaultStartIsTheNextHourOrTheNextMultipleOfALongerPeriod)
{
    struct Case
    {
        const char *name;
        double loggerNow;
        qint32 avgPeriod;
        double date;
        double time; // seconds from the date's midnight
    };
    const double today = Days(2026, 6, 1);
    const Case cases[] = {
        {"TenMinutesAtHalfPastTen", Days(2026, 6, 1, 10, 30), 600, today, 11 * 3600},
        // The next whole hour past 23:30 is a whole day: the next day's midnight.
        {"TenMinutesAtHalfPastEleven", Days(2026, 6, 1, 23, 30), 600, today, 86400},
        {"OnTheHourItIsTheNextOne", Days(2026, 6, 1, 10), 3600, today, 11 * 3600},
        {"TwoHoursAtTenPastNine", Days(2026, 6, 1, 9, 10), 7200, today, 10 * 3600},
        {"TwoHoursAtTen", Days(2026, 6, 1, 10), 7200, today, 12 * 3600},
        {"TwelveHoursInTheEvening", Days(2026, 6, 1, 20), 43200, today, 86400},
        // 09:59:59.6 counts as 10:00:00.
        {"SecondsAreRoundedFirst", Days(2026, 6, 1, 9, 59, 59) + 0.6 / 86400, 60, today, 11 * 3600},
        {"NoPeriodCountsAsAnHour", Days(2026, 6, 1, 10, 15), 0, today, 11 * 3600},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const LoggingStart::Pickers pickers = LoggingStart::DefaultStart(c.loggerNow, c.avgPeriod);
        EXPECT_DOUBLE_EQ(pickers.date, c.date);
        EXPECT_NEAR(pickers.time * 86400, c.time, 1e-6);
    }
    EXPECT_NEAR((LoggingStart::ImmediateStart(Days(2026, 6, 1)) - Days(2026, 5, 31, 23, 59, 59)) *
                    86400,
                0, 1e-6);
}

class LoggerControlTest : public LoggerWindowFixture
{
protected:
    // A stopped logger with records not yet downloaded, whose clock runs 90 s ahead.
    void stoppedLogger(quint8 flags = 0x00)
    {
        logger.setProgram(0x0A, 0x41, flags, 10, 12, 100, 14);
        logger.setStatus(StampAt(2026, 6, 1, 8), LoggerTimeStamp{}, 196);
        logger.clockOffsetSeconds = 90;
    }

    QList<FakeLogger::Frame> framesOf(quint8 command) const
    {
        QList<FakeLogger::Frame> found;
        for (const FakeLogger::Frame &frame : logger.frames) {
            if (frame.command == command)
                found.append(frame);
        }
        return found;
    }

    double loggerNow() const { return DateTimeToDays(clock.now()) + state().ClockOffset; }

    // The window is read again after every action, and given back to the user.
    void expectReadAgainAndEnabled()
    {
        EXPECT_FALSE(framesOf(15).isEmpty());
        EXPECT_TRUE(ui().cmdRefresh->isEnabled());
        EXPECT_TRUE(ui().cmdDownload->isEnabled());
        EXPECT_TRUE(window->Timer1.isActive());
    }

    int dialogsShown = 0;
};

TEST_F(LoggerControlTest, SettingTheClockWhileLoggingAsksFirst)
{
    for (const bool answer : {false, true}) {
        SCOPED_TRACE(answer);
        open();
        window->runDialog = [this](QDialog &dialog) {
            ++dialogsShown;
            dialog.reject();
        };
        prompts.calls.clear();
        prompts.answers = {answer};
        logger.frames.clear();
        window->cmdSetTime_Click();

        ASSERT_EQ(prompts.calls.size(), 1);
        EXPECT_EQ(prompts.calls.at(0).kind, RecordingPrompts::Kind::Confirm);
        EXPECT_EQ(prompts.calls.at(0).title, QStringLiteral("Set Logger Time"));
        EXPECT_EQ(prompts.calls.at(0).text,
                  QStringLiteral("If you adjust the time while logging,\r\nyour dataset may "
                                 "show gaps or repeat readings.\r\nAre you sure you want to "
                                 "change the time?"));
        EXPECT_EQ(dialogsShown, answer ? 1 : 0);
        // Cancelling the dialog sends nothing either.
        EXPECT_TRUE(framesOf(13).isEmpty());
        expectReadAgainAndEnabled();
        dialogsShown = 0;
    }
}

TEST_F(LoggerControlTest, TheClockIsSetToTheComputersTimeOrToThePickedOne)
{
    stoppedLogger();
    for (const bool pick : {false, true}) {
        SCOPED_TRACE(pick);
        open();
        LoggerTimeStamp expected;
        window->runDialog = [&](QDialog &dialog) {
            auto &setTime = dynamic_cast<frmSetTime &>(dialog);
            setTime.show();
            EXPECT_TRUE(setTime.isEnabled());
            EXPECT_FALSE(ui().cmdRefresh->isEnabled());
            EXPECT_EQ(setTime.windowTitle(), QStringLiteral("Set Logger Time"));
            EXPECT_TRUE(setTime.optSync->isChecked());
            EXPECT_EQ(setTime.DTDate->date(), clock.now().date());
            EXPECT_EQ(setTime.Timer1.interval(), 500);
            EXPECT_TRUE(setTime.Timer1.isActive());
            clock.advanceSeconds(3);
            if (pick) {
                setTime.DTDate->setDate(QDate(2024, 12, 31));
                setTime.DTTime->setTime(QTime(23, 59, 58));
                EXPECT_TRUE(setTime.optSet->isChecked());
                expected = StampAt(2024, 12, 31, 23, 59, 58);
            } else {
                expected = LoggerTimeStamp::fromDays(DateTimeToDays(clock.now()));
            }
            setTime.OKButton->click();
            EXPECT_FALSE(setTime.Timer1.isActive());
        };
        logger.frames.clear();
        window->cmdSetTime_Click();

        EXPECT_TRUE(prompts.calls.isEmpty());
        const QList<FakeLogger::Frame> sent = framesOf(13);
        ASSERT_EQ(sent.size(), 1);
        EXPECT_EQ(sent.at(0).address, 0);
        EXPECT_EQ(sent.at(0).data.toHex(), expected.encode().toHex());
        expectReadAgainAndEnabled();
    }
}

TEST_F(LoggerControlTest, WhileLoggingTheButtonStopsAtOnce)
{
    open();
    window->runDialog = [this](QDialog &) { ++dialogsShown; };
    logger.frames.clear();
    window->cmdStartLogging_Click();

    EXPECT_TRUE(prompts.calls.isEmpty());
    EXPECT_EQ(dialogsShown, 0);
    const QList<FakeLogger::Frame> sent = framesOf(11);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent.at(0).data, QByteArray(14, '\0'));
    expectReadAgainAndEnabled();
}

TEST_F(LoggerControlTest, DataNotYetDownloadedIsAskedAboutBeforeStarting)
{
    stoppedLogger();
    open();
    window->runDialog = [this](QDialog &) { ++dialogsShown; };
    prompts.answers = {false};
    logger.frames.clear();
    window->cmdStartLogging_Click();

    ASSERT_EQ(prompts.calls.size(), 1);
    EXPECT_EQ(prompts.calls.at(0).kind, RecordingPrompts::Kind::Confirm);
    EXPECT_EQ(prompts.calls.at(0).title, QStringLiteral("Start Logging"));
    EXPECT_EQ(prompts.calls.at(0).text,
              QStringLiteral("You have not downloaded all your data. \r\nThis may be deleted "
                             "if you start logging now.\r\nAre you sure you want to continue?"));
    EXPECT_EQ(dialogsShown, 0);
    EXPECT_TRUE(framesOf(11).isEmpty());
    expectReadAgainAndEnabled();
}

TEST_F(LoggerControlTest, StartingSendsTheChosenProgramAndTheStartTime)
{
    struct Case
    {
        const char *name;
        bool immediate;
        bool overwrite;
    };
    for (const Case c : {Case{"Immediate", true, false}, Case{"AtAPickedTime", false, true}}) {
        SCOPED_TRACE(c.name);
        stoppedLogger(c.overwrite ? 0x01 : 0x00);
        open();
        // A program other than the logger's: 30 s readings, 10 min averages.
        ui().cboRdg->setCurrentIndex(ui().cboRdg->findText(QStringLiteral("30s")));
        ui().cboAvg->setCurrentIndex(ui().cboAvg->findText(QStringLiteral("10m")));
        LoggerTimeStamp expected;
        window->runDialog = [&](QDialog &dialog) {
            auto &start = dynamic_cast<frmStartLogging &>(dialog);
            start.show();
            EXPECT_EQ(start.windowTitle(), QStringLiteral("Start Logging"));
            EXPECT_EQ(start.AvgPeriod, 600);
            EXPECT_TRUE(start.optNow->isChecked());
            // The logger's time, not the computer's: 10:01:30 gives 11:00.
            EXPECT_EQ(start.lblPCTime->text(), FormatLoggerTime(loggerNow(), true));
            EXPECT_EQ(start.DTDate->date(), QDate(2026, 6, 1));
            EXPECT_EQ(start.DTTime->time(), QTime(11, 0, 0));
            clock.advanceSeconds(2);
            if (c.immediate) {
                expected = LoggerTimeStamp::fromDays(loggerNow() - 1.0 / 86400);
            } else {
                start.DTTime->setTime(QTime(12, 30, 0));
                EXPECT_TRUE(start.optSet->isChecked());
                expected = StampAt(2026, 6, 1, 12, 30);
            }
            start.OKButton->click();
        };
        prompts.answers = {true};
        logger.frames.clear();
        window->cmdStartLogging_Click();

        const QList<FakeLogger::Frame> sent = framesOf(11);
        ASSERT_EQ(sent.size(), 1);
        const QByteArray program = hex("1e004a0000") + QByteArray(1, c.overwrite ? 3 : 2);
        EXPECT_EQ(sent.at(0).data.toHex(), (program + expected.encode()).toHex());
        expectReadAgainAndEnabled();
    }
}

TEST_F(LoggerControlTest, ADefaultStartPastMidnightShowsTheNextDay)
{
    stoppedLogger();
    clock.setNow(QDateTime(QDate(2026, 6, 1), QTime(23, 28, 0)));
    open();
    window->runDialog = [&](QDialog &dialog) {
        auto &start = dynamic_cast<frmStartLogging &>(dialog);
        start.show();
        EXPECT_EQ(start.DTDate->date(), QDate(2026, 6, 2));
        EXPECT_EQ(start.DTTime->time(), QTime(0, 0, 0));
        EXPECT_DOUBLE_EQ(start.pickedTime(), Days(2026, 6, 2));
        start.reject();
    };
    prompts.answers = {true};
    logger.frames.clear();
    window->cmdStartLogging_Click();
    EXPECT_TRUE(framesOf(11).isEmpty());
}

} // namespace
