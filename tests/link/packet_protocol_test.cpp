// The link's framed packets and data blocks on virtual time: requests byte for byte, the
// CRC, replies cut into pieces, late or damaged, the 1 s and 2 s limits to the tick, the
// busy flag against a poll that runs inside a wait, the buffer rule of GetDataBlock and a
// seeded fuzz run that must never crash or hang. The logger and download suites run the
// link against the simulated logger end to end.
#include "link/Crc.h"
#include "link/Frame.h"
#include "link/SensorLink.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <functional>
#include <random>

#include <gtest/gtest.h>

namespace {

const QByteArray Prompt("\r\n\xAF");

QByteArray frame(quint8 command, quint16 address = 0, const QByteArray &data = {})
{
    return Frame::build(command, address, static_cast<quint8>(data.size()), data);
}

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper();
}

// A block of n bytes and its CRC.
QByteArray dataBlock(int n, char seed = 1)
{
    QByteArray block;
    for (int i = 0; i < n; ++i)
        block.append(static_cast<char>(seed + i * 7));
    Frame::appendLe16(block, CalcCrc(block));
    return block;
}

// SendPacket2 for a command with no data and room for `room` reply bytes.
bool sendPacket2(SensorLink &link, quint8 command, int room)
{
    quint32 address = 0;
    quint8 n = 0;
    QByteArray data(room, '\0');
    return link.SendPacket2(command, address, n, data);
}

// The far end is a test: it answers the handshake "R" with the prompt and otherwise
// only what the test delivers. Frames from the computer come one byte per write.
class PacketProtocolTest : public ::testing::Test
{
protected:
    PacketProtocolTest() : line(port.addLine(3))
    {
        line.onWrite = [this](const QByteArray &bytes) {
            if (bytes == "R")
                send(Prompt, 0.005);
            heard += bytes;
            for (const auto &[request, reply] : answers) {
                if (heard.endsWith(request)) {
                    heard.clear();
                    send(reply, 0.05);
                }
            }
        };
        link.setCommPort(3);
    }

    // Connects, then puts the clock on a round time so that limits fall on exact ticks.
    void connectAt(double seconds = 10.0)
    {
        ASSERT_TRUE(link.Connect());
        clock.advanceTo(seconds);
        line.discardAll();
        line.clearWritten();
    }

    void send(const QByteArray &bytes, double delay)
    {
        delivered += bytes;
        line.deliver(bytes, delay);
    }

    double elapsedSince(double t0) const { return clock.monotonicSeconds() - t0; }

    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    FakeLine &line;
    QByteArray delivered;
    // Replies the far end sends once it has heard a whole request.
    QList<QPair<QByteArray, QByteArray>> answers;
    QByteArray heard;
};

} // namespace

TEST(PacketCrc, IsCrc16Arc)
{
    EXPECT_EQ(CalcCrc(QByteArray("123456789")), 0xBB3D);
    EXPECT_EQ(CalcCrc(QByteArray()), 0);
    const CrcTable &table = InitCrcTable();
    EXPECT_EQ(table[0], 0x0000);
    EXPECT_EQ(table[1], 0xC0C1);
    EXPECT_EQ(table[0x80], 0xA001);
    EXPECT_EQ(table[0xFF], 0x4040);
    // A frame with its CRC appended checks to 0, whatever it holds.
    for (int n : {0, 1, 2, 14, 254}) {
        QByteArray data;
        for (int i = 0; i < n; ++i)
            data.append(static_cast<char>(i * 31 + 5));
        EXPECT_EQ(CalcCrc(frame(0x16, 0xBEEF, data)), 0) << n;
    }
}

