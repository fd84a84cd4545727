#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/TimeOfDay.h"

#include "LocaleGuard.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(TimeDiff, SignedTimeAcrossMidnight)
{
    struct Case
    {
        float a;
        float b;
        float expected;
    };
    const Case cases[] = {
        {10.0f, 20.0f, 10.0f},
        {20.0f, 10.0f, -10.0f},
        {86390.0f, 10.0f, 20.0f},  // forwards over midnight
        {10.0f, 86390.0f, -20.0f}, // backwards over midnight
        {86399.5f, 0.0f, 0.5f},
        {0.0f, 43200.0f, -43200.0f}, // exactly half a day counts as behind
        {43200.0f, 0.0f, -43200.0f},
        {0.0f, 43199.0f, 43199.0f},
        {36007.9f, 36010.0f, 36010.0f - 36007.9f},
        {36000.5f, 36000.0f, -0.5f},
        {0.0f, 0.0f, 0.0f},
    };
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(TimeDiff(c.a, c.b), c.expected) << c.a << " -> " << c.b;
}

TEST(TimeDiff, WorksInSinglePrecision)
{
    // 86399.9 is not representable in single precision; the difference is taken between
    // the singles, as the schedule stores them.
    const float a = 86399.9f;
    EXPECT_EQ(TimeDiff(a, 0.0f), (0.0f - a) + 86400.0f);
}

TEST(TimeOfDay, SecondsSinceMidnight)
{
    const QDate day(2026, 12, 5);
    EXPECT_FLOAT_EQ(SecondsSinceMidnight(QDateTime(day, QTime(0, 0))), 0.0f);
    EXPECT_FLOAT_EQ(SecondsSinceMidnight(QDateTime(day, QTime(10, 0, 7, 400))), 36007.4f);
    EXPECT_FLOAT_EQ(SecondsSinceMidnight(QDateTime(day, QTime(23, 59, 59, 999))), 86399.999f);
}

TEST(TimeOfDay, ClockTimeOfSeconds)
{
    struct Case
    {
        double seconds;
        QTime expected;
    };
    const Case cases[] = {
        {0.0, QTime(0, 0)},
        {36060.0, QTime(10, 1)},
        {86399.0, QTime(23, 59, 59)},
        {86400.0, QTime(0, 0)},
        {86410.0, QTime(0, 0, 10)},
        {-1.0, QTime(23, 59, 59)},
        {36007.4, QTime(10, 0, 7, 400)},
        {86399.9996, QTime(0, 0)}, // rounds to the millisecond, then round the clock
    };
    for (const Case &c : cases)
        EXPECT_EQ(TimeOfDayFromSeconds(c.seconds), c.expected) << c.seconds;
    EXPECT_FALSE(TimeOfDayFromSeconds(std::numeric_limits<double>::quiet_NaN()).isValid());
}

TEST(DateTimeDays, KnownCounts)
{
    struct Case
    {
        QDateTime t;
        double days;
    };
    const Case cases[] = {
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0.0},
        {QDateTime(QDate(1899, 12, 31), QTime(12, 0)), 1.5},
        {QDateTime(QDate(1899, 12, 29), QTime(18, 0)), -0.25},
        {QDateTime(QDate(1900, 1, 1), QTime(0, 0)), 2.0},
        {QDateTime(QDate(1900, 3, 1), QTime(0, 0)), 61.0},
        {QDateTime(QDate(1970, 1, 1), QTime(0, 0)), 25569.0},
        {QDateTime(QDate(2026, 12, 5), QTime(6, 0)), 46361.25},
        {QDateTime(QDate(2026, 12, 5), QTime(18, 0)), 46361.75},
        {QDateTime(QDate(2024, 2, 29), QTime(0, 0)), 45351.0},
        {QDateTime(QDate(9999, 12, 31), QTime(0, 0)), 2958465.0},
        {QDateTime(QDate(100, 1, 1), QTime(0, 0)), -657434.0},
    };
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(DateTimeToDays(c.t), c.days) << c.t.toString().toStdString();
        EXPECT_EQ(DaysToDateTime(c.days), c.t) << c.days;
    }
}

