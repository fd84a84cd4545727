// The on-screen table: the heading, one row per averaging period with its padding and
// patterns, the sensors' spread, and the date a period's line belongs to.
#include "LocaleGuard.h"
#include "QtPrinters.h"

#include "pclog/PeriodLines.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

const float TenOneO = 10 * 3600 + 60; // 10:01:00

ReadingSums Single(float total, float diffuse, qint16 sun)
{
    ReadingSums sums;
    sums.TotalSum = total;
    sums.DiffuseSum = diffuse;
    sums.SunCount = sun;
    sums.ReadingCount = 1;
    return sums;
}

ReadingSums Sensors(std::array<float, 8> channels, float therm = 21.4f, float chip = 25.1f)
{
    ReadingSums sums = Single(500, 100, 1);
    for (size_t i = 0; i < 8; ++i)
        sums.IndividualSums[i] = channels[i];
    sums.ThermSum = therm;
    sums.ChipSum = chip;
    return sums;
}

LineSettings Settings(bool individual, bool temperature, bool testMenu, const char *fmt = "0.0")
{
    LineSettings settings;
    settings.fmt = QString::fromLatin1(fmt);
    settings.individual = individual;
    settings.temperatureModel = temperature;
    settings.testMenu = testMenu;
    return settings;
}

TEST(ScreenLinesTest, Heading)
{
    EXPECT_EQ(ScreenHeading(Settings(false, false, false)),
              QStringLiteral("  Time      Total Diffuse  Sun"));
    EXPECT_EQ(ScreenHeading(Settings(false, true, true)),
              QStringLiteral("  Time      Total Diffuse  Sun   Temp"));
    EXPECT_EQ(ScreenHeading(Settings(true, true, false)),
              QStringLiteral("  Time      Total Diffuse  Sun     P0     P1     P2     P3     P4"
                             "     P5     P6     P7   Temp"));
}

TEST(ScreenLinesTest, Rows)
{
    ReadingSums half = Single(200, 100, 1);
    half.ReadingCount = 2;
    ReadingSums none = Single(5, 5, 0);
    none.ReadingCount = 0;
    const std::array<float, 8> spread{2500, 2520, 2480, 2550, 2462, 2512, 2475, 2545};
    std::array<float, 8> dark = spread;
    dark[4] = 0;

    const struct
    {
        const char *name;
        ReadingSums sums;
        LineSettings settings;
        QString row;
    } cases[] = {
        {"plain", Single(102.5f, 50, 1), Settings(false, false, false),
         "10:01:00    102.5    50.0  1.0"},
        {"averages of two readings, sun in half", half, Settings(false, false, false),
         "10:01:00    100.0    50.0  0.5"},
        {"klux: two decimals", Single(12.345f, 3.2f, 0), Settings(false, false, false, "0.00"),
         "10:01:00    12.35    3.20  0.0"},
        {"numbers wider than their column are not cut", Single(1234567.8f, -5, 0),
         Settings(false, false, false), "10:01:00 1234567.8    -5.0  0.0"},
        {"no reading", none, Settings(true, true, true), "10:01:00 bad readings"},
        {"temperature", Sensors(spread), Settings(false, true, false),
         "10:01:00    500.0   100.0  1.0   21.4"},
        {"individual sensors and temperature", Sensors(spread), Settings(true, true, false),
         "10:01:00    500.0   100.0  1.0 2500.0 2520.0 2480.0 2550.0 2462.0 2512.0 2475.0 "
         "2545.0   21.4"},
        {"test menu: chip temperature and spread of sensors 1..7", Sensors(spread),
         Settings(true, true, true),
         "10:01:00    500.0   100.0  1.0 2500.0 2520.0 2480.0 2550.0 2462.0 2512.0 2475.0 "
         "2545.0   21.4   25.1  1.036"},
        {"test menu without a temperature model", Sensors(spread), Settings(true, false, true),
         "10:01:00    500.0   100.0  1.0 2500.0 2520.0 2480.0 2550.0 2462.0 2512.0 2475.0 "
         "2545.0  1.036"},
        {"no spread when a sensor reads nothing", Sensors(dark), Settings(true, true, true),
         "10:01:00    500.0   100.0  1.0 2500.0 2520.0 2480.0 2550.0    0.0 2512.0 2475.0 "
         "2545.0   21.4   25.1"},
        {"no spread without individual sensors", Sensors(spread), Settings(false, true, true),
         "10:01:00    500.0   100.0  1.0   21.4   25.1"},
        {"negative temperatures", Sensors(spread, -12.5f, -3), Settings(false, true, true),
         "10:01:00    500.0   100.0  1.0  -12.5   -3.0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ScreenLine(c.sums, TenOneO, c.settings), c.row) << c.name;
}

TEST(ScreenLinesTest, RegionalDecimalSeparatorAndClock)
{
    const LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ScreenLine(Single(102.5f, 50, 1), TenOneO, Settings(false, false, false)),
              QStringLiteral("10:01:00    102,5    50,0  1,0"));
    const LocaleGuard american(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(ScreenLine(Single(102.5f, 50, 1), 0, Settings(false, false, false)),
              QStringLiteral("12:00:00 AM    102.5    50.0  1.0"));
}

TEST(ScreenLinesTest, AveragesPatternFollowsTheUnits)
{
    EXPECT_EQ(AveragePattern(QStringLiteral("Units: klux")), QStringLiteral("0.00"));
    EXPECT_EQ(AveragePattern(QStringLiteral("Units: W.m-2")), QStringLiteral("0.0"));
    EXPECT_EQ(AveragePattern(QStringLiteral("Units: KLUX")), QStringLiteral("0.0"));
    EXPECT_EQ(AveragePattern(QString()), QStringLiteral("0.0"));
}

TEST(ScreenLinesTest, DateOfThePeriodEnd)
{
    const QDate day(2026, 6, 1);
    const struct
    {
        const char *name;
        QTime written;
        float periodEnd;
        QDate date;
    } cases[] = {
        {"written at its end", QTime(12, 0, 0, 300), 43200, day},
        {"period ending at midnight, read half a second early", QTime(23, 59, 59, 600), 0,
         day.addDays(1)},
        {"period ending at midnight, written after it", QTime(0, 0, 0, 400), 0, day},
        {"period before midnight, written after it", QTime(0, 0, 1), 86390, day.addDays(-1)},
        {"period before midnight, written an hour late", QTime(0, 50, 0), 84600, day.addDays(-1)},
        {"period a little after a late tick", QTime(23, 59, 59), 86399, day},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PeriodEndDate(QDateTime(day, c.written), c.periodEnd), c.date) << c.name;
}

} // namespace
