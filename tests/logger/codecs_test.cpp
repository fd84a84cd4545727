// The logger's byte codecs: time stamps, period codes and block headers.
#include "QtPrinters.h"
#include "common/DateTimeDays.h"
#include "logger/LoggerBlock.h"
#include "logger/LoggerTimeStamp.h"
#include "logger/PeriodCode.h"

#include <gtest/gtest.h>

namespace {

double days(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    return DateTimeToDays(QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms)));
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

struct StampCase
{
    const char *bytes;
    quint16 year;
    quint16 day;
    quint32 seconds;
    double expectedDays;
};

TEST(LoggerTimeStampTest, DecodesLittleEndianFieldsToDays)
{
    const StampCase cases[] = {
        {"ea07010000000000", 2026, 1, 0, days(2026, 1, 1)},
        {"ea07bd0040f00000", 2026, 189, 61504, days(2026, 7, 8, 17, 5, 4)},
        // Day 366 of a leap year is 31 December.
        {"e8076e017f510100", 2024, 366, 86399, days(2024, 12, 31, 23, 59, 59)},
        // Second 86400 is the next midnight.
        {"ea07010080510100", 2026, 1, 86400, days(2026, 1, 2)},
        // Day 0 is the last day of the year before.
        {"ea07000000000000", 2026, 0, 0, days(2025, 12, 31)},
        {"0100010000000000", 1, 1, 0, days(1, 1, 1)},
    };
    for (const StampCase &c : cases) {
        SCOPED_TRACE(c.bytes);
        const auto stamp = LoggerTimeStamp::decode(hex(c.bytes));
        EXPECT_EQ(stamp.year, c.year);
        EXPECT_EQ(stamp.day, c.day);
        EXPECT_EQ(stamp.seconds, c.seconds);
        EXPECT_DOUBLE_EQ(stamp.toDays(), c.expectedDays);
    }
}

TEST(LoggerTimeStampTest, DecodesAtAnOffsetAndReadsMissingBytesAsZero)
{
    const auto stamp = LoggerTimeStamp::decode(hex("ffffea07020010"), 2);
    EXPECT_EQ(stamp.year, 2026);
    EXPECT_EQ(stamp.day, 2);
    EXPECT_EQ(stamp.seconds, 0x10u);
    EXPECT_TRUE(LoggerTimeStamp::decode(QByteArray()).isZero());
}

struct EncodeCase
{
    double days;
    const char *bytes;
};

TEST(LoggerTimeStampTest, EncodesDateTimesRoundedToTheSecond)
{
    const EncodeCase cases[] = {
        {days(2026, 1, 1), "ea07010000000000"},
        {days(2026, 7, 8, 17, 5, 4), "ea07bd0040f00000"},
        {days(2024, 12, 31, 12, 0, 0), "e8076e01c0a80000"},
        {days(2026, 3, 1, 12, 0, 0, 499), "ea073c00c0a80000"},
        {days(2026, 3, 1, 12, 0, 0, 500), "ea073c00c1a80000"},
        // Rounding up to the next midnight moves to the next day, never to second 86400.
        {days(2024, 12, 31, 23, 59, 59, 600), "e907010000000000"},
        {days(2026, 12, 31, 23, 59, 59, 400), "ea076d017f510100"},
    };
    for (const EncodeCase &c : cases) {
        SCOPED_TRACE(c.bytes);
        const QByteArray bytes = LoggerTimeStamp::fromDays(c.days).encode();
        EXPECT_EQ(bytes.toHex(), QByteArray(c.bytes));
        EXPECT_EQ(LoggerTimeStamp::decode(bytes).encode(), bytes);
    }
}

struct CheckCase
{
    quint16 year;
    quint16 day;
    quint32 seconds;
    bool details;
    bool download;
};

TEST(LoggerTimeStampTest, ValidityChecksHaveTheirOwnBounds)
{
    const CheckCase cases[] = {
        {2026, 1, 0, true, true},       {0, 0, 0, true, true},
        {2026, 366, 86399, true, true}, {2026, 366, 86400, true, false},
        {2026, 367, 0, false, false},   {2026, 1, 86401, false, false},
        {9998, 1, 0, true, true},       {9999, 1, 0, true, false},
        {10000, 1, 0, false, false},    {65535, 65535, 0xFFFFFFFF, false, false},
    };
    for (const CheckCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "/" << c.day << "/" << c.seconds);
        LoggerTimeStamp stamp;
        stamp.year = c.year;
        stamp.day = c.day;
        stamp.seconds = c.seconds;
        EXPECT_EQ(stamp.passesDetailsCheck(), c.details);
        EXPECT_EQ(stamp.passesDownloadCheck(), c.download);
    }
}

struct PeriodCase
{
    quint8 code;
    qint32 seconds;
};

