// SPDX-License-Identifier: GPL-3.0-or-later
// Logging on the computer through the "Vantlog" window, on a virtual clock: the
// clock-aligned schedule, averaging periods, late and very late ticks, midnight, the
// changes of summer time and settings of the clock, another instrument on the port, the log file
// and its failures, starting, stopping and closing, and the window's output box, heading and title.
#include "FullDisk.h"
#include "Instrument.h"
#include "PCLogFixture.h"
#include "SimulatedLine.h"

#include "common/NumberFormat.h"

#include "platform/FileDialogs.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>

#include <tuple>

namespace {

using PCLogTest = PCLogFixture;

TEST_F(PCLogTest, ReadingsFallOnTheClockAndPeriodsCloseAtTheReadingThatEndsThem)
{
    // Start, log and averaging periods, the timer's run before a late tick, how late that
    // is, the run after it; the lines shown.
    // clang-format off
    const std::tuple<QTime, const char *, const char *, double, double, double, QStringList> cases[] = {
        // The first reading on the next multiple; six readings (100 to 105) a minute.
        {QTime(10, 0, 7, 400), "10s", "1m", 61, 0, 0, {"10:01:00    102.5    50.0  1.0"}},
        // 10:00:05 from the readings at :02, :04 and :06; 10:00:10 from :08 and :10.
        {QTime(10, 0, 0, 600), "2s", "5s", 16, 0, 0, {"10:00:05    101.0    50.0  1.0", "10:00:10    103.5    50.0  1.0", "10:00:15    106.0    50.0  1.0"}},
        // A tick 45 s late takes each missed reading for its own time.
        {QTime(10, 0, 0, 600), "10s", "1m", 10, 54.4, 0, {"10:01:00    102.5    50.0  1.0"}},
        // 51 s behind: the readings missed are not taken late, the period that ended
        // meanwhile is written from the reading it had, and no reading is taken ahead
        // of its time (readings 1 to 5 make 10:02:00).
        {QTime(10, 0, 0, 600), "10s", "1m", 10, 59.9, 50, {"10:01:00    100.0    50.0  1.0", "10:02:00    103.0    50.0  1.0"}},
    };
    // clang-format on
    for (const auto &[time, logPeriod, avgPeriod, before, late, after, lines] : cases) {
        instrument.readingTimes.clear();
        open();
        start(time, logPeriod, avgPeriod);
        runTimer(before);
        if (late > 0)
            lateTick(late);
        runTimer(after);
        EXPECT_EQ(shown(), lines);
        EXPECT_TRUE(window->Timer1.isActive());
    }
    // Ticks that fall due while a tick's reading is on the line make one, run after it
    // with the last one's end: one set of commands on the wire for each reading.
    instrument.readingTimes.clear();
    open();
    start(QTime(10, 0, 0, 600), "10s", "10s");
    for (const int due : {1, 2}) {
        clock.advanceSeconds(due == 1 ? 9 : 10);
        line.clearWritten();
        window->Timer1_Timer();
        runLinkEvents(clock, port, [this] { return line.written().endsWith("S"); });
        int ended = 0;
        for (int k = 1; k <= due; ++k)
            window->run().Tick([&ended, k] { ended += k; });
        runRequests();
        EXPECT_EQ(line.written(), "RS");
        EXPECT_EQ(ended, due);
    }
    EXPECT_EQ(shown(),
              QStringList({"10:00:10    100.0    50.0  1.0", "10:00:20    101.0    50.0  1.0"}));
    // Or while another window's request still runs.
    link.requestStatus({});
    int ended = 0;
    window->run().Tick([&ended] { ++ended; });
    runRequests();
    EXPECT_EQ(ended, 1);
    // Each reading is taken within one timer interval after its time, never more than
    // half a second early.
    instrument.readingTimes.clear();
    open();
    start(QTime(10, 0, 7, 400), "10s", "1m");
    runTimer(61);
    ASSERT_EQ(instrument.readingTimes.size(), 6);
    for (int k = 0; k < 6; ++k) {
        EXPECT_GE(instrument.readingTimes[k], At(10, 0, 10 + 10 * k) - 0.5f) << k;
        EXPECT_LE(instrument.readingTimes[k], At(10, 0, 10 + 10 * k) + 1.0f) << k;
    }
}

TEST_F(PCLogTest, AcrossMidnightLinesCarryTheirDayAndBadPeriodsSaySo)
{
    // The midnight reading is taken just before midnight; a line written after midnight
    // for a period before it keeps the old date.
    start(QTime(23, 59, 30, 600), "10s", "10s", path);
    runTimer(50);
    EXPECT_GT(instrument.readingTimes[2], At(23, 59, 59));
    window->cmdLog->click();
    // clang-format off
    EXPECT_EQ(fileLines(), QStringList({"01/06/2026 23:59:40\t100.0\t50.0\t1.0", "01/06/2026 23:59:50\t101.0\t50.0\t1.0",
                                        "02/06/2026 00:00:00\t102.0\t50.0\t1.0", "02/06/2026 00:00:10\t103.0\t50.0\t1.0",
                                        "02/06/2026 00:00:20\t104.0\t50.0\t1.0"}));
    // clang-format on
    start(QTime(23, 59, 30, 600), "10s", "10s", path);
    runTimer(10);
    lateTick(clock.now().time().msecsTo(QTime(23, 59, 59, 999)) / 1000.0 + 1.5);
    EXPECT_EQ(fileLines().mid(1), QStringList({"01/06/2026 23:59:50\t106.0\t50.0\t1.0",
                                               "02/06/2026 00:00:00\t107.0\t50.0\t1.0"}));
    window->cmdLog->click();

    // No good reading in a period; klux averages with two decimals.
    instrument.readingsSilent = true;
    start(QTime(10, 0, 0, 600), "10s", "10s", path);
    runTimer(10);
    EXPECT_EQ(shown().last(), "10:00:10 bad readings");
    EXPECT_EQ(fileLines().last(), "01/06/2026 10:00:10\tbad readings");
    window->cmdLog->click();
    instrument.readingsSilent = false;
    instrument.units = "Units: klux";
    instrument.plainReading = [](int) { return QByteArray("12.345,3.21,0"); };
    readStatus();
    start(QTime(10, 0, 0, 600), "10s", "30s", path);
    runTimer(10);
    // The instrument lost over the period's end (the handshakes fail and clear the
    // link's units and version), then back: the lines keep the layout of the start, two
    // decimals and no temperature column on a ZQ3 v2.
    instrument.silent = true;
    runTimer(20);
    instrument.silent = false;
    runTimer(30);
    const QStringList kept{"10:00:30    12.35    3.21  0.0", "10:01:00    12.35    3.21  0.0"};
    EXPECT_EQ(shown().mid(shown().size() - 2), kept);
    EXPECT_EQ(fileLines().mid(fileLines().size() - 2),
              QStringList({"01/06/2026 10:00:30\t12.35\t3.21\t0.0",
                           "01/06/2026 10:01:00\t12.35\t3.21\t0.0"}));
}

// The schedule runs on real time. A change of summer time (London: 29 March and 25
// October 2026, at 01:00 GMT) is not a setting of the clock: no reading is lost or taken
// twice, and each line carries the clock time of its period's end as the zone gives it
// (02:00:00 in spring, never 01:00:00; the hour from 01:00 twice in autumn). A setting of
// the clock writes the period it cut from the readings it had, stamped at the step, then
// the schedule starts again from the clock and the status bar says so.
TEST_F(PCLogTest, SummerTimeFollowsTheClockAndASettingOfTheClockCutsThePeriod)
{
    // The start (GMT for the changes of summer time), the periods, the run before the
    // clock is set and by how much, the run after; the readings taken, the log file's
    // lines and the setting noted in the status bar.
    const auto gmt = [](QDate date, QTime time) {
        return QDateTime(date, time, Qt::UTC).toLocalTime();
    };
    const QDate spring(2026, 3, 29), autumn(2026, 10, 25);
    const QDateTime ten(QDate(2026, 6, 1), QTime(10, 0, 0, 600));
    // clang-format off
    const std::tuple<QDateTime, const char *, const char *, double, int, double, int, QStringList, QString> cases[] = {
        {gmt(spring, QTime(0, 59, 57, 400)), "1s", "1s", 5, 0, 0, 5, {"29/03/2026 00:59:58\t100.0\t50.0\t1.0", "29/03/2026 00:59:59\t101.0\t50.0\t1.0", "29/03/2026 02:00:00\t102.0\t50.0\t1.0", "29/03/2026 02:00:01\t103.0\t50.0\t1.0", "29/03/2026 02:00:02\t104.0\t50.0\t1.0"}, ""},
        {gmt(autumn, QTime(0, 59, 57, 400)), "1s", "1s", 5, 0, 0, 5, {"25/10/2026 01:59:58\t100.0\t50.0\t1.0", "25/10/2026 01:59:59\t101.0\t50.0\t1.0", "25/10/2026 01:00:00\t102.0\t50.0\t1.0", "25/10/2026 01:00:01\t103.0\t50.0\t1.0", "25/10/2026 01:00:02\t104.0\t50.0\t1.0"}, ""},
        {gmt(spring, QTime(0, 58, 30, 600)), "10s", "1m", 180, 0, 0, 18, {"29/03/2026 00:59:00\t101.0\t50.0\t1.0", "29/03/2026 02:00:00\t105.5\t50.0\t1.0", "29/03/2026 02:01:00\t111.5\t50.0\t1.0"}, ""},
        {gmt(autumn, QTime(0, 58, 30, 600)), "10s", "1m", 150, 0, 0, 15, {"25/10/2026 01:59:00\t101.0\t50.0\t1.0", "25/10/2026 01:00:00\t105.5\t50.0\t1.0", "25/10/2026 01:01:00\t111.5\t50.0\t1.0"}, ""},
        {gmt(autumn, QTime(0, 57, 30, 600)), "1m", "1m", 240, 0, 0, 4, {"25/10/2026 01:58:00\t100.0\t50.0\t1.0", "25/10/2026 01:59:00\t101.0\t50.0\t1.0", "25/10/2026 01:00:00\t102.0\t50.0\t1.0", "25/10/2026 01:01:00\t103.0\t50.0\t1.0"}, ""},
        // Set back or forward ten minutes after the reading at 10:00:30: the period's
        // three readings are written at the step.
        {ten, "10s", "1m", 30, -600, 30, 6, {"01/06/2026 09:50:31\t101.0\t50.0\t1.0", "01/06/2026 09:51:00\t104.0\t50.0\t1.0"}, "realigned to clock 09:50:31"},
        {ten, "10s", "1m", 30, 600, 30, 6, {"01/06/2026 10:10:31\t101.0\t50.0\t1.0", "01/06/2026 10:11:00\t104.0\t50.0\t1.0"}, "realigned to clock 10:10:31"},
        {ten, "10s", "1m", 30, -20, 50, 8, {"01/06/2026 10:00:11\t101.0\t50.0\t1.0", "01/06/2026 10:01:00\t105.0\t50.0\t1.0"}, "realigned to clock 10:00:11"},
        // Seven seconds either way in an hour's period of readings every second.
        {ten, "1s", "60m", 30, 7, 10, 39, {"01/06/2026 10:00:38\t114.5\t50.0\t1.0"}, "realigned to clock 10:00:38"},
        {ten, "1s", "60m", 30, -7, 10, 39, {"01/06/2026 10:00:24\t114.5\t50.0\t1.0"}, "realigned to clock 10:00:24"},
    };
    // clang-format on
    for (const auto &[when, logPeriod, avgPeriod, before, jump, after, readings, lines, note] :
         cases) {
        instrument.readingTimes.clear();
        start(when, logPeriod, avgPeriod, path);
        runTimer(before);
        clock.setNow(clock.now().addSecs(jump));
        runTimer(after);
        EXPECT_EQ(window->panel1Text(),
                  note.isEmpty() ? link.Status() : link.Status() + "; " + note);
        const QLabel *panel1 = window->StatusBar1->findChildren<QLabel *>().first();
        EXPECT_LE(panel1->fontMetrics().horizontalAdvance(panel1->text()), panel1->width());
        window->cmdLog->click();
        EXPECT_EQ(instrument.readingTimes.size(), readings) << when.toString().toStdString();
        EXPECT_EQ(fileLines(), lines);
    }
}

TEST_F(PCLogTest, StartingAndStoppingSetTheWindowUpAndTheTimerByTheLogPeriod)
{
    const auto items = [](const QComboBox *box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts.join(' ') + " : " + box->currentText();
    };
    open();
    EXPECT_EQ(items(window->cboLog) + " / " + items(window->cboAvg),
              "1s 2s 5s 10s 30s 1m 5m 10m 30m 60m : 10s / 10s 30s 1m 5m 10m 30m 60m : 10s");
    // The averaging list starts at the log period, and so does the choice.
    window->cboAvg->setEditText("typed");
    window->cboLog->setCurrentText("5m");
    EXPECT_EQ(items(window->cboAvg), "5m 10m 30m 60m : 5m");
    const QList<QWidget *> choices{window->cboLog, window->cboAvg, window->chkFile,
                                   window->chkIndividual};

    // Log period, averaging period as typed: the timer's interval and the averaging
    // period in seconds.
    // clang-format off
    const std::tuple<const char *, const char *, int, qint16> cases[] = {
        {"1s", "90", 500, 90}, {"2s", "2m", 1000, 120}, {"10s", "546m", 1000, 32760}, {"60m", "60m", 1000, 3600},
    };
    // clang-format on
    for (const auto &[logPeriod, avgPeriod, interval, seconds] : cases) {
        start(QTime(10, 0, 0, 600), logPeriod, avgPeriod);
        EXPECT_EQ(window->cmdLog->text(), "Stop Logging");
        EXPECT_TRUE(std::none_of(choices.begin(), choices.end(),
                                 [](QWidget *w) { return w->isEnabled(); }));
        EXPECT_EQ(window->Timer1.interval(), interval) << logPeriod << " " << avgPeriod;
        EXPECT_EQ(window->run().Schedule().AvgInterval, seconds);
        EXPECT_EQ(window->lblHeading->text(), "  Time      Total Diffuse  Sun");
        window->cmdLog->click();
        EXPECT_EQ(window->cmdLog->text() + window->panel2Text() + window->windowTitle(),
                  "Start Logging Vantlog");
        EXPECT_TRUE(
            std::all_of(choices.begin(), choices.end(), [](QWidget *w) { return w->isEnabled(); }));
        EXPECT_FALSE(window->Timer1.isActive());
    }
}

TEST_F(PCLogTest, UnusablePeriodsAndAFailedCalibrationRefuseTheStartAskingNothing)
{
    instrument.version = "ZQ4 v2.3";
    instrument.calibrationDump = "E\rSerial: 1234"; // short and without "User:"
    readStatus();
    open().chkIndividual->setChecked(true);
    for (const char *avgPeriod : {"0s", "0.4s", "-10s", "10s", "600m", "abc", "1e99", "99999"}) {
        line.clearWritten();
        start(QTime(10, 0, 0, 600), "10s", avgPeriod, path);
        const bool read = QByteArray(avgPeriod) == "10s";
        EXPECT_EQ(window->panel2Text(), read ? "Failed to read ZQ/VTA calibration values"
                                             : "Avg period must be from 1s to 32767s");
        EXPECT_EQ(window->cmdLog->text(), "Start logging");
        EXPECT_TRUE(window->chkFile->isChecked() && window->chkIndividual->isChecked());
        EXPECT_FALSE(window->Timer1.isActive());
        EXPECT_EQ(line.written().contains('E'), read) << "the calibration read";
        EXPECT_TRUE(!read || window->panel1Text() == "reply to \"E\": no factors");
        EXPECT_TRUE(dialogs.requests.isEmpty()) << "no file asked for";
    }
}

TEST_F(PCLogTest, IndividualSensorsShowTheFactorsTheSensorsAndWithTheTestMenuTheChipAndSpread)
{
    instrument.version = "ZQ4 v2.3";
    instrument.calibrationDump =
        "E\rSerial: 1234\rUser:     4101  4080  4050  4200  3990  4096  4111\rOffset:     12";
    readStatus();
    testMenu = true;
    open().chkIndividual->setChecked(true);
    // A second click while the calibration is read does nothing.
    window->cmdLog->click();
    start(QTime(10, 0, 0, 600), "10s", "10s");
    EXPECT_EQ(line.written().count('E'), 1);
    EXPECT_EQ(window->panel2Text(), "Reading calibration values");
    EXPECT_EQ(window->lblHeading->text(), "  Time      Total Diffuse  Sun     P0     P1     P2     "
                                          "P3     P4     P5     P6     P7   Temp");
    // The reading's tick: "S" (in test mode still, after "E"), a handshake, "I" in test
    // mode and a handshake again, then the pause of 50 ms.
    runTimer(8);
    clock.advanceSeconds(1);
    line.clearWritten();
    const double before = clock.monotonicSeconds();
    tick();
    EXPECT_EQ(line.written(), "SRRTIR");
    EXPECT_NEAR(clock.monotonicSeconds() - before, 0.51, 0.0005);
    runTimer(1);
    const QString row = "10:00:10    100.0    50.0  1.0 2500.0 2500.0 2500.0 2500.0 2500.0 2500.0 "
                        "2500.0 2500.0   21.4   25.1  1.000";
    EXPECT_EQ(shown(), QStringList({"4096 4101 4080 4050 4200 3990 4096 4111 ", row}));
    // The window widened for the row (longer than the heading): seen whole, no scrolling.
    EXPECT_GE(window->txtOut->viewport()->width(),
              QFontMetrics(window->txtOut->font()).horizontalAdvance(row));
    EXPECT_EQ(window->txtOut->horizontalScrollBar()->maximum(), 0);

    // An overflow in a reading is shown and logging goes on: the failed reading did not
    // count.
    // The timer comes round while the message is open: one reading all the same.
    instrument.sensorReply = [](int) { return QByteArray("S1,2,0(40000 1 1 1 1 1 1 1)"); };
    int ended = 0;
    prompts.whileOpen = [this, &ended] { window->run().Tick([&ended] { ++ended; }); };
    runTimer(10);
    prompts.whileOpen = nullptr;
    EXPECT_EQ(instrument.readingTimes.size(), 2);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(prompts.texts(), QStringList({"Error: Overflow"}));
    EXPECT_EQ(shown().last(), "10:00:20 bad readings");
    EXPECT_TRUE(window->Timer1.isActive());
    // A reply missing or garbled adds no figure (no temperature, not 0.0; a period without
    // a reading is bad) and the status bar says why until the next reading.
    const QByteArray ones = "S100.0,50.0,1(1 1 1 1 1 1 1 1)";
    const QByteArray temperatures = instrument.temperatures;
    const QString noTemperature = "  0.6" + QString(14, ' ') + "  1.000";
    // clang-format off
    const std::tuple<QByteArray, QByteArray, QString, QString> failed[] = {
        {ones, "", noTemperature, ""},
        {ones, "I\rThermistor not read here", noTemperature, "; reply to \"I\": no \"Therm temp\" or shorter than 25 characters"},
        {ones.chopped(1), temperatures, " bad readings", "; reply to \"S\": not \"S\" ... \")\""},
    };
    // clang-format on
    for (const auto &[sensors, temperatureReply, lineEnd, why] : failed) {
        instrument.sensorReply = [reply = sensors](int) { return reply; };
        instrument.temperaturesSilent = temperatureReply.isEmpty();
        instrument.temperatures = temperatureReply;
        runTimer(10);
        EXPECT_TRUE(shown().last().endsWith(lineEnd)) << shown().last().toStdString();
        EXPECT_EQ(window->panel1Text(),
                  why.isEmpty() ? "TEST: prompt missing" : link.Status() + why);
    }
    instrument.temperaturesSilent = false;
    // Silent: the reading fails with the link and the temperatures are not asked; the
    // tick's end tries the handshake and the status read.
    instrument.silent = true;
    clock.advanceSeconds(10);
    line.clearWritten();
    tick();
    EXPECT_EQ(line.written(), "RRR");
    instrument.silent = false;

    // The output box keeps the last 10000 characters from a whole line, the newest in
    // view.
    instrument.sensorReply = [](int) { return QByteArray("S1,2,0(1 1 1 1 1 1 1 1)"); };
    runTimer(1000);
    EXPECT_TRUE(window->outputText().size() <= 10000 && window->outputText().startsWith("10:"));
    EXPECT_EQ(window->txtOut->textCursor().position(), window->txtOut->toPlainText().size());
    EXPECT_EQ(window->panel1Text(), link.Status());
    // A temperature beyond range stops the run with the failure.
    instrument.temperatures = "I\rTherm temp  1e999\rChip temp  25.10";
    runTimer(10);
    EXPECT_EQ(prompts.texts().last(), "Error: Overflow");
    EXPECT_FALSE(window->run().IsLogging());
}

TEST_F(PCLogTest, TheLogFileIsAskedForKeptOnTheDiskAndItsFailuresReported)
{
    // The file dialog's set-up; the file's name in the title while logging, its tail when
    // the window is narrow.
    const QString name = dir.filePath("a-rather-long-name-for-a-log-file-of-the-sensor.txt");
    open().resize(700, 400);
    start(QTime(10, 0, 0, 600), "10s", "10s", name);
    const FakeFileDialogs::Request asked = dialogs.requests.first();
    EXPECT_EQ(
        QStringList({asked.title, asked.folder, asked.fileName, asked.filter, asked.defaultSuffix}),
        QStringList({"Record to file", DocumentsFolder(), "",
                     "ZQ3 tab separated file (*.txt);;ZQ3 comma separated file (*.csv)", "txt"}));
    const QString title = window->windowTitle();
    EXPECT_EQ(title, "Vantlog " + name);
    window->resize(300, 400);
    EXPECT_LT(window->windowTitle().size(), title.size());
    // Every line is on the disk as it is written.
    runTimer(20);
    QFile written(name);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().count("\r\n"), 4 + 2);
    window->cmdLog->click();
    EXPECT_EQ(window->windowTitle(), "Vantlog");
    window->resize(700, 400);
    EXPECT_EQ(window->windowTitle(), "Vantlog") << "no file in use after the stop";

