// SPDX-License-Identifier: GPL-3.0-or-later
// The logger's codecs, arithmetic and file layout at the edges the window and download
// tests do not reach: time stamps and their validity checks, period codes, block slots and
// random blocks thrown at the block decoder; the memory bar, the memory-full estimate,
// record counting and the record tick; and the dataset file's separator, model text,
// record lines and exact bytes.
#include "Bytes.h"
#include "FullDisk.h"
#include "LocaleGuard.h"
#include "QtPrinters.h"

#include "common/DataFileText.h"
#include "common/DateTimeDays.h"
#include "link/InstrumentModel.h"
#include "logger/DatasetFile.h"
#include "logger/LoggerBlock.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerTimeStamp.h"
#include "logger/MemoryBar.h"
#include "logger/MemoryEstimate.h"
#include "logger/PeriodCode.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace {

double days(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    return DateTimeToDays(QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms)));
}

QString fields(const LoggerTimeStamp &stamp)
{
    return QStringLiteral("%1/%2/%3").arg(stamp.year).arg(stamp.day).arg(stamp.seconds);
}

TEST(LoggerTimeStampTest, EdgesOfTheDayAndTheChecksOwnBounds)
{
    // Second 86400 is the next midnight, day 0 the last day of the year before; rounding
    // to the next midnight moves to the next day, never to second 86400.
    EXPECT_DOUBLE_EQ(LoggerTimeStamp::decode(fromHex("ea07010080510100")).toDays(),
                     days(2026, 1, 2));
    EXPECT_DOUBLE_EQ(LoggerTimeStamp::decode(fromHex("ea07000000000000")).toDays(),
                     days(2025, 12, 31));
    EXPECT_EQ(fields(LoggerTimeStamp::decode(fromHex("ffffea07020010"), 2)), "2026/2/16");
    EXPECT_EQ(LoggerTimeStamp::fromDays(days(2026, 3, 1, 12, 0, 0, 499)).encode().toHex(),
              "ea073c00c0a80000");
    EXPECT_EQ(LoggerTimeStamp::fromDays(days(2026, 3, 1, 12, 0, 0, 500)).encode().toHex(),
              "ea073c00c1a80000");
    EXPECT_EQ(LoggerTimeStamp::fromDays(days(2026, 12, 31, 23, 59, 59, 600)).encode().toHex(),
              "eb07010000000000");
    // Counts no stamp can hold give the zero stamp (1e300 once overflowed a 64-bit cast).
    for (const double beyond : {1e300, -1e300, 1e8 + 1, std::nan("")})
        EXPECT_TRUE(LoggerTimeStamp::fromDays(beyond).isZero()) << beyond;

    // Year, day, seconds; passes the window's check, passes the download's.
    // clang-format off
    const std::tuple<quint16, quint16, quint32, bool, bool> cases[] = {
        {2026, 1, 0, true, true},       {0, 0, 0, true, true},
        {2026, 366, 86399, true, true}, {2026, 366, 86400, true, false},
        {2026, 367, 0, false, false},   {2026, 1, 86401, false, false},
        {9998, 1, 0, true, true},       {9999, 1, 0, true, false},
        {10000, 1, 0, false, false},    {65535, 65535, 0xFFFFFFFF, false, false},
    };
    // clang-format on
    for (const auto &[year, day, seconds, details, download] : cases) {
        const LoggerTimeStamp stamp{year, day, seconds};
        EXPECT_EQ(QList<bool>({stamp.passesDetailsCheck(), stamp.passesDownloadCheck()}),
                  QList<bool>({details, download}))
            << fields(stamp).toStdString();
    }
}

