// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: the program's version line with the date of its source, its licence, and the
// instrument snapshot with what goes on the wire for each model and what it shows when
// the instrument's replies are refused. What the replies mean is the link's parser test.
#include "Bytes.h"
#include "LocaleGuard.h"
#include "QtPrinters.h"
#include "ScriptedLine.h"
#include "SettledLink.h"
#include "VirtualLinkEvents.h"
#include "about/ui/LineBreakLabel.h"
#include "about/ui/frmAbout.h"
#include "link/SensorLink.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

const ProgramFacts Facts{QStringLiteral("Quorvel"), 1, 0, 0, QDate()};

// An instrument on virtual time that calls itself `version` (serial 5523) and answers the
// test-mode commands "X" CR and "T" CR LF as given; the box made for it; what went out.
struct Box
{
    Box(const QByteArray &version, const QByteArray &xReply, const QByteArray &tReply)
    {
        far.on("R", Prompt);
        far.on("I", "I" + version + "\rUnits: W.m-2\rBattery 3612mV\r5523\rLogging\r");
        far.on("T", "\r\nTEST:");
        far.on("X\r", xReply);
        far.on("T\r\n", tReply);
        link.setCommPort(1);
        EXPECT_TRUE(calls.status());
        far.line().clearWritten();
        box = std::make_unique<frmAbout>(link, clock, Facts);
        runLinkEvents();
    }
    void runLinkEvents()
    {
        ::runLinkEvents(clock, port, [this] { return link.requestsIdle(); });
    }

    VirtualClock clock; // 1 June 2026, 10:00
    FakeSerialPort port{clock};
    SensorLink link{port, clock};
    SettledLink calls{link, clock, port};
    ScriptedLine far{port.addLine(1)};
    std::unique_ptr<frmAbout> box;
};

TEST(About, SnapshotPerModelAndReply)
{
    const LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QByteArray serial = "X\r0: 5523\r1: 2025-03-14\rTEST:";
    const QByteArray ratio = "T\rSunshine ratio 1.21\rTEST:";
    // (version, reply to X, reply to T, what follows the version, bytes out)
    const std::tuple<QByteArray, QByteArray, QByteArray, QString, QByteArray> rows[] = {
        {"ZQ2 v1.0", serial, ratio, "", ""}, // nothing is sent to a ZQ2 or a ZQ3
        {"ZQ3 v2.1", serial, ratio, "", ""},
        {"ZQ5 v3.2", serial, ratio,
         "\r\nSerial No: 5523\r\nCalibrated: 2025-03-14\r\nSunshine ratio:  1.21", "RTX\rT\r\n"},
        {"ZQ4 v1.1", "X\r1: 2025-03-14\rTEST:", ratio,
         "\r\nSerial No: \r\nCalibrated: 2025-03-14\r\nSunshine ratio:  1.21", "RTX\rT\r\n"},
        {"ZQ4 v1.1", "X?\rTEST:", "T?\rTEST:", "", "RTX\rT\r\n"}, // both refused: no lines
    };
    for (const auto &[version, xReply, tReply, instrumentLines, written] : rows) {
        SCOPED_TRACE(xReply.toStdString());
        Box about(version, xReply, tReply);
        EXPECT_EQ(about.box->lblDetails->lines(),
                  "Monday, 1 June 2026  10:00\r\n" + version.left(3) +
                      "  5523 connected on COM 1\r\n\r\nVersion: " + version + instrumentLines +
                      "\r\nUnits: W.m-2\r\nBattery: Battery 3612mV\r\n\r\nExchanges " +
                      QString::number(written.isEmpty() ? 2 : 6) +
                      ", time-outs 0, CRC failures 0, retries 0, port losses 0, reconnects 0, "
                      "unasked bytes dropped 0");
        EXPECT_EQ(about.port.line(1)->written(), written);
    }
}

TEST(About, CopiesTheSnapshotWithCrLfAndShowsLineBreaks)
{
    Box about("ZQ5 v3.2", "X\r0: 5523\r1: 2025-03-14\rTEST:", "T\rSunshine ratio 1.21\rTEST:");
    QApplication::clipboard()->clear();
    QTest::mouseClick(about.box->cmdCopytoClip, Qt::LeftButton);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied, about.box->lblDetails->lines());
    EXPECT_EQ(copied.count("\r\n"), 10);
    EXPECT_FALSE(about.box->lblDetails->text().contains('\r')) << "shown with plain line breaks";
    EXPECT_EQ(about.box->lblDetails->text().count('\n'), 10);
    EXPECT_EQ(about.box->windowTitle(), "About Quorvel");
    EXPECT_EQ(about.box->lblLicence->text(),
              "Quorvel is free software under the GNU GPL, version 3 or later");
    EXPECT_TRUE(about.box->cmdOK->isDefault());
}