    // Cancelled: logging to the screen only; the last name was offered again. A file that
    // cannot be made is reported and logging goes on to the screen.
    for (const QString &target :
         {QString(""), dir.filePath("missing/run.txt"), QString("/dev/full")}) {
        start(QTime(10, 0, 0, 600), "10s", "10s", target);
        EXPECT_TRUE(!target.isEmpty() || dialogs.requests.last().fileName == name);
        EXPECT_EQ(prompts.calls().size(), target.isEmpty() ? 0 : 1);
        EXPECT_TRUE(prompts.calls().isEmpty() ||
                    (prompts.calls().at(0).title == "Quorvel" &&
                     prompts.calls().at(0).text.size() > 7 &&
                     prompts.calls().at(0).text.startsWith("Error: ")));
        prompts.clear();
        EXPECT_FALSE(window->chkFile->isChecked());
        EXPECT_TRUE(window->Timer1.isActive());
        window->cmdLog->click();
    }

    // The comma type chosen and a name typed without an extension: a ".csv" file in the
    // comma form.
    dialogs.types = {"ZQ3 comma separated file (*.csv)"};
    start(QTime(10, 0, 0, 600), "10s", "10s", dir.filePath("typed"));
    runTimer(10);
    window->cmdLog->click();
    QFile typed(dir.filePath("typed.csv"));
    ASSERT_TRUE(typed.open(QIODevice::ReadOnly));
    EXPECT_TRUE(typed.readAll().endsWith("\r\nTime,Total,Diffuse,Sun\r\n"
                                         "01/06/2026 10:00:10,102.0,50.0,1.0\r\n"));