TEST(PeriodCodeTest, CodesAndSecondsBothWays)
{
    // clang-format off
    const std::pair<quint8, qint32> decoded[] = {
        {0x00, 0}, {0x3F, 63}, {0x7F, 3780}, {0x98, 86400}, {0xBF, 226800}, {0xC0, 0}, {0xFF, 0},
    };
    // The count is rounded half to even and held within six bits (63 h at most).
    const std::pair<quint8, qint32> encoded[] = {
        {0x00, 0},    {0x3B, 59},    {0x42, 90},    {0x42, 150},   {0x43, 165},   {0x7C, 3599},
        {0x82, 5400}, {0x82, 9000},  {0x83, 10800}, {0xBF, 226800}, {0xBF, 300000}, {0x00, -5},
    };
    // clang-format on
    for (const auto &[code, seconds] : decoded)
        EXPECT_EQ(PeriodFromCode(code), seconds) << int(code);
    for (const auto &[code, seconds] : encoded)
        EXPECT_EQ(CodeFromPeriod(seconds), code) << seconds;
    for (qint32 seconds : {1, 2, 5, 10, 30, 60, 300, 600, 1800, 3600, 10800, 21600, 43200, 86400})
        EXPECT_EQ(PeriodFromCode(CodeFromPeriod(seconds)), seconds) << seconds;
}

// Random blocks, whole and truncated, biased towards 0xFF so that empty slots and runs of
// them are common: the decoder must never read outside the bytes, and what it reports
// must stay within a block's shape.
TEST(LoggerBlockTest, SlotsEndAtTheFirstEmptyOneAndRandomBlocksDecodeWithinTheBlocksShape)
{
    // A slot of four 0xFF bytes ends the block's data, even with records after it; three
    // are a record. The interval is the longer period, whichever byte holds it.
    const auto gap = LoggerBlock::scanSlots(fromHex("ea07bd0040f0000045 05 01 00 fffffffe "
                                                    "ffffffff 3a5c8007"));
    EXPECT_EQ(QList<int>({gap.firstEmptyOffset, gap.lastFilledOffset, gap.filledSlots}),
              QList<int>({16, 12, 1}));
    EXPECT_EQ(LoggerBlock::decodeHeader(fromHex("ea07bd0040f0000045 05 01 00"))->intervalSeconds(),
              300);
    QRandomGenerator random(20260512);
    for (int round = 0; round < 20000; ++round) {
        const int size = round % 4 == 0 ? random.bounded(0, 600) : LoggerBlock::Size;
        QByteArray block(size, '\xFF');
        for (char &byte : block) {
            if (random.bounded(3) != 0)
                byte = static_cast<char>(random.bounded(256));
        }
        // Often a tail of empty slots, as a block being filled has.
        if (size > 12 && random.bounded(2) == 0)
            block.replace(12 + 4 * random.bounded((size - 12) / 4 + 1), size,
                          QByteArray(size, '\xFF'));
        block.truncate(size);

        const auto scan = LoggerBlock::scanSlots(block);
        ASSERT_GE(scan.firstEmptyOffset, LoggerBlock::FirstSlotOffset);
        ASSERT_LE(scan.firstEmptyOffset, LoggerBlock::Size);
        ASSERT_EQ(scan.firstEmptyOffset % 4, 0);
        ASSERT_EQ(scan.filledSlots, (scan.firstEmptyOffset - 12) / 4);
        ASSERT_EQ(scan.lastFilledOffset, scan.filledSlots == 0 ? 0 : scan.firstEmptyOffset - 4);
        for (int offset = 12; offset < scan.firstEmptyOffset; offset += 4)
            ASSERT_FALSE(LoggerBlock::isEmptySlot(block, offset));
        ASSERT_TRUE(scan.firstEmptyOffset == LoggerBlock::Size ||
                    LoggerBlock::isEmptySlot(block, scan.firstEmptyOffset));

        const auto header = LoggerBlock::decodeHeader(block);
        ASSERT_EQ(header.has_value(), size >= LoggerBlock::HeaderSize);
        if (!header)
            continue;
        ASSERT_EQ(header->stamp.encode(), block.left(8));
        ASSERT_GE(header->intervalSeconds(), 0);
        ASSERT_LE(header->intervalSeconds(), 63 * 3600);
        ASSERT_TRUE(std::isfinite(header->stamp.toDays()));
        ASSERT_TRUE(!header->stamp.passesDownloadCheck() || header->stamp.passesDetailsCheck());
    }
}

const double Ten = DateTimeToDays(QDateTime(QDate(2026, 6, 1), QTime(10, 0)));