TEST(PeriodCodeTest, EveryUnitGivesItsSeconds)
{
    const PeriodCase cases[] = {
        {0x00, 0},   {0x01, 1},    {0x05, 5},    {0x3F, 63},    {0x41, 60},
        {0x45, 300}, {0x7F, 3780}, {0x81, 3600}, {0x98, 86400}, {0xBF, 226800},
        {0xC0, 0},   {0xC5, 0},    {0xFF, 0},
    };
    for (const PeriodCase &c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(PeriodFromCode(c.code), c.seconds);
    }
}

TEST(PeriodCodeTest, CodesRoundTheCountHalvesToEvenAndKeepItInSixBits)
{
    const PeriodCase cases[] = {
        {0x00, 0},      {0x01, 1},     {0x1E, 30},
        {0x3B, 59},     {0x41, 60},    {0x42, 90},     // 1.5 min -> 2
        {0x42, 150},                                   // 2.5 min -> 2
        {0x43, 165},                                   // 2.75 min -> 3
        {0x4A, 600},    {0x7C, 3599},                  // 59.98 min -> 60
        {0x81, 3600},   {0x82, 5400},                  // 1.5 h -> 2
        {0x82, 9000},                                  // 2.5 h -> 2
        {0x83, 10800},  {0x98, 86400}, {0xBF, 226800}, // 63 h, the most six bits hold
        {0xBF, 300000}, // held at 63 h rather than spilling into the unit bits
        {0x00, -5},
    };
    for (const PeriodCase &c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(CodeFromPeriod(c.seconds), c.code);
    }
}

TEST(PeriodCodeTest, TheListPeriodsSurviveTheRoundTrip)
{
    for (qint32 seconds : {1, 2, 5, 10, 30, 60, 300, 600, 1800, 3600, 10800, 21600, 43200, 86400})
        EXPECT_EQ(PeriodFromCode(CodeFromPeriod(seconds)), seconds) << seconds;
}

TEST(LoggerBlockTest, HeaderGivesStampCodesAndInterval)
{
    const auto header = LoggerBlock::decodeHeader(hex("ea07bd0040f0000005 45 01 ff"));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->stamp.day, 189);
    EXPECT_EQ(header->readingCode, 0x05);
    EXPECT_EQ(header->averagingCode, 0x45);
    EXPECT_EQ(header->unitsCode, 1);
    EXPECT_EQ(header->intervalSeconds(), 300);

    // The interval is the longer period, whichever byte holds it.
    const auto swapped = LoggerBlock::decodeHeader(hex("ea07bd0040f0000045 05 01 00"));
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->intervalSeconds(), 300);

    EXPECT_FALSE(LoggerBlock::decodeHeader(hex("ea07bd0040f000000545")));
    const auto stampOnly = LoggerBlock::decodeHeader(hex("ea07bd0040f00000"), 8);
    ASSERT_TRUE(stampOnly);
    EXPECT_EQ(stampOnly->intervalSeconds(), 0);
    EXPECT_FALSE(LoggerBlock::decodeHeader(hex("ea07bd0040f000"), 8));
}

QByteArray blockWithSlots(int filled)
{
    QByteArray block = hex("ea07bd0040f0000005 05 01 00");
    for (int slot = 0; slot < LoggerBlock::SlotsPerBlock; ++slot)
        block += slot < filled ? hex("3a5c8007") : hex("ffffffff");
    return block;
}

struct ScanCase
{
    const char *name;
    QByteArray block;
    int firstEmpty;
    int lastFilled;
    int filled;
};

TEST(LoggerBlockTest, SlotScanStopsAtTheFirstEmptySlot)
{
    QByteArray gap = blockWithSlots(125);
    gap.replace(12 + 4 * 3, 4, hex("ffffffff"));
    QByteArray almostEmpty = blockWithSlots(0);
    almostEmpty.replace(12, 4, hex("fffffffe"));
    const ScanCase cases[] = {
        {"empty", blockWithSlots(0), 12, 0, 0},
        {"one", blockWithSlots(1), 16, 12, 1},
        {"three", blockWithSlots(3), 24, 20, 3},
        {"full", blockWithSlots(125), 512, 508, 125},
        {"gap after three", gap, 24, 20, 3},
        {"not all 0xFF", almostEmpty, 16, 12, 1},
        {"truncated", blockWithSlots(125).left(30), 28, 24, 4},
        {"header only", blockWithSlots(125).left(12), 12, 0, 0},
    };
    for (const ScanCase &c : cases) {
        SCOPED_TRACE(c.name);
        const auto scan = LoggerBlock::scanSlots(c.block);
        EXPECT_EQ(scan.firstEmptyOffset, c.firstEmpty);
        EXPECT_EQ(scan.lastFilledOffset, c.lastFilled);
        EXPECT_EQ(scan.filledSlots, c.filled);
    }
}

} // namespace
