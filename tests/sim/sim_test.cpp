// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's own contract, as far as the program's tests do not reach it: the exact
// replies of each model (the link and logger tests read them through the program), the
// calibration dump where the program finds its factors, commands however their bytes
// arrive, and the simulator on a pseudo-terminal, from a thread of its own as the demo
// runs it and as the quorvel-sim program with its options.
#include "CommandParser.h"
#include "Instrument.h"
#include "LocaleGuard.h"
#include "PtyServer.h"
#include "QtPrinters.h"
#include "SettledLink.h"
#include "SimulatedLine.h"
#include "SimulatorProcess.h"

#include "common/DateTimeDays.h"
#include "link/SensorLink.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"
#include "platform/FakeSerialPort.h"
#include "platform/PortTable.h"
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"
#include "platform/VirtualClock.h"

#include <QMetaObject>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// The instrument's whole answer to `bytes`, whenever its pieces are due.
QByteArray Answer(Instrument &instrument, const QByteArray &bytes)
{
    QByteArray answer;
    for (const SimReply &reply : instrument.receive(bytes))
        answer += reply.bytes;
    return answer;
}

TEST(SimulatorTest, EachModelAnswersWithItsOwnBytes)
{
    // The model and what it answers to the identification, then in test mode to the
    // details and the sunshine ratio, to an unknown command, and back at the prompt.
    // clang-format off
    const std::pair<SimModel, QByteArray> cases[] = {
        {SimModel::ZQ2, "IZQ2 v1.4\rUnits: umol.m-2.s-1\r5012mV Battery\r1204\r\r"
                        "T\rTEST:X?\rTEST:T?\rTEST:"},
        {SimModel::ZQ3v1, "IZQ3 v1.7\rUnits: umol.m-2.s-1\r5006mV Battery\r3117\r\r"
                          "T\rTEST:X?\rTEST:T?\rTEST:"},
        {SimModel::ZQ3v2, "IZQ3 v2.1\rUnits: umol.m-2.s-1\r3612mV Battery\r3342\rStopped\r"
                          "T\rTEST:X?\rTEST:T?\rTEST:"},
        {SimModel::ZQ4, "IZQ4 v2.3\rUnits: W.m-2\r3612mV Battery\r4410\rStopped\r"
                        "T\rTEST:X\r0: 4410\r1: 2025-03-14\rTEST:T\rSunshine ratio 1.18\rTEST:"},
        {SimModel::ZQ5, "IZQ5 v3.2\rUnits: umol.m-2.s-1\r3612mV Battery\r5523\rStopped\r"
                        "T\rTEST:X\r0: 5523\r1: 2025-03-14\rTEST:T\rSunshine ratio 1.21\rTEST:"},
        {SimModel::VTA1, "IVTA1 v1.2\rUnits: W.m-2\r3612mV Battery\r7081\rStopped\r"
                         "T\rTEST:X\r0: 7081\r1: 2025-03-14\rTEST:T\rSunshine ratio 1.25\rTEST:"},
    };
    // A units code in test mode: the answer, and the units line after it.
    const std::tuple<SimModel, QByteArray, QByteArray> units[] = {
        {SimModel::ZQ5, "U2", "TEST:U2OK Units: klux"},
        {SimModel::ZQ5, "U7", "TEST:U7NO Units: umol.m-2.s-1"},
        {SimModel::ZQ3v1, "U1", "TEST:U1OK Units: W.m-2"},
        {SimModel::ZQ2, "U1", "TEST:U1NO Units: umol.m-2.s-1"},
        {SimModel::ZQ4, "U0", "TEST:U0NO Units: W.m-2"},
        {SimModel::VTA1, "U1", "TEST:U1OK Units: W.m-2"},
    };
    // clang-format on
    VirtualClock clock;
    for (const auto &[model, expected] : cases) {
        Instrument instrument(clock, model);
        EXPECT_EQ(Answer(instrument, "RITX\rT\r\nQR"), "\r\n\xAF" + expected + "Q?\rTEST:\r\n\xAF");
        EXPECT_EQ(instrument.state().mode(), SimMode::Prompt);
    }
    for (const auto &[model, command, expected] : units) {
        Instrument instrument(clock, model);
        const QList<QByteArray> lines = Answer(instrument, "T" + command + "RI").split('\r');
        EXPECT_EQ(lines.value(1) + ' ' + lines.value(4), expected);
    }
}

