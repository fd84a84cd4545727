// The dataset download against a fake logger: where it starts, how it decodes and dates
// records and splits them into data sections, when it ends, what it tells the logger
// afterwards, and how it copes with failed blocks and a cancel request.
#include "LoggerWindowFixture.h"

#include "common/NamedFormats.h"
#include "logger/DatasetDownload.h"
#include "logger/DatasetFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

namespace {

// A download's progress as the dialog would show it.
class RecordingView : public DownloadView
{
public:
    void ShowProgress(const QString &strInfo, float Percent) override
    {
        texts.append(strInfo);
        fractions.append(Percent);
        if (onProgress)
            onProgress(strInfo);
    }
    bool cancelRequested() const override { return cancel; }
    void showStatus(const QString &) override {}

    QStringList texts;
    QList<float> fractions;
    bool cancel = false;
    std::function<void(const QString &)> onProgress;
};

constexpr double Minute = 1.0 / 1440;

class DownloadTest : public LoggerWindowFixture
{
protected:
    DownloadTest()
    {
        // Five blocks of one-minute records from 31 May 20:00 without a gap; the top one
        // holds 47.
        for (int i = 0; i < 5; ++i)
            logger.blocks[10 + i] = block(start() + i * 125 * Minute, i == 4 ? 47 : 125);
    }

    static double start() { return Days(2026, 5, 31, 20); }
    static QByteArray block(double time, int records, quint8 unitsCode = 1)
    {
        return FakeLogger::block(LoggerTimeStamp::fromDays(time), 0x0A, 0x41, records, unitsCode);
    }
    static QString recordLine(double time)
    {
        return FormatLoggerTime(time, false) + QStringLiteral("\t284.7\t976.6\t1.2");
    }

    DownloadOutcome download(bool bStart, bool bAll = false, bool ahead = true)
    {
        if (!window)
            open();
        logger.frames.clear();
        return window->DownloadAll(bStart, bAll, ahead, path, view);
    }

    QStringList lines() const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll())
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    // The record lines only.
    QStringList records() const
    {
        static const QRegularExpression record(QStringLiteral("^\\d.*\t"));
        return lines().mid(2).filter(record);
    }
    int sections() const
    {
        return static_cast<int>(lines().filter(QStringLiteral("Reading ")).size());
    }

    QList<int> blocksAskedFor() const
    {
        QList<int> found;
        for (const FakeLogger::Frame &frame : logger.framesOf(22))
            found.append(frame.address);
        return found;
    }
    // The download positions sent to the logger, as "block:offset".
    QStringList pointersSent() const
    {
        QStringList found;
        for (const FakeLogger::Frame &frame : logger.framesOf(21))
            found.append(QStringLiteral("%1:%2")
                             .arg(::Frame::readLe16(frame.data, 0))
                             .arg(::Frame::readLe16(frame.data, 2)));
        return found;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("data set.txt"));
    RecordingView view;
};

