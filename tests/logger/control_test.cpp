// Setting the logger's clock and starting and stopping logging: the packets byte for
// byte, the default start times, and the two buttons with their questions and dialogs
// against a fake logger.
#include "LoggerWindowFixture.h"

#include "common/NamedFormats.h"
#include "logger/LoggerControl.h"
#include "logger/LoggingStart.h"
#include "logger/ui/frmSetTime.h"
#include "logger/ui/frmStartLogging.h"

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
    // A logger with program flags `flags` (stopped by default) and records not yet
    // downloaded, whose clock runs 90 s ahead.
    void programmedLogger(quint8 flags = 0x00)
    {
        logger.setProgram(0x0A, 0x41, flags, 10, 12, 100, 14);
        logger.setStatus(StampAt(2026, 6, 1, 8), LoggerTimeStamp{}, 196);
        logger.clockOffsetSeconds = 90;
    }

    double loggerNow() const { return DateTimeToDays(clock.now()) + state().ClockOffset; }

    // The window is read again after every action, and given back to the user.
    void expectReadAgainAndEnabled()
    {
        EXPECT_FALSE(logger.framesOf(15).isEmpty());
        EXPECT_TRUE(ui().cmdRefresh->isEnabled());
        EXPECT_TRUE(ui().cmdDownload->isEnabled());
        EXPECT_TRUE(window->Timer1.isActive());
    }

    int dialogsShown = 0;
};

TEST_F(LoggerControlTest, SettingTheClockAsksWhileLoggingAndSendsTheChosenTime)
{
    struct Case
    {
        const char *name;
        bool logging;
        bool answer; // to the question while logging
        bool pick;   // a picked date and time instead of the computer's
        bool ok;     // OK rather than Cancel in the dialog
    };
    const Case cases[] = {
        {"LoggingNotConfirmed", true, false, false, true},
        {"LoggingConfirmed", true, true, false, true},
        {"StoppedPicked", false, false, true, true},
        {"StoppedCancelled", false, false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.logging)
            programmedLogger();
        open();
        LoggerTimeStamp expected;
        window->runDialog = [&](QDialog &dialog) {
            ++dialogsShown;
            auto &setTime = dynamic_cast<frmSetTime &>(dialog);
            setTime.show();
            EXPECT_TRUE(setTime.isEnabled());
            EXPECT_FALSE(ui().cmdRefresh->isEnabled());
            EXPECT_TRUE(setTime.optSync->isChecked());
            EXPECT_EQ(setTime.DTDate->date(), clock.now().date());
            EXPECT_TRUE(setTime.Timer1.isActive());
            clock.advanceSeconds(3);
            expected = LoggerTimeStamp::fromDays(DateTimeToDays(clock.now()));
            if (c.pick) {
                // 31 December of a leap year is day 366.
                setTime.DTDate->setDate(QDate(2024, 12, 31));
                setTime.DTTime->setTime(QTime(23, 59, 58));
                EXPECT_TRUE(setTime.optSet->isChecked());
                expected = StampAt(2024, 12, 31, 23, 59, 58);
            }
            (c.ok ? setTime.OKButton : setTime.CancelButton)->click();
            EXPECT_FALSE(setTime.Timer1.isActive());
        };
        prompts.clear();
        prompts.answers = {c.answer};
        logger.frames.clear();
        window->cmdSetTime_Click();

        const bool asked = c.logging;
        ASSERT_EQ(prompts.calls().size(), asked ? 1 : 0);
        if (asked) {
            EXPECT_EQ(prompts.calls().at(0).kind, RecordingPrompts::Kind::Confirm);
            EXPECT_EQ(prompts.calls().at(0).title, QStringLiteral("Set Logger Time"));
            EXPECT_EQ(prompts.calls().at(0).text,
                      QStringLiteral("If you adjust the time while logging,\r\nyour dataset may "
                                     "show gaps or repeat readings.\r\nAre you sure you want to "
                                     "change the time?"));
        }
        const bool shown = !asked || c.answer;
        EXPECT_EQ(dialogsShown, shown ? 1 : 0);
        const QList<FakeLogger::Frame> sent = logger.framesOf(13);
        ASSERT_EQ(sent.size(), shown && c.ok ? 1 : 0);
        if (!sent.isEmpty()) {
            EXPECT_EQ(sent.at(0).data.toHex(), expected.encode().toHex());
        }
        expectReadAgainAndEnabled();
        dialogsShown = 0;
    }
}

