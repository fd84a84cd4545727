// The simulated logger below its packets: real-time logging on a
// virtual clock (block boundaries, the end of the memory with and without overwriting,
// new datasets), the pre-filled dataset and the list of records a download should yield.
#include "LoggerBench.h"

#include "SimLogger.h"

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
