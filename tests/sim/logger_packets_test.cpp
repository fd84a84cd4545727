// The simulated instrument's packet side, byte for byte over a fake line on virtual
// time: every logger command's reply, frames cut up, merged with text or damaged, the
// fault switches for data blocks, the block latency and the 9600-baud pace.
#include "LoggerBench.h"

#include <functional>

#include <gtest/gtest.h>

namespace {

using LoggerBench::ask;
using LoggerBench::askData;
using LoggerBench::hex;
using LoggerBench::le16;
using LoggerBench::parse;
using LoggerBench::request;

const QByteArray Prompt("\r\n\xAF");
const double PerByte = 11.0 / 9600.0;

QByteArray fromHex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray stampAt(int hour, int minute, int second)
{
    return SimTimeStamp::fromSeconds(
               SimLocalTime::secondsOf(QDateTime(QDate(2026, 6, 1), QTime(hour, minute, second))))
        .bytes();
}

InstrumentOptions withBlocks(int blocks, SimModel model = SimModel::ZQ5)
{
    InstrumentOptions options(model);
    options.logger.memoryBlocks = blocks;
    return options;
}

InstrumentOptions prefilled(int records)
{
    InstrumentOptions options(SimModel::ZQ5);
    options.logger.memoryBlocks = 64;
    options.logger.prefill.records = records;
    return options;
}

} // namespace

TEST(LoggerPackets, EveryCommandAnswersWithTheBytesTheProgramDecodes)
{
    SimBench bench(withBlocks(1023));
    const QByteArray supply = fromHex("1C0E0000"); // 3612 mV, as the "I" line says

    EXPECT_EQ(hex(askData(bench, 15)), hex(fromHex("FF03")));
    EXPECT_EQ(hex(askData(bench, 12)), hex(stampAt(10, 0, 0)));
    EXPECT_EQ(hex(askData(bench, 10)), hex(fromHex("0A00 4100 0000 0000 0000 0800 0000")));
    EXPECT_EQ(hex(askData(bench, 14)), hex(QByteArray(16, '\0') + supply + QByteArray(4, '\0')));

    // Start at 09:59:59 with 10 s readings averaged over a minute.
    EXPECT_EQ(
        hex(askData(bench, 11, 0, LoggerBench::startData(0x0A, 0x41, false, stampAt(9, 59, 59)))),
        "");
    EXPECT_EQ(hex(askData(bench, 14)),
              hex(stampAt(9, 59, 59) + stampAt(10, 0, 59) + supply + QByteArray(4, '\0')));
    EXPECT_EQ(hex(askData(bench, 10)), hex(fromHex("0A00 4100 0002 0000 0000 0800 0000")));
    QByteArray status = bench.exchange("I", 0.1);
    EXPECT_TRUE(status.endsWith("\rLogging\r")) << status.toStdString();

    bench.clock.advanceTo(60.0); // 10:01:00: the first record is in
    EXPECT_EQ(hex(askData(bench, 14)),
              hex(stampAt(9, 59, 59) + stampAt(10, 1, 59) + supply + fromHex("0C000000")));
    const QByteArray header = stampAt(10, 0, 59) + fromHex("0A 41 00 00");
    EXPECT_EQ(hex(askData(bench, 18, 0, fromHex("0C00"))), hex(header));
    EXPECT_EQ(hex(askData(bench, 18, 0, fromHex("0800"))), hex(header.left(8)));
    const QByteArray first = askData(bench, 18, 0, le16(300));
    EXPECT_EQ(first.size(), 254);
    EXPECT_EQ(hex(first.left(12)), hex(header));
    EXPECT_EQ(first.mid(16, 4), QByteArray(4, SimBlock::Erased));

    EXPECT_EQ(hex(askData(bench, 21, 0, fromHex("0000 0C00"))), "");
    EXPECT_EQ(hex(askData(bench, 10)), hex(fromHex("0A00 4100 0002 0000 0000 0C00 0000")));

    EXPECT_EQ(hex(askData(bench, 13, 0, stampAt(12, 0, 0))), "");
    EXPECT_EQ(hex(askData(bench, 12)), hex(stampAt(12, 0, 0)));

    EXPECT_EQ(hex(askData(bench, 11, 0, QByteArray(14, '\0'))), "");
    EXPECT_EQ(hex(askData(bench, 14).mid(8, 8)), hex(QByteArray(8, '\0')));
    EXPECT_EQ(hex(askData(bench, 10)), hex(fromHex("0A00 4100 0000 0000 0000 0C00 0000")));
    status = bench.exchange("I", 0.1);
    EXPECT_TRUE(status.endsWith("\rStopped\r")) << status.toStdString();

    // The large data block: acknowledgement, then 512 bytes and their CRC.
    const QByteArray reply = ask(bench, 22, 0, le16(512), 1.0);
    ASSERT_EQ(reply.size(), 9 + 514);
    EXPECT_EQ(hex(reply.left(9)), hex(request(22, 0, fromHex("0002"))));
    EXPECT_EQ(reply.mid(9, 512), bench.instrument.logger().memory().block(0));
    EXPECT_EQ(CalcCrc(reply.mid(9)), 0);
}