    // The disk fills mid-run, taking nothing of the failed line or part of it (cut off
    // again), or the disk is taken away (unmounted): the failure is reported with its
    // cause and stops the run. The file keeps every line before the failed one, each whole
    // (CR LF, every field) and once, in order: the lines shown but the failed period's.
    for (const qint64 part : {0, 20, -1}) {
        QByteArray kept;
        open([&kept, part](const QString &, QString &) -> std::unique_ptr<QIODevice> {
            if (part < 0)
                return std::make_unique<VanishingFile>(4 + 20, &kept);
            return std::make_unique<FullDisk>(4 + 20, &kept, part);
        });
        instrument.readingTimes.clear();
        start(QTime(10, 0, 0, 600), "10s", "10s", path);
        runTimer(400);
        // The message and, once it is closed, the status bar say that logging stopped and
        // which period the file lacks.
        EXPECT_EQ(prompts.texts(),
                  QStringList({(part < 0 ? "Error: " + path + " is no longer on the disk"
                                         : QString("Error: No space left on device")) +
                               "\r\nLogging has stopped: the period from 10:03:20 to 10:03:30 "
                               "was not written to the file."}));
        EXPECT_EQ(window->panel2Text(), "Logging stopped - 10:03:20 to 10:03:30 not written");
        prompts.clear();
        EXPECT_EQ(window->cmdLog->text() + window->windowTitle(), "Start LoggingVantlog");
        EXPECT_EQ(instrument.readingTimes.size(), 21) << "no reading after the failure";
        EXPECT_TRUE(kept.endsWith("\r\n") && kept.count('\n') == kept.count("\r\n"));
        const QStringList lines = QString::fromUtf8(kept).split("\r\n", Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 4 + 20);
        ASSERT_EQ(shown().size(), 21);
        for (int k = 0; k < 20; ++k) {
            const QStringList fields = lines[4 + k].split('\t');
            EXPECT_EQ(fields.size(), lines[3].split('\t').size()) << k;
            EXPECT_EQ(fields.join(' '), "01/06/2026 " + shown()[k].simplified()) << k;
        }
    }
}

