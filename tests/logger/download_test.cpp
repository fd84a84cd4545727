// SPDX-License-Identifier: GPL-3.0-or-later
// The dataset download against the simulated logger: where it starts, how it dates
// records and splits them into data sections, when it ends, what it tells the logger
// afterwards, how it copes with failed blocks, a cancel request and a full disk; that the
// file holds exactly the records of pre-filled memories, with faults on the line too; and
// the download dialog with its choices, its file dialog and the viewer.
#include "FakeFileDialogs.h"
#include "FakeProgramLauncher.h"
#include "FullDisk.h"
#include "LoggerFixture.h"
#include "VirtualLinkEvents.h"

#include "common/NumberFormat.h"
#include "logger/DatasetDownload.h"
#include "logger/ui/frmDownload.h"

#include <QFile>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>
#include <tuple>

namespace {

// A download's progress as the dialog would show it.
class RecordingView : public DownloadView
{
public:
    void ShowProgress(const QString &text, float fractionDone) override
    {
        texts << QStringLiteral("%1 at %2").arg(text).arg(fractionDone);
        if (onProgress)
            onProgress();
    }
    bool cancelRequested() const override { return cancel; }
    void showStatus(const QString &text) override
    {
        texts.append(text);
        if (onProgress)
            onProgress();
    }

    // The texts shown, each with the fraction done.
    QStringList texts;
    bool cancel = false;
    std::function<void()> onProgress;
};

const QDateTime Start = At(6, 1, 0, 54);

class DownloadTest : public LoggerFixture
{
protected:
    // Reads the logger's details in a fresh window, then downloads.
    DownloadOutcome download(bool bStart, bool ahead = true, bool bAll = false)
    {
        if (transferFaults)
            instrument->setFaults({});
        open();
        if (transferFaults)
            instrument->setFaults(*transferFaults);
        window->datasetOpener = opener;
        frames().clear();
        view = RecordingView();
        view.onProgress = onProgress;
        QFile::remove(path);
        return transfer(bStart, bAll, ahead);
    }
    // Runs a download in the open window to its end, on virtual time; `onEvent` runs at
    // every event of the link meanwhile.
    DownloadOutcome transfer(bool bStart, bool bAll = false, bool ahead = true)
    {
        std::optional<DownloadOutcome> outcome;
        const auto running = window->DownloadAll(
            bStart, bAll, ahead, path, view, [&](const DownloadOutcome &end) { outcome = end; });
        EXPECT_FALSE(outcome) << "the outcome comes from the event loop";
        runLinkEvents(
            clock, port,
            [&] {
                onEvent();
                return outcome.has_value();
            },
            3600);
        EXPECT_TRUE(outcome) << "the download ended";
        return outcome.value_or(DownloadOutcome());
    }
    // Runs the dialog's transfer and its closing pauses.
    void settle(frmDownload &d)
    {
        runLinkEvents(
            clock, port,
            [&] {
                onEvent();
                return !d.Downloading();
            },
            3600);
    }
    // Clicks Download in a fresh window and hands the dialog to `act`, which must close it.
    void downloadDialog(const std::function<void(frmDownload &)> &act)
    {
        open();
        window->fileDialogs = &dialogs;
        window->launcher = &launcher;
        window->programFolder = dir.path();
        window->datasetOpener = opener;
        window->runDialog = [&](QDialog &dialog) {
            auto &shown = dynamic_cast<frmDownload &>(dialog);
            shown.show();
            EXPECT_FALSE(ui().cmdDownload->isEnabled());
            act(shown);
            shown.close();
        };
        frames().clear();
        window->cmdDownload_Click();
        runLink();
        EXPECT_TRUE(ui().cmdDownload->isEnabled() && window->Timer1.isActive());
    }

    // The lines after the two headings, and the record lines among them.
    QStringList lines() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromLatin1(file.readAll())
                         .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                         .mid(2)
                   : QStringList();
    }
    QStringList records() const { return lines().filter(QRegularExpression("^\\d.*\t")); }
    // The blocks asked for (command 22), or the download positions sent as "block:offset"
    // (command 21), or the number of frames of another command.
    QString sent(quint8 command)
    {
        QStringList found;
        for (const SimHeardFrame &frame : frames()) {
            if (frame.command == command)
                found << (command == 22   ? QString::number(frame.address)
                          : command == 21 ? QStringLiteral("%1:%2")
                                                .arg(Frame::readLe16(frame.data, 0))
                                                .arg(Frame::readLe16(frame.data, 2))
                                          : QStringLiteral("x"));
        }
        return found.join(' ');
    }
    void writeBlock(int block, const QDateTime &time, int records)
    {
        logger().memory().erase(block);
        logger().memory().writeHeader(
            block, {SimTimeStamp::fromSeconds(LoggerSeconds(time)), 0x0A, 0x41, 1});
        for (int slot = 0; slot < records; ++slot)
            logger().memory().writeRecord(block, slot, {933, 3200, 7});
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("my data set.txt"));
    RecordingView view;
    std::function<void()> onProgress;
    std::function<void()> onEvent = [] {};
    // Faults the line shows once the details have been read.
    std::optional<SimFaults> transferFaults;
    FakeFileDialogs dialogs;
    FakeProgramLauncher launcher;
    DatasetFile::Opener opener = DatasetFile::OpenReplacingFile;
};

