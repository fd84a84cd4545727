// The logging run on a virtual clock: the clock-aligned schedule, averaging periods,
// late and very late ticks, midnight, failures and the order of starting and stopping.
#include "PCLogFixture.h"

#include "FakeFileDialogs.h"
#include "QtPrinters.h"

#include "platform/FileDialogs.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QDate Day(2026, 6, 1);

// A device that takes a number of writes and then fails as a full disk does.
class FailingDevice : public QBuffer
{
public:
    FailingDevice(QByteArray *data, int writes) : QBuffer(data), m_writesLeft(writes)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        if (m_writesLeft-- <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        return QBuffer::writeData(data, length);
    }

private:
    int m_writesLeft;
};

class LoggingRunTest : public InstrumentOnCable
{
protected:
    void SetUp() override
    {
        run.setView(view);
        link.setCommPort(1);
        ASSERT_TRUE(link.GetStatus());
    }

    // Sets the wall clock and starts the run there.
    void startAt(const QTime &time, const QDate &date = Day)
    {
        clock.setNow(QDateTime(date, time));
        run.Start();
    }

    // The lines written to the log file so far.
    QStringList fileLines() const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromLocal8Bit(file.readAll());
        QStringList lines = text.split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    void logToFile(const QString &name = QStringLiteral("run.txt"))
    {
        path = dir.filePath(name);
        dialogs.answers.push_back(path);
        view.file = true;
    }

    FakeFileDialogs dialogs;
    RecordingView view{clock};
    LoggingRun run{link, clock, dialogs};
    VirtualTimer timer{run, view, clock};
    QTemporaryDir dir;
    QString path;
};

TEST_F(LoggingRunTest, FirstReadingOnTheNextMultipleAndSixReadingsToTheMinute)
{
    view.logPeriod = QStringLiteral("10s");
    view.avgPeriod = QStringLiteral("1m");
    startAt(QTime(10, 0, 7, 400));

    EXPECT_TRUE(run.IsLogging());
    EXPECT_EQ(run.Schedule().NextLogTime, At(10, 0, 10));
    EXPECT_EQ(run.Schedule().NextAvgTime, At(10, 1, 0));
    EXPECT_EQ(view.timerMs, 1000);
    EXPECT_EQ(view.loggingShown, QList<bool>({true}));
    EXPECT_EQ(view.heading, QStringLiteral("  Time      Total Diffuse  Sun"));
    EXPECT_EQ(view.panel1, link.Status());
    EXPECT_EQ(view.layouts, 1);

    timer.runFor(61);
    ASSERT_EQ(view.lines(), QStringList({"10:01:00    102.5    50.0  1.0"}))
        << "six readings, 100 to 105";
    ASSERT_EQ(instrument.readings(), 6);
    // Each reading is taken within one timer interval after its time, never more than
    // half a second early.
    for (int k = 0; k < instrument.readings(); ++k) {
        const float due = At(10, 0, 10) + 10.0f * static_cast<float>(k);
        EXPECT_GE(instrument.readingTimes[k], due - 0.5f) << "reading " << k;
        EXPECT_LE(instrument.readingTimes[k], due + 1.0f) << "reading " << k;
    }
}

TEST_F(LoggingRunTest, PeriodEndingBetweenReadingsClosesAtTheNextReadingAndIncludesIt)
{
    view.logPeriod = QStringLiteral("2s");
    view.avgPeriod = QStringLiteral("5s");
    startAt(QTime(10, 0, 0, 600));
    EXPECT_EQ(run.Schedule().NextLogTime, At(10, 0, 2));
    EXPECT_EQ(run.Schedule().NextAvgTime, At(10, 0, 5));

    timer.runFor(16);
    // 10:00:05 from the readings at :02, :04 and :06; 10:00:10 from :08 and :10;
    // 10:00:15 from :12, :14 and :16.
    EXPECT_EQ(view.lines(),
              QStringList({"10:00:05    101.0    50.0  1.0", "10:00:10    103.5    50.0  1.0",
                           "10:00:15    106.0    50.0  1.0"}));
}

TEST_F(LoggingRunTest, LateTickOf45sTakesEachMissedReadingForItsOwnTime)
{
    view.avgPeriod = QStringLiteral("1m");
    startAt(QTime(10, 0, 0, 600));
    timer.runFor(10);
    ASSERT_EQ(instrument.readings(), 1);
    timer.lateTick(clock.now().time().msecsTo(QTime(10, 1, 5)) / 1000.0); // 45.5 s late
    EXPECT_EQ(instrument.readings(), 6);
    EXPECT_EQ(view.lines(), QStringList({"10:01:00    102.5    50.0  1.0"}));
    EXPECT_EQ(run.Schedule().NextLogTime, At(10, 1, 10));
    EXPECT_EQ(run.Sums().ReadingCount, 0);
    EXPECT_TRUE(run.IsLogging());
}

