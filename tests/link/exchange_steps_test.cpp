// SPDX-License-Identifier: GPL-3.0-or-later
// Each exchange as a state machine, on byte sequences and times alone: what it writes,
// when it is done or fails and why, what it reads from the reply, and the bytes it hands
// back or drops.
#include "ExchangeFixture.h"
#include "link/DataBlockExchange.h"
#include "link/HandshakeExchange.h"
#include "link/PacketExchange.h"
#include "link/ReadingsExchange.h"
#include "link/StatusExchange.h"
#include "link/TestCommandExchange.h"
#include "link/UnitsExchange.h"

#include <memory>

namespace {

using State = ExchangeStep::State;
using Failure = ExchangeStep::Failure;
using Stage = DataBlockExchange::Stage;
using Timing = PacketExchange::Timing;
using Feeds = QList<std::pair<double, QByteArray>>;
// An exchange, and its value as text once it is done.
struct Machine
{
    std::shared_ptr<Exchange> exchange;
    std::function<QString()> value;
};

template <typename T, typename... Args>
Machine make(std::function<QString(T &)> value, Args... args)
{
    auto exchange = std::make_shared<T>(args...);
    return {exchange, [exchange, value] { return value ? value(*exchange) : QString(); }};
}

const std::function<QString(StatusExchange &)> statusText = [](StatusExchange &e) {
    const auto lines = e.status().value.value_or(StatusLines());
    return QStringList{lines.version, lines.units, lines.power, lines.serialNumber, lines.logStatus}
        .join('|');
};
const std::function<QString(ReadingsExchange &)> readingsText = [](ReadingsExchange &e) {
    const auto r = e.readings().value.value_or(PlainReadings{-1, -1, false});
    return QStringLiteral("%1 %2 %3").arg(r.total).arg(r.diffuse).arg(r.sun ? 1 : 0);
};
const std::function<QString(TestCommandExchange &)> testText = [](TestCommandExchange &e) {
    return e.text();
};
const std::function<QString(PacketExchange &)> packetText = [](PacketExchange &e) {
    return QString::fromLatin1(hex(e.frame()));
};
const std::function<QString(DataBlockExchange &)> blockText = [](DataBlockExchange &e) {
    return QString::fromLatin1(hex(e.acknowledgement() + e.block()));
};

// "done", "more", or why it failed: "late", "bad" (check), "refused".
QString outcomeOf(const ExchangeStep &step)
{
    if (step.state != State::Failed)
        return step.finished() ? "done" : "more";
    switch (step.failure) {
    case Failure::TimedOut:
        return "late";
    case Failure::BadCheck:
        return "bad";
    case Failure::Refused:
        return "refused";
    case Failure::None:
    case Failure::PortClosed:
        break;
    }
    return "failed";
}

QString hx(const QByteArray &bytes)
{
    return QString::fromLatin1(hex(bytes));
}

Machine handshake()
{
    return make<HandshakeExchange>(std::function<QString(HandshakeExchange &)>());
}
Machine status()
{
    return make<StatusExchange>(statusText);
}
Machine readings()
{
    return make<ReadingsExchange>(readingsText);
}
Machine units(int code)
{
    return make<UnitsExchange>(std::function<QString(UnitsExchange &)>(), code);
}
Machine testCommand(const char *command, double seconds, bool enters)
{
    return make<TestCommandExchange>(testText, QByteArray(command), seconds, enters);
}
Machine packet(Timing timing)
{
    return make<PacketExchange>(packetText, quint8(14), quint32(0), quint8(0), QByteArray(),
                                timing);
}
Machine block(int n, DataBlockExchange::Plan plan)
{
    return make<DataBlockExchange>(blockText, quint32(0x0102), n, plan);
}

TEST(ExchangeSteps, EachExchangeFollowsItsRulesOnBytesAndTimesAlone)
{
    const QByteArray ack = frame(0x16, 0x0102, fromHex("0600"));
    const QByteArray six = dataBlock(6), reply = frame(14, 0, "abc"); // reply: 10 bytes
    QByteArray badBlock = six;
    badBlock[2] = 'Y';
    const QByteArray length = fromHex("0600");
    QByteArray badAck = ack;
    badAck[8] = static_cast<char>(badAck.at(8) ^ 0x55);
    QByteArray badReply = reply;
    badReply[6] = 'x';
    const QByteArray lines = "IZQ4 v2\rUnits: W.m-2\rBattery 3612mV ok\r77\rIdle\r";
    const QByteArray zq4 = "ZQ4 v2|Units: W.m-2|Battery 3612mV|77|Idle";
    const Stage ackStage = Stage::Acknowledgement;
    const double s = 0.05, p = 0.05 + 1.0; // the handshake's "R", and its prompt's limit
    const auto request = [](int address) {
        return DataBlockExchange::requestWrites(address, 6).join();
    };
    const DataBlockExchange::Plan blockOnly{Stage::Block, Stage::Block, {}},
        ackOnly{ackStage, ackStage, {}}, ackAndBlock{ackStage, Stage::Block, {}};
    const Timing whole = Timing::WholeWithinTwoSeconds, parts = Timing::EachPartWithinASecond;
    // (exchange, bytes fed at their times (start at 0), all it wrote, how it ended (with
    // the bytes it dropped as unasked), its value, bytes handed back)
    const std::tuple<Machine, Feeds, QByteArray, QString, QString, QByteArray> rows[] = {
        // clang-format off
        // The handshake: bytes of the first pause dropped, "R", the prompt ending the
        // latest chunk within 1 s, the last pause (its bytes handed on).
        {handshake(), {{0, "ab"}, {0.01, "c"}, {s, ""}, {0.5, "\r\n"}, {0.6, "\xAF"}, {0.7, "x"}},
         "R", "done 3", "", "x"},
        {handshake(), {{s, "Q"}, {p - 0.001, Prompt}, {p + 0.04, ""}}, "R", "more 1", "", ""},
        {handshake(), {{s, ""}, {p - 0.001, Prompt}, {p - 0.001 + s, ""}}, "R", "done", "", ""},
        {handshake(), {{s, ""}, {p, Prompt}, {p + s, ""}}, "R", "late", "", Prompt},
        {handshake(), {{s, ""}, {0.3, "\xAF\r\n"}, {p, ""}, {p + s, ""}}, "R", "late", "", ""},
        {handshake(), {{s - 0.001, ""}}, "", "more", "", ""},
        // "I": five lines of a status after the echo, within 1 s; noise holding "I" and CR
        // before it neither ends it early nor shifts its lines.
        {status(), {{0, "xI\r" + lines.left(20)}, {0.5, lines.mid(20) + "more\r"}}, "I", "done",
         zq4, ""},
        {status(), {{0, "I\x01\x02\x03\r"}, {0.2, lines}}, "I", "done", zq4, ""},
        {status(), {{0, lines.chopped(1)}, {0.999, "\r"}}, "I", "done", zq4, ""},
        {status(), {{0, lines.chopped(1)}, {1.0, "\r"}}, "I", "late", "||||", ""},
        {status(), {{0.1, "I \rU\rP\rS\rL\r"}, {0.9, ""}}, "I", "more", "||||", ""},
        // "S": the echo and a CR within 1 s; a complete line that is no reading is refused.
        {readings(), {{0, "\rx"}, {0.1, "S12.5,"}, {0.999, "3,1\r"}}, "S", "done", "12.5 3 1", ""},
        {readings(), {{0, "S12.5,3,1"}, {1.0, "\r"}}, "S", "late", "-1 -1 0", ""},
        {readings(), {{0.2, "S12.5,3\r"}}, "S", "refused", "-1 -1 0", ""},
        // Units: "T" to "TEST:", then "U2" and its answer, noise before it allowed; "R"
        // after a failure of either.
        {units(2), {{0.1, "\r\nTEST:"}, {0.2, "\x05\x7F"}, {0.3, "U2OK\rTEST:"}}, "TU2", "done", "", ""},
        {units(2), {{0.1, "\r\nTEST:"}, {0.2, "U2NO\rTEST:"}, {1.2, ""}}, "TU2R", "late", "", ""},
        {units(2), {{0.1, "\r\nTEST"}, {1.0, ":"}}, "TR", "late", "", ""},
        // Test-mode commands: "T" when asked, 50 ms, the command, "TEST:" within the time;
        // a "B" command without it once its time passed.
        {testCommand("E", 2, true), {{0.1, "\r\nTEST:"}, {0.12, "E"}, {0.16, ""},
         {0.2, "\rdump\rTEST:"}}, "TE", "done", "E\rdump", ""},
        {testCommand("S", 0.5, false), {{0.01, "S1"}, {0.05, ""}, {0.549, ",2\rTEST:"}}, "S",
         "done", "S1,2", ""},
        {testCommand("S", 0.5, false), {{0.05, ""}, {0.56, "S1\rTEST:"}}, "S", "late", "", ""},
        {testCommand("B2", 0.3, false), {{0.05, ""}, {0.1, "B2 1234567"}, {0.4, ""}}, "B2",
         "done", "B2 1", ""},
        {testCommand("B2", 0.3, false), {{0.05, ""}, {0.1, "B2"}, {0.4, ""}}, "B2", "done", "", ""},
        {testCommand("E", 0.5, true), {{0.5, "\r\nTEST:"}}, "T", "late", "", ""},
        // A reply already there is taken with no time at all, and may be whole at once.
        {testCommand("E", 0, false), {{0.05, ""}, {0.05, "E\rTEST:"}}, "E", "done", "E", ""},
        {testCommand("E", 0, false), {{0.05, ""}, {0.051, "E\rTEST:"}}, "E", "late", "", ""},
        {testCommand("S", 0.5, false), {{0.01, "S1\rTEST:"}, {0.05, ""}}, "S", "done", "S1", ""},
        // Packets: the header within 1 s, then all within 2 s or the rest within 1 s of the
        // header; bytes after the frame handed back.
        {packet(whole), {{0.999, reply.left(5)}, {1.998, reply.mid(5)}}, frame(14), "done",
         hx(reply), ""},
        {packet(whole), {{0.5, reply.left(5)}, {2.0, reply.mid(5)}}, frame(14), "late",
         hx(reply.left(5)), reply.mid(5)},
        {packet(whole), {{1.0, reply}}, frame(14), "late", "", reply},
        {packet(parts), {{0.5, reply.left(3)}, {0.999, reply.mid(3, 2)}, {1.998, reply.mid(5)}},
         frame(14), "done", hx(reply), ""},
        {packet(parts), {{0.5, reply.left(5)}, {1.5, reply.mid(5)}}, frame(14), "late",
         hx(reply.left(5)), reply.mid(5)},
        {packet(parts), {{0.1, reply + "\x01\x02"}}, frame(14), "done", hx(reply), "\x01\x02"},
        {packet(parts), {{0.1, badReply + "z"}}, frame(14), "bad", hx(badReply), "z"},
        {packet(parts), {{0.1, "\x0E" + reply.mid(1)}}, frame(14), "refused", "", reply.mid(5)},
        // A length beyond what a frame holds never completes.
        {packet(parts), {{0.1, reply.left(4) + "\xFF" + QByteArray(300, 5)}, {1.2, ""}},
         frame(14), "late", "", ""},
        // Data blocks: request, acknowledgement within 1 s (command and address must
        // match), the block in a window each chunk moves on by 0.1 s, its CRC checked.
        {block(6, {}), {{0.2, ack.left(4)}, {0.999, ack.mid(4) + six.left(2)}, {1.5, six.mid(2)}},
         request(0x0102), "done", hx(ack + six), ""},
        {block(6, {ackStage, Stage::Block, 0x0103}), {{0.3, ack + six + "next"}},
         request(0x0103), "done", hx(ack + six), "next"},
        {block(6, ackOnly), {{0.3, ack + six}}, "", "done", hx(ack), six},
        {block(6, ackOnly), {{1.0, ack}}, "", "late", "", ack},
        {block(6, {ackStage, Stage::Block, 0x0103}), {{0.3, frame(0x16, 0x0103, length) + six}},
         "", "refused", hx(frame(0x16, 0x0103, length)), six},
        {block(6, ackOnly), {{0.3, frame(0x15, 0x0102, length)}}, "", "refused",
         hx(frame(0x15, 0x0102, length)), ""},
        {block(6, ackAndBlock), {{0.3, badAck}}, "", "bad", hx(badAck), ""},
        {block(6, blockOnly), {{0.1, badBlock + "x"}}, "", "bad", hx(badBlock), "x"},
        {block(6, blockOnly), {{0.5, six.left(1)}, {1.099, six.mid(1)}}, "", "done", hx(six), ""},
        {block(6, blockOnly), {{0.5, six.left(1)}, {1.1, six.mid(1)}}, "", "late",
         hx(six.left(1)), six.mid(1)},
        // clang-format on
    };
    int row = 0;
    for (const auto &[machine, feeds, written, outcome, value, surplus] : rows) {
        SCOPED_TRACE(row++);
        ExchangeStep step = machine.exchange->start(0);
        QByteArray wrote = step.send.join();
        int dropped = step.unaskedBytes;
        for (const auto &[at, bytes] : feeds) {
            ASSERT_FALSE(step.finished()) << at;
            step = machine.exchange->feed(bytes, at);
            wrote += step.send.join();
            dropped += step.unaskedBytes;
        }
        EXPECT_EQ(hex(wrote), hex(written));
        EXPECT_EQ(outcomeOf(step) + (dropped ? QStringLiteral(" %1").arg(dropped) : ""), outcome);
        EXPECT_EQ(step.reason.isEmpty(), step.failure == Failure::None);
        if (outcome.startsWith("done") || !value.isEmpty()) {
            EXPECT_EQ(machine.value(), value);
        }
        EXPECT_EQ(hex(step.surplus), hex(surplus));
    }
}

TEST(ExchangeSteps, AWaitAsksToBeFedAgainAtItsLimitAndSaysHowManyBytesItStillNeeds)
{
    const QByteArray reply = frame(14, 0, "abc");
    // (exchange, bytes fed at 0.25, the deadline and the bytes awaited after them)
    const std::tuple<Machine, QByteArray, double, int> rows[] = {
        {handshake(), "", 0.25 + 1.0, 0},
        {readings(), "S1", 1.0, 0},
        {testCommand("E", 0.5, false), "", 0.75, 0},
        {packet(Timing::WholeWithinTwoSeconds), reply.left(3), 1.0, 2},
        {packet(Timing::WholeWithinTwoSeconds), reply.left(7), 2.0, 3},
        {packet(Timing::EachPartWithinASecond), reply.left(7), 1.25, 3},
        {block(6, {}), frame(0x16, 0x0102, fromHex("0600")).left(4), 1.0, 5},
        {block(6, {Stage::Block, Stage::Block, {}}), "abc", 1.1, 5},
    };
    for (const auto &[machine, bytes, deadline, awaiting] : rows) {
        machine.exchange->start(0);
        machine.exchange->feed({}, 0.25); // the handshake writes "R" here
        const ExchangeStep step = machine.exchange->feed(bytes, 0.25);
        EXPECT_EQ(step.state, State::NeedMore);
        EXPECT_DOUBLE_EQ(step.deadline, deadline);
        EXPECT_EQ(step.awaiting, awaiting);
    }
}

} // namespace
