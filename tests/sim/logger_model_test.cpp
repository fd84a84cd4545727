// The simulated logger below its packets: the time stamp and block codecs, the memory
// ring, real-time logging on a virtual clock (block boundaries, the end of the memory
// with and without overwriting, clock changes, new datasets), the pre-filled dataset
// and the list of records a download should yield.
#include "LoggerBench.h"

#include "SimLogger.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

using LoggerBench::hex;

qint64 at(int hour, int minute, int second, QDate date = QDate(2026, 6, 1))
{
    return SimLocalTime::secondsOf(QDateTime(date, QTime(hour, minute, second)));
}

// A logger on its own, on a virtual clock that starts at 2026-06-01 10:00:00.
struct Rig
{
    explicit Rig(const SimLoggerOptions &options = {}, SimModel model = SimModel::ZQ5)
        : state(model), logger(clock, sky, state, options)
    {}

    static SimLoggerOptions blocks(int count)
    {
        SimLoggerOptions options;
        options.memoryBlocks = count;
        return options;
    }

    // Starts logging `startOffset` seconds from the logger's now.
    void start(quint8 readingCode, quint8 averagingCode, bool overwrite = false,
               qint64 startOffset = -1)
    {
        SimProgram program;
        program.readingCode = readingCode;
        program.averagingCode = averagingCode;
        program.flags = SimProgram::LoggingFlag | (overwrite ? SimProgram::OverwriteFlag : 0);
        program.start = logger.clock().nowSeconds() + startOffset;
        logger.recorder().start(program);
    }

    const SimDatasetPointers &pointers() const
    {
        return const_cast<SimLogger &>(logger).recorder().pointers();
    }
    QByteArray wholeMemory()
    {
        return logger.memory().read(0, logger.memory().blockCount() * SimBlock::Size);
    }

    VirtualClock clock;
    SkyModel sky;
    InstrumentState state;
    SimLogger logger;
};

QList<int> sectionsOf(const QList<SimLoggedRecord> &records)
{
    QList<int> sections;
    for (const auto &record : records) {
        if (sections.isEmpty() || sections.last() != record.section)
            sections.append(record.section);
    }
    return sections;
}

} // namespace