TEST_F(LoggingRunTest, LateTickOf51sRealignsAndDropsThePartialPeriod)
{
    view.avgPeriod = QStringLiteral("1m");
    startAt(QTime(10, 0, 0, 600));
    timer.runFor(10);
    ASSERT_EQ(instrument.readings(), 1);
    timer.lateTick(59.9); // 10:01:10.5, 51 s behind the reading due at 10:00:20
    EXPECT_EQ(instrument.readings(), 1) << "no reading ahead of time";
    EXPECT_TRUE(view.lines().isEmpty());
    EXPECT_EQ(run.Schedule().NextLogTime, At(10, 1, 20));
    EXPECT_EQ(run.Schedule().NextAvgTime, At(10, 2, 0));
    EXPECT_EQ(run.Sums().ReadingCount, 0);
    EXPECT_TRUE(run.IsLogging());
    timer.runFor(50);
    // 10:01:20 to 10:02:00: the readings numbered 1 to 5; reading 0 was dropped.
    EXPECT_EQ(view.lines(), QStringList({"10:02:00    103.0    50.0  1.0"}));
}

TEST_F(LoggingRunTest, AcrossMidnightTheReadingsFollowEachOtherAndLinesCarryTheirDay)
{
    logToFile();
    startAt(QTime(23, 59, 30, 600));
    timer.runFor(50);

    EXPECT_EQ(view.lines(),
              QStringList({"23:59:40    100.0    50.0  1.0", "23:59:50    101.0    50.0  1.0",
                           "00:00:00    102.0    50.0  1.0", "00:00:10    103.0    50.0  1.0",
                           "00:00:20    104.0    50.0  1.0"}));
    ASSERT_GE(instrument.readings(), 3);
    EXPECT_GT(instrument.readingTimes[2], At(23, 59, 59)) << "the midnight reading is taken "
                                                             "just before midnight";
    const QStringList lines = fileLines().mid(4);
    EXPECT_EQ(lines,
              QStringList(
                  {"01/06/2026 23:59:40\t100.0\t50.0\t1.0", "01/06/2026 23:59:50\t101.0\t50.0\t1.0",
                   "02/06/2026 00:00:00\t102.0\t50.0\t1.0", "02/06/2026 00:00:10\t103.0\t50.0\t1.0",
                   "02/06/2026 00:00:20\t104.0\t50.0\t1.0"}));
}

TEST_F(LoggingRunTest, LineWrittenAfterMidnightForAPeriodBeforeItKeepsTheOldDate)
{
    logToFile();
    startAt(QTime(23, 59, 30, 600));
    timer.runFor(10);
    timer.lateTick(clock.now().time().msecsTo(QTime(23, 59, 59, 999)) / 1000.0 + 1.5);

    EXPECT_EQ(fileLines().mid(4), QStringList({"01/06/2026 23:59:40\t100.0\t50.0\t1.0",
                                               "01/06/2026 23:59:50\t101.0\t50.0\t1.0",
                                               "02/06/2026 00:00:00\t102.0\t50.0\t1.0"}));
    EXPECT_LT(instrument.readingTimes[1], At(0, 0, 10)) << "written after midnight";
}

TEST_F(LoggingRunTest, PeriodWithoutAGoodReadingSaysBadReadings)
{
    logToFile();
    instrument.readingsSilent = true;
    startAt(QTime(10, 0, 0, 600));
    timer.runFor(10);
    EXPECT_EQ(view.lines(), QStringList({"10:00:10 bad readings"}));
    EXPECT_EQ(fileLines().last(), QStringLiteral("01/06/2026 10:00:10\tbad readings"));
}

TEST_F(LoggingRunTest, KluxAveragesShowTwoDecimals)
{
    instrument.units = "Units: klux";
    instrument.plainReading = [](int) { return QByteArray("12.345,3.21,0"); };
    ASSERT_TRUE(link.GetStatus());
    startAt(QTime(10, 0, 0, 600));
    timer.runFor(10);
    EXPECT_EQ(view.lines(), QStringList({"10:00:10    12.35    3.21  0.0"}));
}

TEST_F(LoggingRunTest, StopClickedWhileTheTickLetsEventsRunEndsTheTick)
{
    logToFile();
    startAt(QTime(10, 0, 0, 600));
    view.duringEvents = [this] { run.Stop(); };
    timer.lateTick(35); // three readings due
    EXPECT_EQ(instrument.readings(), 1);
    EXPECT_FALSE(run.IsLogging());
    EXPECT_FALSE(view.timerOn);
    EXPECT_EQ(view.loggingShown, QList<bool>({true, false}));
    EXPECT_EQ(view.panel2, QStringLiteral(" "));
    EXPECT_EQ(view.plainTitles, 1);
}