TEST(DateTimeDays, RoundTripToTheMillisecond)
{
    const QDateTime cases[] = {
        QDateTime(QDate(2024, 2, 29), QTime(12, 34, 56, 789)), // leap day
        QDateTime(QDate(2000, 2, 29), QTime(0, 0)),
        QDateTime(QDate(2026, 12, 5), QTime(0, 0)), // midnight
        QDateTime(QDate(2026, 12, 5), QTime(23, 59, 59, 999)),
        QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999)),
        QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0, 1)),
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999)),
        QDateTime(QDate(100, 1, 1), QTime(0, 0, 0, 1)),
        QDateTime(QDate(1899, 12, 29), QTime(23, 59, 59, 999)),
        QDateTime(QDate(1899, 12, 30), QTime(0, 0, 0, 1)),
    };
    for (const QDateTime &t : cases) {
        const QDateTime back = DaysToDateTime(DateTimeToDays(t));
        EXPECT_EQ(back.date(), t.date()) << t.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_EQ(back.time(), t.time()) << t.toString(Qt::ISODateWithMs).toStdString();
    }
}

TEST(DateTimeDays, EveryMillisecondOfADayRoundTrips)
{
    // A stride through one day that visits many millisecond values, including the last.
    const QDate day(2026, 12, 5);
    for (int ms = 0; ms < 86400000; ms += 9973) {
        const QDateTime t(day, QTime::fromMSecsSinceStartOfDay(ms));
        ASSERT_EQ(DaysToDateTime(DateTimeToDays(t)), t) << ms;
    }
    const QDateTime last(day, QTime(23, 59, 59, 999));
    EXPECT_EQ(DaysToDateTime(DateTimeToDays(last)), last);
}

TEST(DateTimeDays, SumsOfCountsLandOnWholeSeconds)
{
    // Record times are built as block time + k x interval; the small binary errors of such
    // sums must not show as 09:59:59.
    const double blockTime = DateTimeToDays(QDateTime(QDate(2026, 12, 5), QTime(9, 0)));
    double t = blockTime;
    for (int k = 0; k < 360; ++k)
        t += SecondsToDays(10.0);
    EXPECT_EQ(DaysToDateTime(t), QDateTime(QDate(2026, 12, 5), QTime(10, 0)));
}

TEST(DateTimeDays, InvalidAndOutOfRange)
{
    EXPECT_EQ(DateTimeToDays(QDateTime()), 0.0);
    EXPECT_FALSE(DaysToDateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
    EXPECT_FALSE(DaysToDateTime(std::numeric_limits<double>::infinity()).isValid());
    EXPECT_FALSE(DaysToDateTime(1e300).isValid());
    EXPECT_FALSE(DaysToDateTime(-1e300).isValid());
    EXPECT_FALSE(DaysToDateTime(2958466.0).isValid()); // 1 January 10000
    EXPECT_FALSE(DaysToDateTime(-657435.0).isValid()); // 31 December 99
    EXPECT_TRUE(DaysToDateTime(2958465.99).isValid());
}

TEST(DateTimeDays, SecondsAsDays)
{
    EXPECT_DOUBLE_EQ(SecondsToDays(86400.0), 1.0);
    EXPECT_DOUBLE_EQ(SecondsToDays(-300.0), -300.0 / 86400.0);
    EXPECT_DOUBLE_EQ(SecondsToDays(43200.0), 0.5);
    EXPECT_DOUBLE_EQ(DaysToSeconds(0.25), 21600.0);
    EXPECT_DOUBLE_EQ(DaysToSeconds(SecondsToDays(3901.0)), 3901.0);
}

struct NamedCase
{
    QLocale::Language language;
    QLocale::Territory territory;
    const char *shortDate;
    const char *longTime;
    const char *shortTime;
    const char *mediumDate;
    const char *morningTime; // 09:05:03
};

const NamedCase namedCases[] = {
    {QLocale::English, QLocale::UnitedKingdom, "05/12/2026", "17:14:08", "17:14", "05-Dec-26",
     "09:05:03"},
    {QLocale::English, QLocale::UnitedStates, "12/5/26", "5:14:08 PM", "5:14 PM", "05-Dec-26",
     "9:05:03 AM"},
    {QLocale::German, QLocale::Germany, "05.12.26", "17:14:08", "17:14", "05-Dez-26", "09:05:03"},
};

class NamedFormatsTest : public ::testing::TestWithParam<NamedCase>
{
};

TEST_P(NamedFormatsTest, FollowTheLocale)
{
    const NamedCase c = GetParam();
    LocaleGuard locale(QLocale(c.language, c.territory));
    const QDateTime t(QDate(2026, 12, 5), QTime(17, 14, 8, 600));

    EXPECT_EQ(FormatNamed(t, NamedFormat::ShortDate).toStdString(), c.shortDate);
    EXPECT_EQ(FormatNamed(t, NamedFormat::LongTime).toStdString(), c.longTime);
    EXPECT_EQ(FormatNamed(t, NamedFormat::ShortTime).toStdString(), c.shortTime);
    EXPECT_EQ(FormatNamed(t, NamedFormat::MediumDate).toStdString(), c.mediumDate);
    EXPECT_EQ(FormatNamed(t, NamedFormat::LongDate),
              QLocale().toString(t.date(), QLocale::LongFormat));
    EXPECT_TRUE(FormatNamed(t, NamedFormat::LongDate).contains(QStringLiteral("2026")));
    EXPECT_EQ(LongTimeText(QTime(9, 5, 3)).toStdString(), c.morningTime);

    EXPECT_EQ(FormatLoggerTime(t).toStdString(), std::string(c.mediumDate) + " " + c.longTime);
    EXPECT_EQ(FormatLoggerTime(t, false).toStdString(),
              std::string(c.shortDate) + " " + c.longTime);
    EXPECT_EQ(FormatLoggerTime(DateTimeToDays(t), true), FormatLoggerTime(t, true));
}

INSTANTIATE_TEST_SUITE_P(Locales, NamedFormatsTest, ::testing::ValuesIn(namedCases));

// A date-time pattern without its quoted literal texts.
QString unquoted(const QString &pattern)
{
    QString out;
    bool quoted = false;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted)
            out += c;
    }
    return out;
}

