// The memory bar, the memory-full estimate, record counting, the clock warning and the
// window's record tick: pure arithmetic on the logger window's state.
#include "LocaleGuard.h"
#include "QtPrinters.h"
#include "common/DateTimeDays.h"
#include "logger/LoggerClock.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/MemoryBar.h"
#include "logger/MemoryEstimate.h"
#include "logger/PeriodLists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr quint32 Light = MemoryBar::DownloadedRgb;
constexpr quint32 Dark = MemoryBar::NotDownloadedRgb;

double days(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return DateTimeToDays(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

double seconds(double s)
{
    return SecondsToDays(s);
}

struct BarCase
{
    const char *name;
    qint32 blocks;
    qint32 retrieved;
    qint32 logged;
    double bar1;
    double bar2;
    std::optional<quint32> first;
    std::optional<quint32> last;
};

TEST(MemoryBarTest, PartsAndColoursFollowTheCounts)
{
    const BarCase cases[] = {
        {"half downloaded of a full memory", 1000, 62500, 125000, 500, 500, Light, Dark},
        {"nothing downloaded", 1000, 0, 25000, 0, 200, Dark, Dark},
        {"all downloaded", 1000, 125000, 125000, 1000, 0, Light, Dark},
        {"one more than the memory", 1000, 125001, 125001, 0, 1000, Dark, Light},
        {"logged beyond the memory", 1000, 1250, 125001, 10, 1000, Light, Light},
        {"fewer logged than downloaded", 1000, 1250, 1000, 10, 0, Light, std::nullopt},
        {"empty dataset", 1000, 0, 0, 0, 0, Dark, Dark},
        {"one block", 1, 1, 125, 8, 992, Light, Dark},
    };
    for (const BarCase &c : cases) {
        SCOPED_TRACE(c.name);
        const auto layout = MemoryBar::compute(c.blocks, c.retrieved, c.logged, 1000);
        EXPECT_TRUE(layout.drawn);
        EXPECT_NEAR(layout.bar1Width, c.bar1, 1e-9);
        EXPECT_DOUBLE_EQ(layout.bar2Left, layout.bar1Width);
        EXPECT_NEAR(layout.bar2Width, c.bar2, 1e-9);
        EXPECT_EQ(layout.firstRecordRgb, c.first);
        EXPECT_EQ(layout.lastRecordRgb, c.last);
        EXPECT_EQ(layout.retrievedRgb, std::optional<quint32>(Light));
    }
}

TEST(MemoryBarTest, UnknownMemorySizeDrawsNothing)
{
    const auto layout = MemoryBar::compute(0, 10, 20, 1000);
    EXPECT_FALSE(layout.drawn);
    EXPECT_FALSE(layout.firstRecordRgb);
    EXPECT_FALSE(layout.lastRecordRgb);
    EXPECT_FALSE(layout.retrievedRgb);
}

TEST(MemoryBarTest, ColoursAreTheDescribedBlues)
{
    EXPECT_EQ(MemoryBar::DownloadedRgb, 0x8080FFu);
    EXPECT_EQ(MemoryBar::NotDownloadedRgb, 0x0000FFu);
}

LoggerState loggingState(bool overwrite)
{
    LoggerState state;
    state.Flags = static_cast<qint16>(LoggerState::LoggingFlag |
                                      (overwrite ? LoggerState::OverwriteFlag : 0));
    state.AvgPeriod = 60;
    state.FirstRecordTime = days(2026, 5, 1);
    state.RetrievedTime = days(2026, 5, 20);
    state.LastRecordTime = days(2026, 6, 1, 9, 0, 0);
    return state;
}

const QDateTime Now(QDate(2026, 6, 1), QTime(10, 17, 30));

struct OverwriteCase
{
    const char *name;
    qint32 blocks;
    qint64 dwnldBlock;
    qint16 dwnldAddr;
    qint64 records;
};

TEST(MemoryEstimateTest, OverwriteCountsBlocksFromTheDownloadPosition)
{
    const OverwriteCase cases[] = {
        {"1024 blocks, download block 130", 1024, 130, 0, 1022 * 125},
        {"1024 blocks, download block 0", 1024, 0, 0, 1024 * 125},
        {"1024 blocks, download block 128", 1024, 128, 0, 1024 * 125},
        {"1000 blocks, download block below a", 1000, 5, 0, 1000 * 125},
        {"1000 blocks, download block at a", 1000, 1000, 0, 1000 * 125},
        {"1100 blocks, download block 300", 1100, 300, 0, 1004 * 125},
        {"offset 11 counts nothing", 1024, 0, 11, 1024 * 125},
        {"offset 12", 1024, 0, 12, 1024 * 125 - 6},
        // 128000 - 3.5 - 3 = 127993.5, halves to even.
        {"offset 14", 1024, 0, 14, 127994},
        // 128000 - 4.5 - 3 = 127992.5.
        {"offset 18", 1024, 0, 18, 127992},
        {"offset 508", 1024, 0, 508, 1024 * 125 - 130},
    };
    for (const OverwriteCase &c : cases) {
        SCOPED_TRACE(c.name);
        LoggerState state = loggingState(true);
        state.MemoryBlocks = c.blocks;
        state.DwnldBlock = c.dwnldBlock;
        state.DwnldAddr = c.dwnldAddr;
        const auto estimate = CalculateMemoryFull(state, Now);
        EXPECT_EQ(estimate.kind, MemoryFullEstimate::Kind::Logging);
        EXPECT_EQ(estimate.caption, QStringLiteral("New data overwritten"));
        EXPECT_DOUBLE_EQ(estimate.time, state.FirstRecordTime + seconds(c.records * 60.0));
    }
}

TEST(MemoryEstimateTest, OverwriteCountsFromTheLastDownloadedRecordWhenThereIsOne)
{
    LoggerState state = loggingState(true);
    state.MemoryBlocks = 1024;
    state.DwnldBlock = 130;
    state.RecordsRetrieved = 1;
    const auto estimate = CalculateMemoryFull(state, Now);
    EXPECT_DOUBLE_EQ(estimate.time, state.RetrievedTime + seconds(1022 * 125 * 60.0));
    EXPECT_EQ(estimate.text(), QStringLiteral("16-Aug-26 17:10:00"));
}

TEST(MemoryEstimateTest, WithoutOverwriteTheFreeSlotsRunOutAfterTheLastRecord)
{
    LoggerState state = loggingState(false);
    state.MemoryBlocks = 100;
    state.RecordsLogged = 2500;
    const auto estimate = CalculateMemoryFull(state, Now);
    EXPECT_EQ(estimate.kind, MemoryFullEstimate::Kind::Logging);
    EXPECT_EQ(estimate.caption, QStringLiteral("Memory full at"));
    EXPECT_DOUBLE_EQ(estimate.time, state.LastRecordTime + seconds(10000 * 60.0));
    EXPECT_EQ(estimate.text(), QStringLiteral("08-Jun-26 07:40:00"));
}

TEST(MemoryEstimateTest, LargeMemoriesAndPeriodsDoNotOverflow)
{
    // 65535 blocks of 125 records at 24 h: far beyond 32 bits of seconds.
    LoggerState state = loggingState(false);
    state.MemoryBlocks = 65535;
    state.AvgPeriod = 86400;
    state.LastRecordTime = days(2026, 1, 1);
    auto estimate = CalculateMemoryFull(state, Now);
    EXPECT_DOUBLE_EQ(estimate.time, days(2026, 1, 1) + 65535.0 * 125.0);

    state.Flags = LoggerState::LoggingFlag | LoggerState::OverwriteFlag;
    state.AvgPeriod = 226800;
    state.DwnldBlock = 0;
    estimate = CalculateMemoryFull(state, Now);
    EXPECT_DOUBLE_EQ(estimate.time, state.FirstRecordTime + 65535.0 * 125.0 * 226800.0 / 86400.0);
    EXPECT_GT(estimate.time, 0);

    state.Flags = 0;
    estimate = CalculateMemoryFull(state, Now);
    EXPECT_GT(estimate.time, days(2026, 6, 1) + 65535.0 * 125.0 * 2.0);
}

TEST(MemoryEstimateTest, NotLoggingStartsFromTheCurrentAveragingPeriodOnTheLoggersClock)
{
    LoggerState state;
    state.AvgPeriod = 600;
    state.MemoryBlocks = 2;
    state.ClockOffset = seconds(90);
    const auto estimate = CalculateMemoryFull(state, Now);
    EXPECT_EQ(estimate.kind, MemoryFullEstimate::Kind::NotLogging);
    // 10:10:00, plus the clock offset, plus 250 records of 10 minutes.
    EXPECT_NEAR(estimate.time, days(2026, 6, 1, 10, 11, 30) + seconds(250 * 600.0), 1e-9);
    EXPECT_EQ(estimate.text(), QStringLiteral("03-Jun-26 03:51:30"));
}

TEST(MemoryEstimateTest, NoAveragingPeriodGivesNoEstimate)
{
    for (qint32 period : {0, -1}) {
        LoggerState state = loggingState(false);
        state.AvgPeriod = period;
        const auto estimate = CalculateMemoryFull(state, Now);
        EXPECT_EQ(estimate.kind, MemoryFullEstimate::Kind::None);
        EXPECT_TRUE(estimate.text().isEmpty());
    }
}

struct CountCase
{
    const char *name;
    qint64 from;
    qint64 to;
    qint64 offset;
    qint32 blocks;
    qint32 records;
};

TEST(RecordCountTest, WholeBlocksRoundTheRingPlusTheSlotsUpToTheOffset)
{
    const CountCase cases[] = {
        {"offset 12 is one record", 0, 0, 12, 100, 1},
        {"offset 8 is none", 0, 0, 8, 100, 0},
        {"offset 0 is none", 0, 0, 0, 100, 0},
        {"offset 508 is a full block", 0, 0, 508, 100, 125},
        {"odd offset halves to even", 0, 0, 14, 100, 2},
        {"blocks between", 3, 10, 0, 100, 875},
        {"wrapped", 90, 10, 16, 100, 2502},
        {"unknown memory size", 90, 10, 16, 0, 2},
        {"to equal to the memory size", 0, 100, 0, 100, 0},
    };
    for (const CountCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RecordsBetween(c.from, c.to, c.offset, c.blocks), c.records);
    }
}

TEST(MemorySizeTextTest, HalfBlocksShowAsPointFive)
{
    EXPECT_EQ(MemorySizeText(1023), QStringLiteral("511.5kB"));
    EXPECT_EQ(MemorySizeText(1024), QStringLiteral("512kB"));
    EXPECT_EQ(MemorySizeText(1), QStringLiteral("0.5kB"));
    EXPECT_EQ(MemorySizeText(0), QStringLiteral("0kB"));
    EXPECT_EQ(MemorySizeText(65535), QStringLiteral("32767.5kB"));
    LocaleGuard german{QLocale(QLocale::German, QLocale::Germany)};
    EXPECT_EQ(MemorySizeText(1023), QStringLiteral("511,5kB"));
}

struct AlarmCase
{
    double offsetSeconds;
    ClockAlarm alarm;
};

TEST(ClockAlarmTest, OffsetsAreJudgedInclusiveOfTheirLimits)
{
    const AlarmCase cases[] = {
        {0, ClockAlarm::Normal},
        {300, ClockAlarm::Normal},
        {-300, ClockAlarm::Normal},
        {300.001, ClockAlarm::RedText},
        {301, ClockAlarm::RedText},
        {-301, ClockAlarm::RedText},
        {3900, ClockAlarm::RedText},
        {3901, ClockAlarm::RedBackground},
        {-3901, ClockAlarm::RedBackground},
        {1e12, ClockAlarm::RedBackground},
        {std::numeric_limits<double>::quiet_NaN(), ClockAlarm::RedBackground},
    };
    for (const AlarmCase &c : cases) {
        SCOPED_TRACE(c.offsetSeconds);
        EXPECT_EQ(ClockAlarmFor(seconds(c.offsetSeconds)), c.alarm);
    }
    // A real offset: a whole-second logger time against a computer time in between.
    const double offset = days(2026, 6, 1, 10, 5, 0) - days(2026, 6, 1, 10, 0, 0);
    EXPECT_EQ(ClockAlarmFor(offset), ClockAlarm::Normal);
}

struct TickCase
{
    const char *name;
    qint16 flags;
    qint32 avgPeriod;
    double nowAfterNext; // seconds after NextRecordTime
    bool recorded;
    double advance; // seconds NextRecordTime moves
};

TEST(RecordTickTest, NextRecordMovesAtMostTwoPeriodsPerTick)
{
    const TickCase cases[] = {
        {"not yet due", LoggerState::LoggingFlag, 60, -0.5, false, 0},
        {"due now", LoggerState::LoggingFlag, 60, 0, true, 60},
        {"past one period", LoggerState::LoggingFlag, 60, 60, true, 120},
        {"far behind", LoggerState::LoggingFlag, 60, 6000, true, 120},
        {"not logging", 0, 60, 10, false, 0},
        {"no period", LoggerState::LoggingFlag, 0, 10, false, 0},
    };
    for (const TickCase &c : cases) {
        SCOPED_TRACE(c.name);
        LoggerState state;
        state.Flags = c.flags;
        state.AvgPeriod = c.avgPeriod;
        state.NextRecordTime = days(2026, 6, 1, 10, 0, 0);
        state.TopFill = 100;
        EXPECT_EQ(AdvanceNextRecord(state, days(2026, 6, 1, 10, 0, 0) + seconds(c.nowAfterNext)),
                  c.recorded);
        EXPECT_NEAR(state.NextRecordTime, days(2026, 6, 1, 10, 0, 0) + seconds(c.advance), 1e-9);
        EXPECT_EQ(state.TopFill, c.recorded ? 104 : 100);
    }
}

QStringList texts(const QList<PeriodEntry> &entries)
{
    QStringList list;
    for (const PeriodEntry &entry : entries)
        list.append(entry.text);
    return list;
}

TEST(PeriodListsTest, AveragingListStartsAtTheReadingPeriod)
{
    EXPECT_EQ(texts(PeriodLists::averagePeriodsFrom(7)),
              QStringList({"10m", "30m", "1h", "3h", "6h", "12h", "24h"}));
    EXPECT_EQ(PeriodLists::averagePeriodsFrom(0).size(), 14);
    EXPECT_EQ(PeriodLists::averagePeriodsFrom(0).last(), (PeriodEntry{"24h", 86400}));
    EXPECT_EQ(texts(PeriodLists::averagePeriodsFrom(-1)), QStringList({"3h", "6h", "12h", "24h"}));
    EXPECT_EQ(texts(PeriodLists::initialAveragePeriods()), texts(PeriodLists::readingPeriods()));
    for (const PeriodEntry &entry : PeriodLists::initialAveragePeriods())
        EXPECT_EQ(entry.seconds, 0);
}

TEST(PeriodListsTest, FirstEntryAtLeastAPeriod)
{
    const auto &reading = PeriodLists::readingPeriods();
    EXPECT_EQ(PeriodLists::firstAtLeast(reading, 3), 2);
    EXPECT_EQ(PeriodLists::firstAtLeast(reading, 1), 0);
    EXPECT_EQ(PeriodLists::firstAtLeast(reading, 0), 0);
    EXPECT_EQ(PeriodLists::firstAtLeast(reading, 3600), 9);
    EXPECT_EQ(PeriodLists::firstAtLeast(reading, 3601), -1);
    EXPECT_EQ(PeriodLists::firstAtLeast(PeriodLists::averagePeriodsFrom(0), 86401), -1);
}

} // namespace