// While open, the box follows the link every second without a word to the instrument:
// a loss, the same instrument back, another one on the port; Copy takes the counts as
// they are at the click.
TEST(About, FollowsTheLinkWhileOpenWithoutExchanges)
{
    const LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    Box about("ZQ5 v3.2", "X\r0: 5523\r1: 2025-03-14\rTEST:", "T\rSunshine ratio 1.21\rTEST:");
    const QString details =
        "\r\nSerial No: 5523\r\nCalibrated: 2025-03-14\r\nSunshine ratio:  1.21";
    EXPECT_EQ(std::tuple(about.box->Timer1.interval(), about.box->Timer1.isActive()),
              std::tuple(1000, true));
    const auto counts = [](int exchanges, int losses, int reconnects) {
        return LinkCounters{exchanges, 0, 0, 0, losses, reconnects, 0}.text();
    };
    const auto shown = [&](const QString &time, const QString &status, const QString &version,
                           const QString &units, const QString &battery, const QString &count) {
        return "Monday, 1 June 2026  " + time + "\r\n" + status + "\r\n\r\nVersion: " + version +
               "\r\n" + units + "\r\nBattery: " + battery + "\r\n\r\n" + count;
    };
    // (what happens to the link and its port; the snapshot after the next refresh)
    const std::pair<std::function<void()>, QString> rows[] = {
        {[] {}, shown("10:00", "ZQ5  5523 connected on COM 1", "ZQ5 v3.2" + details, "Units: W.m-2",
                      "Battery 3612mV", counts(6, 0, 0))},
        {[&] {
             about.port.unplug();
             QCoreApplication::processEvents();
             about.clock.advanceSeconds(60);
         },
         shown("10:01", "Lost COM 1: The device has been disconnected", "", "", "",
               counts(6, 1, 0))},
        {[&] {
             about.port.replug(1);
             ASSERT_TRUE(about.link.reopenLostPort() && about.calls.status());
         },
         shown("10:01", "ZQ5  5523 connected on COM 1", "ZQ5 v3.2" + details, "Units: W.m-2",
               "Battery 3612mV", counts(8, 1, 1))},
        {[&] {
             about.far.on("I", "IZQ4 v1.1\rUnits: umol.m-2.s-1\rBattery 3400mV\r7788\rOff\r");
             ASSERT_TRUE(about.calls.status());
         },
         shown("10:01", "ZQ4  7788 connected on COM 1", "ZQ4 v1.1", "Units: umol.m-2.s-1",
               "Battery 3400mV", counts(10, 1, 1))},
    };
    for (const auto &[change, expected] : rows) {
        change();
        about.far.line().clearWritten();
        about.box->Timer1_Timer();
        EXPECT_EQ(about.box->lblDetails->lines(), expected);
        EXPECT_EQ(about.far.line().written(), "") << "a refresh talks to nobody";
    }
    // Copy: the counts at the click, not at the last refresh.
    ASSERT_TRUE(about.calls.status());
    QTest::mouseClick(about.box->cmdCopytoClip, Qt::LeftButton);
    EXPECT_TRUE(QApplication::clipboard()->text().endsWith(counts(12, 1, 1)))
        << QApplication::clipboard()->text().toStdString();
    // The status the box's own commands left (a failed one's) gives way to the one it
    // found; any other is the link's news.
    InstrumentReadout readout{
        about.link.Version(), about.link.SerialNumber(), "as found", about.link.Status(), "", ""};
    const auto statusLine = [&] {
        return SnapshotText(about.link, readout, about.clock.now()).section("\r\n", 1, 1);
    };
    EXPECT_EQ(statusLine(), "as found");
    readout.statusLeft = "TEST: prompt missing";
    EXPECT_EQ(statusLine(), about.link.Status());
    // A box closed before its readout is in hears nothing of it.
    about.box = std::make_unique<frmAbout>(about.link, about.clock, Facts);
    about.box.reset();
    about.runLinkEvents();
}

// The version line shows the date of the source the program was built from, not of its
// file (a build from git has one); nothing when it is unknown.
TEST(About, VersionLineDate)
{
    const LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(VersionLine({"Quorvel", 1, 5, 0, QDate(2025, 11, 3)}),
              "Version 1.5.0  Monday, 3 November 2025");
    EXPECT_EQ(VersionLine({"Quorvel", 1, 0, 12, QDate()}), "Version 1.0.12  ");

    const QDate source = ProgramFacts::current().sourceDate;
    ASSERT_TRUE(source.isValid());
    EXPECT_EQ(VersionLine(ProgramFacts::current()),
              "Version 1.0.0  " + QLocale().toString(source, QLocale::LongFormat));
}

} // namespace
