// SPDX-License-Identifier: GPL-3.0-or-later
// The link's exchanges on the fake port and the virtual clock: the bytes that go out, the
// time limits to the tick, the bytes each wait takes from the line and leaves there, test
// mode and the busy flag. What a reply means is the parsers' test.
#include "ExchangeFixture.h"
#include "VirtualLinkEvents.h"
#include "link/LinkTrace.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <limits>
#include <optional>

namespace {

// What each packet exchange received: the frame, "A" for an acknowledgement, the block;
// empty when it failed. SendPacket2 gives what its arguments hold after the call, the
// request itself when it failed.
QByteArray sendPacket2With(SensorLink &link, quint8 command, quint32 address, QByteArray data)
{
    quint8 n = static_cast<quint8>(data.size());
    link.SendPacket2(command, address, n, data);
    return frame(command, static_cast<quint16>(address), data.left(n));
}
using Wait = std::function<QByteArray(SensorLink &)>;
const Wait sendPacket = [](SensorLink &link) { return link.SendPacket(14, 0, 0, {}); };
const Wait sendPacket2 = [](SensorLink &link) { return sendPacket2With(link, 14, 0, "kept"); };
const Wait waitBlock = [](SensorLink &link) { return QByteArray(link.WaitDataBlock(258), 'A'); };
// GetDataBlock of n bytes into `room` elements.
Wait getBlock(int n, int room)
{
    return [n, room](SensorLink &link) {
        QByteArray data(room, '\0');
        return link.GetDataBlock(n, data) ? data.left(n + 2) : QByteArray();
    };
}

TEST_F(ExchangeTest, PacketRequestsGoOutOneBytePerWriteAfterAHandshakeWhenNeeded)
{
    // (connected before, the call, its bytes, whether it holds the busy flag)
    const std::tuple<bool, std::function<void()>, QByteArray, bool> rows[] = {
        {true, [&] { link.SendPacket(12, 0, 0, {}); }, fromHex("0F0C0000005751"), false},
        {true, [&] { sendPacket2With(link, 18, 0x0123, "\x0C"); }, frame(18, 0x0123, "\x0C"), true},
        {true, [&] { link.SendPacket(11, 0, 2, "\x0A\x0B\x0C"); }, frame(11, 0, "\x0A\x0B"), false},
        {false, [&] { link.SendPacket(15, 0, 0, {}); }, frame(15), false},
        {false, [&] { sendPacket2With(link, 15, 0, {}); }, frame(15), true},
        {false, [&] { link.RequestDataBlock(0x3FE, 32767); }, frame(0x16, 0x3FE, "\xFF\x7F"), true},
    };
    for (const auto &[connected, send, bytes, holds] : rows) {
        connectAgain();
        if (!connected)
            link.setCommPort(3); // forgets the connection, as a failed packet does
        send();
        // One write per byte; the handshake holds the flag, the packet as it says.
        const QByteArray handshake = connected ? "" : "R";
        EXPECT_EQ(hex(line.written()), hex(handshake + bytes));
        EXPECT_EQ(held, QByteArray(handshake.size(), '1') + QByteArray(bytes.size(), "01"[holds]));
    }
}

TEST_F(ExchangeTest, PacketWaitsKeepTheirLimitsConnectionAndCounters)
{
    const QByteArray reply = frame(14, 0, QByteArray(24, '\x02')); // 31 bytes
    const QByteArray head = reply.left(5), rest = reply.mid(5);
    // A wrong start byte; what SendPacket2's arguments hold when it failed: the request.
    const QByteArray bad = "\x0E" + reply.mid(1), kept = frame(14, 0, "kept");
    const QByteArray ack = frame(0x16, 0x0102, fromHex("0002"));
    const QByteArray block = dataBlock(512), none;
    QByteArray corrupt = block;
    corrupt[100] = 'Y';
    // (reply, the wait, what it received, seconds it took, connected after, time-outs and
    // bad checks counted)
    const std::tuple<Chunks, Wait, QByteArray, double, bool, int, int> rows[] = {
        {chunks(0.999, reply), sendPacket, reply, 0.999, true, 0, 0},
        {chunks(0.5, head, 2.0, rest), sendPacket, none, 2.0, false, 1, 0},
        {chunks(0.5, head, 1.5, rest), sendPacket2, kept, 1.5, false, 1, 0},
        {chunks(0.1, bad.left(5), 0.5, bad.mid(5)), sendPacket2, kept, 0.1, false, 0, 0},
        {chunks(0.05, head.left(4) + "\x16" + rest), sendPacket2, kept, 0.05, false, 0, 1},
        {chunks(0.999, ack), waitBlock, "A", 0.999, true, 0, 0},
        {chunks(1.0, ack), waitBlock, none, 1.0, false, 1, 0},
        {chunks(0.05, frame(0x16, 0x0103, fromHex("0002"))), waitBlock, none, 0.05, true, 0, 0},
        // GetDataBlock: every bad block is counted; it needs n + 3 elements.
        {chunks(0.999, block), getBlock(512, 515), block, 0.999, true, 0, 0},
        {chunks(0.05, corrupt), getBlock(512, 515), none, 0.05, true, 0, 1},
        {chunks(0.05, block.left(513)), getBlock(512, 521), none, 1.1, true, 1, 0},
        {chunks(0.05, block), getBlock(512, 514), none, 0.05, true, 0, 0},
        {chunks(0.05, dataBlock(6)), getBlock(6, 9), dataBlock(6), 0.05, true, 0, 0},
    };
    for (const auto &[arriving, wait, received, seconds, connected, timeouts, badChecks] : rows) {
        SCOPED_TRACE(hex(received).left(20).toStdString() + " " + std::to_string(seconds));
        const double start = connectAgain();
        const LinkCounters before = link.Counters();
        for (const auto &chunk : arriving)
            line.deliver(chunk.bytes, chunk.delay);
        const int calls = pump.calls;
        EXPECT_EQ(hex(wait(link)), hex(received));
        EXPECT_NEAR(clock.monotonicSeconds() - start, seconds, 0.0011);
        EXPECT_EQ(link.Connected(), connected);
        EXPECT_EQ(link.Counters().timeouts - before.timeouts, timeouts);
        EXPECT_EQ(link.Counters().crcFailures - before.crcFailures, badChecks);
        EXPECT_GT(pump.calls, calls); // window events ran while it waited
    }

    const double byteOnLine = 11 / 9600.0; // 9600 baud, 11 bits a byte
    // An acknowledgement and its block at the line's own pace: the counted waits look at
    // the line a few times, not once a byte, and still end with the last byte.
    const double start = connectAgain();
    const QByteArray paced = ack + block;
    for (qsizetype i = 0; i < paced.size(); ++i)
        line.deliver(paced.mid(i, 1), double(i + 1) * byteOnLine);
    const int looks = port.looks;
    EXPECT_EQ(waitBlock(link), "A");
    EXPECT_EQ(hex(getBlock(512, 515)(link)), hex(block));
    EXPECT_LE(port.looks - looks, 8);
    EXPECT_NEAR(clock.monotonicSeconds() - start, double(paced.size()) * byteOnLine, 0.002);
}

TEST_F(ExchangeTest, QueuedRequestsWriteTheSameBytesKeepTheirLimitsAndSayWhatFailed)
{
    using Got = std::function<void(QByteArray)>;
    const QByteArray reply = frame(14, 0, QByteArray(24, '\x02'));
    const QByteArray head = reply.left(5), rest = reply.mid(5);
    const QByteArray ackA = frame(0x16, 0x0102, fromHex("0002")), blockA = dataBlock(512);
    const QByteArray ackB = frame(0x16, 0x0103, fromHex("0002")), blockB = dataBlock(512);
    QByteArray corrupt = blockA;
    corrupt[100] = 'Y';
    const auto packet = [&](Got got) {
        link.requestPacket(14, 0, 4, "kept", [got](const SensorLink::PacketReply &r) {
            got(r.ok ? r.data : "failed: " + r.failure.toUtf8());
        });
    };
    const auto block = [&](quint32 address, bool ahead, std::optional<quint32> next, Got got) {
        link.requestDataBlock(address, 512, ahead, next, [got](const SensorLink::BlockReply &r) {
            got(r.ok ? "block " + QByteArray::number(r.block.size())
                     : "failed: " + r.failure.toUtf8());
        });
    };
    const auto twoBlocksAhead = [&](Got got) {
        block(0x102, false, 0x103, [&, got](const QByteArray &first) {
            block(0x103, true, std::nullopt,
                  [got, first](const QByteArray &second) { got(first + " + " + second); });
        });
    };
    const auto testCommands = [&](Got got) {
        link.requestTestCommand("E", 500, [](const QString &) {});
        link.requestTestCommand("E", 500, [got](const QString &text) { got(text.toUtf8()); });
    };
    const QByteArray requestA = frame(0x16, 0x102, fromHex("0002"));
    const QByteArray requestB = frame(0x16, 0x103, fromHex("0002"));
    // (connected first, the request, what comes, what goes out, what it received, seconds,
    // connected after, time-outs and bad checks counted)
    const std::tuple<bool, std::function<void(Got)>, Chunks, QByteArray, QByteArray, double, bool,
                     int, int>
        rows[] = {
            {true, packet, chunks(0.999, reply), frame(14, 0, "kept"), reply.mid(5, 24), 0.999,
             true, 0, 0},
            {true, packet, chunks(0.5, head, 1.5, rest), frame(14, 0, "kept"),
             "failed: frame: 5 of 31 bytes", 1.5, false, 1, 0},
            // Not connected: the handshake, its pauses and a 10 ms rest go first.
            {false,
             packet,
             {},
             "R" + frame(14, 0, "kept"),
             "failed: header: 0 of 5 bytes",
             1.115,
             false,
             1,
             0},
            {true, [&](Got got) { block(0x102, false, std::nullopt, got); },
             chunks(0.1, ackA, 0.2, corrupt), requestA, "failed: data block CRC check failed", 0.2,
             false, 0, 1},
            // The next block's request goes out behind the first acknowledgement; its
            // acknowledgement and block, waiting on the line, are the second request's.
            {true, twoBlocksAhead, chunks(0.1, ackA, 0.2, blockA + ackB, 0.3, blockB),
             requestA + requestB, "block 514 + block 514", 0.3, true, 0, 0},
            {true, [&](Got got) { block(0x103, true, std::nullopt, got); }, chunks(0.1, ackA), "",
             "failed: acknowledgement of command 22 for block 258, not of block 259", 0.1, true, 0,
             0},
            // The second command's turn finds the instrument in test mode: no handshake.
            {true, testCommands, {}, "RTEE", "E1\r", 0.25, true, 0, 0},
            {true,
             [&](Got got) { link.requestPause(100, [got](bool) { got("paused"); }); },
             {},
             "",
             "paused",
             0.1,
             true,
             0,
             0},
        };
    far.on("E", "E1\r\nTEST:", 0.02);
    for (const auto &[connected, request, arriving, sent, received, seconds, connectedAfter,
                      timeouts, badChecks] : rows) {
        SCOPED_TRACE(received.toStdString());
        const double start = connectAgain();
        if (!connected)
            link.setCommPort(3);
        const LinkCounters before = link.Counters();
        for (const auto &chunk : arriving)
            line.deliver(chunk.bytes, chunk.delay);
        std::optional<QByteArray> got;
        request([&](const QByteArray &r) { got = r; });
        EXPECT_FALSE(got); // never inside the request itself
        runLinkEvents(clock, port, [&] { return got && link.requestsIdle(); });
        EXPECT_EQ(hex(got.value_or("never")), hex(received));
        EXPECT_EQ(hex(line.written()), hex(sent));
        EXPECT_NEAR(clock.monotonicSeconds() - start, seconds, 0.0011);
        EXPECT_EQ(link.Connected(), connectedAfter);
        EXPECT_EQ(link.Counters().timeouts - before.timeouts, timeouts);
        EXPECT_EQ(link.Counters().crcFailures - before.crcFailures, badChecks);
    }
}

TEST_F(ExchangeTest, TextRepliesKeepTheirLimitsToTheTickAndSayWhatFailed)
{
    const QString opening = "Opening COM 3", notFound = "VTA1 not found on COM 3";
    const QString unitsFailed = "SetUnits command failed",
                  statusFailed = "GetStatus command failed";
    // (command and reply, bytes waiting before, seconds taken, status, writes with the busy
    // flag up (1) or down (0); the exchange fails when the status says so)
    const std::tuple<QByteArray, Chunks, QByteArray, double, QString, QByteArray> rows[] = {
        // The handshake: 50 ms, a last chunk ending in 0xAF within 1 s, 50 ms.
        {"R", chunks(0.01, Prompt), "", 0.11, opening, "1"},
        {"R", chunks(0.01, "\r\n", 0.3, "\xAF"), "", 0.4, opening, "1"},
        {"R", chunks(1.2, Prompt), "", 1.1, notFound, "1"},
        {"R", chunks(), "\xAF", 1.1, notFound, "1"}, // stale input is thrown away
        // "I": five lines within 1 s.
        {"I", chunks(0.01, "IZQ", 0.1, "4 v2\rU", 0.2, "\r3V\r7\rS\r"), "", 0.305,
         "ZQ4  7 connected on COM 3", "11"},
        // The model is the version's first word, whatever bytes the line holds.
        {"I", chunks(0.01, "I\tZQ5\tv1.03 Z\xFCrich\x07\rU\rP\r7\rS\r"), "", 0.115,
         "ZQ5  7 connected on COM 3", "11"},
        // Noise holding "I" and CR before the reply shifts none of its lines.
        {"I", chunks(0.01, "xI\rIZQ4 v2\rU\rP\r7\r", 0.1, "S\r"), "", 0.205,
         "ZQ4  7 connected on COM 3", "11"},
        {"I", chunks(0.01, "IZQ4\rU\r", 1.0, "P\r7\rS\r"), "", 1.105, statusFailed, "11"},
        // "S": a line ending in CR within 1 s.
        {"S", chunks(0.01, "S12", 0.2, "3.4,56", 0.4, ".7,0\r"), "", 0.505, opening, "11"},
        {"S", chunks(0.01, "S1,2,1", 1.0, "\r"), "", 1.105, "GetReadings command failed", "11"},
        // "U1" after "T": its answer, noise before it passing; a refusal sends "R".
        {"U1", chunks(0.01, "U1OK\rTEST:more"), "", 0.12, opening, "111"},
        {"U1", chunks(0.01, "\x05U1OK\rTEST:"), "", 0.12, opening, "111"},
        {"U1", chunks(0.01, "U1NO\rTEST:"), "", 1.11, unitsFailed, "1111"},
        {"U1", chunks(0.01, "U1OK\rTEST", 1.0, ":"), "", 1.11, unitsFailed, "1111"},
    };
    for (const auto &[command, reply, stale, seconds, status, flags] : rows) {
        SCOPED_TRACE(command.toStdString() + " " + std::to_string(seconds));
        far.on("R", Prompt);
        const double start = connectAgain();
        link.setCommPort(3);
        line.deliver(stale);
        far.on(command, reply);
        const bool ok = command == "R"   ? link.Connect()
                        : command == "I" ? link.GetStatus()
                        : command == "S" ? link.GetReadings()
                                         : link.SetUnits(1);
        EXPECT_EQ(ok, !status.contains("fail") && status != notFound);
        EXPECT_NEAR(clock.monotonicSeconds() - start, seconds, 0.0011);
        EXPECT_EQ(link.Status(), status);
        const QByteArray wire = command == "R" ? "R" : command == "U1" ? "RTU1" : "R" + command;
        EXPECT_EQ(line.written(), wire + (status == unitsFailed ? "R" : ""));
        EXPECT_EQ(held, flags);
        EXPECT_TRUE(ok || (link.Version().isEmpty() && link.Total() == 0.0f));
        EXPECT_FALSE(link.inTestMode());
    }
}

TEST_F(ExchangeTest, TestModeAndPortChoiceBookkeeping)
{
    far.on("I", "IZQ5 v3.2\rU\rP\r7\rS\r");
    far.on("E", "E\rdump\rTEST:");
    far.on("S", "S1,2,0 (1 2 3 4 5 6 7 8)\rTEST:");
    held.clear();
    EXPECT_EQ(link.TestCommand("E", 2000), "E\rdump");
    EXPECT_EQ(link.TestCommand("S", 2000), "S1,2,0 (1 2 3 4 5 6 7 8)");
    ASSERT_TRUE(link.GetStatus()); // its handshake leaves test mode
    EXPECT_FALSE(link.TestCommand("S", 2000).isEmpty());
    EXPECT_EQ(held, "111011111"); // held only by a command that enters test mode itself

    // No prompt after the command, or after "T": failure, test mode forgotten.
    far.on("E", "E\rdump");
    EXPECT_EQ(link.TestCommand("E", 500), QString());
    EXPECT_EQ(link.Status(), "TEST: prompt missing");
    EXPECT_FALSE(link.inTestMode());
    far.on("T", "\r\nTEST");
    EXPECT_EQ(link.SetUnits(1), false);
    EXPECT_EQ(link.Status(), "TEST: prompt missing");
    far.on("T", "\r\nTEST:");
    // A "B" command is taken without the prompt; shorter than six characters, it is empty.
    far.on("B2", "B2");
    EXPECT_EQ(link.TestCommand("B2", 300), QString());
    EXPECT_TRUE(link.inTestMode());
    EXPECT_EQ(line.written(), "RTESRIRTSERTRRTB2"); // ... "E", "R" "T" "R", "R" "T" "B2"

    // A port that cannot be opened says why; the one open before is opened again.
    port.addLine(5).openError = SerialPort::ErrorOpenFailed;
    QStringList boxes;
    QObject::connect(&link, &SensorLink::portSelectionFailed,
                     [&](const QString &t) { boxes << t; });
    link.setCommPort(5);
    EXPECT_EQ(link.CommPort(), 3);
    EXPECT_EQ(boxes, QStringList({"Error 8022 Device cannot be opened"}));
}

TEST_F(ExchangeTest, BytesThatCameUnaskedAreDroppedBeforeTheNextExchangeCountedAndTraced)
{
    QTemporaryDir folder;
    QString error;
    ASSERT_TRUE(StartLinkTrace(folder.filePath("trace.txt"), error));
    far.on("S", "S123.4,56.7,1\r");
    const QByteArray noise(70000, 'S');
    // (what came unasked before the exchange, the exchange, what it must still get right)
    const std::tuple<QByteArray, std::function<bool()>> rows[] = {
        {noise, [&] { return link.GetReadings() && link.Total() == 123.4f; }},
        {"S9,9,0\r", [&] { return link.GetReadings() && link.Diffuse() == 56.7f; }},
        {frame(14), [&] { return sendPacket2(link) == frame(14, 0, "kept"); }},
    };
    int dropped = 0;
    for (const auto &[unasked, exchange] : rows) {
        connectAgain();
        line.deliver(unasked);
        clock.advanceSeconds(1);
        EXPECT_TRUE(exchange());
        dropped += int(unasked.size());
    }
    // The acknowledgement and block of a request the link made are not unasked, also when
    // a handshake that starts afresh drops them.
    connectAgain();
    EXPECT_TRUE(link.RequestDataBlock(2, 6));
    line.deliver(frame(0x16, 2, fromHex("0600")) + dataBlock(6));
    EXPECT_TRUE(link.Connect());
    // Retries and every status the window shows are in the trace too.
    link.countRetry();
    link.setCommPort(0);
    StopLinkTrace();
    EXPECT_EQ(link.Counters().unaskedBytes, dropped);
    QFile trace(folder.filePath("trace.txt"));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QByteArray traced = trace.readAll();
    EXPECT_TRUE(traced.contains("dropped 7 unasked bytes (" + QByteArray::number(dropped) +
                                " in this run)"));
    EXPECT_TRUE(traced.contains("retry: the exchange is tried again (1 in this run)"));
    EXPECT_TRUE(traced.contains("status: No serial port selected"));
}

TEST_F(ExchangeTest, ADeviceLostInsideAnyExchangeIsSaidLostAndEndsTheConnection)
{
    // (the exchange, the byte whose writing finds the device gone)
    const std::tuple<std::function<void()>, char> rows[] = {
        {[&] { link.TestCommand("E", 500); }, 'T'},
        {[&] { link.TestCommand("E", 500); }, 'E'},
        {[&] { link.SetUnits(1); }, 'T'},
        {[&] { link.SetUnits(1); }, 'U'},
        {[&] { link.GetReadings(); }, 'S'},
        {[&] { sendPacket2(link); }, '\x0E'},
        {[&] { link.SendPacket(14, 0, 0, {}); }, '\x0E'},
    };
    const auto answer = line.onWrite;
    for (const auto &[exchange, at] : rows) {
        port.replug(3);
        link.setCommPort(3);
        connectAgain();
        line.onWrite = [&, at = at](const QByteArray &bytes) {
            bytes.contains(at) ? port.unplug() : answer(bytes);
        };
        exchange();
        line.onWrite = answer;
        EXPECT_EQ(link.Status(), "Lost COM 3: The device has been disconnected");
        EXPECT_FALSE(link.Connected() || link.CommPort());
    }
    // Each loss is counted once, and each handshake after one as a reconnect.
    EXPECT_EQ(link.Counters().portLosses, int(std::size(rows)));
    EXPECT_EQ(link.Counters().reconnects, int(std::size(rows)) - 1);
}

TEST_F(ExchangeTest, OnlyTheWaitsThatHoldTheBusyFlagTurnAwayAnExchangeStartedInside)
{
    // Exchanges a window timer may start while a wait lets window events run.
    const std::function<bool()> attempts[] = {
        [&] { return link.GetStatus(); },
        [&] { return link.GetReadings(); },
        [&] { return link.SetUnits(0); },
        [&] { return !link.TestCommand("S", 100).isEmpty(); },
        [&] { return !link.SendPacket(12, 0, 0, {}).isEmpty(); },
        [&] { return sendPacket2(link) != frame(14, 0, "kept"); },
        [&] { return link.RequestDataBlock(0, 512); },
        [&] { return link.WaitDataBlock(0); },
    };
    const std::tuple<QByteArray, Wait, bool> rows[] = {
        {frame(14, 0, "done"), sendPacket2, true},
        {frame(0x16, 0x0102, fromHex("0002")), waitBlock, true},
        {frame(14), sendPacket, false},
    };
    for (const auto &[reply, wait, holds] : rows) {
        connectAgain();
        line.deliver(reply, 0.3);
        QList<bool> flagSeen;
        pump.hook = [&, holding = holds] {
            flagSeen.append(link.Active());
            if (!holding || flagSeen.size() > 1)
                return;
            // Each fails at once, writes nothing and takes no time.
            const double start = clock.monotonicSeconds();
            const QByteArray before = line.written();
            for (const auto &attempt : attempts)
                EXPECT_FALSE(attempt());
            EXPECT_EQ(clock.monotonicSeconds(), start);
            EXPECT_EQ(line.written(), before);
        };
        EXPECT_EQ(hex(wait(link)), hex(reply.size() == 9 ? "A" : reply));
        pump.hook = nullptr;
        EXPECT_EQ(flagSeen.count(holds), flagSeen.size());
        EXPECT_FALSE(flagSeen.isEmpty() || link.Active());
    }
}

TEST_F(ExchangeTest, DelayMsWaitsTheRightTimeAlsoAcrossTheCounterWrap)
{
    // The millisecond counter reads its largest value at `top` seconds, and again every
    // 2^32 ms (4294967.296 s) after.
    const double top = (std::numeric_limits<qint32>::max() - 1000000) / 1000.0;
    // (seconds after the top, milliseconds, seconds waited): ending at the top, across
    // the next wrap, and nothing at all.
    const std::tuple<double, float, double> rows[] = {
        {-0.1, 100, 0.1}, {4294967.276, 100, 0.1}, {4294970, -5, 0}};
    for (const auto &[after, ms, seconds] : rows) {
        clock.advanceTo(top + after);
        link.DelayMs(ms);
        EXPECT_NEAR(clock.monotonicSeconds() - top - after, seconds, 0.0015) << after;
    }
}

} // namespace
