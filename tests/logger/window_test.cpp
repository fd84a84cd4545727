// SPDX-License-Identifier: GPL-3.0-or-later
// The logger window against the simulated logger: what it reads, in which order, and what
// it shows for loggers that log, have stopped, hold nothing, or answer badly or at random;
// its clock tick, its period lists, its memory bar, closing it, and its hand-over with the
// main window; setting the logger's clock and starting and stopping logging, with the
// packets byte for byte and the default start times.
#include "LoggerFixture.h"

#include "logger/LoggerTimeStamp.h"
#include "logger/LoggingStart.h"
#include "logger/MemoryBar.h"
#include "logger/ui/frmTimeDialog.h"

#include <QApplication>
#include <QDateEdit>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimeEdit>

#include <algorithm>
#include <functional>
#include <tuple>

namespace {

const QColor Light = QColor::fromRgb(MemoryBar::DownloadedRgb);
const QColor Dark = QColor::fromRgb(MemoryBar::NotDownloadedRgb);

QString Items(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->itemText(i));
    return texts.join(' ');
}

class LoggerWindowTest : public LoggerFixture
{
protected:
    // The dataset, the memory-full estimate, the program and the counts as the window
    // shows them.
    QString panel(bool withEstimate = true) const
    {
        const bool logging = !ui().lblMemoryFull->isHidden();
        const QString estimate =
            logging ? text(ui().lblMemoryFullAt) + ' ' + text(ui().lblMemoryFull)
                    : text(ui().lblEstimatedFullAt) + ' ' + text(ui().lblEstimatedFull);
        return QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 %8 | %9")
            .arg(text(ui().lblNextRdg), text(ui().lblFirstRecord), text(ui().lblLastRecord),
                 text(ui().lblRetrieved), withEstimate ? estimate : "estimate",
                 ui().cmdStartLogging->text(), ui().cboRdg->currentText(),
                 ui().cboAvg->currentText(), ui().chkOverwrite->isChecked() ? "overwrite" : "keep")
            .append(window->details().known() ? QStringLiteral(" | %1 | %2")
                                                    .arg(state().RecordsLogged)
                                                    .arg(state().RecordsRetrieved)
                                              : QStringLiteral(" | unknown"));
    }
};

const char *const Logging = "01-Jun-26 10:01:00 | 01-Jun-26 00:54:00 | 01-Jun-26 10:00:00 | "
                            "01-Jun-26 05:26:00 | Memory full at 28-Aug-26 22:13:00 | "
                            "Stop logging | 10s 1m | keep | 547 | 273";

TEST_F(LoggerWindowTest, ALoggingLoggerIsReadCommandByCommand)
{
    open();
    QStringList sent;
    for (const SimHeardFrame &frame : frames())
        sent << QStringLiteral("%1@%2:%3")
                    .arg(frame.command)
                    .arg(frame.address)
                    .arg(hex(frame.data));
    EXPECT_EQ(sent.join(' '), "15@0: 12@0: 10@0: 14@0: 18@10:0C 00 22@14:00 02 18@12:0C 00");
    EXPECT_EQ(text(ui().lblSerial), "5523\nZQ5 v3.2\nW.m-2\n3612mV\n512kB");
    EXPECT_EQ(text(ui().lblLoggerTime) + ui().txtLoggerTime->text(),
              "01-Jun-26 10:00:0001-Jun-26 10:00:00");
    // 547 records from 00:54, one a minute; offset 100 of block 12 is its 23rd record.
    // Memory full once the 127453 free slots have filled after the last record.
    EXPECT_EQ(panel(), Logging);
    EXPECT_FALSE(ui().cboRdg->isEnabled() || ui().cboAvg->isEnabled() ||
                 ui().chkOverwrite->isEnabled());
    EXPECT_EQ(QList<QColor>({ui().lblFirstRecord->palette().color(QPalette::WindowText),
                             ui().lblLastRecord->palette().color(QPalette::WindowText),
                             ui().lblRetrieved->palette().color(QPalette::WindowText),
                             ui().Bar1->palette().color(QPalette::Window),
                             ui().Bar2->palette().color(QPalette::Window)}),
              QList<QColor>({Light, Dark, Light, Light, Dark}));
    // 273 and 274 of 128000 records on a 300-pixel scale: a pixel each.
    const QRect inner = ui().Picture1->contentsRect();
    EXPECT_EQ(QList<QRect>({ui().Bar1->geometry(), ui().Bar2->geometry()}),
              QList<QRect>({QRect(inner.left(), inner.top(), 1, inner.height()),
                            QRect(inner.left() + 1, inner.top(), 1, inner.height())}));
    EXPECT_EQ(ui().StatusBar1->currentMessage(), link.Status());
    EXPECT_TRUE(window->isEnabled() && window->Timer1.interval() == 1000 &&
                window->Timer1.isActive() && !QApplication::overrideCursor());

    // The next read waits 25 ms before each packet; the first read did not.
    const double firstGap = frames().at(1).at - frames().at(0).at;
    frames().clear();
    click(ui().cmdRefresh);
    ASSERT_EQ(frames().size(), 7);
    EXPECT_NEAR(frames().at(1).at - frames().at(0).at - firstGap, 0.025, 0.002);
    // A supply of 1600 mV or less is marked.
    instrument->state().identity().powerMillivolts = 1600;
    click(ui().cmdRefresh);
    EXPECT_EQ(text(ui().lblSerial), "5523\nZQ5 v3.2\nW.m-2\n!! 1600mV !!\n512kB");
}