TEST_F(PacketProtocolTest, RequestsAreBuiltByteForByteAndWrittenOneBytePerWrite)
{
    struct Row
    {
        const char *name;
        std::function<void(SensorLink &)> send;
        QByteArray bytes;
    };
    const QList<Row> rows{
        {"command 12, address 0, no data", [](SensorLink &l) { l.SendPacket(12, 0, 0, {}); },
         QByteArray::fromHex("0F0C0000005751")},
        {"SendPacket2 alike", [](SensorLink &l) { sendPacket2(l, 12, 0); },
         QByteArray::fromHex("0F0C0000005751")},
        {"address low byte first",
         [](SensorLink &l) {
             quint8 command = 18;
             quint32 address = 0x0123;
             quint8 n = 2;
             QByteArray data = QByteArray::fromHex("0C00");
             l.SendPacket2(command, address, n, data);
         },
         frame(18, 0x0123, QByteArray::fromHex("0C00"))},
        {"data block request", [](SensorLink &l) { l.RequestDataBlock(0x03FE, 512); },
         frame(0x16, 0x03FE, QByteArray::fromHex("0002"))},
        {"length 32767", [](SensorLink &l) { l.RequestDataBlock(7, 32767); },
         frame(0x16, 7, QByteArray::fromHex("FF7F"))},
        {"only the first n data bytes",
         [](SensorLink &l) { l.SendPacket(11, 0, 3, QByteArray::fromHex("0A0B0C0D0E")); },
         frame(11, 0, QByteArray::fromHex("0A0B0C"))},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        connectAt(clock.monotonicSeconds() + 5);
        const auto before = line.writes().size();
        row.send(link);
        EXPECT_EQ(hex(line.written()), hex(row.bytes));
        EXPECT_EQ(line.writes().size() - before, row.bytes.size());
        for (auto i = before; i < line.writes().size(); ++i)
            EXPECT_EQ(line.writes()[i].size(), 1);
        EXPECT_EQ(CalcCrc(line.written()), 0);
        EXPECT_FALSE(link.Active());
    }
}

