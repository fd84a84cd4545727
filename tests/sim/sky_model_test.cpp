#include "SkyModel.h"

#include <gtest/gtest.h>

namespace {

QDateTime at(int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(2026, 6, 1), QTime(hour, minute, second));
}

} // namespace

TEST(SkyModel, NightIsDarkAndMiddayIsBright)
{
    const SkyModel sky;
    struct Row
    {
        QDateTime time;
        double minTotal;
        double maxTotal;
    };
    const QList<Row> rows{
        {at(0), 0, 0},       {at(3, 30), 0, 0}, {at(23), 0, 0},       {at(5, 0), 0, 0},
        {at(13), 600, 2200}, {at(8), 50, 1500}, {at(19, 30), 1, 600},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.time.toString().toStdString());
        const SkyReading reading = sky.at(row.time);
        EXPECT_GE(reading.totalMolar, row.minTotal);
        EXPECT_LE(reading.totalMolar, row.maxTotal);
        if (row.maxTotal == 0) {
            EXPECT_FALSE(reading.sun);
        }
    }
}

TEST(SkyModel, DiffuseStaysBelowTotalAndSunMeansStrongDirectLight)
{
    const SkyModel sky;
    int sunny = 0;
    int clouded = 0;
    for (int second = 0; second < 86400; second += 37) {
        const SkyReading reading = sky.at(at(0).addSecs(second));
        ASSERT_LE(reading.diffuseMolar, reading.totalMolar + 1e-9) << second;
        ASSERT_GE(reading.diffuseMolar, 0.0) << second;
        ASSERT_EQ(reading.sun, reading.directMolar >= SkyModel::SunshineThresholdMolar) << second;
        if (second > 10 * 3600 && second < 16 * 3600) {
            if (reading.sun)
                ++sunny;
            else
                ++clouded;
            ASSERT_LT(reading.diffuseMolar, reading.totalMolar) << second;
        }
    }
    // Around midday both sunshine and clouds occur.
    EXPECT_GT(sunny, 50);
    EXPECT_GT(clouded, 20);
}

TEST(SkyModel, OffsetShiftsTheTimeOfDay)
{
    const QDateTime clockTime = at(2, 15); // night on the clock
    const double offset = SkyModel::offsetForHour(clockTime, 11.0);
    EXPECT_DOUBLE_EQ(offset, (11.0 - 2.25) * 3600.0);
    const SkyModel shifted(offset);
    const SkyModel plain;
    EXPECT_EQ(shifted.at(clockTime).totalMolar, plain.at(at(11)).totalMolar);
    EXPECT_GT(shifted.at(clockTime).totalMolar, 0.0);
}
