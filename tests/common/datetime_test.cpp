// SPDX-License-Identifier: GPL-3.0-or-later
// Times of day in seconds, date-times as counts of days, and the named date and time
// formats of the locale.
#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/TimeOfDay.h"

#include "LocaleGuard.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <limits>

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(TimeOfDay, DifferencesTheShortWayRoundMidnightAndClockTimesRoundTheClock)
{
    // (from, to, seconds ahead; exactly half a day counts as behind)
    const std::tuple<float, float, float> differences[] = {
        {10, 20, 10},        {20, 10, -10},           {86390, 10, 20},    {10, 86390, -20},
        {86399.5f, 0, 0.5f}, {0, 43200, -43200},      {43200, 0, -43200}, {0, 43199, 43199},
        {0, 0, 0},           {36000.5f, 36000, -0.5f}};
    for (const auto &[from, to, ahead] : differences)
        EXPECT_FLOAT_EQ(TimeDiff(from, to), ahead) << from << " -> " << to;
    // Taken between the singles: 86399.9 is no single.
    EXPECT_EQ(TimeDiff(86399.9f, 0.0f), (0.0f - 86399.9f) + 86400.0f);
    EXPECT_FLOAT_EQ(SecondsSinceMidnight({QDate(2026, 12, 5), QTime(10, 0, 7, 400)}), 36007.4f);
    // Rounded to the millisecond, then round the clock.
    const std::pair<double, QTime> clockTimes[] = {
        {36060, QTime(10, 1)},          {86399, QTime(23, 59, 59)}, {86400, QTime(0, 0)},
        {86410, QTime(0, 0, 10)},       {-1, QTime(23, 59, 59)},    {86399.9996, QTime(0, 0)},
        {36007.4, QTime(10, 0, 7, 400)}};
    for (const auto &[seconds, time] : clockTimes)
        EXPECT_EQ(TimeOfDayFromSeconds(seconds), time) << seconds;
    EXPECT_FALSE(TimeOfDayFromSeconds(NaN).isValid());
}

TEST(DateTimeDays, CountDaysFromThe30December1899BothWaysToTheMillisecond)
{
    const std::pair<QDate, double> counts[] = {
        {QDate(1899, 12, 30), 0},       {QDate(1900, 1, 1), 2},      {QDate(1900, 3, 1), 61},
        {QDate(1970, 1, 1), 25569},     {QDate(2024, 2, 29), 45351}, {QDate(2026, 12, 5), 46361},
        {QDate(9999, 12, 31), 2958465}, {QDate(100, 1, 1), -657434}, {QDate(1899, 12, 29), -1}};
    for (const auto &[date, days] : counts) {
        for (const int hours : {0, 6, 18}) { // the time of day is the fraction
            const QDateTime t(date, QTime(hours, 0));
            EXPECT_DOUBLE_EQ(DateTimeToDays(t), days + hours / 24.0) << days;
            EXPECT_EQ(DaysToDateTime(days + hours / 24.0), t) << days;
        }
    }
    // Every millisecond comes back: a stride through one day and the edges of the range.
    for (int ms = 0; ms < 86400000; ms += 9973) {
        const QDateTime t(QDate(2026, 12, 5), QTime::fromMSecsSinceStartOfDay(ms));
        ASSERT_EQ(DaysToDateTime(DateTimeToDays(t)), t) << ms;
    }
    for (const QDate date : {QDate(9999, 12, 31), QDate(1899, 12, 29)})
        EXPECT_EQ(DaysToDateTime(DateTimeToDays({date, QTime(23, 59, 59, 999)})).time(),
                  QTime(23, 59, 59, 999));
    // Sums of counts land on whole seconds, not on 09:59:59.
    double t = DateTimeToDays(QDateTime(QDate(2026, 12, 5), QTime(9, 0)));
    for (int k = 0; k < 360; ++k)
        t += SecondsToDays(10.0);
    EXPECT_EQ(DaysToDateTime(t), QDateTime(QDate(2026, 12, 5), QTime(10, 0)));
    EXPECT_DOUBLE_EQ(DaysToSeconds(SecondsToDays(3901.0)) + SecondsToDays(43200), 3901.5);
    // Outside 1 January 100 to 31 December 9999 there is no date-time.
    for (const double days :
         {NaN, std::numeric_limits<double>::infinity(), 1e300, -1e300, 2958466.0, -657435.0})
        EXPECT_FALSE(DaysToDateTime(days).isValid()) << days;
    EXPECT_TRUE(DaysToDateTime(2958465.99).isValid() && DateTimeToDays(QDateTime()) == 0.0);
}