TEST_F(PCLogTest, AStopDuringATickEndsItAndALostLinkIsConnectedAgainAtItsEnd)
{
    // Stop clicked while the second of three readings due is on the line: it is not
    // added and the third is not asked; a tick without a run asks nothing.
    start(QTime(10, 0, 0, 600), "10s", "10s");
    clock.advanceSeconds(35);
    window->Timer1_Timer();
    runLinkEvents(clock, port, [this] { return instrument.readingTimes.size() == 2; });
    window->cmdLog->click();
    runRequests();
    EXPECT_EQ(instrument.readingTimes.size(), 2);
    EXPECT_FALSE(window->Timer1.isActive() || window->run().IsLogging());
    EXPECT_EQ(shown(), QStringList({"10:00:10    100.0    50.0  1.0"})) << "kept after the stop";
    line.clearWritten();
    lateTick(30);
    EXPECT_TRUE(line.written().isEmpty());
    // The timer stopped otherwise (the console's signal) while the first of three readings
    // due is on the line: the tick ends after it.
    start(QTime(10, 0, 0, 600), "10s", "10s");
    clock.advanceSeconds(35);
    window->Timer1_Timer();
    window->Timer1.stop();
    runRequests();
    EXPECT_EQ(line.written(), "RS");
    window->cmdLog->click();
    // Stopped and started again while a reading is on the line: it goes to neither run.
    instrument.readingTimes.clear();
    start(QTime(10, 0, 0, 600), "10s", "10s");
    clock.advanceSeconds(9);
    window->Timer1_Timer();
    runLinkEvents(clock, port, [this] { return line.written().endsWith("S"); });
    window->cmdLog->click();
    start(QTime(10, 0, 0, 600), "10s", "10s");
    runTimer(10);
    EXPECT_EQ(shown().last(), "10:00:10    101.0    50.0  1.0");
    window->cmdLog->click();

    start(QTime(10, 0, 0, 600), "10s", "10s");
    runTimer(10);
    instrument.silent = true;
    runTimer(10);
    EXPECT_EQ(window->panel1Text(), "VTA1 not found on COM 1");
    instrument.silent = false;
    line.clearWritten();
    runTimer(1);
    EXPECT_EQ(line.written(), "RRI") << "Connect, then GetStatus";
    EXPECT_EQ(window->panel1Text(), link.Status());
    EXPECT_TRUE(window->run().IsLogging());
}