TEST(NamedFormats, LongTimeHasSecondsAndNoZone)
{
    // Every locale's long time keeps its seconds and loses the zone name, wherever the
    // zone stood in the pattern.
    const QLocale::Language languages[] = {QLocale::Chinese,   QLocale::Japanese, QLocale::Finnish,
                                           QLocale::Bulgarian, QLocale::Korean,   QLocale::French};
    for (const QLocale::Language language : languages) {
        const QLocale locale(language);
        const QString pattern = LongTimePattern(locale);
        EXPECT_FALSE(unquoted(pattern).contains(QLatin1Char('t'))) << pattern.toStdString();
        EXPECT_TRUE(pattern.contains(QLatin1Char('s'))) << pattern.toStdString();
        EXPECT_EQ(pattern, pattern.trimmed());
    }
    EXPECT_EQ(LongTimePattern(QLocale(QLocale::Chinese, QLocale::China)),
              QStringLiteral("HH:mm:ss"));
}

TEST(NamedFormats, MediumDateOfEveryMonth)
{
    LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(MediumDateText(QDate(2026, 1, 1)), QStringLiteral("01-Jan-26"));
    EXPECT_EQ(MediumDateText(QDate(1999, 7, 31)), QStringLiteral("31-Jul-99"));
    EXPECT_EQ(MediumDateText(QDate(2000, 2, 29)), QStringLiteral("29-Feb-00"));
    for (int month = 1; month <= 12; ++month) {
        const QString text = MediumDateText(QDate(2026, month, 15));
        EXPECT_TRUE(text.startsWith(QStringLiteral("15-"))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("-26"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1Char('.'))) << text.toStdString();
    }
}

TEST(NamedFormats, InvalidDateTimesGiveEmptyText)
{
    EXPECT_TRUE(FormatLoggerTime(QDateTime()).isEmpty());
    EXPECT_TRUE(FormatLoggerTime(std::numeric_limits<double>::quiet_NaN()).isEmpty());
    EXPECT_TRUE(MediumDateText(QDate()).isEmpty());
}

TEST(NamedFormats, LoggerTimeAtDayZeroAndMidnight)
{
    LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(FormatLoggerTime(0.0), QStringLiteral("30-Dec-99 00:00:00"));
    EXPECT_EQ(FormatLoggerTime(0.0, false), QStringLiteral("30/12/1899 00:00:00"));
    // Fractions of a second are dropped, as the clock shows them.
    const QDateTime late(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
    EXPECT_EQ(FormatLoggerTime(late), QStringLiteral("31-Dec-26 23:59:59"));
}

} // namespace