TEST(MemoryBarTest, PartsAndColoursFollowTheCounts)
{
    // Blocks, retrieved, logged; the bars' widths and the first and last records'
    // colours as Light, Dark or none.
    // clang-format off
    const std::tuple<qint32, qint32, qint32, QString> cases[] = {
        {1000, 62500, 125000, "500 500 L D"},     {1000, 0, 25000, "0 200 D D"},
        {1000, 125000, 125000, "1000 0 L D"},     {1000, 125001, 125001, "0 1000 D L"},
        {1000, 1250, 125001, "10 1000 L L"},      {1000, 1250, 1000, "10 0 L -"},
        {1000, 0, 0, "0 0 D D"},                  {1, 1, 125, "8 992 L D"},
        {0, 10, 20, "0 0 - -"}, // unknown memory size: nothing drawn
    };
    // clang-format on
    const auto colour = [](std::optional<quint32> rgb) {
        return !rgb ? "-" : *rgb == MemoryBar::DownloadedRgb ? "L" : "D";
    };
    for (const auto &[blocks, retrieved, logged, expected] : cases) {
        const auto layout = MemoryBar::compute(blocks, retrieved, logged, 1000);
        EXPECT_EQ(QStringLiteral("%1 %2 %3 %4")
                      .arg(layout.bar1Width)
                      .arg(layout.bar2Width)
                      .arg(colour(layout.firstRecordRgb), colour(layout.lastRecordRgb)),
                  expected);
        EXPECT_DOUBLE_EQ(layout.bar2Left, layout.bar1Width);
        EXPECT_EQ(colour(layout.retrievedRgb), blocks == 0 ? "-" : "L");
    }
}

TEST(MemoryEstimateTest, OverwriteCountsBlocksFromTheDownloadPositionWithoutOverflow)
{
    // Memory blocks, download block and offset: records from the last one downloaded
    // until the first not yet downloaded is overwritten, less the downloaded slot's place:
    // 128000 - 0.5 and 128000 - 1.5 halve to even.
    // clang-format off
    const std::tuple<qint32, qint64, qint16, qint64> cases[] = {
        {1024, 130, 0, 1022 * 125}, {1024, 0, 0, 128000},       {1024, 128, 0, 128000},
        {1000, 5, 0, 125000},       {1000, 1000, 0, 125000},    {1100, 300, 0, 1004 * 125},
        {1024, 0, 11, 128000},      {1024, 0, 12, 128000},      {1024, 0, 14, 128000},
        {1024, 0, 18, 127998},      {1024, 0, 508, 128000 - 124}, {1100, 75, 16, 137499},
    };
    // clang-format on
    LoggerState state;
    state.Flags = LoggerState::LoggingFlag | LoggerState::OverwriteFlag;
    state.AvgPeriod = 60;
    state.FirstRecordTime = Ten;
    for (const auto &[blocks, block, offset, records] : cases) {
        std::tie(state.MemoryBlocks, state.DwnldBlock, state.DwnldAddr) =
            std::tuple(blocks, block, offset);
        EXPECT_DOUBLE_EQ(CalculateMemoryFull(state, 0.0, QDateTime()).time,
                         Ten + SecondsToDays(records * 60.0))
            << blocks << " " << block << ":" << offset;
    }
    // 65535 blocks of 125 records at 63 h: far beyond 32 bits of seconds.
    std::tie(state.MemoryBlocks, state.DwnldBlock, state.DwnldAddr, state.AvgPeriod) =
        std::tuple(65535, 0, 0, 226800);
    EXPECT_DOUBLE_EQ(CalculateMemoryFull(state, 0.0, QDateTime()).time,
                     Ten + SecondsToDays(65535.0 * 125 * 226800));
    // Not logging: from the start of the current averaging period on the logger's clock
    // (10:19, 90 s ahead: 10:10), 250 records of 10 minutes.
    state.Flags = 0;
    state.AvgPeriod = 600;
    state.MemoryBlocks = 2;
    const QDateTime now(QDate(2026, 6, 1), QTime(10, 17, 30));
    EXPECT_EQ(CalculateMemoryFull(state, SecondsToDays(90), now).text(), "03-Jun-26 03:50:00");
    // Without the logger's clock the time is unknown, and said so.
    EXPECT_EQ(CalculateMemoryFull(state, std::nullopt, now).text(), "unknown");
}