TEST_F(DownloadTest, WhereItStartsHowItSplitsAndWhereItEnds)
{
    const QDateTime leapDay(QDate(2024, 12, 31), QTime(1, 0));
    const QDateTime evening = At(5, 31, 20);
    const auto dataset = [this](int records, int block, int offset) {
        return [=] { plant(10, {{Start, records}}, 0x02, block, offset); };
    };
    // A block after a full one of one-minute records from 20:00, `late` seconds after the
    // time that would follow on, in units code `units`.
    const auto second = [&](int late, int units) {
        return [=] {
            plant(10, {{evening, 125}, {evening.addSecs(125 * 60 + late), 10, 0x0A, 0x41, units}},
                  0x00, 10, 8);
        };
    };
    const auto leapDayAndSecond86400 = [&] {
        plant(10, {{leapDay, 3}, {At(5, 30, 0), 125}}, 0x00, 10, 8);
        logger().memory().write(11, 0, SimTimeStamp{2026, 150, 86400}.bytes());
    };
    // Block 15 after a full top block 14, with overwriting (0x03) or without (0x02).
    const auto afterTop = [this](quint8 flags, const QDateTime &time, int records) {
        return [=] {
            plant(10, {{Start, 625}}, flags, 10, 8);
            if (records > 0)
                writeBlock(15, time, records);
        };
    };
    // How the logger is set up, from the dataset's start, asking ahead: the download in
    // one line.
    // clang-format off
    const std::tuple<std::function<void()>, bool, bool, const char *> cases[] = {
        {dataset(547, 12, 100), true, true, "547 records 01/06/2026 00:54:00 to 01/06/2026 10:00:00 in 1; blocks 10 11 12 13 14 15; position 14:196; 547 / 547 records at 1"},
        {dataset(547, 12, 100), true, false, "547 records 01/06/2026 00:54:00 to 01/06/2026 10:00:00 in 1; blocks 10 11 12 13 14; position 14:196; 547 / 547 records at 1"},
        // Offset 100 is slot 22: the next record is slot 23 of block 12.
        {dataset(547, 12, 100), false, true, "274 records 01/06/2026 05:27:00 to 01/06/2026 10:00:00 in 1; blocks 12 13 14 15; position 14:196; 274 / 274 records at 1"},
        {dataset(547, 12, 508), false, true, "172 records 01/06/2026 07:09:00 to 01/06/2026 10:00:00 in 1; blocks 13 14 15; position 14:196; 172 / 172 records at 1"},
        // The last record of a partly filled top block was downloaded: its block is read
        // again. A full top block, all downloaded: nothing after it is the dataset's. The
        // bar is full either way.
        {dataset(547, 14, 196), false, true, "0 records in 1; blocks 14 15; position ; 0 / 0 records at 1"},
        {dataset(625, 14, 508), false, true, "0 records in 1; blocks ; position ; 0 / 0 records at 1"},
        // 31 December of a leap year is day 366: accepted. Second 86400 is accepted by
        // the window's check but not by the download's.
        {leapDayAndSecond86400, true, true, "3 records 31/12/2024 01:00:00 to 31/12/2024 01:02:00 in 1; blocks 10 11 12; position 10:20; 3 / 3 records at 1"},
        // Sections start at units changes and time gaps. (Whether a block a whole second
        // late opens one depends on the rounding of times as fractions of days: one at
        // 22:05:01 does not.) An unknown units code opens its section too.
        {second(1, 1), true, true, "135 records 31/05/2026 20:00:00 to 31/05/2026 22:14:01 in 1; blocks 10 11 12; position 11:48; 135 / 135 records at 1"},
        {second(2, 1), true, true, "135 records 31/05/2026 20:00:00 to 31/05/2026 22:14:02 in 2; blocks 10 11 12; position 11:48; 135 / 135 records at 1"},
        // With overwriting the logger may have gone on past its full top block since the
        // details were read: the download follows it, but not into older data.
        {afterTop(0x03, Start.addSecs(625 * 60), 3), true, true, "628 records 01/06/2026 00:54:00 to 01/06/2026 11:21:00 in 1; blocks 10 11 12 13 14 15 16; position 15:20; 628 / 628 records at 1"},
        {afterTop(0x03, Start.addDays(-3), 125), true, true, "625 records 01/06/2026 00:54:00 to 01/06/2026 11:18:00 in 1; blocks 10 11 12 13 14 15 16; position 14:508; 625 / 625 records at 1"},
        {afterTop(0x03, {}, 0), true, true, "625 records 01/06/2026 00:54:00 to 01/06/2026 11:18:00 in 1; blocks 10 11 12 13 14 15 16; position 14:508; 625 / 625 records at 1"},
        {afterTop(0x02, Start.addSecs(625 * 60), 3), true, true, "625 records 01/06/2026 00:54:00 to 01/06/2026 11:18:00 in 1; blocks 10 11 12 13 14 15; position 14:508; 625 / 625 records at 1"},
        // Last, so that its file is the one looked at after the loop.
        {second(0, 9), true, true, "135 records 31/05/2026 20:00:00 to 31/05/2026 22:14:00 in 2; blocks 10 11 12; position 11:48; 135 / 135 records at 1"},
    };
    // clang-format on
    for (const auto &[setUp, fromStart, ahead, expected] : cases) {
        setUp();
        EXPECT_EQ(download(fromStart, ahead).end, DownloadOutcome::End::Finished);
        const QStringList found = records();
        const auto time = [](const QString &line) { return line.section('\t', 0, 0); };
        // A download with no record is headed as one with records.
        EXPECT_EQ(
            QStringLiteral("%1 records%2 in %3; blocks %4; position %5; %6")
                .arg(found.size())
                .arg(found.isEmpty()
                         ? QString()
                         : QStringLiteral(" %1 to %2").arg(time(found.first()), time(found.last())))
                .arg(lines().filter(QRegularExpression("^Time\t")).size())
                .arg(sent(22), sent(21), view.texts.last()),
            expected);
    }
    EXPECT_TRUE(lines().contains("Reading ")) << "an unknown units code has no units text";

    // Each block is on the disk before the next is read.
    QList<int> onDisk;
    onProgress = [&] { onDisk.append(int(records().size())); };
    plantLoggingDataset();
    download(true);
    EXPECT_EQ(onDisk, QList<int>({125, 250, 375, 500, 547}));
    onProgress = nullptr;

    // A block broken off by a break in logging holds fewer records than the details count
    // (every block but the top one as full), in a full ring too: the total is an
    // estimate until the last block is in, and the bar ends full at the records written.
    // New records are counted from the slot after the last downloaded; nothing new still
    // heads the file, in the units of the block read. Memory blocks, overwrite, download
    // position, the download (from the start, new records, whole memory); the first and
    // last progress and the file's first line.
    const QList<Stretch> twoRuns = {{Start, 300}, {Start.addDays(1), 300}};
    // clang-format off
    const std::tuple<int, quint8, QList<Stretch>, int, int, int, QString> broken[] = {
        {1024, 0x00, {{Start, 100}, {Start.addDays(1), 3028}}, 2, 8, 0, "100 / about 3,130 records; 3128 / 3128 records at 1; Reading Units: W.m-2"},
        {4, 0x01, twoRuns, 0, 8, 0, "125 / about 500 records; 425 / 425 records at 1; Reading Units: W.m-2"},
        {1024, 0x02, {{Start, 547}}, 4, 100, 1, "102 / about 274 records; 274 / 274 records at 1; Reading Units: W.m-2"},
        {1024, 0x00, {{Start, 10, 0x0A, 0x41, 0}}, 2, 48, 1, "0 / 0 records; 0 / 0 records at 1; Reading Units: umol.m-2.s-1"},
        {4, 0x01, twoRuns, 0, 8, 2, "1 / 4 blocks; 4 / 4 blocks at 1; Reading Units: W.m-2"},
    };
    // clang-format on
    for (const auto &[blocks, flags, stretches, block, address, kind, expected] : broken) {
        useLogger(blocks);
        plant(2, stretches, flags, block, address);
        download(kind == 0, true, kind == 2);
        ASSERT_FALSE(view.texts.isEmpty());
        EXPECT_EQ(view.texts.first().section(" at ", 0, 0) + "; " + view.texts.last() + "; " +
                      lines().value(0),
                  expected);
        EXPECT_TRUE(kind == 2 ||
                    QString::number(records().size()) == view.texts.last().section(' ', 0, 0));
    }
}