TEST(LoggerCodecs, TimeStampsCountDaysFromOneAndSecondsFromMidnight)
{
    struct Row
    {
        qint64 seconds;
        QByteArray bytes;
    };
    const QList<Row> rows{
        {at(0, 0, 0, QDate(2026, 1, 1)), QByteArray::fromHex("EA07 0100 00000000")},
        {at(10, 0, 0), QByteArray::fromHex("EA07 9800 A08C0000")},
        {at(23, 59, 59, QDate(2024, 12, 31)), QByteArray::fromHex("E807 6E01 7F510100")},
        {at(12, 0, 0, QDate(2000, 2, 29)), QByteArray::fromHex("D007 3C00 C0A80000")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(hex(row.bytes).toStdString());
        const SimTimeStamp stamp = SimTimeStamp::fromSeconds(row.seconds);
        EXPECT_EQ(hex(stamp.bytes()), hex(row.bytes));
        EXPECT_EQ(SimTimeStamp::read(row.bytes).toSeconds(), row.seconds);
        EXPECT_EQ(SimLocalTime::secondsOf(SimLocalTime::dateTimeOf(row.seconds)), row.seconds);
    }

    // Stamps no calendar holds.
    for (const char *bad : {"EA07 6E01 00000000", "EA07 0100 80510100", "0000 0100 00000000",
                            "EA07 0000 00000000", "1027 0100 00000000"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(SimTimeStamp::read(QByteArray::fromHex(bad)).toSeconds().has_value());
    }
}

TEST(LoggerCodecs, PeriodCodesAndReadingsPerRecord)
{
    struct Code
    {
        quint8 code;
        int seconds;
    };
    for (const Code &row : QList<Code>{
             {10, 10}, {0x41, 60}, {0x45, 300}, {0x81, 3600}, {0x98, 86400}, {0xC5, 0}, {0, 0}}) {
        EXPECT_EQ(SimBlock::periodSeconds(row.code), row.seconds) << int(row.code);
    }
    struct Back
    {
        int seconds;
        quint8 code;
    };
    for (const Back &row : QList<Back>{{1, 1},
                                       {59, 59},
                                       {60, 0x41},
                                       {90, 0x42},
                                       {150, 0x42},
                                       {3599, 0x7C},
                                       {3600, 0x81},
                                       {5400, 0x82},
                                       {86400, 0x98}}) {
        EXPECT_EQ(SimBlock::periodCode(row.seconds), row.code) << row.seconds;
    }
    struct Readings
    {
        int reading;
        int averaging;
        int perRecord;
    };
    for (const Readings &row : QList<Readings>{
             {1, 3600, 225}, {10, 60, 6}, {60, 60, 1}, {60, 10, 1}, {5, 300, 60}, {2, 5, 2}}) {
        EXPECT_EQ(SimBlock::readingsPerRecord(row.reading, row.averaging), row.perRecord)
            << row.reading << " " << row.averaging;
    }
}

TEST(LoggerCodecs, RecordsPackTwelveBitValuesAndNeverLookEmpty)
{
    const SimBlock::Record record{933, 3200, 7};
    EXPECT_EQ(hex(record.bytes()), hex(QByteArray::fromHex("3A5C8007")));

    QByteArray block(SimBlock::Size, SimBlock::Erased);
    block.replace(SimBlock::slotOffset(3), 4, record.bytes());
    EXPECT_EQ(SimBlock::Record::read(block, 3), record);
    EXPECT_FALSE(SimBlock::Record::read(block, 2).has_value());
    EXPECT_FALSE(SimBlock::Record::read(block, 125).has_value());

    // Full scale with a full sunshine count would read as an empty slot.
    const SimBlock::Record top{4095, 4095, 255};
    EXPECT_NE(top.bytes(), QByteArray(4, SimBlock::Erased));
    block.replace(SimBlock::slotOffset(0), 4, top.bytes());
    ASSERT_TRUE(SimBlock::Record::read(block, 0).has_value());
    EXPECT_EQ(SimBlock::Record::read(block, 0)->total, 4095);

    const SimBlock::Header header{SimTimeStamp::fromSeconds(at(10, 0, 0)), 10, 0x41, 2};
    EXPECT_EQ(hex(header.bytes()), hex(QByteArray::fromHex("EA07 9800 A08C0000 0A 41 02 00")));
    EXPECT_EQ(header.intervalSeconds(), 60);
}

TEST(LoggerMemory, IsARingOfErasedBlocks)
{
    SimMemory memory(1023);
    EXPECT_EQ(memory.blockCount(), 1023);
    EXPECT_EQ(memory.next(1022), 0);
    EXPECT_EQ(memory.block(0), QByteArray(512, SimBlock::Erased));
    EXPECT_EQ(memory.recordCount(0), 0);

    memory.write(1022, 0, QByteArray(512, 'a'));
    memory.write(0, 0, QByteArray(512, 'b'));
    const QByteArray across = memory.read(1022, 600);
    EXPECT_EQ(across, QByteArray(512, 'a') + QByteArray(88, 'b'));
    // Beyond the memory: erased, and writes there are dropped.
    memory.write(1023, 0, "x");
    EXPECT_EQ(memory.block(1023), QByteArray(512, SimBlock::Erased));
    EXPECT_EQ(memory.block(-1), QByteArray(512, SimBlock::Erased));

    memory.erase(0);
    for (int slot = 0; slot < 3; ++slot)
        memory.writeRecord(0, slot, {slot, slot, 0});
    EXPECT_EQ(memory.recordCount(0), 3);

    EXPECT_EQ(SimMemory(0).blockCount(), 1);
    EXPECT_EQ(SimMemory(70000).blockCount(), 65535);
}

TEST(LoggerRecording, RecordsEveryIntervalAcrossABlockBoundary)
{
    Rig rig;
    rig.start(10, 0x41); // 10 s readings, one record a minute, from 09:59:59
    EXPECT_EQ(rig.logger.recorder().nextRecordTime(), at(10, 0, 59));

    rig.clock.advanceSeconds(7559); // 12:05:59, the 126th record
    rig.logger.update();
    const SimDatasetPointers &p = rig.pointers();
    EXPECT_EQ(p.startBlock, 0);
    EXPECT_EQ(p.logTop, 1);
    EXPECT_EQ(p.topCount, 1);
    EXPECT_EQ(p.topFill(), 12);
    EXPECT_EQ(rig.logger.recorder().nextRecordTime(), at(12, 6, 59));

    EXPECT_EQ(hex(rig.logger.memory().block(0).left(12)),
              hex(SimBlock::Header{SimTimeStamp::fromSeconds(at(10, 0, 59)), 10, 0x41, 0}.bytes()));
    EXPECT_EQ(hex(rig.logger.memory().block(1).left(12)),
              hex(SimBlock::Header{SimTimeStamp::fromSeconds(at(12, 5, 59)), 10, 0x41, 0}.bytes()));

    const QList<SimLoggedRecord> records = rig.logger.datasetRecords();
    ASSERT_EQ(records.size(), 126);
    int sunlit = 0;
    for (int i = 0; i < records.size(); ++i) {
        const SimLoggedRecord &record = records[i];
        EXPECT_EQ(record.seconds, at(10, 0, 59) + 60 * i);
        EXPECT_EQ(record.section, 0);
        EXPECT_EQ(record.readingsPerRecord, 6);
        EXPECT_LE(record.raw.sunCount, 6);
        EXPECT_EQ(record.raw, rig.logger.source().recordAt(record.seconds, 10, 60, 0)) << i;
        sunlit += record.raw.total > 500 ? 1 : 0;
    }
    EXPECT_GT(sunlit, 100);
    EXPECT_TRUE(rig.logger.logging());
}

TEST(LoggerRecording, AFullMemoryStopsLoggingOrOverwritesTheOldestBlock)
{
    struct Row
    {
        bool overwrite;
        bool logging;
        int startBlock;
        int logTop;
        int topCount;
        int datasetRecords;
    };
    const QList<Row> rows{
        {false, false, 0, 2, 125, 375},
        {true, true, 1, 0, 25, 275},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.overwrite ? "overwrite" : "stop when full");
        Rig rig(Rig::blocks(3));
        rig.start(1, 1, row.overwrite); // a record a second from 10:00:00
        rig.clock.advanceSeconds(399);  // 400 records due
        EXPECT_EQ(rig.logger.logging(), row.logging);
        const SimDatasetPointers &p = rig.pointers();
        EXPECT_EQ(p.startBlock, row.startBlock);
        EXPECT_EQ(p.logTop, row.logTop);
        EXPECT_EQ(p.topCount, row.topCount);
        EXPECT_EQ(rig.logger.recorder().nextRecordTime().has_value(), row.logging);

        const QList<SimLoggedRecord> records = rig.logger.datasetRecords();
        ASSERT_EQ(records.size(), row.datasetRecords);
        // The newest records survive, in one unbroken section.
        EXPECT_EQ(records.last().seconds, at(10, 0, 0) + (row.overwrite ? 399 : 374));
        for (int i = 1; i < records.size(); ++i)
            ASSERT_EQ(records[i].seconds, records[i - 1].seconds + 1) << i;
        EXPECT_EQ(sectionsOf(records), QList<int>{0});

        // Stopped loggers stay stopped; the overwriting one goes on.
        rig.clock.advanceSeconds(10);
        EXPECT_EQ(rig.logger.datasetRecords().size(), row.datasetRecords + (row.logging ? 10 : 0));
    }
}

TEST(LoggerRecording, OverwrittenDownloadsMoveTheDownloadPointerToTheDatasetStart)
{
    Rig rig(Rig::blocks(3));
    rig.start(1, 1, true);
    rig.clock.advanceSeconds(299);
    rig.logger.update();
    ASSERT_TRUE(rig.logger.recorder().setDownloadPointer(1, 508));
    EXPECT_FALSE(rig.logger.recorder().setDownloadPointer(3, 12));
    EXPECT_FALSE(rig.logger.recorder().setDownloadPointer(0, 512));

    rig.clock.advanceSeconds(100); // block 0 overwritten: the pointer in block 1 stays
    rig.logger.update();
    EXPECT_EQ(rig.pointers().startBlock, 1);
    EXPECT_EQ(rig.pointers().downloadBlock, 1);
    EXPECT_EQ(rig.pointers().downloadAddress, 508);

    rig.clock.advanceSeconds(125); // block 1 overwritten with it
    rig.logger.update();
    EXPECT_EQ(rig.pointers().startBlock, 2);
    EXPECT_EQ(rig.pointers().logTop, 1);
    EXPECT_EQ(rig.pointers().downloadBlock, 2);
    EXPECT_EQ(rig.pointers().downloadAddress, SimDatasetPointers::NothingDownloaded);
}

TEST(LoggerRecording, WholeTurnsOfTheRingAreSkippedWithTheSameOutcome)
{
    // One logger is asked every minute, the other only after a day: the second skips
    // the turns of the ring that are overwritten anyway and must end up identical.
    Rig stepped(Rig::blocks(2));
    Rig leaping(Rig::blocks(2));
    for (Rig *rig : {&stepped, &leaping}) {
        rig->start(1, 1, true);
        rig->clock.advanceSeconds(200);
        rig->logger.update();
        rig->logger.recorder().setDownloadPointer(0, 100);
    }
    for (int minute = 0; minute < 24 * 60; ++minute) {
        stepped.clock.advanceSeconds(60);
        stepped.logger.update();
    }
    leaping.clock.advanceSeconds(24 * 3600);
    leaping.logger.update();

    EXPECT_TRUE(stepped.wholeMemory() == leaping.wholeMemory());
    for (const Rig *rig : {&stepped, &leaping}) {
        EXPECT_EQ(rig->pointers().downloadBlock, rig->pointers().startBlock);
        EXPECT_EQ(rig->pointers().downloadAddress, SimDatasetPointers::NothingDownloaded);
    }
    EXPECT_EQ(stepped.pointers().startBlock, leaping.pointers().startBlock);
    EXPECT_EQ(stepped.pointers().logTop, leaping.pointers().logTop);
    EXPECT_EQ(stepped.pointers().topCount, leaping.pointers().topCount);
    EXPECT_EQ(stepped.logger.recorder().nextRecordTime(),
              leaping.logger.recorder().nextRecordTime());
    const QList<SimLoggedRecord> records = leaping.logger.datasetRecords();
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.last().seconds, at(10, 0, 0) + 200 + 24 * 3600);

    // And the leap makes only the records that survive it, give or take two turns.
    struct CountingSource : SimRecordSource
    {
        SimBlock::Record recordAt(qint64, int, int, int) const override
        {
            ++made;
            return {1, 2, 0};
        }
        int unitsCode() const override { return 0; }
        mutable qint64 made = 0;
    };
    VirtualClock clock;
    SimLoggerClock loggerClock(clock);
    SimMemory memory(2);
    CountingSource source;
    SimRecorder recorder(memory, loggerClock, source);
    SimProgram program;
    program.readingCode = 1;
    program.averagingCode = 1;
    program.flags = SimProgram::LoggingFlag | SimProgram::OverwriteFlag;
    recorder.start(program);
    clock.advanceSeconds(365 * 86400.0);
    recorder.catchUp();
    EXPECT_LT(source.made, 4 * 250);
    EXPECT_EQ(recorder.nextRecordTime(), loggerClock.nowSeconds() + 1);
}