TEST_F(LoggerWindowTest, WhatTheWindowShowsFollowsTheLogger)
{
    const auto fiveMinuteBlocks = [this] {
        plant(10, {{At(6, 1, 0, 54), 250}, {At(6, 1, 5, 10), 297, 0x05, 0x45}}, 0x02, 12, 100);
    };
    // How the logger is set up, what the window shows, and how many frames the read takes.
    // clang-format off
    const std::tuple<std::function<void()>, const char *, int> cases[] = {
        // Later blocks of five-minute records are dated with their own periods.
        {fiveMinuteBlocks,
         "02-Jun-26 05:55:00 | 01-Jun-26 00:54:00 | 02-Jun-26 05:50:00 | 01-Jun-26 07:00:00 | Memory full at 18-Aug-27 18:55:00 | Stop logging | 5s 5m | keep | 547 | 273", 7},
        // From the last record downloaded (05:26, slot 22 of block 12) to the start of its
        // erase sector (block 0): 1012 blocks less its 22 records.
        {[this] { plantLoggingDataset(0x03); },
         "01-Jun-26 10:01:00 | 01-Jun-26 00:54:00 | 01-Jun-26 10:00:00 | 01-Jun-26 05:26:00 | New data overwritten 28-Aug-26 01:24:00 | Stop logging | 10s 1m | overwrite | 547 | 273", 7},
        // From the start of the current minute on the logger's clock, 128000 minutes on.
        {[this] { plantLoggingDataset(0x00); },
         "Not Logging | 01-Jun-26 00:54:00 | 01-Jun-26 10:00:00 | 01-Jun-26 05:26:00 | Predicted memory full 29-Aug-26 07:20:00 | Start Logging | 10s 1m | keep | 547 | 273", 7},
        // Nothing more is read once the dataset has no start; the estimate then counts from
        // the record before the next, not from a last record of day 0.
        {[this] { logger().memory().erase(10); },
         "01-Jun-26 10:01:00 | No valid data |  |  | Memory full at 29-Aug-26 07:20:00 | Stop logging | 10s 1m | keep | 0 | 0", 5},
        // Logging, but neither a record nor the next one's time: nothing to count from.
        {[this] {
             plantLoggingDataset(0x03);
             logger().memory().erase(10);
             SimFaults faults;
             faults.replyData[14] = QByteArray(24, '\0');
             instrument->setFaults(faults);
         },
         "Not Logging | No valid data |  |  | New data overwritten No records yet | Stop logging | 10s 1m | overwrite | 0 | 0", 5},
        // A memory of no blocks is no memory size: nothing is counted or estimated.
        {[this] {
             SimFaults faults;
             faults.replyData[15] = QByteArray(2, '\0');
             instrument->setFaults(faults);
         },
         "Error retrieving program | Error retrieving program |  |  | Memory full at unknown | Start &Logging |   | keep | unknown", 2},
        // Periods select the first list entry not shorter: 3 s and 7 s; an averaging
        // period read as shorter is raised to the reading period; 48 h are beyond the list.
        {[this] { plant(10, {{At(6, 1, 9), 10, 0x03, 0x07}}, 0x00, 10, 8); },
         "Not Logging | 01-Jun-26 09:00:00 | 01-Jun-26 09:01:03 |  | Predicted memory full 16-Jun-26 05:33:20 | Start Logging | 5s 10s | keep | 10 | 0", 6},
        {[this] { plant(10, {{At(6, 1, 9), 10, 0x41, 0x05}}, 0x00, 10, 8); },
         "Not Logging | 01-Jun-26 09:00:00 | 01-Jun-26 09:09:00 |  | Predicted memory full 29-Aug-26 07:20:00 | Start Logging | 1m 1m | keep | 10 | 0", 6},
        {[this] { plant(10, {{At(6, 1, 9), 10, 0x01, 0xB0}}, 0x00, 10, 8); },
         "Not Logging | 01-Jun-26 09:00:00 | 19-Jun-26 09:00:00 |  | Predicted memory full 28-Apr-27 00:00:00 | Start Logging | 1s  | keep | 10 | 0", 6},
        // Logging every 20 s, a period the lists lack: they show the nearest entry, but
        // memory is full 127453 records of 20 s after the last.
        {[this] { plant(10, {{At(6, 1, 6, 58), 547, 0x0A, 0x14}}, 0x02, 12, 100); },
         "01-Jun-26 10:00:20 | 01-Jun-26 06:58:00 | 01-Jun-26 10:00:00 | 01-Jun-26 08:28:40 | Memory full at 30-Jun-26 22:04:20 | Stop logging | 10s 30s | keep | 547 | 273", 7},
    };
    // clang-format on
    for (const auto &[setUp, shown, reads] : cases) {
        setUp();
        frames().clear();
        open();
        EXPECT_EQ(panel(), shown);
        EXPECT_EQ(frames().size(), reads);
        EXPECT_EQ(text(ui().lblSerial).endsWith("\nunknown"), !window->details().known());
        EXPECT_TRUE(Items(ui().cboAvg).startsWith(ui().cboRdg->currentText()));
        plantLoggingDataset();
        instrument->setFaults({});
    }

    // A reading period the user picks rebuilds the averaging list from it; back to a
    // short one, the averaging period stays the first not shorter than before.
    plant(10, {{At(6, 1, 9), 10, 0x01, 0x05}}, 0x00, 10, 8);
    open();
    ui().cboRdg->setCurrentIndex(7); // "10m"
    EXPECT_EQ(Items(ui().cboAvg) +
                  QStringLiteral(" / %1 %2").arg(state().LogPeriod).arg(state().AvgPeriod),
              "10m 30m 1h 3h 6h 12h 24h / 600 600");
    ui().cboRdg->setCurrentIndex(0);
    const QString back =
        QStringLiteral("%1 %2").arg(ui().cboAvg->count()).arg(ui().cboAvg->currentText());
    ui().cboAvg->setCurrentIndex(ui().cboAvg->findText("6h"));
    EXPECT_EQ(back + QStringLiteral(" %1").arg(state().AvgPeriod), "14 10m 21600");
}