TEST(NamedFormats, FollowTheLocaleWithoutZoneNames)
{
    const QDateTime t(QDate(2026, 12, 5), QTime(17, 14, 8, 600));
    // (locale; short date, long time, short time and medium date of t; long time of 09:05:03)
    const std::pair<QLocale, QString> rows[] = {
        {QLocale(QLocale::English, QLocale::UnitedKingdom),
         "05/12/2026|17:14:08|17:14|05-Dec-26|09:05:03"},
        {QLocale(QLocale::English, QLocale::UnitedStates),
         "12/5/26|5:14:08 PM|5:14 PM|05-Dec-26|9:05:03 AM"},
        {QLocale(QLocale::German, QLocale::Germany), "05.12.26|17:14:08|17:14|05-Dez-26|09:05:03"}};
    for (const auto &[locale, texts] : rows) {
        const LocaleGuard guard(locale);
        const QStringList named{
            FormatNamed(t, NamedFormat::ShortDate), FormatNamed(t, NamedFormat::LongTime),
            FormatNamed(t, NamedFormat::ShortTime), FormatNamed(t, NamedFormat::MediumDate),
            LongTimeText(QTime(9, 5, 3))};
        EXPECT_EQ(named.join('|'), texts);
        EXPECT_EQ(FormatNamed(t, NamedFormat::LongDate),
                  QLocale().toString(t.date(), QLocale::LongFormat));
        EXPECT_EQ(FormatLoggerTime(t), named[3] + " " + named[1]);
        EXPECT_EQ(FormatLoggerTime(DateTimeToDays(t), false), named[0] + " " + named[1]);
    }
    // Every locale's long time keeps its seconds and loses the zone name (a "t" outside
    // quotes), wherever the zone stood.
    for (const auto language : {QLocale::Chinese, QLocale::Japanese, QLocale::Finnish,
                                QLocale::Bulgarian, QLocale::Korean, QLocale::French}) {
        const QString pattern = LongTimePattern(QLocale(language));
        QString unquoted = pattern;
        unquoted.remove(QRegularExpression("'[^']*'"));
        EXPECT_TRUE(!unquoted.contains('t') && pattern.contains('s') &&
                    pattern == pattern.trimmed())
            << pattern.toStdString();
    }
    EXPECT_EQ(LongTimePattern(QLocale(QLocale::Chinese, QLocale::China)), "HH:mm:ss");
    // The medium date's month is the plain abbreviation; fractions of seconds are dropped.
    const LocaleGuard uk(QLocale(QLocale::English, QLocale::UnitedKingdom));
    for (int month = 1; month <= 12; ++month)
        EXPECT_FALSE(MediumDateText(QDate(2026, month, 15)).contains('.')) << month;
    EXPECT_EQ(MediumDateText(QDate(2000, 2, 29)), "29-Feb-00");
    EXPECT_EQ(FormatLoggerTime(0.0) + " " + FormatLoggerTime(0.0, false),
              "30-Dec-99 00:00:00 30/12/1899 00:00:00");
    EXPECT_EQ(FormatLoggerTime(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999))),
              "31-Dec-26 23:59:59");
    EXPECT_TRUE(FormatLoggerTime(QDateTime()).isEmpty() && FormatLoggerTime(NaN).isEmpty() &&
                MediumDateText(QDate()).isEmpty());
}

} // namespace