// After a loss the instrument must be known again before a reading is taken or a line
// written: its identification unanswered holds the lines; the same instrument writes
// them, as does a stop while it stays unknown; another one (serial number or units)
// stops the run with a message naming both, and nothing of it goes under the old heading.
TEST_F(PCLogTest, AfterALossLinesWaitForTheInstrumentAndAnotherOneStopsTheRun)
{
    const QStringList before{"01/06/2026 10:00:10\t100.0\t50.0\t1.0",
                             "01/06/2026 10:00:20\t101.0\t50.0\t1.0",
                             "01/06/2026 10:00:30\tbad readings"};
    const QStringList held{"01/06/2026 10:00:40\tbad readings",
                           "01/06/2026 10:00:50\tbad readings"};
    const QString old = "ZQ3 Ser No: 1234 (Units: W.m-2)";
    // clang-format off
    const std::tuple<bool, QByteArray, QByteArray, QStringList, QString> cases[] = {
        {true, "1234", "Units: W.m-2", {"01/06/2026 10:01:00\t102.0\t50.0\t1.0", "01/06/2026 10:01:10\t103.0\t50.0\t1.0"}, ""},
        {false, "1234", "Units: W.m-2", {"01/06/2026 10:01:00\tbad readings", "01/06/2026 10:01:10\tbad readings"}, ""},
        {true, "8585", "Units: W.m-2", {}, "ZQ3 Ser No: 8585 (Units: W.m-2)"},
        {true, "1234", "Units: klux", {}, "ZQ3 Ser No: 1234 (Units: klux)"},
    };
    // clang-format on
    // Logging, then the instrument silent for a while and back without telling who it is.
    const auto backUnknown = [&] {
        start(QTime(10, 0, 0, 600), "10s", "10s", path);
        runTimer(20);
        instrument.silent = true;
        runTimer(20);
        instrument.silent = false;
        instrument.statusSilent = true;
    };
    for (const auto &[answers, serial, units, after, other] : cases) {
        instrument.readingTimes.clear();
        backUnknown();
        instrument.serialNumber = serial;
        instrument.units = units;
        runTimer(12);
        EXPECT_EQ(fileLines(), before) << "nothing written while the instrument is not known";
        EXPECT_EQ(instrument.readingTimes.size(), 2);
        instrument.statusSilent = !answers;
        runTimer(20);
        EXPECT_EQ(fileLines(), answers ? before + held + after : before);
        EXPECT_EQ(window->run().IsLogging(), other.isEmpty());
        EXPECT_EQ(prompts.texts(),
                  other.isEmpty()
                      ? QStringList()
                      : QStringList("Logging stopped. Another instrument answers on the port: " +
                                    other + ", not " + old + "."));
        prompts.clear();
        if (window->run().IsLogging())
            window->cmdLog->click();
        EXPECT_EQ(fileLines(), before + held + after);
        instrument.statusSilent = false;
        instrument.serialNumber = "1234";
        instrument.units = "Units: W.m-2";
        readStatus();
    }

    // A stop whose held lines find the disk full says what it lost, and keeps saying so.
    open([](const QString &, QString &) -> std::unique_ptr<QIODevice> {
        return std::make_unique<FullDisk>(4 + 3);
    });
    backUnknown();
    runTimer(12);
    window->cmdLog->click();
    EXPECT_EQ(prompts.texts().size(), 1);
    EXPECT_EQ(window->panel2Text(), "Logging stopped - 10:00:30 to 10:00:40 not written");
    instrument.statusSilent = false;
}