TEST_F(LoggingRunTest, TimerComingRoundInsideATickDoesNothing)
{
    startAt(QTime(10, 0, 0, 600));
    int nested = 0;
    view.duringEvents = [&] {
        ++nested;
        run.Tick();
    };
    timer.lateTick(25); // readings at :10 and :20
    EXPECT_EQ(instrument.readings(), 2);
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(view.lines(),
              QStringList({"10:00:10    100.0    50.0  1.0", "10:00:20    101.0    50.0  1.0"}));
}

TEST_F(LoggingRunTest, TickWithoutARunDoesNothing)
{
    line.clearWritten();
    clock.advanceSeconds(30);
    run.Tick();
    startAt(QTime(10, 0, 0, 600));
    run.Stop();
    clock.advanceSeconds(30);
    run.Tick();
    EXPECT_EQ(instrument.readings(), 0);
    EXPECT_TRUE(view.lines().isEmpty());
    EXPECT_TRUE(line.written().isEmpty());
}

TEST_F(LoggingRunTest, UnusableAveragingPeriodRefusesTheStart)
{
    const char *refused[] = {"0s", "0.4s", "-10s", "600m", "abc", "1e99", "99999"};
    view.individual = true;
    instrument.version = "ZQ4 v2.3";
    ASSERT_TRUE(link.GetStatus());
    for (const char *text : refused) {
        SCOPED_TRACE(text);
        view.avgPeriod = QString::fromLatin1(text);
        view.file = true;
        line.clearWritten();
        run.Start();
        EXPECT_EQ(view.panel2, QStringLiteral("Avg period must be from 1s to 32767s"));
        EXPECT_FALSE(run.IsLogging());
        EXPECT_FALSE(view.timerOn);
        EXPECT_TRUE(view.loggingShown.isEmpty());
        EXPECT_TRUE(line.written().isEmpty()) << "no calibration read";
        EXPECT_TRUE(dialogs.requests.isEmpty()) << "no file asked for";
    }
}

TEST_F(LoggingRunTest, TimerFollowsTheLogPeriodAndTypedAveragingPeriodsAreRead)
{
    const struct
    {
        const char *logPeriod;
        const char *avgPeriod;
        int intervalMs;
        qint16 seconds;
    } cases[] = {{"1s", "90", 500, 90},     {"2s", "2m", 1000, 120}, {"10s", "546m", 1000, 32760},
                 {"1s", "2.5", 500, 2},     {"1s", "3.5s", 500, 4},  {"1s", "1M", 500, 1},
                 {"60m", "60m", 1000, 3600}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.logPeriod) + " " + c.avgPeriod);
        view.logPeriod = QString::fromLatin1(c.logPeriod);
        view.avgPeriod = QString::fromLatin1(c.avgPeriod);
        run.Start();
        EXPECT_TRUE(run.IsLogging());
        EXPECT_EQ(view.timerMs, c.intervalMs);
        EXPECT_EQ(run.Schedule().AvgInterval, c.seconds);
        run.Stop();
    }
}

TEST_F(LoggingRunTest, FailedCalibrationLeavesTheWindowIdle)
{
    instrument.calibrationDump = "E\rSerial: 1234"; // short and without "User:"
    view.individual = true;
    logToFile();
    run.Start();
    EXPECT_EQ(view.messages,
              QStringList({"Reading calibration values", "Failed to read ZQ3 calibration values"}));
    EXPECT_FALSE(run.IsLogging());
    EXPECT_FALSE(view.timerOn);
    EXPECT_TRUE(view.loggingShown.isEmpty());
    EXPECT_TRUE(dialogs.requests.isEmpty());
    EXPECT_TRUE(view.file) << "the choices stay as they were";
}

TEST_F(LoggingRunTest, FileDialogIsSetUpAndCancellingLogsToTheScreenOnly)
{
    view.file = true;
    run.Start();
    ASSERT_EQ(dialogs.requests.size(), 1);
    const FakeFileDialogs::Request &request = dialogs.requests.first();
    EXPECT_EQ(request.title, QStringLiteral("Record to file"));
    EXPECT_EQ(request.folder, DocumentsFolder());
    EXPECT_EQ(request.fileName, QString());
    EXPECT_EQ(request.filter,
              QStringLiteral("ZQ3 tab separated file (*.txt);;ZQ3 comma separated file (*.csv)"));
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("txt"));
    EXPECT_FALSE(view.file);
    EXPECT_TRUE(run.IsLogging());
    EXPECT_TRUE(view.errors.isEmpty());
    run.Stop();
    EXPECT_EQ(view.plainTitles, 0) << "no file, so the title was never changed";

    logToFile(QStringLiteral("first.txt"));
    run.Start();
    run.Stop();
    logToFile(QStringLiteral("second.txt"));
    run.Start();
    EXPECT_EQ(dialogs.requests.last().fileName, dir.filePath(QStringLiteral("first.txt")))
        << "the last name is offered again";
    EXPECT_EQ(run.LogFileName(), dir.filePath(QStringLiteral("second.txt")));
}