// The logger's own slot and block rules (records up to an offset, the last record before
// the first empty slot, the records before overwrite, the schedule when not logging)
// against what the simulated logger's memory holds and does. Not logging, the computer's
// clock stands 700 ms into a second and the logger's 60 s ahead.
TEST_F(LoggerWindowTest, TheLoggersSlotAndBlockRulesCountWhatItsMemoryHolds)
{
    // Memory blocks, records of one minute planted from block 1 (0 with 1024 blocks, the
    // start of an erase sector), the program's flags, the download position.
    // clang-format off
    const std::tuple<int, int, quint8, int, int> cases[] = {
        {1024, 126, 0x02, 1, 12},  {1024, 250, 0x02, 1, 508}, {1024, 547, 0x03, 0, 100},
        {4, 300, 0x03, 2, 100},    {4, 300, 0x03, 1, 8},      {4, 130, 0x00, 1, 16},
    };
    // clang-format on
    for (const auto &[blocks, records, flags, downloadBlock, downloadAddress] : cases) {
        SCOPED_TRACE(records);
        clock.setNow(At(6, 1, 10));
        useLogger(blocks);
        plant(blocks == 1024 ? 0 : 1, {{At(6, 1, 10).addSecs(-60 * records), records}}, flags,
              downloadBlock, downloadAddress);
        const bool logging = flags != 0;
        if (!logging) {
            logger().clock().setTo(LoggerSeconds(clock.now()) + 60);
            clock.setNow(At(6, 1, 10).addMSecs(700));
        }
        open();
        // The logger's clock as the window runs it on: its seconds turn with the logger's.
        clock.advanceSeconds(0.3);
        window->Timer1_Timer();
        EXPECT_EQ(
            text(ui().lblLoggerTime),
            FormatLoggerTime(
                DateTimeToDays(SimLocalTime::dateTimeOf(logger().clock().nowSeconds())), true));
        const QList<SimLoggedRecord> dataset = logger().datasetRecords();
        const auto shown = [](const QDateTime &time) {
            return FormatLoggerTime(DateTimeToDays(time), true);
        };
        qsizetype downloaded = 0;
        while (downloadAddress >= 12 && downloaded < dataset.size() &&
               !(dataset[downloaded].block == downloadBlock &&
                 SimBlock::slotOffset(dataset[downloaded].slot) == downloadAddress))
            ++downloaded;
        const QString retrieved =
            downloadAddress >= 12 ? shown(dataset[downloaded++].time) : QString();
        EXPECT_EQ(QStringLiteral("%1 %2 %3 %4")
                      .arg(state().RecordsLogged)
                      .arg(state().RecordsRetrieved)
                      .arg(text(ui().lblLastRecord), text(ui().lblRetrieved)),
                  QStringLiteral("%1 %2 %3 %4")
                      .arg(dataset.size())
                      .arg(downloaded)
                      .arg(shown(dataset.last().time), retrieved));

        // The memory-full time: the last record stored (started, when not logging, at the
        // start of the logger's current minute), or the record that overwrites the first
        // one not yet downloaded.
        const QString estimate = text(logging ? ui().lblMemoryFull : ui().lblEstimatedFull);
        SimRecorder &recorder = logger().recorder();
        if (!logging) {
            SimProgram program = recorder.program();
            program.flags = SimProgram::LoggingFlag;
            program.start = logger().clock().nowSeconds() / 60 * 60;
            recorder.start(program);
        }
        if ((flags & 0x01) == 0)
            clock.advanceSeconds(400 * 86400.0);
        while ((flags & 0x01) != 0 && recorder.pointers().downloadBlock == downloadBlock &&
               recorder.pointers().downloadAddress == downloadAddress) {
            clock.advanceSeconds(60);
            logger().update();
        }
        const QDateTime full =
            (flags & 0x01) == 0
                ? logger().datasetRecords().last().time
                : SimLocalTime::dateTimeOf(
                      SimBlock::Header::read(logger().memory().block(recorder.pointers().logTop))
                          .stamp.toSeconds()
                          .value_or(0));
        EXPECT_EQ(estimate, shown(full));
    }
}