TEST_F(PCLogTest, ClosingWhileLoggingAsksFirstAndAReopenedWindowIsIdle)
{
    // Asked for while a reading is on the line, the question comes at once; while it
    // stays open the readings keep their times, each in its period.
    start(QTime(10, 0, 0, 600), "10s", "10s");
    clock.advanceSeconds(9);
    window->Timer1_Timer();
    prompts.whileOpen = [this] { runTimer(30); };
    EXPECT_FALSE(window->close());
    prompts.whileOpen = nullptr;
    runTimer(20);
    EXPECT_EQ(prompts.texts(), QStringList({"You are still logging, do you really want to stop?"}));
    prompts.clear();
    ASSERT_EQ(instrument.readingTimes.size(), 5);
    for (int k = 0; k < 5; ++k)
        EXPECT_NEAR(instrument.readingTimes[k], At(10, 0, 10 + 10 * k) + 0.25f, 0.75f) << k;
    EXPECT_EQ(shown().last(), "10:00:50    104.0    50.0  1.0");
    window->cmdLog->click();

    start(QTime(10, 0, 0, 600), "10s", "10s", path);
    runTimer(10);
    prompts.answers = {false, true};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible() && window->Timer1.isActive());
    runTimer(10);
    // Closed while the third reading is on the line: it is not added, the file keeps the
    // lines written before it.
    clock.advanceSeconds(10);
    window->Timer1_Timer();
    EXPECT_TRUE(window->close());
    runRequests();
    ASSERT_EQ(prompts.calls().size(), 2);
    EXPECT_EQ(prompts.calls().at(0).kind, RecordingPrompts::Kind::Question);
    EXPECT_EQ(prompts.calls().at(0).title + ": " + prompts.calls().at(0).text,
              "Close Vantlog: You are still logging, do you really want to stop?");
    EXPECT_FALSE(window->isVisible() || window->Timer1.isActive() || window->run().IsLogging());
    EXPECT_EQ(takenBack, 1);
    EXPECT_EQ(fileLines().size(), 2) << "the file is closed with both lines";

    // Reopened: idle again, and the first click starts logging; closing idle asks nothing.
    window->Form_Load();
    window->show();
    EXPECT_EQ(window->cmdLog->text(), "Start logging");
    EXPECT_FALSE(window->chkFile->isChecked());
    EXPECT_TRUE(window->outputText().isEmpty());
    window->cmdLog->click();
    EXPECT_TRUE(window->Timer1.isActive());
    window->cmdLog->click();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(prompts.calls().size(), 2);
    EXPECT_EQ(takenBack, 2);

    // Closed while the calibration of a start is read: the start comes to nothing, and the
    // next one goes ahead.
    instrument.calibrationDump = "E\rUser:     4101  4080  4050  4200  3990  4096  4111";
    window->show();
    window->chkIndividual->setChecked(true);
    window->cmdLog->click();
    EXPECT_TRUE(window->close());
    runRequests();
    EXPECT_FALSE(window->Timer1.isActive() || window->run().IsLogging());
    window->Form_Load();
    window->chkIndividual->setChecked(true);
    start(QTime(10, 0, 0, 600), "10s", "10s");
    EXPECT_TRUE(window->run().IsLogging());
    window->cmdLog->click();
    window->chkIndividual->setChecked(false);
    // The window gone while a reading is on the line: its end touches nothing of it.
    instrument.readingTimes.clear();
    start(QTime(10, 0, 0, 600), "10s", "10s", path);
    runTimer(10);
    clock.advanceSeconds(10);
    window->Timer1_Timer();
    window.reset();
    runRequests();
    EXPECT_EQ(fileLines(), QStringList({"01/06/2026 10:00:10\t100.0\t50.0\t1.0"}));
}

