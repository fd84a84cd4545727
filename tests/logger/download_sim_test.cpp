// Downloads from the simulated instrument with a pre-filled logger memory: the file must
// hold exactly the records the memory holds, in order, with their times, values and data
// sections, and the logger's download position must end on the last record written.
// With faults on the line the file is still exact (the failed blocks are fetched again),
// or the transfer is abandoned and the position is left alone.
#include "Instrument.h"
#include "QtPrinters.h"
#include "SimDataset.h"
#include "SimulatedLine.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/NumberFormat.h"
#include "link/SensorLink.h"
#include "logger/DatasetDownload.h"
#include "logger/DatasetRecord.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

enum class Kind { Start, New, All };

struct SimDownloadCase
{
    const char *name;
    SimPrefillOptions prefill;
    int memoryBlocks;
    Kind kind;
    bool paced = false;
    SimFaults faults = {};
    DownloadOutcome::End end = DownloadOutcome::End::Finished;
};

class QuietView : public DownloadView
{
public:
    void ShowProgress(const QString &text, float) override { texts.append(text); }
    bool cancelRequested() const override { return false; }
    void showStatus(const QString &text) override { statuses.append(text); }
    QStringList statuses;
    QStringList texts;
};

// The lines a download of `records` writes after the two headings: a units line and a
// column line wherever a new data section starts, then the record lines.
QStringList ExpectedLines(const QList<SimLoggedRecord> &records)
{
    QStringList lines;
    int section = INT_MIN;
    for (const SimLoggedRecord &record : records) {
        if (record.section != section) {
            section = record.section;
            lines << QStringLiteral("Reading ") + record.unitsText
                  << QStringLiteral("Time\tTotal\tDiffuse\tSun");
        }
        const QString format = DatasetRecord::UnitsFor(record.unitsCode).numberFormat;
        lines << QStringList{FormatLoggerTime(DateTimeToDays(record.time), false),
                             FormatNumber(record.total, format),
                             FormatNumber(record.diffuse, format),
                             FormatNumber(record.sun, QStringLiteral("0.0"))}
                     .join(QLatin1Char('\t'));
    }
    return lines;
}

QStringList FileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

class SimDownloadTest : public ::testing::TestWithParam<SimDownloadCase>
{
protected:
    ~SimDownloadTest() override { link.setCommPort(0); }

    void connect(const SimDownloadCase &c)
    {
        InstrumentOptions options(SimModel::ZQ5);
        options.logger.prefill = c.prefill;
        options.logger.memoryBlocks = c.memoryBlocks;
        options.blockLatencySeconds = 0.03;
        instrument = std::make_unique<Instrument>(clock, options);
        simulated = std::make_unique<SimulatedLine>(*instrument, port.addLine(1), c.paced);
        link.setCommPort(1);
        LoggerPackets packets(link);
        LoggerDetailsReader(link, clock, packets).read(state);
        instrument->setFaults(c.faults);
    }

    SimLogger &logger() { return instrument->logger(); }

    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(11, 20, 7))};
    FakeSerialPort port{clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<SimulatedLine> simulated;
    LoggerState state;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("dataset.txt"));
};