TEST_F(LoggerWindowTest, ClockColoursFollowTheOffsetInclusiveOfTheirLimits)
{
    // Offset; red text, red background. The logger's clock counts whole seconds: read a
    // moment later, 300 s ahead is a little less. The text box mirrors the label.
    // clang-format off
    const std::tuple<qint64, bool, bool> cases[] = {
        {300, false, false}, {-299, false, false}, {301, true, false}, {3900, true, false}, {3901, false, true}, {-3901, false, true}};
    // clang-format on
    for (const auto &[offset, redText, redPaper] : cases) {
        logger().clock().setTo(LoggerSeconds(clock.now()) + offset);
        open();
        const QPalette normal = QApplication::palette(ui().lblLoggerTime);
        const QPalette label = ui().lblLoggerTime->palette();
        const QPalette box = ui().txtLoggerTime->palette();
        EXPECT_EQ(QList<QColor>({label.color(QPalette::WindowText), label.color(QPalette::Window),
                                 box.color(QPalette::Text), box.color(QPalette::Base)}),
                  QList<QColor>({redText ? Qt::red : normal.color(QPalette::WindowText),
                                 redPaper ? Qt::red : normal.color(QPalette::Window),
                                 redText ? Qt::red : normal.color(QPalette::WindowText),
                                 redPaper ? Qt::red : normal.color(QPalette::Window)}))
            << offset;
        EXPECT_EQ(ui().lblLoggerTime->autoFillBackground(), redPaper);
    }
}

// One spoilt reply: the read ends in time and the part that reply stood for shows its
// failure. Without the memory size, program, status or a block of the dataset the
// logger's details are unknown: no default program, no estimate, no bar, and Download
// and Start say that a Refresh is needed. The next read with a good line is whole again.
TEST_F(LoggerWindowTest, ASpoiltReplyFailsItsExchangeAndTheWindowSaysSo)
{
    const QString unknown = "Error retrieving program | Error retrieving program |  |  | "
                            "estimate | Stop logging |   | keep | unknown";
    const auto program = [](SimFaults &faults, int logTop) {
        QByteArray data = QByteArray::fromHex("0a004100000200000c006400");
        Frame::appendLe16(data, static_cast<quint16>(logTop));
        faults.replyData[10] = data;
    };
    // The fault, and the panel after it (the estimate moves with the time the failures
    // take): a program naming a block beyond the 1024 of the memory is no program.
    // clang-format off
    const std::tuple<quint8, std::function<void(SimFaults &)>, QString, QString> cases[] = {
        {15, {}, unknown, "Command 15: "},
        {12, {}, "01-Jun-26 10:01:00 | 01-Jun-26 00:54:00 | 01-Jun-26 10:00:00 | 01-Jun-26 05:26:00 | estimate | Stop logging | 10s 1m | keep | 547 | 273", "Command 12: "},
        {10, {}, unknown, "Command 10: "},
        {14, {}, "Error retrieving time" + unknown.mid(24), "Command 14: "},
        {18, {}, "01-Jun-26 10:01:00 | Error retrieving data |  |  | estimate | Stop logging |   | keep | unknown", "Command 18: "},
        {22, {}, "01-Jun-26 10:01:00 | 01-Jun-26 00:54:00 |  |  | estimate | Stop logging |   | keep | unknown", "Command 22: block 14, "},
        {0, [&](SimFaults &f) { program(f, 1024); }, unknown, "Command 10: LogTop 1024 is beyond the memory of 1024 blocks"},
        {0, [&](SimFaults &f) { program(f, 1023); }, "01-Jun-26 10:01:00 | No valid data |  |  | estimate | Stop logging | 10s 1m | keep | 0 | 0", ""},
    };
    // clang-format on
    using S = SpoiltFrame;
    open();
    for (const auto &[command, fault, shown, status] : cases) {
        QList<S> spoilt = {S::Silent, S::LengthTooShort, S::LengthTooLong, S::Length255,
                           S::BadCrc, S::OtherCommand,   S::ShortReply,    S::NoiseFirst};
        if (command == 22) // and a block whose CRC fails
            spoilt += {S::TruncatedBlock, S::OtherAddress, S::None};
        if (command == 0)
            spoilt = {S::None};
        for (const S how : spoilt) {
            SCOPED_TRACE(testing::Message() << int(command) << " spoilt " << int(how));
            // Each spoilt question is asked three times: the wall clock starts each case
            // afresh, before the logger's next record.
            clock.setNow(At(6, 1, 10));
            SimFaults faults;
            faults.spoiltFrames[command] = how;
            faults.corruptBlock = FaultSchedule::everyNth(how == S::None && command ? 1 : 0);
            if (fault)
                fault(faults);
            instrument->setFaults(faults);
            const double t0 = clock.monotonicSeconds();
            frames().clear();
            click(ui().cmdRefresh);
            EXPECT_LT(clock.monotonicSeconds() - t0, 12.0);
            EXPECT_TRUE(window->isEnabled() && link.requestsIdle());
            EXPECT_EQ(panel(false), shown);
            // A spoilt question is asked three times in all.
            EXPECT_EQ(std::count_if(frames().begin(), frames().end(),
                                    [&](const SimHeardFrame &f) { return f.command == command; }),
                      command ? LoggerPackets::ReadAttempts : 0);
            EXPECT_TRUE(ui().StatusBar1->currentMessage().startsWith(status))
                << ui().StatusBar1->currentMessage().toStdString();
            EXPECT_EQ(text(ui().lblLoggerTime).startsWith("01-Jun-26 10:00:"), command != 12);
            EXPECT_EQ(window->Timer1.isActive(), command != 12) << "no clock without a clock read";
            EXPECT_EQ(text(ui().lblSerial).endsWith("\nunknown"), command == 15);
            const bool known = window->details().known();
            EXPECT_EQ(ui().Picture1->toolTip().endsWith("press Refresh to read it again"), !known);
            EXPECT_TRUE(known ||
                        (ui().Bar2->width() == 0 && text(ui().lblEstimatedFull) == "unknown" &&
                         text(ui().lblMemoryFull) == "unknown"));
            instrument->setFaults({});
            click(ui().cmdRefresh);
            EXPECT_EQ(panel(), Logging);
            EXPECT_TRUE(window->Timer1.isActive());
        }
    }

    // Download and Start with the program unknown: Download reads the details again, as
    // often as a failed block is asked for again, and opens its dialog once a read
    // succeeds; otherwise both say a Refresh is needed and send nothing to the logger.
    int dialogs = 0;
    window->runDialog = [&](QDialog &) { ++dialogs; };
    for (const int lostReads : {4 * LoggerPackets::ReadAttempts, 3 * LoggerPackets::ReadAttempts}) {
        SimFaults faults;
        faults.spoiltFrames[10] = S::Silent;
        instrument->setFaults(faults);
        click(ui().cmdRefresh);
        frames().clear();
        window->cmdDownload_Click();
        runLink([&] {
            if (std::count_if(frames().begin(), frames().end(),
                              [](const SimHeardFrame &f) { return f.command == 10; }) >= lostReads)
                instrument->setFaults({});
            return false;
        });
        EXPECT_EQ(dialogs, lostReads < 4 * LoggerPackets::ReadAttempts ? 1 : 0);
    }
    SimFaults faults;
    faults.spoiltFrames[10] = S::Silent;
    instrument->setFaults(faults);
    click(ui().cmdRefresh);
    frames().clear();
    window->cmdStartLogging_Click();
    runLink();
    EXPECT_EQ(dialogs, 1);
    QStringList sent;
    for (const SimHeardFrame &frame : frames())
        sent << QString::number(frame.command);
    EXPECT_EQ(sent.join(' '), "15 12 10 10 10");
    ASSERT_EQ(prompts.calls().size(), 2);
    for (const auto &call : prompts.calls())
        EXPECT_TRUE(call.text.startsWith("The logger's program could not be read (Command 10: ") &&
                    call.text.endsWith("Press Refresh to read it again first."))
            << call.text.toStdString();
    EXPECT_EQ(QStringList({prompts.calls().at(0).title, prompts.calls().at(1).title}),
              QStringList({"Download", "Start Logging"}));
    prompts.clear();
}