TEST(LoggerRecording, ASetClockOpensANewBlockOnTheSameGridOfRecordTimes)
{
    Rig rig;
    rig.start(10, 0x41); // records at hh:mm:59
    rig.clock.advanceSeconds(600);
    const auto setClock = [&rig](qint64 seconds) {
        const auto reply = LoggerBench::parse(
            rig.logger
                .answer(LoggerBench::request(13, 0, SimTimeStamp::fromSeconds(seconds).bytes()))
                .frame);
        ASSERT_TRUE(reply.has_value());
        EXPECT_TRUE(reply->data.isEmpty());
    };

    setClock(at(11, 10, 30)); // an hour and a half minute forward: a gap
    EXPECT_EQ(rig.logger.clock().nowSeconds(), at(11, 10, 30));
    EXPECT_EQ(rig.logger.recorder().nextRecordTime(), at(11, 10, 59));
    rig.clock.advanceSeconds(120);

    setClock(at(10, 30, 0)); // back again: repeated times
    EXPECT_EQ(rig.logger.recorder().nextRecordTime(), at(10, 30, 59));
    rig.clock.advanceSeconds(60);

    const QList<SimLoggedRecord> records = rig.logger.datasetRecords();
    ASSERT_EQ(records.size(), 13);
    EXPECT_EQ(records[9].seconds, at(10, 9, 59));
    EXPECT_EQ(records[10].seconds, at(11, 10, 59));
    EXPECT_EQ(records[10].block, 1);
    EXPECT_EQ(records[11].seconds, at(11, 11, 59));
    EXPECT_EQ(records[12].seconds, at(10, 30, 59));
    EXPECT_EQ(records[12].block, 2);
    EXPECT_EQ(sectionsOf(records), (QList<int>{0, 1, 2}));

    // A stamp no calendar holds leaves the clock alone.
    const qint64 before = rig.logger.clock().nowSeconds();
    rig.logger.answer(LoggerBench::request(13, 0, QByteArray::fromHex("EA07 6E01 00000000")));
    EXPECT_EQ(rig.logger.clock().nowSeconds(), before);
}