TEST_F(PacketProtocolTest, RepliesSplitOverReadsAreGathered)
{
    const QByteArray data = QByteArray::fromHex("0A00410000020000000008000000");
    const QByteArray reply = frame(10, 0, data);
    struct Row
    {
        const char *name;
        QList<int> cuts; // chunk sizes, each 0.05 s after the one before
    };
    const QList<Row> rows{
        {"whole", {21}},
        {"a byte at a time", QList<int>(21, 1)},
        {"across the header", {3, 4, 14}},
        {"CRC alone at the end", {19, 2}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        for (bool second : {false, true}) {
            SCOPED_TRACE(second ? "SendPacket2" : "SendPacket");
            connectAt(clock.monotonicSeconds() + 5);
            int from = 0;
            double delay = 0;
            for (int size : row.cuts) {
                delay += 0.05;
                send(reply.mid(from, size), delay);
                from += size;
            }
            if (second) {
                quint8 command = 10;
                quint32 address = 0;
                quint8 n = 0;
                QByteArray got(14, '\0');
                ASSERT_TRUE(link.SendPacket2(command, address, n, got));
                EXPECT_EQ(command, 10);
                EXPECT_EQ(address, 0u);
                EXPECT_EQ(n, 14);
                EXPECT_EQ(hex(got), hex(data));
            } else {
                EXPECT_EQ(hex(link.SendPacket(10, 0, 0, {})), hex(reply));
            }
            EXPECT_TRUE(link.Connected());
            EXPECT_FALSE(link.Active());
            EXPECT_EQ(port.bytesWaiting(), 0);
        }
    }
}

TEST_F(PacketProtocolTest, AWrongStartByteFailsAsSoonAsFiveBytesAreIn)
{
    QByteArray reply = frame(12, 0, QByteArray(8, '\x01'));
    reply[0] = '\x0E';
    for (bool second : {false, true}) {
        SCOPED_TRACE(second ? "SendPacket2" : "SendPacket");
        connectAt(clock.monotonicSeconds() + 5);
        const double t0 = clock.monotonicSeconds();
        send(reply.left(5), 0.1);
        send(reply.mid(5), 0.5);
        quint8 command = 12;
        quint32 address = 0;
        quint8 n = 0;
        QByteArray data("keep");
        const bool ok = second ? link.SendPacket2(command, address, n, data)
                               : !link.SendPacket(12, 0, 0, {}).isEmpty();
        EXPECT_FALSE(ok);
        EXPECT_NEAR(elapsedSince(t0), 0.1, 1e-9);
        EXPECT_FALSE(link.Connected());
        EXPECT_FALSE(link.Active());
        // The arguments keep what the caller passed.
        EXPECT_EQ(command, 12);
        EXPECT_EQ(data, QByteArray("keep"));
    }
}

TEST_F(PacketProtocolTest, ExtraBytesFailSendPacketButWaitForTheNextSendPacket2)
{
    const QByteArray extra = QByteArray::fromHex("010203");
    const QByteArray reply = frame(15, 0, QByteArray::fromHex("0004"));

    connectAt();
    send(reply + extra, 0.05);
    EXPECT_TRUE(link.SendPacket(15, 0, 0, {}).isEmpty());
    EXPECT_FALSE(link.Connected());

    connectAt(20.0);
    send(reply + extra, 0.05);
    quint8 command = 15;
    quint32 address = 0;
    quint8 n = 0;
    QByteArray data(2, '\0');
    ASSERT_TRUE(link.SendPacket2(command, address, n, data));
    EXPECT_EQ(hex(data), hex(QByteArray::fromHex("0004")));
    EXPECT_EQ(port.bytesWaiting(), 3); // left for the next exchange to throw away

    // The next exchange discards them before it writes.
    send(frame(12, 0, QByteArray(8, '\x07')), 0.05);
    command = 12;
    n = 0;
    QByteArray clockData(8, '\0');
    ASSERT_TRUE(link.SendPacket2(command, address, n, clockData));
    EXPECT_EQ(clockData, QByteArray(8, '\x07'));
    EXPECT_EQ(port.bytesWaiting(), 0);
}

TEST_F(PacketProtocolTest, TimeLimitsHoldToTheTick)
{
    const QByteArray reply = frame(14, 0, QByteArray(24, '\x02'));
    const QByteArray ack = frame(0x16, 5, QByteArray::fromHex("0002"));
    struct Row
    {
        const char *name;
        // Chunks as (delay from the call, bytes).
        QList<QPair<double, QByteArray>> chunks;
        std::function<bool(SensorLink &)> operation;
        bool ok;
        double elapsed;
    };
    auto sendPacket = [](SensorLink &l) { return !l.SendPacket(14, 0, 0, {}).isEmpty(); };
    auto sendPacket2Call = [](SensorLink &l) { return sendPacket2(l, 14, 24); };
    auto waitBlock = [](SensorLink &l) { return l.WaitDataBlock(5); };
    auto getBlock = [](SensorLink &l) {
        QByteArray data(515, '\0');
        return l.GetDataBlock(512, data);
    };
    const QByteArray head = reply.left(5);
    const QByteArray body = reply.mid(5);
    const QByteArray block = dataBlock(512);
    const QList<Row> rows{
        {"SendPacket, header at 0.999 s", {{0.999, reply}}, sendPacket, true, 0.999},
        {"SendPacket, header at 1.0 s", {{1.0, reply}}, sendPacket, false, 1.0},
        {"SendPacket, rest at 1.999 s", {{0.5, head}, {1.999, body}}, sendPacket, true, 1.999},
        {"SendPacket, rest at 2.0 s", {{0.5, head}, {2.0, body}}, sendPacket, false, 2.0},
        {"SendPacket2, header at 0.999 s", {{0.999, reply}}, sendPacket2Call, true, 0.999},
        {"SendPacket2, header at 1.0 s", {{1.0, reply}}, sendPacket2Call, false, 1.0},
        // The body's second starts when the header is in.
        {"SendPacket2, rest 0.999 s after the header",
         {{0.5, head}, {1.499, body}},
         sendPacket2Call,
         true,
         1.499},
        {"SendPacket2, rest 1.0 s after the header",
         {{0.5, head}, {1.5, body}},
         sendPacket2Call,
         false,
         1.5},
        {"WaitDataBlock at 0.999 s", {{0.999, ack}}, waitBlock, true, 0.999},
        {"WaitDataBlock at 1.0 s", {{1.0, ack}}, waitBlock, false, 1.0},
        {"GetDataBlock at 0.999 s", {{0.999, block}}, getBlock, true, 0.999},
        {"GetDataBlock at 1.0 s", {{1.0, block}}, getBlock, false, 1.0},
    };
    double start = 10.0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        start += 10.0;
        connectAt(start);
        for (const auto &[delay, bytes] : row.chunks)
            send(bytes, delay);
        EXPECT_EQ(row.operation(link), row.ok);
        EXPECT_NEAR(elapsedSince(start), row.elapsed, 1e-9);
        EXPECT_FALSE(link.Active());
    }
}