TEST(SimulatorTest, TheCalibrationDumpHoldsTheFactorsWhereTheProgramReadsThem)
{
    VirtualClock clock;
    for (SimModel model : {SimModel::ZQ2, SimModel::ZQ3v1, SimModel::ZQ3v2, SimModel::ZQ4,
                           SimModel::ZQ5, SimModel::VTA1}) {
        SCOPED_TRACE(modelName(model).toStdString());
        Instrument instrument(clock, model);
        const QByteArray dump = Answer(instrument, "TE");
        const auto &factors = instrument.state().identity().calibration;
        QList<int> found;
        if (traitsOf(model).calibrationLayout == CalibrationLayout::HexDump) {
            // From the second character after "0x00:", "hh ll " per channel, in a dump
            // longer than 880 characters.
            const QByteArray fields = dump.mid(dump.indexOf("0x00:") + 6, 48);
            for (int i = 0; i < 8; ++i)
                found << fields.mid(6 * i, 2).toInt(nullptr, 16) * 256 +
                             fields.mid(6 * i + 3, 2).toInt(nullptr, 16);
            EXPECT_GT(dump.size(), 880);
        } else {
            // From the fifth character after "User:", seven fields of five characters;
            // channel 0 stands for 1.
            const QByteArray fields = dump.mid(dump.indexOf("User:") + 9, 42);
            found << 4096;
            for (int i = 0; i < 7; ++i)
                found << fields.mid(6 * i, 5).trimmed().toInt();
        }
        EXPECT_EQ(found, QList<int>(factors.begin(), factors.end()));
        EXPECT_TRUE(dump.endsWith("\rTEST:"));
    }
}

TEST(SimulatorTest, ReadingsUseADecimalPointAndCommandsAreTheSameHoweverTheBytesArrive)
{
    const LocaleGuard german{QLocale(QLocale::German, QLocale::Germany)};
    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0))};
    Instrument instrument(clock, SimModel::ZQ5);
    EXPECT_TRUE(QRegularExpression("^S\\d+\\.\\d,\\d+\\.\\d,[01]\\r$")
                    .match(QString::fromLatin1(Answer(instrument, "S")))
                    .hasMatch());

    const QByteArray stream("RTU0SX\rT\r\nEIQRS");
    const auto kinds = [](const QList<QByteArray> &pieces) {
        CommandParser parser;
        SimMode mode = SimMode::Prompt;
        QList<int> found;
        for (const QByteArray &piece : pieces) {
            parser.append(piece);
            while (const auto command = parser.next(mode)) {
                found << int(command->kind);
                if (command->kind == SimCommand::Kind::EnterTest)
                    mode = SimMode::Test;
                if (command->kind == SimCommand::Kind::Return)
                    mode = SimMode::Prompt;
            }
        }
        return found;
    };
    const QList<int> whole = kinds({stream});
    ASSERT_EQ(whole.size(), 11);
    for (int cut = 1; cut < stream.size(); ++cut)
        EXPECT_EQ(kinds({stream.left(cut), stream.mid(cut)}), whole) << cut;
}

// The program's link on the real serial port, against the simulator on a
// pseudo-terminal.
class SimulatorOnAPtyTest : public ::testing::Test
{
protected:
    bool connect(const QString &device)
    {
        table.addDevice(device);
        link.setCommPort(1);
        return calls.status();
    }

    PortTable table{PortTable::Numbering::DeviceList};
    QtSerialPort port{table};
    SystemClock clock;
    SensorLink link{port, clock};
    SettledLink calls{link};
};