TEST_F(LoggerWindowTest, TheClockAndNextRecordMoveEverySecondAndAFullTopBlockIsReadAgain)
{
    logger().clock().setTo(LoggerSeconds(clock.now()) - 3600);
    plant(10, {{At(6, 1, 0, 54).addSecs(-3600), 547}}, 0x02, 12, 100);
    open();
    clock.advanceSeconds(2);
    window->Timer1_Timer();
    EXPECT_EQ(text(ui().lblLoggerTime) + ui().txtLoggerTime->text() + text(ui().lblNextRdg),
              "01-Jun-26 09:00:0201-Jun-26 09:00:0201-Jun-26 09:01:00");
    // The record at 09:01 is due: the labels move on by one period; far behind, the next
    // record moves two periods at most.
    clock.setNow(At(6, 1, 10, 1).addMSecs(500));
    window->Timer1_Timer();
    EXPECT_EQ(text(ui().lblNextRdg) + text(ui().lblLastRecord) + QString::number(state().TopFill),
              "01-Jun-26 09:02:0001-Jun-26 09:01:00200");
    clock.setNow(At(6, 1, 10, 30));
    window->Timer1_Timer();
    EXPECT_EQ(text(ui().lblNextRdg) + QString::number(state().TopFill), "01-Jun-26 09:04:00204");
    EXPECT_EQ(frames().size(), 7);

    // A top block that fills up: the tick reads everything again and finds the block
    // the logger has begun since.
    plant(10, {{At(6, 1, 9, 30).addSecs(-624 * 60), 625}}, 0x02, 12, 100);
    click(ui().cmdRefresh);
    const qint64 fullTop = state().TopFill;
    clock.setNow(At(6, 1, 10, 31, 1));
    window->Timer1_Timer(), runLink();
    EXPECT_EQ(QList<qint64>({fullTop, frames().size(), state().LogTop, state().TopFill}),
              QList<qint64>({508, 21, 15, 12}));

    // A logger averaging every 20 s (the lists show 30s): the tick moves the next and
    // last records on by its own period. (Its clock, read a moment late, is a little
    // behind: the ticks come a second after each record.)
    plant(10, {{At(6, 1, 9, 31).addSecs(-546 * 20), 547, 0x0A, 0x14}}, 0x02, 12, 100);
    click(ui().cmdRefresh);
    for (const int second : {21, 41}) {
        clock.setNow(At(6, 1, 10, 31, second));
        window->Timer1_Timer(), runLink();
    }
    EXPECT_EQ(text(ui().lblNextRdg) + text(ui().lblLastRecord) + ui().cboAvg->currentText(),
              "01-Jun-26 09:32:0001-Jun-26 09:31:4030s");
}