TEST_F(DownloadTest, ALoggerThatKeepsOverwritingIsFollowedOnceRoundTheRingAtMost)
{
    useLogger(4);
    plant(0, {{Start, 500}}, 0x01, 0, 8);
    // From now on every block sent is newer than all before it, as if the logger
    // overwrote the ring as fast as it is read. A transfer that chases it is stopped after
    // 40 blocks.
    onEvent = [this] {
        const auto asked = sent(22).count(' ');
        for (int block = 0; block < 4; ++block)
            writeBlock(block, Start.addSecs((4 + asked) * 125 * 60), 125);
        view.cancel = asked > 40;
    };
    EXPECT_EQ(download(true).end, DownloadOutcome::End::Finished);
    onEvent = [] {};
    // Blocks 0 to 3, and block 0 asked for ahead.
    EXPECT_EQ(sent(22), "0 1 2 3 0");
    EXPECT_EQ(records().size(), 500);
}

TEST_F(DownloadTest, FailedBlocksCancelRequestsAndAFullDiskEndTheTransfer)
{
    // The fault, when the user cancels (never, at the first progress, while the first
    // block is on its way, or at the first retry); how the download ends, the records
    // written, the block requests and those for blocks 10 and 11, the position sent, the
    // status text, and whether the link is left connected.
    const auto silent = [](SimFaults &faults) { faults.spoiltFrames[22] = SpoiltFrame::Silent; };
    const auto corrupt = [](SimFaults &faults) {
        faults.corruptBlock = FaultSchedule::everyNth(1);
    };
    const auto corruptAfterFirst = [](SimFaults &faults) {
        faults.corruptBlock = FaultSchedule::onceAt(2, 100);
    };
    const auto full = [this](SimFaults &) {
        opener = [](const QString &, QString &) { return std::make_unique<FullDisk>(1); };
    };
    const auto gone = [this](SimFaults &) {
        opener = [](const QString &, QString &) { return std::make_unique<VanishingFile>(1); };
    };
    const auto lostPosition = [](SimFaults &faults) {
        faults.spoiltFrames[21] = SpoiltFrame::Silent;
        faults.spoiltFrames[10] = SpoiltFrame::Silent;
    };
    const QString abandoned = "Download abandoned after repeated data errors - the logger's "
                              "download position was not moved";
    // clang-format off
    enum Cancel { Never, AtProgress, DuringBlock, AtRetry };
    const std::tuple<std::function<void(SimFaults &)>, Cancel, QString> cases[] = {
        // No acknowledgement at all (the link is down): four attempts. Acknowledged,
        // but the block's CRC is bad: after the fourth failure the block is asked for
        // once more, and the transfer ends when that is acknowledged. From the third
        // retry on the next block is no longer asked for ahead.
        {silent, Never, "abandoned, 0 records, 4 requests, block 10 asked 4 times, 11 0 times, position ; " + abandoned},
        {corrupt, Never, "abandoned, 0 records, 8 requests, block 10 asked 5 times, 11 2 times, position ; " + abandoned},
        // Between two blocks everything written so far counts as downloaded (the block
        // asked for ahead is read and dropped); while a request fails the transfer ends at
        // once and the position stays. A cancel while a block is on its way ends the
        // transfer after that block.
        {[](SimFaults &) {}, AtProgress, "cancelled, 125 records, 2 requests, block 10 asked 1 times, 11 1 times, position 10:508; Download cancelled - 125 records written, the logger will send the rest next time"},
        {[](SimFaults &) {}, DuringBlock, "cancelled, 125 records, 2 requests, block 10 asked 1 times, 11 1 times, position 10:508; Download cancelled - 125 records written, the logger will send the rest next time"},
        {corrupt, DuringBlock, "cancelled, 0 records, 2 requests, block 10 asked 1 times, 11 1 times, position ; Download cancelled - 0 records written, the logger's download position was not moved (not connected)"},
        {silent, AtProgress, "cancelled, 0 records, 1 requests, block 10 asked 1 times, 11 0 times, position ; Download cancelled - 0 records written, the logger's download position was not moved (not connected)"},
        // A block that failed after others were written: they stay, but do not count as
        // downloaded.
        {corruptAfterFirst, AtRetry, "cancelled, 125 records, 3 requests, block 10 asked 1 times, 11 1 times, position ; Download cancelled - 125 records written, but the logger's download position could not be set: the next download of new records fetches them again (not connected)"},
        // The answer to the new position lost: the program read back shows it taken.
        // Without that read too the position is asked four times and the user is told.
        {[](SimFaults &f) { f.spoiltFrames[21] = SpoiltFrame::Silent; }, Never, "finished, 547 records, 6 requests, block 10 asked 1 times, 11 1 times, position 14:196; "},
        {lostPosition, Never, "finished, 547 records, 6 requests, block 10 asked 1 times, 11 1 times, position 14:196 14:196 14:196 14:196; Download done, but the logger did not confirm its new download position - the next download of new records may fetch these again (not connected)"},
        {lostPosition, AtProgress, "cancelled, 125 records, 2 requests, block 10 asked 1 times, 11 1 times, position 10:508 10:508 10:508 10:508; Download cancelled - 125 records written, but the logger's download position could not be set: the next download of new records fetches them again (not connected)"},
        // A failed write ends the transfer: no block is asked for after it (11 was asked
        // for ahead), and nothing counts as downloaded.
        {full, Never, "write failed, 0 records, 2 requests, block 10 asked 1 times, 11 1 times, position ; Download error No space left on device - the logger's download position was not moved"},
        // So does a file whose disk was taken away (unmounted) under it.
        {gone, Never, "write failed, 0 records, 2 requests, block 10 asked 1 times, 11 1 times, position ; Download error " + path + " is no longer on the disk - the logger's download position was not moved"},
    };
    // clang-format on
    for (const auto &[fault, cancel, expected] : cases) {
        SimFaults faults;
        fault(faults);
        transferFaults = faults;
        onProgress = [this, cancel = cancel] {
            view.cancel |= cancel == AtProgress ||
                           (cancel == AtRetry && view.texts.last().startsWith("Data error"));
        };
        onEvent = [this, cancel = cancel] {
            view.cancel |= cancel == DuringBlock && !frames().isEmpty();
        };
        const int retriesBefore = link.Counters().retries;
        const DownloadOutcome outcome = download(true);
        const QStringList asked = sent(22).split(' ');
        const char *const ends[] = {"not created", "finished",     "cancelled",
                                    "abandoned",   "write failed", "refused"};
        EXPECT_EQ(QStringLiteral("%1, %2 records, %7 requests, block 10 asked %3 times, 11 %4 "
                                 "times, position %5; %6")
                          .arg(ends[int(outcome.end)])
                          .arg(records().size())
                          .arg(asked.count("10"))
                          .arg(std::min<qsizetype>(asked.count("11"), 2))
                          .arg(sent(21), outcome.statusText())
                          .arg(sent(22).isEmpty() ? 0 : asked.size()) +
                      (link.Connected() ? "" : " (not connected)"),
                  expected);
        EXPECT_EQ(view.texts.filter("Data error, retry 3 at").isEmpty(), asked.count("10") <= 3);
        // Every retry shown is counted on the link for the About box.
        EXPECT_EQ(link.Counters().retries - retriesBefore,
                  view.texts.filter("Data error, retry").size());
    }
    onEvent = [] {};

    // The transfer dropped while a block is on its way (its dialog closed and destroyed):
    // the exchange under way ends (11 goes with 10's acknowledgement), but neither its view
    // nor its caller hears of it again, and the position stays.
    transferFaults.reset();
    open();
    frames().clear();
    bool ended = false;
    {
        const auto running = window->DownloadAll(true, false, true, path, view,
                                                 [&](const DownloadOutcome &) { ended = true; });
        runLinkEvents(clock, port, [this] { return !frames().isEmpty(); });
        view.texts.clear();
    }
    runLinkEvents(clock, port, [this] { return link.requestsIdle(); });
    EXPECT_EQ(QStringList({sent(22), sent(21), view.texts.join(' ')}),
              QStringList({"10 11", "", ""}));
    EXPECT_FALSE(ended);

    // The program lost at the read: nothing is asked for, written or moved.
    transferFaults.reset();
    SimFaults lostProgram;
    lostProgram.spoiltFrames[10] = SpoiltFrame::Silent;
    instrument->setFaults(lostProgram);
    EXPECT_EQ(download(false).statusText(), "Download refused: could not read the logger's "
                                            "program - press Refresh and try again");
    EXPECT_EQ(sent(22) + sent(21) + QString::number(records().size()), "0");
    EXPECT_FALSE(QFile::exists(path));

    // Noise before the identification reply stays out of the firmware version in the
    // file's heading; a version line with a Latin-1 letter, a tab and a control byte keeps
    // its model, and its text is written in UTF-8.
    const std::tuple<bool, QByteArray, QByteArray> headings[] = {
        {true, "", "ZQ5 Data file |ZQ5 v3.2 Ser No: 5523\r"},
        {false, "ZQ5\tv1.03 Z\xFCrich\x07", "ZQ5 Data file |ZQ5 v1.03 Zürich Ser No: 5523\r"},
    };
    for (const auto &[garbage, versionLine, expected] : headings) {
        SimFaults noisy;
        noisy.garbage = garbage;
        instrument->state().identity().versionLine = versionLine;
        instrument->setFaults({});
        open();
        instrument->setFaults(noisy);
        bool read = false;
        link.requestStatus([&read](bool ok) { read = ok; });
        runLink();
        ASSERT_TRUE(read);
        instrument->setFaults({});
        transfer(true);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        EXPECT_EQ(lines.value(0).left(14) + '|' + lines.value(1), expected);
    }
}