TEST_P(SimDownloadTest, TheFileHoldsExactlyTheRecordsOfTheMemory)
{
    const SimDownloadCase c = GetParam();
    connect(c);
    const SimDatasetPointers before = logger().recorder().pointers();
    QList<SimLoggedRecord> expected;
    if (c.kind == Kind::All) {
        expected = SimDataset::wholeMemory(logger().memory(), before.startBlock);
    } else {
        expected = logger().datasetRecords();
        if (c.kind == Kind::New)
            expected = expected.mid(c.prefill.downloadedRecords);
    }
    ASSERT_FALSE(expected.isEmpty());

    DownloadRequest request;
    request.bStart = c.kind == Kind::Start;
    request.bAll = c.kind == Kind::All;
    request.strFile = path;
    QuietView view;
    DatasetDownload download(link, clock, pump);
    const DownloadOutcome outcome = download.DownloadAll(state, state.overwrite(), request, view);

    // The logger stored nothing new meanwhile, so the memory is what was downloaded.
    const SimDatasetPointers after = logger().recorder().pointers();
    ASSERT_EQ(after.logTop, before.logTop);
    ASSERT_EQ(after.topCount, before.topCount);
    EXPECT_EQ(outcome.end, c.end) << view.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(view.statuses.isEmpty());

    const QStringList lines = FileLines(path);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.at(1), QStringLiteral("ZQ5 ") + link.Version().mid(4) +
                               QStringLiteral(" Ser No: ") + link.SerialNumber());
    const QStringList written = lines.mid(2);
    const QStringList wanted = ExpectedLines(expected);
    if (c.end == DownloadOutcome::End::Finished) {
        EXPECT_EQ(written.size(), wanted.size());
        for (int i = 0; i < std::min(written.size(), wanted.size()); ++i)
            ASSERT_EQ(written.at(i), wanted.at(i)) << "line " << i + 3;
    } else {
        // Whatever was written is the start of the data, each record once.
        ASSERT_LE(written.size(), wanted.size());
        EXPECT_EQ(written, wanted.mid(0, written.size()));
    }

    const bool moves = c.kind != Kind::All && c.end == DownloadOutcome::End::Finished;
    if (moves) {
        const SimLoggedRecord &last = expected.last();
        EXPECT_EQ(after.downloadBlock, last.block);
        EXPECT_EQ(after.downloadAddress, SimBlock::slotOffset(last.slot));
        ASSERT_TRUE(outcome.pointer);
        EXPECT_EQ(outcome.pointer->block, last.block);
        // The reply read is the logger's answer to that command, not the tail of a block.
        EXPECT_TRUE(outcome.pointerConfirmed);
    } else {
        EXPECT_EQ(after.downloadBlock, before.downloadBlock);
        EXPECT_EQ(after.downloadAddress, before.downloadAddress);
        EXPECT_FALSE(outcome.pointer);
    }
}

// Every `every`th block request spoilt in the way `kind` names. Late blocks come so late
// that their read gives up before they are in.
SimFaults Every(int every, FaultSchedule SimFaults::*kind)
{
    SimFaults faults;
    faults.*kind = FaultSchedule::everyNth(every);
    faults.lateBlockSeconds = 2.5;
    return faults;
}

constexpr SimPrefillOptions Logging{1000, false, false, true, 300};
constexpr SimPrefillOptions WrappedOverwrite{2000, true, true, true, 1500};
constexpr SimPrefillOptions StoppedUnread{700, false, false, false, 0};
using End = DownloadOutcome::End;

INSTANTIATE_TEST_SUITE_P(
    Datasets, SimDownloadTest,
    ::testing::Values(
        SimDownloadCase{"WholeDataset", Logging, 1024, Kind::Start},
        SimDownloadCase{"NewRecords", Logging, 1024, Kind::New},
        SimDownloadCase{"WholeMemory", StoppedUnread, 24, Kind::All},
        SimDownloadCase{"WrappedRingFromItsStart", WrappedOverwrite, 64, Kind::Start},
        SimDownloadCase{"WrappedRingNewRecords", WrappedOverwrite, 64, Kind::New},
        SimDownloadCase{"WrappedRingWholeMemory", WrappedOverwrite, 64, Kind::All},
        // At the line's pace the block asked for ahead is still coming when the transfer
        // ends: the download position must still reach the logger.
        SimDownloadCase{"NewRecordsAtLinePace", WrappedOverwrite, 64, Kind::New, true},
        SimDownloadCase{"LostAcknowledgements", Logging, 1024, Kind::Start, false,
                        Every(3, &SimFaults::lostAcknowledgement)},
        SimDownloadCase{"CorruptBlocksAtLinePace", WrappedOverwrite, 64, Kind::New, true,
                        Every(4, &SimFaults::corruptBlock)},
        SimDownloadCase{"LateBlocks", Logging, 1024, Kind::New, false,
                        Every(3, &SimFaults::lateBlock)},
        // Every second block late: with the block asked for ahead, each new request for
        // the same block is the second of a pair, and that block never comes in time.
        SimDownloadCase{"EverySecondBlockLate", Logging, 1024, Kind::New, false,
                        Every(2, &SimFaults::lateBlock), End::Abandoned},
        SimDownloadCase{"EveryBlockCorrupt", Logging, 1024, Kind::Start, false,
                        Every(1, &SimFaults::corruptBlock), End::Abandoned},
        SimDownloadCase{"EveryAcknowledgementLost", WrappedOverwrite, 64, Kind::New, true,
                        Every(1, &SimFaults::lostAcknowledgement), End::Abandoned}),
    [](const ::testing::TestParamInfo<SimDownloadCase> &param) {
        return std::string(param.param.name);
    });

} // namespace