TEST(LoggerRecording, EachStartBeginsANewDatasetAfterTheLastUsedBlock)
{
    Rig rig(Rig::blocks(8));
    rig.start(1, 1);
    rig.clock.advanceSeconds(199); // 200 records: blocks 0 and 1
    rig.logger.recorder().stop();
    EXPECT_FALSE(rig.logger.logging());
    EXPECT_EQ(rig.logger.recorder().program().readingCode, 1); // the program stays
    rig.clock.advanceSeconds(30);
    EXPECT_EQ(rig.logger.datasetRecords().size(), 200);

    struct Row
    {
        const char *name;
        qint64 startOffset;
        int startBlock;
        int recordsIn120s;
    };
    // A start time in the past makes up no records (the first falls due now, on the grid
    // of record times); one in the future waits for it.
    const QList<Row> rows{{"past", -3600, 2, 3}, {"future", 3600, 3, 0}, {"at once", -1, 3, 2}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const qint64 now = rig.logger.clock().nowSeconds();
        rig.start(1, 0x41, false, row.startOffset);
        const SimDatasetPointers &p = rig.pointers();
        EXPECT_EQ(p.startBlock, row.startBlock);
        EXPECT_EQ(p.logTop, row.startBlock);
        EXPECT_EQ(p.downloadBlock, row.startBlock);
        EXPECT_EQ(p.downloadAddress, SimDatasetPointers::NothingDownloaded);
        EXPECT_EQ(rig.logger.memory().block(row.startBlock), QByteArray(512, SimBlock::Erased));
        const qint64 next = *rig.logger.recorder().nextRecordTime();
        EXPECT_GE(next, now);
        EXPECT_EQ((next - (now + row.startOffset)) % 60, 0);
        EXPECT_EQ(next, std::max(now + row.startOffset + 60, now));
        if (row.startOffset < 0) {
            rig.clock.advanceSeconds(120);
            EXPECT_EQ(rig.logger.datasetRecords().size(), row.recordsIn120s);
        } else {
            rig.clock.advanceSeconds(1800);
            EXPECT_TRUE(rig.logger.datasetRecords().isEmpty());
            EXPECT_TRUE(rig.logger.logging());
            rig.logger.recorder().stop();
        }
    }
    // The first dataset is still there for a whole-memory download.
    EXPECT_EQ(SimDataset::wholeMemory(rig.logger.memory(), 0).size(), 205);

    // A program without a period cannot log.
    rig.start(0xC0, 0xC0);
    EXPECT_FALSE(rig.logger.logging());
}