TEST_F(LoggerWindowTest, ASequenceRunsToItsEndWhateverComesMeanwhile)
{
    // What comes while the third packet of a read (the load's, or a Refresh's) is on its
    // way: a close, which gives the instrument back at once, drops a click waiting behind
    // the read and leaves no clock ticking behind the main window, the read ending all the
    // same; the window deleted, whose
    // requests end without touching it; a click on Stop logging, which runs after the
    // read, not in the middle of its packets, and says why when its reply did not come.
    logger().clock().setTo(LoggerSeconds(clock.now()) + 1800);
    enum Meanwhile { Close, Delete, Stop, FailedStop };
    const QString read = "15 12 10 14 18 22 18";
    const std::tuple<bool, Meanwhile, QString> cases[] = {
        {false, Close, read},
        {true, Close, read},
        {false, Delete, "15 12 10"},
        {true, Delete, "15 12 10"},
        {false, Stop, read + " 11 " + read},
        {false, FailedStop, read + " 11 " + read},
    };
    for (const auto &[loading, meanwhile, sent] : cases) {
        SCOPED_TRACE(testing::Message() << loading << meanwhile);
        plantLoggingDataset();
        SimFaults faults;
        faults.spoiltFrames[11] = SpoiltFrame::Silent;
        instrument->setFaults(meanwhile == FailedStop ? faults : SimFaults());
        window = std::make_unique<frmLogger>(link, clock, prompts, [this] { ++giveBacks; });
        if (!loading)
            open();
        frames().clear();
        giveBacks = 0;
        loading ? window->Form_Load() : ui().cmdRefresh->click();
        runLink([&] { return frames().size() == 3; });
        // Busy: the pointer says so, and a tick an hour on leaves the labels to the read.
        const QString shown = text(ui().lblLoggerTime) + text(ui().lblNextRdg);
        const QDateTime now = clock.now();
        clock.setNow(now.addSecs(3600));
        window->Timer1_Timer();
        clock.setNow(now);
        EXPECT_TRUE(window->busy() && window->cursor().shape() == Qt::WaitCursor &&
                    text(ui().lblLoggerTime) + text(ui().lblNextRdg) == shown);
        if (meanwhile == Delete)
            window.reset();
        else
            ui().cmdStartLogging->click();
        // A close drops the click that waits.
        if (meanwhile == Close)
            window->close();
        runLink();
        QStringList commands;
        for (const SimHeardFrame &frame : frames())
            commands << QString::number(frame.command);
        EXPECT_EQ(commands.join(' '), sent);
        EXPECT_TRUE(link.requestsIdle());
        EXPECT_EQ(giveBacks, meanwhile == Close ? 1 : 0);
        if (!window)
            continue;
        EXPECT_EQ(window->isVisible() && window->Timer1.isActive(), meanwhile != Close);
        EXPECT_TRUE(!window->busy() && window->cursor().shape() == Qt::ArrowCursor);
        EXPECT_TRUE(text(ui().lblLoggerTime).startsWith("01-Jun-26 10:30:0"));
        // A stop whose reply was lost: the read after it shows what the logger does.
        EXPECT_EQ(ui().cmdStartLogging->text(),
                  QString(meanwhile >= Stop ? "Start Logging" : "Stop logging"));
        EXPECT_EQ(ui().StatusBar1->currentMessage().startsWith(
                      "Start Logging failed: Command 11: no reply frame ("),
                  meanwhile == FailedStop);
    }

    // Before its first read the lists hold their initial entries; shown, the window
    // reads once it is on the screen, and once only. Closed before its first read, it
    // stays closed and reads nothing.
    for (const bool closing : {false, true}) {
        window = std::make_unique<frmLogger>(link, clock, prompts, [this] { ++giveBacks; });
        EXPECT_EQ(Items(ui().cboRdg) + Items(ui().cboAvg),
                  "1s 2s 5s 10s 30s 1m 5m 10m 30m 1h1s 2s 5s 10s 30s 1m 5m 10m 30m 1h");
        frames().clear();
        window->show();
        if (closing)
            window->close();
        QApplication::processEvents();
        window->hide();
        window->show();
        QApplication::processEvents();
        runLink();
        EXPECT_EQ(frames().size(), closing ? 0 : 7);
    }
    EXPECT_EQ(giveBacks, 1);
}

double Days(const QDateTime &time)
{
    return DateTimeToDays(time);
}