// The lines a download of `records` writes after the two headings: a units line and a
// column line wherever a new data section starts, then the record lines.
QStringList ExpectedLines(const QList<SimLoggedRecord> &records)
{
    QStringList lines;
    int section = -1; // before the first (sections count from 0)
    for (const SimLoggedRecord &record : records) {
        if (record.section != section) {
            section = record.section;
            lines << QStringLiteral("Reading ") + record.unitsText << "Time\tTotal\tDiffuse\tSun";
        }
        const QString format = DatasetRecord::UnitsFor(record.unitsCode).numberFormat;
        lines << QStringList{FormatLoggerTime(DateTimeToDays(record.time), false),
                             FormatNumber(record.total, format),
                             FormatNumber(record.diffuse, format), FormatNumber(record.sun, "0.0")}
                     .join('\t');
    }
    return lines;
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

// Every block request from the `at`th on spoilt in the way `kind` names.
SimFaults From(int at, FaultSchedule SimFaults::*kind)
{
    SimFaults faults;
    faults.*kind = FaultSchedule::onceAt(at, 1000);
    return faults;
}

// Downloads from pre-filled memories: the file must hold exactly the records the memory
// holds, in order, with their times, values and data sections, and the logger's download
// position must end on the last record written. With faults on the line the file is still
// exact (the failed blocks are fetched again), or the transfer is abandoned and the
// position is left alone. A disk that fills after the headings and three blocks: the file
// holds those blocks' records, every line whole and once, and no block is asked for after
// the failed write.
TEST_F(DownloadTest, TheFileHoldsExactlyTheRecordsOfTheMemory)
{
    enum Kind { FromStart, New, All };
    using End = DownloadOutcome::End;
    constexpr SimPrefillOptions Logging{1000, false, false, true, 300};
    constexpr SimPrefillOptions Wrapped{2000, true, true, true, 1500};
    constexpr SimPrefillOptions StoppedUnread{700, false, false, false, 0};
    // clang-format off
    const std::tuple<SimPrefillOptions, int, Kind, bool, SimFaults, End> cases[] = {
        {Logging, 1024, FromStart, false, {}, End::Finished},
        {Logging, 1024, New, false, {}, End::Finished},
        {StoppedUnread, 24, All, false, {}, End::Finished},
        {Wrapped, 64, FromStart, false, {}, End::Finished},
        {Wrapped, 64, New, false, {}, End::Finished},
        {Wrapped, 64, All, false, {}, End::Finished},
        // At the line's pace the block asked for ahead is still coming when the transfer
        // ends: the download position must still reach the logger.
        {Wrapped, 64, New, true, {}, End::Finished},
        {Logging, 1024, FromStart, false, Every(3, &SimFaults::lostAcknowledgement), End::Finished},
        {Wrapped, 64, New, true, Every(4, &SimFaults::corruptBlock), End::Finished},
        {Logging, 1024, New, false, Every(3, &SimFaults::lateBlock), End::Finished},
        // Every second block late: with the block asked for ahead, each new request for
        // the same block is the second of a pair, and that block never comes in time.
        {Logging, 1024, New, false, Every(2, &SimFaults::lateBlock), End::Abandoned},
        {Logging, 1024, FromStart, false, Every(1, &SimFaults::corruptBlock), End::Abandoned},
        {Wrapped, 64, New, true, Every(1, &SimFaults::lostAcknowledgement), End::Abandoned},
        // The blocks fail from the third on, each with the next one asked for ahead: the
        // first two are kept, once each, and the position stays.
        {Logging, 1024, FromStart, true, From(3, &SimFaults::corruptBlock), End::Abandoned},
        {Logging, 1024, FromStart, false, {}, End::WriteFailed},
        {Wrapped, 64, All, false, {}, End::WriteFailed},
        {Wrapped, 64, New, true, Every(4, &SimFaults::corruptBlock), End::WriteFailed},
    };
    // clang-format on
    int row = 0;
    for (const auto &[prefill, blocks, kind, paced, faults, end] : cases) {
        SCOPED_TRACE(row++);
        // The logger's next record is due a while after the whole memory has come in.
        clock.setNow(At(6, 1, 11, 20, 7));
        useLogger(blocks, paced, prefill);
        instrument->setBlockLatencySeconds(0.03);
        const SimDatasetPointers before = logger().recorder().pointers();
        QList<SimLoggedRecord> expected =
            kind == All
                ? SimDataset::wholeMemory(logger().memory(), before.startBlock)
                : logger().datasetRecords().mid(kind == New ? prefill.downloadedRecords : 0);
        ASSERT_FALSE(expected.isEmpty());
        open();
        instrument->setFaults(faults);
        QByteArray onDisk;
        if (end == End::WriteFailed)
            window->datasetOpener = [&onDisk](const QString &, QString &) {
                return std::make_unique<FullDisk>(4, &onDisk);
            };
        // The block requests heard when the view last heard of the transfer.
        qsizetype requestsSeen = 0;
        view.onProgress = [&] { requestsSeen = sent(22).count(' '); };
        const DownloadOutcome outcome = transfer(kind == FromStart, kind == All);

        // The logger stored nothing new meanwhile, so the memory is what was downloaded.
        const SimDatasetPointers after = logger().recorder().pointers();
        ASSERT_TRUE(after.logTop == before.logTop && after.topCount == before.topCount);
        EXPECT_EQ(outcome.end, end);
        QFile file(path);
        ASSERT_TRUE(end == End::WriteFailed || file.open(QIODevice::ReadOnly));
        const QByteArray bytes = end == End::WriteFailed ? onDisk : file.readAll();
        EXPECT_TRUE(bytes.startsWith("ZQ5 Data file 01/06/2026 11:2") && bytes.endsWith("\r\n"));
        // An abandoned transfer wrote the start of the data, each record once.
        const QStringList written =
            QString::fromLatin1(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).mid(2);
        EXPECT_EQ(written,
                  ExpectedLines(expected).mid(0, end == End::Finished ? -1 : written.size()));
        EXPECT_EQ(outcome.recordsWritten, written.filter(QRegularExpression("^\\d")).size());
        // After a failed write: three blocks read and written, and no request since.
        EXPECT_TRUE(end != End::WriteFailed ||
                    QList<qsizetype>({outcome.blocksRead, outcome.recordsWritten, requestsSeen}) ==
                        QList<qsizetype>({3, written.filter(QRegularExpression("^\\d")).size(),
                                          sent(22).count(' ')}))
            << outcome.blocksRead << " " << outcome.recordsWritten;

        const bool moves = kind != All && end == End::Finished;
        const SimLoggedRecord &last = expected.last();
        EXPECT_EQ(QList<int>({after.downloadBlock, after.downloadAddress}),
                  moves ? QList<int>({last.block, SimBlock::slotOffset(last.slot)})
                        : QList<int>({before.downloadBlock, before.downloadAddress}));
        // The reply read is the logger's answer to that command, not the tail of a block.
        EXPECT_EQ(QList<bool>({outcome.pointer.has_value(), outcome.pointerConfirmed}),
                  QList<bool>({moves, moves}));
    }
}

// The download dialog on the logger window: the choices it offers, the file dialog, the
// end of a download with the viewer, a close while the transfer runs, and the failures
// the user must hear about.
TEST_F(DownloadTest, TheDialogOffersWhatTheDatasetAllowsAndEndsWithTheViewer)
{
    const QString nowhere = dir.filePath(QStringLiteral("missing folder/data.txt"));
    const QString program = dir.filePath(QStringLiteral("vantplot"));
    // What the dialog offers (start, new records, whole memory; the choice made).
    const auto offered = [](frmDownload &d) {
        return QStringLiteral("%1%2%3 %4 %5 %6")
            .arg(d.optStart->isEnabled() && d.lblStart->isVisible() ? "S" : "-",
                 d.optNew->isEnabled() && d.lblNew->isVisible() ? "N" : "-",
                 d.lblDownloadAll->isVisible() ? "A" : "-", d.lblStart->text(), d.lblNew->text())
            .arg(d.optAll->isChecked()   ? "all"
                 : d.optNew->isChecked() ? "new"
                                         : "start");
    };
    const auto ok = [this](frmDownload &d) {
        d.OKButton->click();
        settle(d);
        return d.lblProgress->text() + QString::number(d.ProgressBar1->value());
    };
    const auto okAndOffered = [&](frmDownload &d) {
        d.optStart->setChecked(true);
        d.OKButton->click();
        settle(d);
        return offered(d) + (d.lblProgress->isVisible() ? " shown" : "");
    };
    // Once the first block has been asked for, while it is on its way, the user closes
    // the dialog.
    const auto closeDuringTransfer = [this](frmDownload &d) {
        d.optStart->setChecked(true);
        onEvent = [this, &d, closed = false]() mutable {
            if (!closed && !sent(22).isEmpty())
                closed = !d.close();
        };
        d.OKButton->click();
        settle(d);
        return d.lblProgress->text() + QStringLiteral(" %1").arg(d.ProgressBar1->value()) +
               (d.mCancel ? " stopped" : "");
    };
    const auto plainDataset = [this] { plant(10, {{Start, 547}}, 0x02, 10, 8); };
    const QString fresh = dir.filePath(QStringLiteral("fresh.txt"));
    // The text shown in full (the label wraps it and has the lines it needs), and whether
    // a file was made.
    const auto okAndFits = [&](frmDownload &d) {
        const QString text = ok(d);
        const QRect room = d.lblProgress->contentsRect();
        const QRect needed = d.lblProgress->fontMetrics().boundingRect(
            room, d.lblProgress->wordWrap() ? Qt::TextWordWrap : 0, d.lblProgress->text());
        return text +
               (needed.height() <= room.height() && needed.width() <= room.width() ? " whole"
                                                                                   : " clipped") +
               (QFile::exists(fresh) ? " file" : "");
    };
    const QString notMoved = " - the logger's download position was not moved";
    // The logger, the file chosen, what the user does in the dialog, and then: the
    // dialog's texts, the blocks asked for, the position sent, the viewer started.
    // clang-format off
    const std::tuple<std::function<void()>, QString, std::function<QString(frmDownload &)>, QString> cases[] = {
        // No valid first record: only the whole memory can be fetched. Nothing
        // downloaded: the read after the dialog fetches the top block.
        {[this] { logger().memory().erase(10); }, "", offered, "--A   all; ; ; -"},
        {plainDataset, "", offered, "S-- 01-Jun-26 00:54:00 30-Dec-99 00:00:00 start; 14; ; -"},
        // One averaging period after the last record downloaded is the next.
        {[] {}, "", offered, "SN- 01-Jun-26 00:54:00 01-Jun-26 05:27:00 new; 14; ; -"},
        // The new records (blocks 12 to 14 and 15 asked for ahead), then the read after
        // the download; the file opens with its path as one word.
        {[] {}, path, ok, "Done!1000; 12 13 14 15 14; 14:196; " + path},
        {[&] { QFile(program).open(QIODevice::WriteOnly); }, path, ok,
         "Done!1000; 12 13 14 15 14; 14:196; " + program + " " + path},
        // A cancelled file choice offers the choices again, and so does a file that
        // cannot be made (which the user is told).
        {[] {}, "", okAndOffered, "SN- 01-Jun-26 00:54:00 01-Jun-26 05:27:00 new; 14; ; -"},
        {[] {}, nowhere, okAndOffered, "SN- 01-Jun-26 00:54:00 01-Jun-26 05:27:00 new shown; 14; ; -"},
        // A close while the transfer runs is refused and stops it after the block in
        // hand: block 10 was written, the position is its last record. No "Done!", no
        // full bar, no viewer: the dialog says what was kept and closes.
        {[] {}, path, closeDuringTransfer, "Download cancelled - 125 records written, the logger will send the rest next time 229 stopped; 10 11 14; 10:508; -"},
        // A logger averaging every 20 s: the next record is 20 s after the last one
        // downloaded (08:28:40), not a listed period's 30 s.
        {[this] { plant(10, {{At(6, 1, 6, 58), 547, 0x0A, 0x14}}, 0x02, 12, 100); }, "", offered, "SN- 01-Jun-26 06:58:00 01-Jun-26 08:29:00 new; 14; ; -"},
        // A viewer that cannot start: its long reason is shown whole.
        {[this] { launcher.failure = "No program is set to open text files such as " + path + " on this desktop"; }, path, okAndFits,
         "No program is set to open text files such as " + path + " on this desktop1000 whole; 12 13 14 15 14; 14:196; " + program + " " + path},
        // The disk fills at the first block: the transfer stops there (13 was asked for
        // ahead), the dialog says why and stays, no "Done!", no viewer.
        {[this] { opener = [](const QString &, QString &) { return std::make_unique<FullDisk>(1); }; }, path, okAndFits,
         "Download error No space left on device" + notMoved + "-1 whole; 12 13 14; ; -"},
        // Nothing new since the last download: a file headed as one with records, and the
        // dialog says so.
        {[this] { plant(10, {{Start, 547}}, 0x02, 14, 196); }, path, ok, "No new records1000; 14 15 14; ; " + program + " " + path},
        // Nothing new, and the disk full after the headings: the dialog says why and stays.
        {[this] { plant(10, {{Start, 547}}, 0x02, 14, 196); opener = [](const QString &, QString &) { return std::make_unique<FullDisk>(1); }; }, path, okAndFits,
         "Download error No space left on device" + notMoved + "-1 whole; 14 15 14; ; -"},
        // From the start, a block the download rejects (second 86400): "Done!" all the same.
        {[this] { plant(10, {{Start, 10}}, 0x00, 10, 8); logger().memory().write(10, 0, SimTimeStamp{2026, 152, 86400}.bytes()); }, path, ok, "Done!1000; 10 11 10; ; " + program + " " + path},
        // The heading cannot be written: the file made for it goes again, one that was
        // there before stays.
        {[this] { opener = [](const QString &name, QString &) { QFile(name).open(QIODevice::Append); return std::make_unique<FullDisk>(0); }; }, fresh, okAndFits,
         "The file could not be created: No space left on device-1 whole; 14; ; -"},
        {[&] { QFile(fresh).open(QIODevice::WriteOnly); opener = [](const QString &, QString &) { return std::make_unique<FullDisk>(0); }; }, fresh, okAndFits,
         "The file could not be created: No space left on device-1 whole file; 14; ; -"},
        // The comma type chosen, a name typed without an extension.
        {[this] { dialogs.types = {"ZQ3 comma separated file (*.csv)"}; }, dir.filePath("june"), ok,
         "Done!1000; 12 13 14 15 14; 14:196; " + program + " " + dir.filePath("june.csv")},
    };
    // clang-format on
    for (const auto &[setUp, chosen, act, expected] : cases) {
        plantLoggingDataset();
        launcher.failure.clear();
        opener = DatasetFile::OpenReplacingFile;
        instrument->setFaults({});
        setUp();
        dialogs.answers = {chosen};
        launcher.starts.clear();
        QString shown;
        downloadDialog([&, act = act](frmDownload &d) {
            shown = act(d);
            onEvent = [] {};
            // Closed once the viewer is started or the user asked; otherwise it shows why
            // and stays.
            EXPECT_EQ(d.isVisible(), launcher.starts.isEmpty() && !d.mCancel);
        });
        QStringList viewer;
        for (const FakeProgramLauncher::Start &start : launcher.starts)
            viewer << QStringList(start.program) + start.arguments;
        EXPECT_EQ(
            QStringList({shown, sent(22), sent(21), viewer.join(' ').simplified()}).join("; "),
            QString(expected).replace("; -", "; "));
    }
    QFile june(dir.filePath("june.csv"));
    ASSERT_TRUE(june.open(QIODevice::ReadOnly));
    EXPECT_TRUE(june.readAll().contains("\r\nTime,Total,Diffuse,Sun\r\n"));
    const FakeFileDialogs::Request &asked = dialogs.requests.last();
    EXPECT_EQ(
        QStringList({asked.title, asked.filter, asked.defaultSuffix, asked.folder, asked.fileName}),
        QStringList({"Save Dataset as",
                     "ZQ3 tab separated file (*.txt);;ZQ3 comma separated file (*.csv)", "txt", "",
                     ""}));
    ASSERT_EQ(prompts.calls().size(), 3);
    EXPECT_EQ(prompts.calls().at(2).title, "Download");
    EXPECT_TRUE(prompts.calls().at(0).text.startsWith("Error opening file " + nowhere + "\r\n"));
    EXPECT_GT(prompts.calls().at(0).text.size(), nowhere.size() + 21) << "with the reason";

    // A failed write stays in the status bar after the read that follows.
    opener = [](const QString &, QString &) { return std::make_unique<FullDisk>(1); };
    dialogs.answers = {path};
    downloadDialog([&](frmDownload &d) {
        d.OKButton->click();
        settle(d);
    });
    EXPECT_EQ(sent(21), "");
    EXPECT_EQ(ui().StatusBar1->currentMessage(),
              "Download error No space left on device - the logger's download position was not "
              "moved");
}

} // namespace
