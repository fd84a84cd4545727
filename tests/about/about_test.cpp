// The about box: the program's version line with the date of its own file, and the
// instrument snapshot with what goes on the wire for each model and malformed reply.
#include "Instrument.h"
#include "LocaleGuard.h"
#include "QtPrinters.h"
#include "ScriptedLine.h"
#include "SimulatedLine.h"
#include "about/ui/LineBreakLabel.h"
#include "about/ui/frmAbout.h"
#include "link/SensorLink.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The virtual clock's present (1 June 2026, 10:00) as the first snapshot line, en_GB.
const QString NowLine("Monday, 1 June 2026  10:00");

// A link on virtual time with port 1 open and the instrument identified.
struct Bench
{
    // A far end that identifies itself as `version` (serial 5523) and answers the
    // test-mode commands "X" CR and "T" CR LF as given.
    Bench(const QByteArray &version, const QByteArray &xReply, const QByteArray &tReply)
        : far(std::make_unique<ScriptedLine>(port.addLine(1)))
    {
        far->on("R", "\r\n\xAF");
        far->on("I", "I" + version + "\rUnits: W.m-2\rBattery 3612mV\r5523\rLogging\r");
        far->on("T", "\r\nTEST:");
        far->on("X\r", xReply);
        far->on("T\r\n", tReply);
        identify();
    }

    // A simulated instrument of `model`.
    explicit Bench(SimModel model)
        : instrument(std::make_unique<Instrument>(clock, model)),
          simulated(std::make_unique<SimulatedLine>(*instrument, port.addLine(1)))
    {
        identify();
    }

    void identify()
    {
        link.setCommPort(1);
        EXPECT_TRUE(link.GetStatus());
        port.line(1)->clearWritten();
    }

    QByteArray written() { return port.line(1)->written(); }

    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    std::unique_ptr<ScriptedLine> far;
    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<SimulatedLine> simulated;
};

const ProgramFacts Facts{QStringLiteral("Quorvel"), 1, 0, 0, QString()};

struct SnapshotCase
{
    const char *name;
    QByteArray version;
    QByteArray xReply;
    QByteArray tReply;
    QString instrumentLines; // what follows "Version: " and the version
    QByteArray written;
};

TEST(About, SnapshotPerModelAndReply)
{
    const LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QByteArray serial = "X\r0: 5523\r1: 2025-03-14\rTEST:";
    const QByteArray ratio = "T\rSunshine ratio 1.21\rTEST:";
    const SnapshotCase cases[] = {
        {"ZQ2: nothing sent", "ZQ2 v1.0", serial, ratio, "", ""},
        {"ZQ3: nothing sent", "ZQ3 v2.1", serial, ratio, "", ""},
        {"ZQ5: both fields and the ratio", "ZQ5 v3.2", serial, ratio,
         "\r\nSerial No: 5523\r\nCalibrated: 2025-03-14\r\nSunshine ratio:  1.21", "RTX\rT\r\n"},
        {"field 1 missing", "ZQ5 v3.2", "X\r0: 5523\rno date\rTEST:", ratio,
         "\r\nSerial No: 5523\r\nCalibrated: \r\nSunshine ratio:  1.21", "RTX\rT\r\n"},
        {"field 0 missing", "ZQ4 v1.1", "X\r1: 2025-03-14\rTEST:", ratio,
         "\r\nSerial No: \r\nCalibrated: 2025-03-14\r\nSunshine ratio:  1.21", "RTX\rT\r\n"},
        {"short reply to X", "ZQ4 v1.1", "X?\rTEST:", ratio, "\r\nSunshine ratio:  1.21",
         "RTX\rT\r\n"},
        {"reply to T without ratio", "ZQ4 v1.1", serial,
         "T?\rTEST:", "\r\nSerial No: 5523\r\nCalibrated: 2025-03-14", "RTX\rT\r\n"},
        {"ratio at the very end", "ZQ4 v1.1", serial, "T\rratio1.2\rTEST:",
         "\r\nSerial No: 5523\r\nCalibrated: 2025-03-14\r\nSunshine ratio: 1.2", "RTX\rT\r\n"},
    };
    for (const SnapshotCase &c : cases) {
        SCOPED_TRACE(c.name);
        Bench bench(c.version, c.xReply, c.tReply);
        const frmAbout box(bench.link, bench.clock, Facts);
        const QString model = QString::fromLatin1(c.version.left(3));
        EXPECT_EQ(box.lblDetails->lines(),
                  NowLine + "\r\n" + model +
                      "  5523 connected on COM 1\r\n\r\nVersion: " + c.version + c.instrumentLines +
                      "\r\nUnits: W.m-2\r\nBattery: Battery 3612mV");
        EXPECT_EQ(bench.written(), c.written);
    }
}

// The simulator's ZQ5 ends its reply to "X" with the calibration date, whose line end
// the link has taken away: the date must still appear.
TEST(About, SimulatedZq5ShowsEveryDetail)
{
    Bench bench(SimModel::ZQ5);
    const frmAbout box(bench.link, bench.clock, Facts);
    const QString details = box.lblDetails->lines();
    EXPECT_TRUE(details.contains("\r\nSerial No: 5523\r\nCalibrated: 2025-03-14\r\n"))
        << details.toStdString();
    EXPECT_TRUE(details.contains("\r\nSunshine ratio:  1.21\r\n")) << details.toStdString();
}

TEST(About, CopiesTheSnapshotWithCrLfAndShowsLineBreaks)
{
    Bench bench("ZQ5 v3.2", "X\r0: 5523\r1: 2025-03-14\rTEST:", "T\rSunshine ratio 1.21\rTEST:");
    frmAbout box(bench.link, bench.clock, Facts);
    QApplication::clipboard()->clear();
    QTest::mouseClick(box.cmdCopytoClip, Qt::LeftButton);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied, box.lblDetails->lines());
    EXPECT_EQ(copied.count("\r\n"), 8);
    EXPECT_FALSE(box.lblDetails->text().contains('\r')) << "shown with plain line breaks";
    EXPECT_EQ(box.lblDetails->text().count('\n'), 8);
    EXPECT_EQ(box.windowTitle(), "About Quorvel");
    EXPECT_TRUE(box.cmdOK->isDefault());
}

// The version line shows the date of the program's own file, wherever the program was
// started from; nothing when that file cannot be read.
TEST(About, VersionLineDate)
{
    const LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = dir.filePath("quorvel");
    QFile file(program);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2025, 11, 3), QTime(9, 30)),
                                 QFileDevice::FileModificationTime));
    file.close();

    EXPECT_EQ(VersionLine({"Quorvel", 1, 5, 0, program}), "Version 1.5.0  Monday, 3 November 2025");
    EXPECT_EQ(VersionLine({"Quorvel", 1, 0, 12, dir.filePath("gone")}), "Version 1.0.12  ");
    EXPECT_EQ(VersionLine({"Quorvel", 1, 0, 0, QString()}), "Version 1.0.0  ");

    // This program's own file, looked up from another working directory.
    const QString saved = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const QString line = VersionLine(ProgramFacts::current());
    QDir::setCurrent(saved);
    const QDate built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date();
    EXPECT_EQ(line, "Version 1.0.0  " + QLocale().toString(built, QLocale::LongFormat));
}

} // namespace