TEST(RecordCountTest, WholeBlocksRoundTheRingPlusTheSlotsUpToTheOffset)
{
    // From block, to block, offset, memory blocks: records.
    // clang-format off
    const std::tuple<qint64, qint64, qint64, qint32, qint32> cases[] = {
        {0, 0, 12, 100, 1},    {0, 0, 8, 100, 0},      {0, 0, 0, 100, 0},   {0, 0, 508, 100, 125},
        {0, 0, 14, 100, 2},    {3, 10, 0, 100, 875},   {90, 10, 16, 100, 2502},
        {90, 10, 16, 0, 2},    {0, 100, 0, 100, 0},
    };
    // clang-format on
    for (const auto &[from, to, offset, blocks, records] : cases)
        EXPECT_EQ(RecordsBetween(from, to, offset, blocks), records)
            << from << " to " << to << ":" << offset << " of " << blocks;
    EXPECT_EQ(MemorySizeText(65535) + MemorySizeText(0), "32767.5kB0kB");
    const LocaleGuard german{QLocale(QLocale::German, QLocale::Germany)};
    EXPECT_EQ(MemorySizeText(1023), "511,5kB");
}

const double Time = DateTimeToDays(QDateTime(QDate(2026, 12, 5), QTime(10, 0)));

// The record 3A 5C 80 07 (raw total 0x3A5 = 933, raw diffuse 0xC80 = 3200) of ten
// readings, seven of them sunny, in units code `code`.
DatasetRecord::Values WorkedExample(quint8 code = 1)
{
    return DatasetRecord::Decode(fromHex("3a5c8007"), 0, DatasetRecord::UnitsFor(code), 10);
}

TEST(DatasetFileTest, ModelWordComesFromTheVersion)
{
    // The model is a first word of three or four characters, or "ZQ3&4".
    // clang-format off
    const std::pair<const char *, const char *> models[] = {
        {"ZQ3 v2.10", "ZQ3 "}, {"VTA1 v1.0", "VTA1 "}, {"ZQ5", "ZQ3&4 "},
        {"ZQ   v1", "ZQ3&4 "}, {"ZQ10AB v1", "ZQ3&4 "}, {"", "ZQ3&4 "},
    };
    // clang-format on
    for (const auto &[version, model] : models)
        EXPECT_EQ(LogFileModelWord(version), model) << version;
}