TEST_F(PacketProtocolTest, WaitDataBlockChecksCommandAddressAndCrcOnly)
{
    const QByteArray ack = frame(0x16, 0x0102, QByteArray::fromHex("0002"));
    auto withCrc = [](QByteArray bytes) {
        bytes.chop(2);
        Frame::appendLe16(bytes, CalcCrc(bytes));
        return bytes;
    };
    QByteArray otherStart = ack;
    otherStart[0] = '\x0E';
    QByteArray otherLength = ack;
    otherLength[4] = '\x05';
    QByteArray damaged = ack;
    damaged[6] = static_cast<char>(damaged.at(6) ^ 0x40);
    struct Row
    {
        const char *name;
        QByteArray bytes;
        bool result;
        bool connected;
    };
    const QList<Row> rows{
        {"its acknowledgement", ack, true, true},
        {"another block", frame(0x16, 0x0103, QByteArray::fromHex("0002")), false, true},
        {"another command", frame(0x12, 0x0102, QByteArray::fromHex("0002")), false, true},
        {"start byte not looked at", withCrc(otherStart), true, true},
        {"length byte not looked at", withCrc(otherLength), true, true},
        {"damaged", damaged, false, false},
        {"eight bytes", ack.left(8), false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        connectAt(clock.monotonicSeconds() + 5);
        send(row.bytes, 0.05);
        const int calls = pump.calls;
        EXPECT_EQ(link.WaitDataBlock(0x0102), row.result);
        EXPECT_EQ(link.Connected(), row.connected);
        EXPECT_FALSE(link.Active());
        EXPECT_GT(pump.calls, calls); // window events ran while it waited
        EXPECT_TRUE(line.written().isEmpty());
    }

    // Not connected: no handshake, no wait.
    connectAt(clock.monotonicSeconds() + 5);
    send(ack.left(8), 0.05);
    ASSERT_FALSE(link.WaitDataBlock(0x0102));
    const double t0 = clock.monotonicSeconds();
    send(ack, 0.05);
    EXPECT_FALSE(link.WaitDataBlock(0x0102));
    EXPECT_EQ(elapsedSince(t0), 0.0);
    EXPECT_TRUE(line.written().isEmpty());
}

TEST_F(PacketProtocolTest, GetDataBlockNeedsRoomForTheCrcAndOneMore)
{
    const QByteArray block = dataBlock(512);
    QByteArray damaged = block;
    damaged[100] = static_cast<char>(damaged.at(100) ^ 1);
    struct Row
    {
        const char *name;
        int n;
        int size;
        QByteArray bytes;
        bool ok;
        double elapsed; // virtual seconds the call takes
    };
    const QList<Row> rows{
        {"n + 2 elements never do", 512, 514, block, false, 1.1},
        {"n + 3 elements", 512, 515, block, true, 0.05},
        {"the download's 521", 512, 521, block, true, 0.05},
        {"truncated", 512, 521, block.left(513), false, 1.0},
        {"damaged", 512, 521, damaged, false, 0.05},
        {"no room at all", 512, 0, block, false, 1.1},
        {"a short block", 6, 9, dataBlock(6), true, 0.05},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        connectAt(clock.monotonicSeconds() + 5);
        const double t0 = clock.monotonicSeconds();
        send(row.bytes, 0.05);
        QByteArray data(row.size, '\0');
        EXPECT_EQ(link.GetDataBlock(row.n, data), row.ok);
        // A wait that runs out may overshoot by its last millisecond.
        EXPECT_NEAR(elapsedSince(t0), row.elapsed, 0.002);
        EXPECT_EQ(data.size(), row.size);
        if (row.ok) {
            EXPECT_EQ(hex(data.left(row.n + 2)), hex(row.bytes));
        }
        // No link state changes, whatever the outcome.
        EXPECT_TRUE(link.Connected());
        EXPECT_FALSE(link.Active());
    }
}

TEST_F(PacketProtocolTest, ReplyLengthsThatDoNotAddUpFailWithoutHarm)
{
    struct Row
    {
        const char *name;
        QByteArray bytes;
        bool sendPacketOk;
        bool sendPacket2Ok;
        int leftOver; // after SendPacket2
    };
    QByteArray saysTen = frame(12, 0, QByteArray(8, '\x03'));
    saysTen[4] = 10; // eight data bytes follow, not ten
    QByteArray saysSix = frame(12, 0, QByteArray(8, '\x03'));
    saysSix[4] = 6;
    QByteArray longest = frame(12, 0, QByteArray(254, '\x04'));
    QByteArray tooLong = QByteArray::fromHex("0F0C0000FF") + QByteArray(257, '\x05');
    const QList<Row> rows{
        {"length byte too large", saysTen, false, false, 10},
        {"length byte too small", saysSix, false, false, 2},
        {"254 data bytes", longest, true, true, 0},
        {"255 data bytes overflow the frame buffer", tooLong, false, false, 0},
        {"a reply for another command", frame(10, 3, QByteArray(14, '\x06')), true, true, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        connectAt(clock.monotonicSeconds() + 5);
        double t0 = clock.monotonicSeconds();
        send(row.bytes, 0.05);
        const QByteArray raw = link.SendPacket(12, 0, 0, {});
        EXPECT_EQ(!raw.isEmpty(), row.sendPacketOk);
        if (row.sendPacketOk) {
            EXPECT_EQ(hex(raw), hex(row.bytes));
        }
        EXPECT_LE(raw.size(), SensorLink::FrameBufferSize);
        EXPECT_LE(elapsedSince(t0), 2.01);

        connectAt(clock.monotonicSeconds() + 5);
        t0 = clock.monotonicSeconds();
        send(row.bytes, 0.05);
        quint8 command = 12;
        quint32 address = 0;
        quint8 n = 0;
        QByteArray data(8, '\0');
        EXPECT_EQ(link.SendPacket2(command, address, n, data), row.sendPacket2Ok);
        EXPECT_LE(elapsedSince(t0), 1.05 + 1.01);
        EXPECT_EQ(port.bytesWaiting(), row.leftOver);
        if (row.sendPacket2Ok) {
            // The reply is handed back as it came; checking it is the caller's business.
            EXPECT_EQ(command, Frame::byteAt(row.bytes, 1));
            EXPECT_EQ(address, Frame::readLe16(row.bytes, 2));
            EXPECT_EQ(n, Frame::byteAt(row.bytes, 4));
            EXPECT_GE(data.size(), n);
            EXPECT_EQ(hex(data.left(n)), hex(row.bytes.mid(5, n)));
        } else {
            EXPECT_EQ(command, 12);
            EXPECT_FALSE(link.Connected());
        }
        EXPECT_FALSE(link.Active());
    }
}

TEST_F(PacketProtocolTest, OnlyTheExchangesThatHoldTheBusyFlagTurnAPollAway)
{
    // A readings poll fires inside the wait, as a window timer would.
    struct Row
    {
        const char *name;
        QByteArray reply;
        std::function<bool(SensorLink &)> operation;
        bool holdsBusyFlag;
    };
    const QByteArray clockReply = frame(12, 0, QByteArray(8, '\x01'));
    const QList<Row> rows{
        {"SendPacket2", clockReply, [](SensorLink &l) { return sendPacket2(l, 12, 8); }, true},
        {"WaitDataBlock", frame(0x16, 9, QByteArray::fromHex("0002")),
         [](SensorLink &l) { return l.WaitDataBlock(9); }, true},
        {"SendPacket", clockReply,
         [](SensorLink &l) { return !l.SendPacket(12, 0, 0, {}).isEmpty(); }, false},
        {"GetDataBlock", dataBlock(16),
         [](SensorLink &l) {
             QByteArray data(19, '\0');
             return l.GetDataBlock(16, data);
         },
         false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        connectAt(clock.monotonicSeconds() + 5);
        send(row.reply, 0.3);
        QList<bool> activeSeen;
        QList<bool> pollResults;
        pump.hook = [&] {
            activeSeen.append(link.Active());
            if (row.holdsBusyFlag && pollResults.isEmpty())
                pollResults.append(link.GetReadings());
        };
        EXPECT_TRUE(row.operation(link));
        pump.hook = nullptr;
        ASSERT_FALSE(activeSeen.isEmpty());
        EXPECT_EQ(activeSeen.count(row.holdsBusyFlag), activeSeen.size());
        if (row.holdsBusyFlag) {
            EXPECT_EQ(pollResults, QList<bool>{false});
            EXPECT_FALSE(line.written().contains('S')); // the poll wrote nothing
        }
        EXPECT_FALSE(link.Active());
    }
    // RequestDataBlock lets no events run at all.
    connectAt(clock.monotonicSeconds() + 5);
    const int calls = pump.calls;
    EXPECT_TRUE(link.RequestDataBlock(1, 512));
    EXPECT_EQ(pump.calls, calls);
}

TEST_F(PacketProtocolTest, PacketsReconnectFirstAfterAFailure)
{
    connectAt();
    EXPECT_TRUE(link.SendPacket(15, 0, 0, {}).isEmpty()); // no answer
    EXPECT_FALSE(link.Connected());
    line.clearWritten();
    answers.append({frame(15), frame(15, 0, QByteArray::fromHex("0004"))});
    EXPECT_TRUE(sendPacket2(link, 15, 2));
    EXPECT_TRUE(line.written().startsWith("R" + frame(15)));
    EXPECT_TRUE(link.Connected());

    // RequestDataBlock too; WaitDataBlock does not connect (it reads what comes).
    link.setCommPort(3);
    EXPECT_FALSE(link.Connected());
    line.clearWritten();
    EXPECT_TRUE(link.RequestDataBlock(2, 512));
    EXPECT_EQ(hex(line.written()), hex("R" + frame(0x16, 2, QByteArray::fromHex("0002"))));
}

// ---------------------------------------------------------------------------------------
// Random replies

TEST_F(PacketProtocolTest, RandomRepliesNeverCrashHangOrPassForGood)
{
    std::mt19937 random(20260601);
    auto number = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto bytes = [&](int count) {
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out.append(static_cast<char>(number(0, 255)));
        return out;
    };
    // Something that looks more or less like what the link waits for.
    auto reply = [&](int operation, quint16 address) {
        QByteArray out;
        switch (number(0, 5)) {
        case 0:
            out = bytes(number(0, 40));
            break;
        case 1:
            out = frame(static_cast<quint8>(number(0, 255)), static_cast<quint16>(number(0, 65535)),
                        bytes(number(0, 254)));
            break;
        case 2:
            out = operation == 2 ? frame(0x16, address, bytes(2)) : frame(12, 0, bytes(8));
            break;
        case 3:
            out = dataBlock(number(0, 600), static_cast<char>(number(0, 255)));
            break;
        default: {
            out = frame(static_cast<quint8>(number(0, 255)), address, bytes(number(0, 30)));
            // Damage it: a flipped byte, a cut, extra bytes or a wrong length.
            const int at = number(0, static_cast<int>(out.size()) - 1);
            switch (number(0, 3)) {
            case 0:
                out[at] = static_cast<char>(out.at(at) ^ (1 << number(0, 7)));
                break;
            case 1:
                out.truncate(at);
                break;
            case 2:
                out += bytes(number(1, 20));
                break;
            default:
                out[4] = static_cast<char>(number(0, 255));
                break;
            }
        }
        }
        return out;
    };

    connectAt();
    int successes = 0;
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        line.discardAll();
        delivered.clear();
        const int operation = number(0, 3);
        const auto address = static_cast<quint16>(number(0, 3));
        // The reply in up to four pieces, over up to 1.5 s.
        const QByteArray answer = reply(operation, address);
        const int pieces = number(1, 4);
        int from = 0;
        double delay = 0;
        for (int piece = 0; piece < pieces && from < answer.size(); ++piece) {
            const int size = piece + 1 == pieces
                                 ? static_cast<int>(answer.size()) - from
                                 : number(0, static_cast<int>(answer.size()) - from);
            delay += number(0, 500) / 1000.0;
            send(answer.mid(from, size), delay);
            from += size;
        }

        const double t0 = clock.monotonicSeconds();
        bool ok = false;
        switch (operation) {
        case 0: {
            const QByteArray raw = link.SendPacket(12, 0, 0, {});
            ok = !raw.isEmpty();
            if (ok) {
                EXPECT_EQ(raw.at(0), Frame::StartByte);
                EXPECT_GE(raw.size(), Frame::byteAt(raw, 4) + Frame::Overhead);
                EXPECT_LE(raw.size(), SensorLink::FrameBufferSize);
                EXPECT_EQ(CalcCrc(raw), 0);
            }
            break;
        }
        case 1: {
            quint8 command = 12;
            quint32 at = 0;
            quint8 n = 0;
            QByteArray data(8, '\0');
            ok = link.SendPacket2(command, at, n, data);
            if (ok) {
                EXPECT_TRUE(
                    delivered.contains(frame(command, static_cast<quint16>(at), data.left(n))));
            }
            break;
        }
        case 2: {
            ok = link.WaitDataBlock(address);
            if (ok) {
                bool seen = false;
                for (int i = 0; i + 9 <= delivered.size() && !seen; ++i) {
                    const QByteArray window = delivered.mid(i, 9);
                    seen = CalcCrc(window) == 0 && Frame::byteAt(window, 1) == 0x16 &&
                           Frame::readLe16(window, 2) == address;
                }
                EXPECT_TRUE(seen);
            }
            break;
        }
        default: {
            const int n = number(0, 600);
            QByteArray data(number(0, n + 10), '\0');
            ok = link.GetDataBlock(n, data);
            if (ok) {
                EXPECT_GE(data.size(), n + 3);
                EXPECT_EQ(CalcCrc(data.constData(), n + 2), 0);
            }
            break;
        }
        }
        successes += ok ? 1 : 0;
        // Each operation gives up within its limits (a handshake included).
        EXPECT_LE(clock.monotonicSeconds() - t0, 3.2);
        EXPECT_FALSE(link.Active());
        if (!ok && operation < 2) {
            EXPECT_FALSE(link.Connected());
        }
        // Nothing of this round may arrive in the next.
        clock.advanceSeconds(1.6);
        line.discardAll();
        if (!link.Connected()) {
            ASSERT_TRUE(link.Connect());
        }
    }
    EXPECT_GT(successes, 100);
}
