// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: the program's version line with the date of its source, its licence, and the
// instrument snapshot with what goes on the wire for each model and what it shows when
// the instrument's replies are refused. What the replies mean is the link's parser test.
#include "Bytes.h"
#include "LocaleGuard.h"
#include "QtPrinters.h"
#include "ScriptedLine.h"
#include "about/ui/LineBreakLabel.h"
#include "about/ui/frmAbout.h"
#include "link/SensorLink.h"
#include "platform/FakeEventPump.h"

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
        EXPECT_TRUE(link.GetStatus());
        far.line().clearWritten();
        box = std::make_unique<frmAbout>(link, clock, Facts);
    }

    VirtualClock clock; // 1 June 2026, 10:00
    FakeSerialPort port{clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
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
