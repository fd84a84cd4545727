// SPDX-License-Identifier: GPL-3.0-or-later
// Seeded random replies, shaped like the real ones and damaged, thrown at every exchange:
// nothing may crash or hang (each exchange ends within its limits on the virtual clock,
// even against an instrument that never stops talking), a success must be one the reply
// allows, and enough replies must succeed that the test cannot pass by refusing them all.
#include "ExchangeFixture.h"

#include <random>

namespace {

TEST_F(ExchangeTest, RandomRepliesNeverCrashHangOrPassForGood)
{
    std::mt19937 random{20260601};
    const auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const auto bytes = [&](int count) {
        QByteArray out;
        while (out.size() < count)
            out.append(static_cast<char>(number(0, 255)));
        return out;
    };
    // The reply as it is, or cut, with a byte changed or with junk put in.
    const auto damaged = [&](QByteArray reply) {
        const int at = number(0, std::max(0, static_cast<int>(reply.size()) - 1));
        const int damage = number(0, 5);
        return damage == 0   ? reply.left(at)
               : damage == 1 ? reply.replace(at, 1, bytes(1))
               : damage == 2 ? reply.insert(at, bytes(number(1, 20)))
                             : reply;
    };
    // The reply in up to four pieces over up to 2 s.
    const auto deliver = [&](const QByteArray &reply) {
        double delay = 0;
        for (qsizetype from = 0, size = 0, piece = 1; from < reply.size(); from += size, ++piece) {
            size = piece == 4 ? reply.size() - from : number(0, int(reply.size() - from));
            line.deliver(reply.mid(from, size), delay += number(0, 500) / 1000.0);
        }
    };
    const QMap<QByteArray, QByteArray> textReplies{
        {"I", "IZQ5 v3.2\rUnits: W.m-2\rBattery 3612mV (ok)\r10342\rLogging\r"},
        {"S", "S123.4,56.7,1\r"},
        {"T", "\r\nTEST:"},
        {"U1", "U1OK\rTEST:"},
        {"E", "E\rUser:     4101  4080  4050  4200  3990  4096  4111\rOffset: 12\rTEST:"},
    };
    QByteArray textReply; // what the far end sent this round
    line.onWrite = [&](const QByteArray &written) {
        if (written == "R")
            line.deliver(Prompt, 0.002);
        if (!textReplies.contains(written))
            return;
        const QByteArray reply = damaged(textReplies.value(written));
        textReply += reply;
        deliver(reply);
        // Now and then an instrument that never stops talking.
        for (int i = 0, chunks = number(0, 30) == 0 ? 400 : 0; i < chunks; ++i)
            line.deliver(QByteArray(64, 'x'), i * 0.01);
    };
    int packets = 0, texts = 0;
    for (int round = 0; round < 4000; ++round) {
        SCOPED_TRACE(round);
        const int exchange = round % 8;
        const auto address = static_cast<quint16>(number(0, 3));
        // Packet replies: random bytes, any frame, the frame or the acknowledgement and block
        // the request expects, any block.
        const int blockSize = number(0, 600);
        QByteArray block = bytes(blockSize);
        Frame::appendLe16(block, CalcCrc(block));
        QByteArray length;
        Frame::appendLe16(length, static_cast<quint16>(blockSize));
        const QByteArray shapes[] = {
            bytes(number(0, 40)), frame(number(0, 255), address, bytes(number(0, 254))),
            exchange >= 2 ? frame(0x16, address, length) + block : frame(12, 0, bytes(8)), block};
        const QByteArray answer = exchange < 4 ? damaged(shapes[number(0, 3)]) : QByteArray();
        line.discardAll(); // the rest of the round before
        const double start = connectAgain();
        deliver(answer);
        textReply.clear();
        bool ok = false;
        switch (exchange) {
        case 0:
        case 1: {
            const SensorLink::PacketReply reply = calls.packet(12, 0, {});
            ok = reply.ok;
            EXPECT_TRUE(!ok ||
                        answer.contains(frame(reply.command, quint16(reply.address), reply.data)));
            break;
        }
        case 2:
        case 3: {
            // A block asked for ahead, and one asked for now.
            const SensorLink::BlockReply reply = calls.block(address, blockSize, exchange == 2);
            ok = reply.ok;
            EXPECT_TRUE(!ok || (reply.block.size() == blockSize + 2 && CalcCrc(reply.block) == 0));
            break;
        }
        case 4:
            ok = calls.status();
            EXPECT_TRUE((ok || link.Version().isEmpty()) && !link.Power().contains('\r'));
            break;
        case 5:
            ok = calls.readings();
            EXPECT_TRUE(ok || (link.Total() == 0.0f && !link.Sun()));
            break;
        case 6:
            ok = calls.units(1);
            EXPECT_TRUE(!ok || textReply.contains("U1OK\rTEST:"));
            break;
        default: {
            const QByteArray text = calls.testCommand("E", 500).toLatin1();
            ok = !text.isEmpty();
            EXPECT_TRUE(!ok || textReply.contains(text));
        }
        }
        // Each exchange gives up within its limits (a handshake included; each read of a
        // block moves its limit on by 0.1 s).
        const int blockReads = static_cast<int>(answer.size()) / (blockSize + 2) + 4;
        EXPECT_LE(clock.monotonicSeconds() - start, exchange >= 2 ? 3.1 + 0.1 * blockReads : 3.3);
        EXPECT_TRUE(exchange > 1 || link.Connected() == ok); // a failed packet forgets it
        (exchange < 4 ? packets : texts) += ok;
    }
    EXPECT_GT(packets, 150);
    EXPECT_GT(texts, 400);
}

} // namespace