TEST_F(LoggingRunTest, FileThatCannotBeMadeIsReportedAndLoggingGoesOnToTheScreen)
{
    for (const QString &target :
         {dir.filePath(QStringLiteral("missing/run.txt")), QStringLiteral("/dev/full")}) {
        SCOPED_TRACE(target.toStdString());
        view.errors.clear();
        view.file = true;
        dialogs.answers.push_back(target);
        run.Start();
        ASSERT_EQ(view.errors.size(), 1);
        EXPECT_TRUE(view.errors.first().startsWith(QStringLiteral("Error: ")));
        EXPECT_GT(view.errors.first().size(), 7) << "with the system's description";
        EXPECT_FALSE(view.file);
        EXPECT_TRUE(run.IsLogging());
        EXPECT_EQ(run.LogFileName(), target);
        run.Stop();
    }
}

TEST_F(LoggingRunTest, WriteFailureStopsTheRunAndKeepsTheLinesWritten)
{
    QByteArray written;
    LoggingRun failing(link, clock, dialogs, [&written](const QString &, QString &) {
        // The four header lines and two data lines go in; the third data line fails.
        return std::make_unique<FailingDevice>(&written, 6);
    });
    failing.setView(view);
    VirtualTimer failingTimer(failing, view, clock);
    view.file = true;
    dialogs.answers.push_back(QStringLiteral("full.txt"));
    clock.setNow(QDateTime(Day, QTime(10, 0, 0, 600)));
    failing.Start();
    failingTimer.runFor(40);

    EXPECT_EQ(view.errors, QStringList({"Error: No space left on device"}));
    EXPECT_FALSE(failing.IsLogging());
    EXPECT_FALSE(view.timerOn);
    EXPECT_EQ(view.loggingShown, QList<bool>({true, false}));
    EXPECT_EQ(view.plainTitles, 1);
    EXPECT_EQ(view.panel2, QStringLiteral(" "));
    EXPECT_EQ(instrument.readings(), 3) << "no reading after the failure";
    EXPECT_EQ(view.lines().size(), 3) << "the failed period still shows on screen";
    const QStringList lines = QString::fromLatin1(written).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[4], QStringLiteral("01/06/2026 10:00:10\t100.0\t50.0\t1.0"));
    EXPECT_EQ(lines[5], QStringLiteral("01/06/2026 10:00:20\t101.0\t50.0\t1.0"));
    EXPECT_EQ(lines[6], QString());
}

TEST_F(LoggingRunTest, LostLinkIsConnectedAgainAtTheEndOfTheTick)
{
    startAt(QTime(10, 0, 0, 600));
    timer.runFor(10);
    instrument.silent = true;
    timer.runFor(10);
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(view.panel1, QStringLiteral("VTA1 not found on COM 1"));

    instrument.silent = false;
    line.clearWritten();
    timer.runFor(1);
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(line.written(), QByteArray("RRI")) << "Connect, then GetStatus";
    EXPECT_EQ(view.panel1, link.Status());
    EXPECT_TRUE(run.IsLogging());
}

TEST_F(LoggingRunTest, OverflowInAReadingIsShownAndLoggingGoesOn)
{
    instrument.version = "XY1 v1.0"; // unrecognised: every factor 4096, no "E"
    instrument.sensorReply = [](int n) {
        return n == 0 ? QByteArray("S1,2,0(40000 1 1 1 1 1 1 1)")
                      : QByteArray("S1,2,0(4096 4096 4096 4096 4096 4096 4096 4096)");
    };
    ASSERT_TRUE(link.GetStatus());
    view.individual = true;
    startAt(QTime(10, 0, 0, 600));
    EXPECT_EQ(view.panel2, QStringLiteral("XY1 v1.0 not recognised by this software"));
    EXPECT_EQ(view.heading, QStringLiteral("  Time      Total Diffuse  Sun     P0     P1     P2"
                                           "     P3     P4     P5     P6     P7   Temp"));
    timer.runFor(20);
    EXPECT_EQ(view.errors, QStringList({"Error: Overflow"}));
    EXPECT_TRUE(run.IsLogging());
    ASSERT_EQ(view.lines().size(), 2);
    // The failed reading left its total, diffuse and sun in the sums but did not count.
    EXPECT_EQ(view.lines()[0], QStringLiteral("10:00:10 bad readings"));
    EXPECT_EQ(view.lines()[1], QStringLiteral("10:00:20      1.0     2.0  0.0 2500.0 2500.0 "
                                              "2500.0 2500.0 2500.0 2500.0 2500.0 2500.0   21.4"));
}

} // namespace