TEST(DatasetFileTest, RecordsInEveryUnitsCodeAndRegionalSetting)
{
    // clang-format off
    const std::tuple<quint8, const char *, const char *> units[] = {
        {0, "Units: umol.m-2.s-1", "569.5\t1953.1"}, {1, "Units: W.m-2", "284.7\t976.6"},
        {2, "Units: klux", "56.95\t195.31"},         {3, "Units: W.m-2", "569.5\t1953.1"},
        {7, "", "0.0\t0.0"},
    };
    // clang-format on
    for (const auto &[code, text, values] : units) {
        const DatasetRecord::Units decoded = DatasetRecord::UnitsFor(code);
        EXPECT_EQ(WorkedExample(code).rawTotal + WorkedExample(code).rawDiffuse, 933 + 3200);
        EXPECT_EQ(DataFileUnitsLine(decoded.text), QStringLiteral("Reading ") + text);
        EXPECT_EQ(DatasetFile::RecordLine(QLatin1Char('\t'), Time, WorkedExample(code),
                                          decoded.numberFormat),
                  QStringLiteral("05/12/2026 10:00:00\t%1\t0.7").arg(values));
    }

    // Decimal commas stay in the tab form and become points in the comma form. Japanese
    // times and Arabic digits, date marks (U+200F) and decimal marks are kept in UTF-8.
    const QLocale english(QLocale::English, QLocale::UnitedKingdom);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
    // clang-format off
    const std::tuple<QLocale, const char *, const char *> forms[] = {
        {english, "\t", "05/12/2026 10:00:00\t284.7\t976.6\t0.7"},
        {english, ",", "05/12/2026 10:00:00,284.7,976.6,0.7"},
        {german, "\t", "05.12.26 10:00:00\t284,7\t976,6\t0,7"},
        {german, ",", "05.12.26 10:00:00,284.7,976.6,0.7"},
        {QLocale(QLocale::Japanese, QLocale::Japan), "\t", "2026/12/05 10時00分00秒\t284.7\t976.6\t0.7"},
        {arabic, "\t", "٥\u200F/١٢\u200F/٢٠٢٦ ١٠:٠٠:٠٠ ص\t284٫7\t976٫6\t0٫7"},
        {arabic, ",", "٥\u200F/١٢\u200F/٢٠٢٦ ١٠:٠٠:٠٠ ص,284٫7,976٫6,0٫7"},
    };
    // clang-format on
    for (const auto &[locale, separator, line] : forms) {
        const LocaleGuard guard(locale);
        EXPECT_EQ(DatasetFile::RecordLine(QLatin1Char(*separator), Time, WorkedExample(), "0.0"),
                  line);
        QByteArray bytes;
        DatasetFile file(
            [&bytes](const QString &, QString &) { return std::make_unique<FullDisk>(9, &bytes); });
        QString error;
        ASSERT_TRUE(file.create(*separator == ',' ? "a.csv" : "a.txt", "ZQ3", "1",
                                QDateTime(QDate(2026, 12, 5), QTime(17, 14, 8)), error));
        file.writeRecord(Time, WorkedExample(), QStringLiteral("0.0"));
        ASSERT_TRUE(file.flush(error));
        EXPECT_TRUE(QUtf8StringView(bytes).isValidUtf8() && !bytes.contains('?'));
        EXPECT_TRUE(QString::fromUtf8(bytes).endsWith("1\r\n" + QString(line) + "\r\n"))
            << bytes.toStdString();
    }

    // Readings per record: halved (to even) until they fit a byte; an unknown period
    // counts each record as one reading.
    // clang-format off
    const std::tuple<qint32, qint32, int> readings[] = {
        {1, 3600, 225}, {1, 86400, 169}, {1, 10, 10}, {10, 60, 6},
        {60, 60, 1},    {7, 60, 9},      {0, 60, 1},  {60, 0, 1},
    };
    // clang-format on
    for (const auto &[reading, interval, count] : readings)
        EXPECT_EQ(DatasetRecord::ReadingsPerRecord(reading, interval), count)
            << reading << " s in " << interval << " s";
}

TEST(DatasetFileTest, AFileIsHeadingsSectionsAndRecordsWithCrLfFlushedBlockByBlock)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("june.csv"));
    DatasetFile file;
    QString error;
    ASSERT_TRUE(file.create(path, QStringLiteral("ZQ3 v2.10"), QStringLiteral("1234"),
                            QDateTime(QDate(2026, 12, 5), QTime(17, 14, 8)), error));
    file.writeSection(QStringLiteral("Units: W.m-2"));
    file.writeRecord(Time, WorkedExample(), QStringLiteral("0.0"));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "ZQ3 Data file 05/12/2026 17:14:08\r\nZQ3 v2.10 Ser No: 1234\r\n");
    ASSERT_TRUE(file.flush(error));
    EXPECT_EQ(written.readAll(), "Reading Units: W.m-2\r\nTime,Total,Diffuse,Sun\r\n"
                                 "05/12/2026 10:00:00,284.7,976.6,0.7\r\n");
    file.close();

    // The disk fills during the third block, before any of it is written or part way:
    // the file ends with the second block, and the message names the cause.
    for (const qint64 part : {0, 30}) {
        QByteArray kept;
        DatasetFile full([&kept, part](const QString &, QString &) {
            return std::make_unique<FullDisk>(2, &kept, part);
        });
        ASSERT_TRUE(full.create(path, "ZQ3 v2.10", "1234", QDateTime(), error));
        full.writeSection(QStringLiteral("Units: W.m-2"));
        full.writeRecord(Time, WorkedExample(), QStringLiteral("0.0"));
        ASSERT_TRUE(full.flush(error));
        const QByteArray blocks = kept;
        full.writeRecord(Time, WorkedExample(), QStringLiteral("0.0"));
        full.writeRecord(Time, WorkedExample(), QStringLiteral("0.0"));
        EXPECT_FALSE(full.flush(error));
        EXPECT_EQ(error, "No space left on device");
        EXPECT_EQ(kept, blocks) << part;
        EXPECT_TRUE(kept.endsWith("05/12/2026 10:00:00,284.7,976.6,0.7\r\n"));
    }
}

} // namespace
