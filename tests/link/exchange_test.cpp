// SPDX-License-Identifier: GPL-3.0-or-later
// The link's exchanges on the fake port and the virtual clock: the bytes that go out, the
// time limits to the tick, the bytes each request takes from the line and leaves there,
// and test mode. What a reply means is the parsers' test.
#include "ExchangeFixture.h"
#include "VirtualLinkEvents.h"
#include "link/LinkTrace.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <limits>
#include <optional>

namespace {

TEST_F(ExchangeTest, QueuedRequestsWriteTheSameBytesKeepTheirLimitsAndSayWhatFailed)
{
    using Got = std::function<void(QByteArray)>;
    const QByteArray reply = frame(14, 0, QByteArray(24, '\x02'));
    const QByteArray head = reply.left(5), rest = reply.mid(5), bad = "\x0E" + reply.mid(1);
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
            // A wrong start byte is refused, a bad CRC counted; both end the connection.
            {true, packet, chunks(0.1, bad.left(5), 0.5, bad.mid(5)), frame(14, 0, "kept"),
             "failed: start byte 0E, not 0F", 0.1, false, 0, 0},
            {true, packet, chunks(0.05, head.left(4) + "\x16" + rest), frame(14, 0, "kept"),
             "failed: CRC check failed", 0.05, false, 0, 1},
            {true, [&](Got got) { block(0x102, false, std::nullopt, got); }, chunks(1.0, ackA),
             requestA, "failed: acknowledgement: frame: 0 of 9 bytes", 1.0, false, 1, 0},
            {true, [&](Got got) { block(0x102, false, std::nullopt, got); },
             chunks(0.05, ackA, 0.05, blockA.left(513)), requestA,
             "failed: data block: 513 of 514 bytes", 1.15, false, 1, 0},
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
             chunks(0.1, ackA, 0.7, corrupt), requestA, "failed: data block CRC check failed", 0.7,
             false, 0, 1},
            // A block takes its time on the line (514 bytes: 0.59 s). The next block's request
            // goes out behind the first acknowledgement; its acknowledgement and block,
            // waiting on the line, are the second request's.
            {true, twoBlocksAhead, chunks(0.1, ackA, 0.7, blockA + ackB, 1.3, blockB),
             requestA + requestB, "block 514 + block 514", 1.3, true, 0, 0},
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
    // (command and reply, bytes waiting before, seconds taken, status; the exchange fails
    // when the status says so)
    const std::tuple<QByteArray, Chunks, QByteArray, double, QString> rows[] = {
        // The handshake: 50 ms, a last chunk ending in 0xAF within 1 s, 50 ms.
        {"R", chunks(0.01, Prompt), "", 0.11, opening},
        {"R", chunks(0.01, "\r\n", 0.3, "\xAF"), "", 0.4, opening},
        {"R", chunks(1.2, Prompt), "", 1.1, notFound},
        {"R", chunks(), "\xAF", 1.1, notFound}, // stale input is thrown away
        // "I": five lines within 1 s.
        {"I", chunks(0.01, "IZQ", 0.1, "4 v2\rU", 0.2, "\r3V\r7\rS\r"), "", 0.305,
         "ZQ4  7 connected on COM 3"},
        // The model is the version's first word, whatever bytes the line holds.
        {"I", chunks(0.01, "I\tZQ5\tv1.03 Z\xFCrich\x07\rU\rP\r7\rS\r"), "", 0.115,
         "ZQ5  7 connected on COM 3"},
        // Noise holding "I" and CR before the reply shifts none of its lines.
        {"I", chunks(0.01, "xI\rIZQ4 v2\rU\rP\r7\r", 0.1, "S\r"), "", 0.205,
         "ZQ4  7 connected on COM 3"},
        {"I", chunks(0.01, "IZQ4\rU\r", 1.0, "P\r7\rS\r"), "", 1.105, statusFailed},
        // "S": a line ending in CR within 1 s.
        {"S", chunks(0.01, "S12", 0.2, "3.4,56", 0.4, ".7,0\r"), "", 0.505, opening},
        {"S", chunks(0.01, "S1,2,1", 1.0, "\r"), "", 1.105, "GetReadings command failed"},
        // "U1" after "T": its answer, noise before it passing; a refusal sends "R".
        {"U1", chunks(0.01, "U1OK\rTEST:more"), "", 0.12, opening},
        {"U1", chunks(0.01, "\x05U1OK\rTEST:"), "", 0.12, opening},
        {"U1", chunks(0.01, "U1NO\rTEST:"), "", 1.11, unitsFailed},
        {"U1", chunks(0.01, "U1OK\rTEST", 1.0, ":"), "", 1.11, unitsFailed},
    };
    for (const auto &[command, reply, stale, seconds, status] : rows) {
        SCOPED_TRACE(command.toStdString() + " " + std::to_string(seconds));
        far.on("R", Prompt);
        const double start = connectAgain();
        link.setCommPort(3);
        line.deliver(stale);
        far.on(command, reply);
        const bool ok = command == "R"   ? calls.connect()
                        : command == "I" ? calls.status()
                        : command == "S" ? calls.readings()
                                         : calls.units(1);
        EXPECT_EQ(ok, !status.contains("fail") && status != notFound);
        EXPECT_NEAR(clock.monotonicSeconds() - start, seconds, 0.0011);
        EXPECT_EQ(link.Status(), status);
        const QByteArray wire = command == "R" ? "R" : command == "U1" ? "RTU1" : "R" + command;
        EXPECT_EQ(line.written(), wire + (status == unitsFailed ? "R" : ""));
        EXPECT_TRUE(ok || (link.Version().isEmpty() && link.Total() == 0.0f));
        EXPECT_FALSE(link.inTestMode());
    }
}