TEST(LoggingStartTest, DefaultStartIsTheNextHourOrTheNextMultipleOfALongerPeriod)
{
    // Logger time, averaging period: the start's seconds from the day's midnight.
    // clang-format off
    // The next whole hour past 23:30 is the next day's midnight; 09:59:59.6 counts as
    // 10:00:00; no period counts as an hour.
    const std::tuple<QDateTime, qint32, int> cases[] = {
        {At(6, 1, 10, 30), 600, 11 * 3600}, {At(6, 1, 23, 30), 600, 86400}, {At(6, 1, 10), 3600, 11 * 3600},
        {At(6, 1, 9, 10), 7200, 10 * 3600}, {At(6, 1, 10), 7200, 12 * 3600}, {At(6, 1, 20), 43200, 86400},
        {At(6, 1, 9, 59, 59).addMSecs(600), 60, 11 * 3600}, {At(6, 1, 10, 15), 0, 11 * 3600},
    };
    // clang-format on
    for (const auto &[now, period, seconds] : cases) {
        const LoggingStart::Pickers pickers = LoggingStart::DefaultStart(Days(now), period);
        EXPECT_DOUBLE_EQ(pickers.date, Days(At(6, 1, 0)));
        EXPECT_NEAR(pickers.time * 86400, seconds, 1e-6) << now.toString().toStdString();
    }
}

// The clock and start buttons against a logger with records not yet downloaded whose
// clock runs 90 s ahead: the question they ask first, the dialog, the packet sent, and the
// logger's own clock and logging state read back afterwards.
using LoggerButtonsTest = LoggerFixture;

TEST_F(LoggerButtonsTest, TheClockAndStartButtonsAskFirstAndSendTheChosenTime)
{
    const QString setTimeWhileLogging = "If you adjust the time while logging,\r\nyour dataset "
                                        "may show gaps or repeat readings.\r\nAre you sure you "
                                        "want to change the time?";
    const QString startBeforeDownload = "You have not downloaded all your data. \r\nThis may be "
                                        "deleted if you start logging now.\r\nAre you sure you "
                                        "want to continue?";
    const QDateTime picked[] = {QDateTime(QDate(2024, 12, 31), QTime(23, 59, 58)),
                                At(6, 1, 12, 30)};
    // The start button rather than the clock's, the program's flags, the answer to the
    // question, a picked time rather than now, OK rather than Cancel; the question, and
    // the data sent before its time stamp ("-" for no packet).
    // clang-format off
    const std::tuple<bool, quint8, bool, bool, bool, QString, const char *> cases[] = {
        {false, 0x02, false, false, true, setTimeWhileLogging, "-"},
        {false, 0x02, true, false, true, setTimeWhileLogging, ""},
        {false, 0x00, false, true, true, "", ""},
        {false, 0x00, false, true, false, "", "-"},
        // Logging: the button stops at once, without a question or a dialog.
        {true, 0x02, false, false, true, "", "000000000000"},
        {true, 0x00, false, false, true, startBeforeDownload, "-"},
        // 30 s readings and 10 min averages as chosen in the lists, logging on.
        {true, 0x00, true, false, true, startBeforeDownload, "1e004a000002"},
        {true, 0x01, true, true, true, startBeforeDownload, "1e004a000003"},
    };
    // clang-format on
    for (const auto &[start, flags, answer, pick, ok, question, program] : cases) {
        SCOPED_TRACE(testing::Message() << start << int(flags) << answer << pick << ok);
        plantLoggingDataset(flags);
        logger().clock().setTo(LoggerSeconds(clock.now()) + 90);
        open();
        ui().cboRdg->setCurrentIndex(ui().cboRdg->findText("30s"));
        ui().cboAvg->setCurrentIndex(ui().cboAvg->findText("10m"));
        const auto loggerNow = [&] {
            return DateTimeToDays(clock.now()) + *window->details().clockOffset;
        };
        QByteArray stamp = QByteArray(8, '\0');
        int dialogs = 0;
        window->openDialog = [&](QDialog &dialog) {
            ++dialogs;
            auto &times = dynamic_cast<frmTimeDialog &>(dialog);
            times.show();
            EXPECT_TRUE(times.Timer1.isActive() && !ui().cmdRefresh->isEnabled() &&
                        window->cursor().shape() == Qt::ArrowCursor);
            // The computer's time to set the clock to; the logger's to start from, which
            // at 10:01:30 starts by default at the next whole hour.
            const double shown = start ? loggerNow() : DateTimeToDays(clock.now());
            EXPECT_EQ(times.lblPCTime->text(), FormatLoggerTime(shown, true));
            EXPECT_EQ(times.DTDate->date(), QDate(2026, 6, 1));
            EXPECT_TRUE(!start || times.DTTime->time() == QTime(11, 0));
            clock.advanceSeconds(2);
            stamp = LoggerTimeStamp::fromDays(start ? loggerNow() - 1.0 / 86400
                                                    : DateTimeToDays(clock.now()))
                        .encode();
            if (pick) {
                times.DTDate->setDate(picked[start].date());
                times.DTTime->setTime(picked[start].time());
                EXPECT_TRUE(times.optSet->isChecked());
                stamp = LoggerTimeStamp::fromDays(DateTimeToDays(picked[start])).encode();
            }
            (ok ? times.OKButton : times.CancelButton)->click();
            EXPECT_FALSE(times.Timer1.isActive());
        };
        prompts.answers = {answer};
        frames().clear();
        start ? window->cmdStartLogging_Click() : window->cmdSetTime_Click();
        runLink();

        EXPECT_EQ(prompts.texts(), question.isEmpty() ? QStringList() : QStringList({question}));
        EXPECT_TRUE(prompts.calls().isEmpty() ||
                    prompts.calls().at(0).title == (start ? "Start Logging" : "Set Logger Time"));
        prompts.clear();
        EXPECT_EQ(dialogs, question.isEmpty() ? flags != 0x02 || !start : answer);
        QByteArray sent = "-";
        for (const SimHeardFrame &frame : frames()) {
            if (frame.command == (start ? 11 : 13))
                sent = frame.data.toHex();
        }
        EXPECT_EQ(sent, *program == '-' ? QByteArray("-") : program + stamp.toHex());
        // The logger does what it was told: it logs once started, its clock runs from the
        // time sent.
        const double clockNow = *program != '-' ? LoggerTimeStamp::decode(stamp).toDays()
                                                : DateTimeToDays(clock.now().addSecs(90));
        EXPECT_EQ(start ? ui().cmdStartLogging->text() : text(ui().lblLoggerTime).left(15),
                  start ? (answer ? "Stop logging" : "Start Logging")
                        : FormatLoggerTime(clockNow, true).left(15));
        // The window has read the logger again and is the user's again.
        EXPECT_TRUE(frames().last().command == 18 && ui().cmdRefresh->isEnabled() &&
                    ui().cmdDownload->isEnabled() && window->Timer1.isActive());
    }
}