TEST(LoggerPackets, StatusCarriesTheSupplyOfThePowerLine)
{
    InstrumentOptions options(SimModel::VTA1);
    InstrumentIdentity identity = InstrumentIdentity::defaultFor(SimModel::VTA1);
    identity.powerMillivolts = 1450;
    options.identity = identity;
    SimBench bench(options);
    EXPECT_EQ(hex(askData(bench, 14).mid(16, 4)), hex(fromHex("AA050000")));
    EXPECT_TRUE(bench.exchange("I", 0.1).contains("\r1450mV Battery\r"));
}

TEST(LoggerPackets, BlockRequestsRunRoundTheRingAndBeyondTheMemoryReadErased)
{
    struct Row
    {
        const char *name;
        int block;
        int length;
        std::function<QByteArray(SimMemory &)> expected;
    };
    const QList<Row> rows{
        {"over the end", 63, 600, [](SimMemory &m) { return m.block(63) + m.block(0).left(88); }},
        {"beyond the memory", 5000, 512,
         [](SimMemory &) { return QByteArray(512, SimBlock::Erased); }},
        {"nothing", 3, 0, [](SimMemory &) { return QByteArray(); }},
        {"at most 32767 bytes", 0, 40000, [](SimMemory &m) { return m.read(0, 32767); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SimBench bench(prefilled(8000));
        const QByteArray reply =
            ask(bench, 22, static_cast<quint16>(row.block), le16(row.length), 40.0);
        const auto ack = parse(reply);
        ASSERT_TRUE(ack.has_value());
        EXPECT_EQ(ack->command, 22);
        EXPECT_EQ(ack->address, row.block);
        EXPECT_EQ(hex(ack->data), hex(le16(row.length)));
        const QByteArray block = reply.mid(9);
        const QByteArray data = row.expected(bench.instrument.logger().memory());
        EXPECT_EQ(block.size(), data.size() + 2);
        EXPECT_TRUE(block.left(data.size()) == data);
        EXPECT_EQ(CalcCrc(block), 0);
    }
}

TEST(LoggerPackets, FramesAreAnsweredHoweverTheBytesArriveAndAmongTextCommands)
{
    const QByteArray session = "R" + request(15) + "I" + request(12) + "T" + request(10) + "S" +
                               request(18, 0, fromHex("0C00")) + "R";
    SimBench whole(prefilled(300));
    const QByteArray expected = whole.exchange(session, 0.5);
    ASSERT_TRUE(expected.startsWith(Prompt + request(15).left(2)));
    ASSERT_TRUE(expected.endsWith(Prompt));
    ASSERT_TRUE(expected.contains(")\rTEST:\x0F")); // test-mode "S", then the 18 reply

    for (int cut = 1; cut < session.size(); ++cut) {
        SCOPED_TRACE(cut);
        SimBench split(prefilled(300));
        split.port.write(session.left(cut));
        EXPECT_EQ(hex(split.exchange(session.mid(cut), 0.5)), hex(expected));
    }
    SimBench byteWise(prefilled(300));
    for (char byte : session)
        byteWise.port.write(QByteArray(1, byte));
    EXPECT_EQ(hex(SimBench::joined(byteWise.collect(0.5))), hex(expected));
}

TEST(LoggerPackets, DamagedFramesGetNoReplyAndNoiseBeforeAFrameIsPassedOver)
{
    const QByteArray good = request(15);
    const QByteArray answer = request(15, 0, fromHex("0004"));
    QByteArray badCrc = good;
    badCrc[6] = static_cast<char>(badCrc.at(6) ^ 0x01);
    QByteArray badLength = request(12, 0, fromHex("0102"));
    badLength[4] = 1;
    const QByteArray noise = ReplyScheduler::noise();

    struct Row
    {
        const char *name;
        QByteArray before; // sent first, its reply not looked at
        QByteArray bytes;
        QByteArray expected;
        int rejected;
    };
    const QList<Row> rows{
        {"wrong CRC, then a good frame", "", badCrc + good, answer, 1},
        {"wrong length, then a good frame", "", badLength + good, answer, 1},
        {"stray start byte", "", "\x0F" + good, answer, 1},
        {"noise at the prompt", "", noise + good, answer, 0},
        // Of the noise only the printable "~" is a (wrong) test-mode command.
        {"noise in test mode", "T", noise + good, "~?\rTEST:" + answer, 0},
        {"a frame inside a text command", "T", "U" + good + "R", "U?\rTEST:" + answer + Prompt, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SimBench bench;
        if (!row.before.isEmpty())
            bench.exchange(row.before, 0.1);
        const SimMode mode = bench.instrument.state().mode();
        EXPECT_EQ(hex(bench.exchange(row.bytes, 0.5)), hex(row.expected));
        if (!row.bytes.endsWith('R')) {
            EXPECT_EQ(bench.instrument.state().mode(), mode);
        }
        EXPECT_EQ(bench.instrument.parser().rejectedFrames(), row.rejected);
    }
}

TEST(LoggerPackets, ModelsWithoutALoggerIgnoreFramesAndOddRequestsGetNoReply)
{
    for (SimModel model : {SimModel::ZQ2, SimModel::ZQ3v1}) {
        SCOPED_TRACE(modelName(model).toStdString());
        SimBench bench(model);
        EXPECT_TRUE(bench.exchange(request(15), 0.5).isEmpty());
        EXPECT_EQ(hex(bench.exchange("R", 0.1)), hex(Prompt));
    }

    struct Row
    {
        const char *name;
        QByteArray frame;
    };
    const QList<Row> rows{
        {"unknown command", request(0x42)},
        {"block start without count", request(18, 0, "\x0C")},
        {"block request without length", request(22)},
        {"start with 13 bytes", request(11, 0, QByteArray(13, '\x02'))},
        {"set clock with 7 bytes", request(13, 0, stampAt(12, 0, 0).left(7))},
        {"download pointer with 3 bytes", request(21, 0, fromHex("000010"))},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SimBench bench;
        EXPECT_TRUE(bench.exchange(row.frame, 0.5).isEmpty());
        EXPECT_FALSE(bench.instrument.logger().logging());
    }
}

TEST(LoggerPackets, FaultSwitchesShapeBlockReplies)
{
    struct Expect
    {
        bool acknowledged = true;
        bool intact = true;
        bool late = false;
        bool noise = false;
    };
    struct Row
    {
        const char *name;
        std::function<void(SimFaults &)> set;
        QList<Expect> requests; // what each of three requests in a row gets
    };
    const Expect ok;
    const Expect lost{false, true, false, false};
    const Expect corrupt{true, false, false, false};
    const Expect late{true, true, true, false};
    const Expect noisy{true, true, false, true};
    const QList<Row> rows{
        {"none", [](SimFaults &) {}, {ok, ok, ok}},
        {"lost acknowledgement, every time",
         [](SimFaults &f) { f.lostAcknowledgement = FaultSchedule::everyNth(1); },
         {lost, lost, lost}},
        {"lost acknowledgement, once at the second",
         [](SimFaults &f) { f.lostAcknowledgement = FaultSchedule::onceAt(2); },
         {ok, lost, ok}},
        {"corrupt block, every second",
         [](SimFaults &f) { f.corruptBlock = FaultSchedule::everyNth(2); },
         {ok, corrupt, ok}},
        {"late block, once",
         [](SimFaults &f) { f.lateBlock = FaultSchedule::onceAt(1); },
         {late, ok, ok}},
        {"noise between frames",
         [](SimFaults &f) { f.garbageBetweenFrames = FaultSchedule::everyNth(1); },
         {noisy, noisy, noisy}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SimBench bench(prefilled(500));
        SimFaults faults;
        row.set(faults);
        bench.instrument.setFaults(faults);
        const QByteArray block = bench.instrument.logger().memory().block(1);
        QByteArray good = block;
        Frame::appendLe16(good, CalcCrc(block));
        const QByteArray ack = request(22, 1, le16(512));

        for (int i = 0; i < row.requests.size(); ++i) {
            SCOPED_TRACE(i + 1);
            const Expect &expect = row.requests[i];
            const double t0 = bench.clock.monotonicSeconds();
            bench.port.write(request(22, 1, le16(512)));
            const auto arrivals = bench.collect(3.0);
            const QByteArray all = SimBench::joined(arrivals);
            const QByteArray noise = expect.noise ? ReplyScheduler::noise() : QByteArray();
            const QByteArray head = expect.acknowledged ? ack + noise : QByteArray();
            ASSERT_EQ(all.size(), head.size() + good.size() + noise.size());
            EXPECT_EQ(hex(all.left(head.size())), hex(head));
            const QByteArray got = all.mid(head.size(), good.size());
            EXPECT_EQ(CalcCrc(got) == 0, expect.intact);
            int differing = 0;
            for (int k = 0; k < good.size(); ++k)
                differing += got.at(k) != good.at(k) ? 1 : 0;
            EXPECT_EQ(differing, expect.intact ? 0 : 1);
            EXPECT_EQ(all.mid(head.size() + good.size()), noise);
            // A late block comes 1.5 s after its time; the others with the acknowledgement.
            EXPECT_NEAR(arrivals.last().at - t0, expect.late ? 1.505 : 0.005, 1e-6);
        }
    }
}

TEST(LoggerPackets, BlockLatencyAndTheLinePaceTimeEveryFrameAndBlock)
{
    InstrumentOptions options = prefilled(500);
    options.blockLatencySeconds = 0.030;
    SimBench bench(options, true);
    const double t0 = bench.clock.monotonicSeconds();
    // The computer writes a request and, ahead of time, the next one.
    for (char byte : request(22, 1, le16(512)) + request(22, 2, le16(512)))
        bench.port.write(QByteArray(1, byte));
    const auto arrivals = bench.collect(3.0);
    ASSERT_EQ(arrivals.size(), 4);

    const double heard = 9 * PerByte;
    const double ack1 = heard + 0.005 + 0.030 + 9 * PerByte;
    const double block1 = ack1 + 514 * PerByte;
    // The second request was heard long before: its answer waits for the line.
    const double ack2 = block1 + 9 * PerByte;
    const double block2 = ack2 + 514 * PerByte;
    const QList<double> expected{ack1, block1, ack2, block2};
    const QList<int> sizes{9, 514, 9, 514};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(arrivals[i].at - t0, expected[i], 1e-9);
        EXPECT_EQ(arrivals[i].bytes.size(), sizes[i]);
    }
    EXPECT_EQ(parse(arrivals[2].bytes)->address, 2);

    // Ordinary packets go without the block latency.
    const double t1 = bench.clock.monotonicSeconds();
    bench.port.write(request(15));
    const auto reply = bench.collect(1.0);
    ASSERT_EQ(reply.size(), 1);
    EXPECT_NEAR(reply[0].at - t1, 7 * PerByte + 0.005 + 9 * PerByte, 1e-9);
}