TEST_F(ExchangeTest, TestModeAndPortChoiceBookkeeping)
{
    far.on("I", "IZQ5 v3.2\rU\rP\r7\rS\r");
    far.on("E", "E\rdump\rTEST:");
    far.on("S", "S1,2,0 (1 2 3 4 5 6 7 8)\rTEST:");
    EXPECT_EQ(calls.testCommand("E", 2000), "E\rdump");
    EXPECT_EQ(calls.testCommand("S", 2000), "S1,2,0 (1 2 3 4 5 6 7 8)");
    ASSERT_TRUE(calls.status()); // its handshake leaves test mode
    EXPECT_FALSE(calls.testCommand("S", 2000).isEmpty());

    // No prompt after the command, or after "T": failure, test mode forgotten.
    far.on("E", "E\rdump");
    EXPECT_EQ(calls.testCommand("E", 500), QString());
    EXPECT_EQ(link.Status(), "TEST: prompt missing");
    EXPECT_FALSE(link.inTestMode());
    far.on("T", "\r\nTEST");
    EXPECT_EQ(calls.units(1), false);
    EXPECT_EQ(link.Status(), "TEST: prompt missing");
    far.on("T", "\r\nTEST:");
    // A "B" command is taken without the prompt; shorter than six characters, it is empty.
    far.on("B2", "B2");
    EXPECT_EQ(calls.testCommand("B2", 300), QString());
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
        {noise, [&] { return calls.readings() && link.Total() == 123.4f; }},
        {"S9,9,0\r", [&] { return calls.readings() && link.Diffuse() == 56.7f; }},
        {frame(14), [&] { return !calls.packet(14, 0, "kept").ok; }},
    };
    int dropped = 0;
    for (const auto &[unasked, exchange] : rows) {
        connectAgain();
        line.deliver(unasked);
        clock.advanceSeconds(1);
        EXPECT_TRUE(exchange());
        dropped += int(unasked.size());
    }
    // The acknowledgement and block of a request the link made ahead are not unasked, also
    // when a handshake that starts afresh drops them.
    connectAgain();
    line.deliver(frame(0x16, 2, fromHex("0600")) + dataBlock(6), 0.1);
    line.deliver(frame(0x16, 3, fromHex("0600")) + dataBlock(6), 0.2);
    EXPECT_TRUE(calls.block(2, 6, false, 3).ok);
    EXPECT_TRUE(calls.connect());
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
        {[&] { calls.testCommand("E", 500); }, 'T'},
        {[&] { calls.testCommand("E", 500); }, 'E'},
        {[&] { calls.units(1); }, 'T'},
        {[&] { calls.units(1); }, 'U'},
        {[&] { calls.readings(); }, 'S'},
        {[&] { calls.packet(14, 0, "kept"); }, '\x0E'},
        {[&] { calls.block(2, 6); }, '\x16'},
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

} // namespace