// Random logger replies, sound or spoilt, thrown at the window's read: it must never
// crash, never hang, always end enabled with the link free, and only ever show times or
// its own failure texts. Every reply is random: the memory size, clock, program and
// status, the blocks the program points at, the supply, and any reply spoilt now and
// then.
TEST_F(LoggerWindowTest, RandomRepliesNeverCrashHangOrShowNonsense)
{
    QRandomGenerator random(20261206);
    const auto bytes = [&](int size) {
        QByteArray random8(size, '\0');
        for (char &byte : random8)
            byte = static_cast<char>(random.bounded(256));
        return random8;
    };
    // A time stamp that is valid half of the time, anything at all otherwise.
    const auto stamp = [&] {
        return random.bounded(2) == 0 ? bytes(8)
                                      : SimTimeStamp{quint16(random.bounded(1990, 2100)),
                                                     quint16(random.bounded(0, 367)),
                                                     quint32(random.bounded(0, 86401))}
                                            .bytes();
    };
    const auto le16 = [](int value) {
        QByteArray le;
        Frame::appendLe16(le, static_cast<quint16>(value));
        return le;
    };
    const QRegularExpression time("^\\d\\d-\\S+-\\d\\d \\d\\d:\\d\\d:\\d\\d$");
    const auto timeOr = [&](const QLabel *label, const QStringList &allowed) {
        return text(label).isEmpty() || allowed.contains(text(label)) ||
               time.match(text(label)).hasMatch();
    };
    const QString noTime = "Error retrieving time";
    useLogger(SimMemory::MaxBlocks);
    open();
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        const int blocks = random.bounded(3) == 0 ? random.bounded(65536) : random.bounded(1, 2048);
        const auto block = [&] {
            return random.bounded(4) == 0 ? random.bounded(65536) : random.bounded(blocks + 1);
        };
        const int start = block();
        const int download = block();
        const int top = block();
        SimFaults faults;
        faults.replyData[15] = le16(blocks);
        faults.replyData[12] = stamp();
        faults.replyData[10] =
            bytes(6) + le16(start) + le16(download) + le16(random.bounded(65536)) + le16(top);
        faults.replyData[14] = stamp() + stamp() + bytes(8);
        for (const int number : {0, start, download, top}) {
            const int filled = random.bounded(126);
            logger().memory().write(number, 0,
                                    stamp() + bytes(4 + 4 * filled) +
                                        QByteArray(4 * (125 - filled), '\xFF'));
        }
        for (const quint8 command : {15, 12, 10, 14, 18, 22}) {
            if (random.bounded(4) == 0)
                faults.spoiltFrames[command] = static_cast<SpoiltFrame>(random.bounded(10));
        }
        faults.corruptBlock = FaultSchedule::everyNth(random.bounded(4));
        instrument->setFaults(faults);
        instrument->state().identity().powerMillivolts = random.bounded(0, 4000);

        const double t0 = clock.monotonicSeconds();
        click(ui().cmdRefresh);
        ASSERT_LT(clock.monotonicSeconds() - t0, 15.0);
        ASSERT_TRUE(window->isEnabled());
        ASSERT_TRUE(link.requestsIdle());
        const QString noProgram = "Error retrieving program";
        EXPECT_TRUE(
            timeOr(ui().lblLoggerTime, {noTime}) &&
            timeOr(ui().lblNextRdg, {noTime, "Not Logging", noProgram}) &&
            timeOr(ui().lblFirstRecord, {"Error retrieving data", "No valid data", noProgram}) &&
            timeOr(ui().lblLastRecord, {}) && timeOr(ui().lblRetrieved, {}))
            << panel().toStdString();
        // Known details are those of a real logger: blocks within its memory.
        EXPECT_TRUE(!window->details().known() ||
                    (std::min(state().RecordsLogged, state().RecordsRetrieved) >= 0 &&
                     std::max(state().StartBlock, state().LogTop) < state().MemoryBlocks));
        // A few ticks on the way, as the window's timer would run them.
        clock.advanceSeconds(random.bounded(120.0));
        window->Timer1_Timer(), runLink();
    }
}

} // namespace