TEST(LoggerPrefill, IsReproducibleAndSplitsIntoSections)
{
    struct Row
    {
        SimModel model;
        int sections;
        QList<int> unitsCodes; // of the sections, in order
    };
    const QList<Row> rows{
        {SimModel::ZQ5, 5, {1, 1, 0, 0, 0}},
        {SimModel::ZQ4, 4, {1, 1, 1, 1}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(modelName(row.model).toStdString());
        SimLoggerOptions options = Rig::blocks(1023);
        options.prefill.records = 1000;
        options.prefill.logging = true;
        Rig first(options, row.model);
        Rig second(options, row.model);
        EXPECT_TRUE(first.wholeMemory() == second.wholeMemory());
        EXPECT_EQ(first.pointers().logTop, second.pointers().logTop);

        const QList<SimLoggedRecord> records = first.logger.datasetRecords();
        ASSERT_EQ(records.size(), 1000);
        QList<int> units;
        for (const auto &record : records) {
            if (units.size() <= record.section)
                units.append(record.unitsCode);
        }
        EXPECT_EQ(units, row.unitsCodes);
        EXPECT_EQ(sectionsOf(records).size(), row.sections);

        // Ends just before now, and logging goes on from there in the same block.
        const qint64 now = first.logger.clock().nowSeconds();
        EXPECT_LE(records.last().seconds, now);
        EXPECT_EQ(first.logger.recorder().nextRecordTime(), records.last().seconds + 60);
        EXPECT_GT(*first.logger.recorder().nextRecordTime(), now);
        EXPECT_EQ(first.logger.recorder().program().averagingCode, 0x41);
        first.clock.advanceSeconds(300);
        const QList<SimLoggedRecord> more = first.logger.datasetRecords();
        ASSERT_EQ(more.size(), 1005);
        EXPECT_EQ(more.last().block, records.last().block);
        EXPECT_EQ(more.last().section, records.last().section);
    }
}

TEST(LoggerPrefill, WrapsTheRingOverwritesOrStopsAsAskedAndPlacesTheDownloadPointer)
{
    struct Row
    {
        const char *name;
        int blocks;
        SimPrefillOptions prefill;
        bool logging;
        int datasetRecords; // -1: at most the memory's share
        bool acrossTheEnd;
    };
    SimPrefillOptions wrapped;
    wrapped.records = 1000;
    wrapped.wrap = true;
    wrapped.downloadedRecords = 130;
    SimPrefillOptions overwritten;
    overwritten.records = 1000;
    overwritten.overwrite = true;
    overwritten.logging = true;
    SimPrefillOptions tooMany;
    tooMany.records = 1000;
    tooMany.logging = true;
    const QList<Row> rows{
        {"wrapped", 1023, wrapped, false, 1000, true},
        {"overwritten", 4, overwritten, true, -1, false},
        {"full", 4, tooMany, false, 425, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SimLoggerOptions options = Rig::blocks(row.blocks);
        options.prefill = row.prefill;
        Rig rig(options);
        EXPECT_EQ(rig.logger.logging(), row.logging);
        const SimDatasetPointers &p = rig.pointers();
        const QList<SimLoggedRecord> records = rig.logger.datasetRecords();
        if (row.datasetRecords >= 0) {
            EXPECT_EQ(records.size(), row.datasetRecords);
        } else {
            EXPECT_LE(records.size(), row.blocks * 125);
        }
        if (!row.prefill.overwrite) {
            EXPECT_EQ(p.logTop < p.startBlock, row.acrossTheEnd);
        }
        for (int i = 1; i < records.size(); ++i)
            ASSERT_GT(records[i].seconds, records[i - 1].seconds) << i;
        if (row.prefill.overwrite) {
            EXPECT_EQ(p.startBlock, rig.logger.memory().next(p.logTop));
        }
        if (row.prefill.downloadedRecords > 0) {
            const SimLoggedRecord &last = records[row.prefill.downloadedRecords - 1];
            EXPECT_EQ(p.downloadBlock, last.block);
            EXPECT_EQ(p.downloadAddress, SimBlock::slotOffset(last.slot));
            const QList<SimLoggedRecord> fresh = rig.logger.newRecords();
            ASSERT_EQ(fresh.size(), records.size() - row.prefill.downloadedRecords);
            EXPECT_EQ(fresh.first().seconds, records[row.prefill.downloadedRecords].seconds);
            EXPECT_EQ(fresh.first().section, 0);
        }
        if (row.acrossTheEnd) {
            // An older dataset fills the rest of the memory, a day older or more.
            const QList<SimLoggedRecord> all =
                SimDataset::wholeMemory(rig.logger.memory(), p.startBlock);
            EXPECT_EQ(all.size(), 1000 + (row.blocks - 11) * 125);
            EXPECT_LE(all.last().seconds, records.first().seconds - 86400);
        }
    }
}

TEST(LoggerDataset, FilesBlocksIntoSectionsAsADownloadDoes)
{
    SimMemory memory(6);
    const qint64 t0 = at(10, 0, 0);
    auto plant = [&memory](int block, qint64 start, int records, SimTimeStamp stamp = {}) {
        memory.erase(block);
        if (stamp.isZero())
            stamp = SimTimeStamp::fromSeconds(start);
        memory.writeHeader(block, {stamp, 1, 1, 1});
        for (int slot = 0; slot < records; ++slot)
            memory.writeRecord(block, slot, {slot, slot, 1});
    };
    plant(0, t0, 100);
    plant(1, t0 + 100, 125); // follows on: same section in a dataset
    SimTimeStamp badSeconds = SimTimeStamp::fromSeconds(t0);
    badSeconds.seconds = 86400;
    plant(2, 0, 10, badSeconds); // rejected by the download
    plant(3, t0 + 225, 3);       // follows on from block 1

    SimDatasetPointers pointers;
    pointers.startBlock = 0;
    pointers.logTop = 3;
    const QList<SimLoggedRecord> dataset = SimDataset::dataset(memory, pointers);
    ASSERT_EQ(dataset.size(), 228);
    EXPECT_EQ(sectionsOf(dataset), QList<int>{0});
    EXPECT_EQ(dataset.last().seconds, t0 + 227);
    EXPECT_EQ(dataset.last().unitsText, QStringLiteral("Units: W.m-2"));
    EXPECT_FLOAT_EQ(dataset.last().total, 0.30518f * 2);
    EXPECT_FLOAT_EQ(dataset.last().sun, 1.0f);

    // New records after a pointer on slot 22 (offset 100) of block 1, and after one on
    // the last slot of block 1.
    pointers.downloadBlock = 1;
    pointers.downloadAddress = 100;
    QList<SimLoggedRecord> fresh = SimDataset::newRecords(memory, pointers);
    ASSERT_EQ(fresh.size(), 125 - 23 + 3);
    EXPECT_EQ(fresh.first().slot, 23);
    EXPECT_EQ(fresh.first().seconds, t0 + 100 + 23);
    EXPECT_EQ(sectionsOf(fresh), QList<int>{0});
    pointers.downloadAddress = 508;
    fresh = SimDataset::newRecords(memory, pointers);
    ASSERT_EQ(fresh.size(), 3);
    EXPECT_EQ(fresh.first().block, 3);

    // A whole-memory download also ends a section after every block that is not full.
    const QList<SimLoggedRecord> whole = SimDataset::wholeMemory(memory, 0);
    ASSERT_EQ(whole.size(), 228);
    EXPECT_EQ(sectionsOf(whole), (QList<int>{0, 1, 2}));
    EXPECT_EQ(whole[100].section, 1);
    EXPECT_EQ(whole[225].section, 2);
}