TEST_F(LoggerControlTest, StartingAsksAboutDataNotDownloadedAndSendsProgramAndStart)
{
    struct Case
    {
        const char *name;
        quint8 flags;
        bool answer;
        bool immediate;
        const char *program; // the first six bytes of command 11, empty when none is sent
    };
    const Case cases[] = {
        // Logging: the button stops at once, without a question.
        {"Stop", 0x02, false, true, "000000000000"},
        {"NotConfirmed", 0x00, false, true, ""},
        // 30 s readings and 10 min averages as chosen in the lists, logging on.
        {"Immediate", 0x00, true, true, "1e004a000002"},
        {"AtAPickedTimeWithOverwrite", 0x01, true, false, "1e004a000003"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        programmedLogger(c.flags);
        open();
        ui().cboRdg->setCurrentIndex(ui().cboRdg->findText(QStringLiteral("30s")));
        ui().cboAvg->setCurrentIndex(ui().cboAvg->findText(QStringLiteral("10m")));
        QByteArray expected;
        window->runDialog = [&](QDialog &dialog) {
            ++dialogsShown;
            auto &start = dynamic_cast<frmStartLogging &>(dialog);
            start.show();
            EXPECT_EQ(start.AvgPeriod, 600);
            EXPECT_TRUE(start.optNow->isChecked());
            // The logger's time, 90 s ahead: 10:01:30 starts by default at 11:00.
            EXPECT_EQ(start.lblPCTime->text(), FormatLoggerTime(loggerNow(), true));
            EXPECT_EQ(start.DTDate->date(), QDate(2026, 6, 1));
            EXPECT_EQ(start.DTTime->time(), QTime(11, 0, 0));
            clock.advanceSeconds(2);
            expected = LoggerTimeStamp::fromDays(loggerNow() - 1.0 / 86400).encode();
            if (!c.immediate) {
                start.DTTime->setTime(QTime(12, 30, 0));
                EXPECT_TRUE(start.optSet->isChecked());
                expected = StampAt(2026, 6, 1, 12, 30).encode();
            }
            start.OKButton->click();
        };
        prompts.clear();
        prompts.answers = {c.answer};
        logger.frames.clear();
        window->cmdStartLogging_Click();

        const bool logging = (c.flags & 0x02) != 0;
        ASSERT_EQ(prompts.calls().size(), logging ? 0 : 1);
        if (!logging) {
            EXPECT_EQ(prompts.calls().at(0).title, QStringLiteral("Start Logging"));
            EXPECT_EQ(prompts.calls().at(0).text,
                      QStringLiteral("You have not downloaded all your data. \r\nThis may be "
                                     "deleted if you start logging now.\r\nAre you sure you want "
                                     "to continue?"));
        }
        EXPECT_EQ(dialogsShown, c.answer ? 1 : 0);
        const QList<FakeLogger::Frame> sent = logger.framesOf(11);
        ASSERT_EQ(sent.size(), QByteArray(c.program).isEmpty() ? 0 : 1);
        if (!sent.isEmpty()) {
            const QByteArray start = logging ? QByteArray(8, '\0') : expected;
            EXPECT_EQ(sent.at(0).data.toHex(), QByteArray(c.program) + start.toHex());
        }
        expectReadAgainAndEnabled();
        dialogsShown = 0;
    }
}

} // namespace