TEST_F(SimulatorOnAPtyTest, TheDemoServerAnswersFromItsOwnThreadAndTakesFaultsFromAnother)
{
    PtyServerOptions options(SimModel::ZQ4);
    options.instrument.logger.memoryBlocks = 1023;
    QThread thread;
    thread.start();
    auto *server = new PtyServer(options);
    server->moveToThread(&thread);
    QString device;
    QMetaObject::invokeMethod(
        server, [&] { device = server->start(); }, Qt::BlockingQueuedConnection);
    ASSERT_TRUE(connect(device)) << server->errorString().toStdString();
    EXPECT_EQ(link.Version(), "ZQ4 v2.3");
    LoggerPackets packets(link);
    QByteArray memorySize;
    packets.requestExchange(
        LoggerPackets::MemorySize, 0, {}, 2,
        [&](const ParsedReply<QByteArray> &reply) { memorySize = reply.value.value_or("failed"); });
    calls.settle();
    EXPECT_EQ(memorySize, QByteArray("\xFF\x03", 2));
    SimFaults faults;
    faults.badPrompt = true;
    server->setFaults(faults);
    EXPECT_FALSE(calls.connect());
    link.setCommPort(0);
    QMetaObject::invokeMethod(
        server, [&] { delete server; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

TEST_F(SimulatorOnAPtyTest, QuorvelSimStartsItsLoggerAsTheOptionsSayAndRefusesBadOnes)
{
    const QString program = SimulatorProcess::find();
    if (program.isEmpty())
        GTEST_SKIP() << "QUORVEL_SIM does not name the simulator program";
    SimulatorProcess sim;
    ASSERT_TRUE(connect(
        sim.start(program, {"--memory-blocks", "1023", "--prefill-records", "300",
                            "--downloaded-records", "10", "--logging", "--overwrite",
                            "--clock-offset", "3600", "--version-text", "ZQ5 v1.03 Zürich"})));
    EXPECT_EQ(link.Version(), "ZQ5 v1.03 Zürich");
    LoggerPackets packets(link);
    LoggerDetails details;
    LoggerDetailsReader reader(link, clock, packets);
    reader.read(
        [&details](const LoggerDetailsView &, const LoggerDetails &found) { details = found; });
    calls.settle();
    ASSERT_TRUE(details.known()) << details.logger.failure.toStdString();
    const LoggerState &state = *details.logger.value;
    // Logging and overwriting, the download position on the 10th record (block 0, slot
    // 9), the clock an hour ahead.
    EXPECT_EQ(QList<qint64>({state.MemoryBlocks, state.Flags, state.DwnldBlock, state.DwnldAddr,
                             state.RecordsRetrieved}),
              QList<qint64>({1023, 3, 0, 48, 10}));
    EXPECT_NEAR(DaysToSeconds(details.clockOffset.value_or(0)), 3600, 5);
    link.setCommPort(0);
    EXPECT_TRUE(sim.stop());

    for (const QStringList &wrong : {QStringList{"--model", "ZQ9"},
                                     {"--memory-blocks", "0"},
                                     {"--memory-blocks", "65536"},
                                     {"--prefill-records", "-3"},
                                     {"--lost-ack", "never"},
                                     {"--corrupt-block", "once:0"},
                                     {"--logging", "--stopped"},
                                     {"--clock-offset", "soon"},
                                     {"--version-text", "ZQ5 v1 €"}}) {
        QProcess refused;
        refused.start(program, wrong);
        ASSERT_TRUE(refused.waitForFinished(5000));
        EXPECT_EQ(refused.exitCode(), 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(refused.readAllStandardOutput().isEmpty());
    }
}

} // namespace

TEST(SimulatorTest, NoiseBeforeEachReplyLeavesTheStatusAndReadingsAsTheInstrumentMeantThem)
{
    // The same instrument with and without noise before its replies: the link reads the
    // same fields and the same numbers from both.
    struct Read
    {
        QStringList fields;
        double total, diffuse;
        bool sun;
    };
    const auto read = [](bool noisy) {
        VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0))};
        Instrument instrument(clock, SimModel::ZQ5);
        SimFaults faults;
        faults.garbage = noisy;
        instrument.setFaults(faults);
        FakeSerialPort port{clock};
        SimulatedLine simulated{instrument, port.addLine(1)};
        SensorLink link{port, clock};
        link.setCommPort(1);
        SettledLink calls(link, clock, port);
        EXPECT_TRUE(calls.status()) << noisy;
        EXPECT_TRUE(calls.readings()) << noisy;
        return Read{
            {link.Version(), link.units(), link.Power(), link.SerialNumber(), link.LogStatus()},
            link.Total(),
            link.Diffuse(),
            link.Sun()};
    };
    const Read clean = read(false), noisy = read(true);
    EXPECT_EQ(noisy.fields, clean.fields);
    EXPECT_EQ(noisy.total, clean.total);
    EXPECT_EQ(noisy.diffuse, clean.diffuse);
    EXPECT_EQ(noisy.sun, clean.sun);
    EXPECT_GT(clean.total, 0);
}