// Ten simulated minutes of logging with individual sensors against the simulated ZQ5 on
// COM 2, checked line by line in the log file against what the instrument answered.
TEST_F(PCLogTest, TenSimulatedMinutesWithIndividualSensorsToFile)
{
    Instrument zq5{clock, SimModel::ZQ5};
    FakeLine &cable = port.addLine(2);
    SimulatedLine simulated{zq5, cable};
    // Listen in on the cable: every test-mode "S" and "I" with the reply the instrument
    // gives at that moment, and the sky's total then.
    QList<QByteArray> counts;
    QList<QByteArray> temperatures;
    QList<double> molar;
    cable.onWrite = [&, forward = cable.onWrite](const QByteArray &bytes) {
        const SkyReading sky = zq5.readingNow();
        if (zq5.state().mode() == SimMode::Test && bytes == "S") {
            counts << zq5.replies().sensorCounts(sky);
            molar << sky.totalMolar;
        } else if (zq5.state().mode() == SimMode::Test && bytes == "I") {
            temperatures << zq5.replies().temperatures(sky);
        }
        forward(bytes);
    };
    link.setCommPort(2);
    readStatus();
    open().chkIndividual->setChecked(true);
    start(QTime(10, 0, 0, 600), "10s", "1m", path);
    runTimer(600);
    window->cmdLog->click();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << "every line ends with CR LF";
    const QStringList lines = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5 + 10 + 1);
    QStringList factors;
    for (int factor : zq5.state().identity().calibration)
        factors << QString::number(factor);
    EXPECT_EQ(lines.mid(0, 5), QStringList({"ZQ5 Logger Data file 01/06/2026 10:00:00",
                                            "ZQ5 v3.2 Ser No: 5523", "Reading Units: umol.m-2.s-1",
                                            "Calibration values:\t" + factors.join('\t'),
                                            "Time\tTotal\tDiffuse\tSun\tP0\tP1\tP2\tP3\tP4\tP5\tP6"
                                            "\tP7\tTemp"}));

    // Six readings a minute, 10:00:10 to 10:10:00, each with its temperatures: the
    // averages of their totals, diffuse, sunshine and thermistor temperatures; channel 0
    // reads the sky's total, the others lie within a few percent of it.
    ASSERT_EQ(counts.size(), 60);
    ASSERT_EQ(temperatures.size(), 60);
    EXPECT_GT(molar.first(), 100) << "the simulated sky is lit at ten";
    for (int period = 0; period < 10; ++period) {
        float sums[4] = {};
        double sky = 0;
        for (int k = 6 * period; k < 6 * period + 6; ++k) {
            // S<total>,<diffuse>,<sun>(<counts>)
            const QList<QByteArray> fields = counts[k].mid(1).split(',');
            sums[0] += static_cast<float>(fields[0].toDouble());
            sums[1] += static_cast<float>(fields[1].toDouble());
            sums[2] += static_cast<float>(fields[2].left(1).toInt());
            const QByteArray &reply = temperatures[k];
            sums[3] += static_cast<float>(
                reply.mid(reply.indexOf("Therm temp") + 10, 7).trimmed().toDouble());
            sky += molar[k];
        }
        const QStringList fields = lines[5 + period].split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 13) << lines[5 + period].toStdString();
        EXPECT_EQ(QStringList({fields[0], fields[1], fields[2], fields[3], fields[12]}),
                  QStringList(
                      {QStringLiteral("01/06/2026 10:%1:00").arg(period + 1, 2, 10, QChar('0')),
                       FormatNumber(sums[0] / 6.0f, "0.0"), FormatNumber(sums[1] / 6.0f, "0.0"),
                       FormatNumber(sums[2] / 6.0f, "0.0"), FormatNumber(sums[3] / 6.0f, "0.0")}));
        EXPECT_NEAR(fields[4].toDouble(), sky / 6, 0.5);
        for (int channel = 1; channel < 8; ++channel)
            EXPECT_NEAR(fields[4 + channel].toDouble() / fields[4].toDouble(), 1.0, 0.03);
    }
}

} // namespace