TEST(DatasetRecordTest, UnitsCodesGiveFactorFormatAndText)
{
    struct Case
    {
        quint8 code;
        const char *units;
        const char *total;
        const char *diffuse;
    };
    // The record 3A 5C 80 07: raw Total 0x3A5 = 933, raw Diffuse 0xC80 = 3200.
    const QByteArray record = QByteArray::fromHex("3a5c8007");
    const Case cases[] = {
        {0, "Units: umol.m-2.s-1", "569.5", "1953.1"},
        {1, "Units: W.m-2", "284.7", "976.6"},
        {2, "Units: klux", "56.95", "195.31"},
        {3, "Units: W.m-2", "569.5", "1953.1"},
        {7, "", "0.0", "0.0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        const DatasetRecord::Units units = DatasetRecord::UnitsFor(c.code);
        const DatasetRecord::Values values = DatasetRecord::Decode(record, 0, units, 10);
        EXPECT_EQ(values.rawTotal, 933);
        EXPECT_EQ(values.rawDiffuse, 3200);
        EXPECT_EQ(DatasetFile::UnitsLine(units.text), QStringLiteral("Reading ") + c.units);
        EXPECT_EQ(DatasetFile::RecordLine("\t", Days(2026, 12, 5, 10), values, units.numberFormat),
                  QStringLiteral("05/12/2026 10:00:00\t%1\t%2\t0.7").arg(c.total, c.diffuse));
    }
}

TEST(DatasetRecordTest, ReadingsPerRecordAreHalvedUntilTheyFitAByte)
{
    struct Case
    {
        qint32 reading;
        qint32 interval;
        int expected;
    };
    const Case cases[] = {
        {1, 3600, 225},  // 3600, 1800, 900, 450, 225
        {1, 86400, 169}, // ... 675, 337.5 rounded to the even 338, then 169
        {1, 10, 10},     {10, 60, 6}, {60, 60, 1}, {7, 60, 9}, // 8.57 rounds to 9
        {0, 60, 1}, // an unknown reading period counts each record as one reading
        {60, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.reading << " s in " << c.interval << " s");
        EXPECT_EQ(DatasetRecord::ReadingsPerRecord(c.reading, c.interval), c.expected);
    }
}

TEST_F(DownloadTest, RecordsRunInOrderFromTheStartPointToTheTopBlock)
{
    struct Case
    {
        const char *name;
        bool bStart;
        bool ahead;
        quint16 dwnldBlock;
        quint16 dwnldAddr;
        int first; // minutes after 20:00 of the first record written
        QList<int> blocks;
    };
    const Case cases[] = {
        {"WholeDataset", true, true, 12, 100, 0, {10, 11, 12, 13, 14, 15}},
        {"WholeDatasetOneBlockAtATime", true, false, 12, 100, 0, {10, 11, 12, 13, 14}},
        // Offset 100 is slot 22: the next record is slot 23 of block 12, dated 23 minutes
        // after the block.
        {"NewInsideABlock", false, true, 12, 100, 250 + 23, {12, 13, 14, 15}},
        {"NewAfterAFullBlock", false, true, 12, 508, 375, {13, 14, 15}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        logger.setProgram(0x0A, 0x41, 0x02, 10, c.dwnldBlock, c.dwnldAddr, 14);
        window.reset();
        const DownloadOutcome outcome = download(c.bStart, false, c.ahead);
        EXPECT_EQ(outcome.end, DownloadOutcome::End::Finished);
        const QStringList found = records();
        ASSERT_EQ(found.size(), 547 - c.first);
        for (int i = 0; i < found.size(); ++i)
            ASSERT_EQ(found.at(i), recordLine(start() + (c.first + i) * Minute)) << i;
        EXPECT_EQ(sections(), 1);
        EXPECT_EQ(blocksAskedFor(), c.blocks);
        // The top block's 47th record is at offset 12 + 46 x 4.
        EXPECT_EQ(pointersSent(), QStringList({"14:196"}));
        EXPECT_EQ(view.texts.last(), QStringLiteral("%1 / %1 records").arg(547 - c.first));
        EXPECT_FLOAT_EQ(view.fractions.last(), 1.0f);
    }
}

TEST_F(DownloadTest, HeadersAreCheckedWithTheDownloadsOwnBounds)
{
    // 31 December of a leap year is day 366: accepted. Second 86400 is accepted by the
    // window's check but not by the download's.
    const LoggerTimeStamp leapDay{2024, 366, 3600};
    const LoggerTimeStamp endOfDay{2026, 150, 86400};
    QByteArray first = FakeLogger::block(leapDay, 0x0A, 0x41, 3);
    logger.blocks[10] = first;
    logger.blocks[11] = FakeLogger::block(endOfDay, 0x0A, 0x41, 125);
    logger.setProgram(0x0A, 0x41, 0x00, 10, 10, 8, 11);
    download(true);

    const QStringList found = records();
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found.at(2), recordLine(Days(2024, 12, 31, 1, 2)));
    EXPECT_EQ(pointersSent(), QStringList({"10:20"}));
}

TEST_F(DownloadTest, SectionsStartAtUnitsChangesAndTimeGaps)
{
    struct Case
    {
        const char *name;
        QByteArray second; // the block after a full block of one-minute records from 20:00
        int sections;
    };
    const double next = start() + 125 * Minute;
    const Case cases[] = {
        {"Continuing", block(next, 10), 1},
        {"WithinASecond", block(next + 1.0 / 86400, 10), 1},
        {"TwoSecondsLate", block(next + 2.0 / 86400, 10), 2},
        {"OtherUnits", block(next, 10, 2), 2},
        {"UnknownUnits", block(next, 10, 9), 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        logger.blocks[11] = c.second;
        logger.setProgram(0x0A, 0x41, 0x00, 10, 10, 8, 11);
        window.reset();
        download(true);
        EXPECT_EQ(sections(), c.sections);
        EXPECT_EQ(records().size(), 135);
    }
    // An unknown units code still opens its section, with nothing after "Reading ".
    EXPECT_TRUE(lines().contains(QStringLiteral("Reading ")));
}

TEST_F(DownloadTest, WithOverwriteTheDownloadFollowsTheLoggerPastItsFullTopBlock)
{
    struct Case
    {
        const char *name;
        QByteArray afterTop; // block 15
        int records;
        const char *pointer;
    };
    const double afterTop = start() + 625 * Minute;
    const Case cases[] = {
        // The logger has gone on into the next block since the details were read.
        {"NewBlock", block(afterTop, 3), 625 + 3, "15:20"},
        // An older dataset after the top: not new data, the download ends.
        {"OlderData", block(start() - 3 * 1440 * Minute, 125), 625, "14:508"},
        {"Erased", QByteArray(512, '\xFF'), 625, "14:508"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        logger.blocks[14] = block(start() + 500 * Minute, 125);
        logger.blocks[15] = c.afterTop;
        logger.setProgram(0x0A, 0x41, 0x03, 10, 10, 8, 14);
        window.reset();
        download(true);
        EXPECT_EQ(records().size(), c.records);
        EXPECT_EQ(pointersSent(), QStringList({c.pointer}));
    }
    // Without overwriting the download ends with the top block, full or not.
    logger.blocks[15] = block(afterTop, 3);
    logger.setProgram(0x0A, 0x41, 0x02, 10, 10, 8, 14);
    window.reset();
    download(true);
    EXPECT_EQ(records().size(), 625);
    EXPECT_EQ(pointersSent(), QStringList({"14:508"}));
}

TEST_F(DownloadTest, ALoggerThatKeepsOverwritingIsFollowedOnceRoundTheRingAtMost)
{
    logger.memoryBlocks = 4;
    logger.blocks.clear();
    for (int i = 0; i < 4; ++i)
        logger.blocks[i] = block(start() + i * 125 * Minute, 125);
    logger.setProgram(0x0A, 0x41, 0x03, 0, 0, 8, 3);
    open();
    // From now on every block sent is newer than all before it, as if the logger
    // overwrote the ring as fast as it is read. A transfer that chases it is stopped
    // after 40 blocks.
    pump.hook = [this] {
        const auto asked = blocksAskedFor().size();
        for (int i = 0; i < 4; ++i)
            logger.blocks[i] = block(start() + (4 + asked) * 125 * Minute, 125);
        if (asked > 40)
            view.cancel = true;
    };
    const DownloadOutcome outcome = download(true);
    pump.hook = nullptr;
    EXPECT_EQ(outcome.end, DownloadOutcome::End::Finished);
    // Blocks 0 to 3, and block 0 asked for ahead.
    EXPECT_EQ(blocksAskedFor(), QList<int>({0, 1, 2, 3, 0}));
    EXPECT_EQ(records().size(), 500);
}

TEST_F(DownloadTest, NothingNewShowsAFullBarAndLeavesThePointer)
{
    struct Case
    {
        const char *name;
        quint16 dwnldAddr;
        QList<int> blocks;
    };
    const Case cases[] = {
        // The last record of the top block was downloaded: its block is read again.
        {"TopBlockPartlyFilled", 196, {14, 15}},
        // A full top block, all downloaded: nothing after it is the dataset's.
        {"TopBlockFull", 508, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        logger.blocks[14] = block(start() + 500 * Minute, c.dwnldAddr == 508 ? 125 : 47);
        logger.setProgram(0x0A, 0x41, 0x02, 10, 14, c.dwnldAddr, 14);
        window.reset();
        view = RecordingView();
        const DownloadOutcome outcome = download(false);
        EXPECT_EQ(outcome.end, DownloadOutcome::End::Finished);
        EXPECT_TRUE(records().isEmpty());
        EXPECT_EQ(blocksAskedFor(), c.blocks);
        EXPECT_TRUE(pointersSent().isEmpty());
        ASSERT_FALSE(view.texts.isEmpty());
        EXPECT_EQ(view.texts.last(), QStringLiteral("0 / 0 records"));
        EXPECT_FLOAT_EQ(view.fractions.last(), 1.0f);
    }
}

TEST_F(DownloadTest, EachBlockIsOnTheDiskBeforeTheNextIsRead)
{
    QList<int> recordsOnDisk;
    view.onProgress = [&](const QString &) { recordsOnDisk.append(int(records().size())); };
    download(true);
    EXPECT_EQ(recordsOnDisk, QList<int>({125, 250, 375, 500, 547}));
}

TEST_F(DownloadTest, FailedBlocksAreAskedForAgainAndAbandonedAfterTheFourthFailure)
{
    struct Case
    {
        const char *name;
        FakeLogger::Fault fault;
        int requests; // requests for block 10 before the transfer ends
    };
    const Case cases[] = {
        // No acknowledgement at all (the link is down): four attempts.
        {"NoReply", FakeLogger::Fault::Silent, 4},
        // Acknowledged, but the block's CRC is bad: after the fourth failure the block is
        // asked for once more, and the transfer ends when that is acknowledged.
        {"BadBlock", FakeLogger::Fault::BadBlockCrc, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        logger.faults.clear();
        window.reset();
        open();
        logger.faults[22] = c.fault;
        const DownloadOutcome outcome = download(true);

        EXPECT_EQ(outcome.end, DownloadOutcome::End::Abandoned);
        EXPECT_EQ(blocksAskedFor().count(10), c.requests);
        EXPECT_TRUE(records().isEmpty());
        EXPECT_TRUE(pointersSent().isEmpty());
        EXPECT_TRUE(view.texts.contains(QStringLiteral("Data error, retry 3")));
        // From the third retry on the next block is no longer asked for ahead.
        EXPECT_LE(blocksAskedFor().count(11), 3);
        EXPECT_FALSE(outcome.statusText().isEmpty());
    }
}

TEST_F(DownloadTest, ACancelRequestIsHonouredOnEveryPath)
{
    struct Case
    {
        const char *name;
        bool linkDown;
        int records;
        QStringList pointers;
    };
    const Case cases[] = {
        // Between two blocks: everything written so far counts as downloaded.
        {"BetweenBlocks", false, 125, {"10:508"}},
        // While a request fails: the transfer ends at once, the pointer stays.
        {"WhileRetrying", true, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        logger.faults.clear();
        window.reset();
        open();
        if (c.linkDown)
            logger.faults[22] = FakeLogger::Fault::Silent;
        view = RecordingView();
        view.onProgress = [this](const QString &) { view.cancel = true; };
        const DownloadOutcome outcome = download(true);
        EXPECT_EQ(outcome.end, DownloadOutcome::End::Cancelled);
        EXPECT_EQ(records().size(), c.records);
        EXPECT_EQ(pointersSent(), c.pointers);
        EXPECT_LE(blocksAskedFor().size(), 3);
    }
}

} // namespace
