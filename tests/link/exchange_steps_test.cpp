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
    QByteArray badAck = ack;
    badAck[8] = static_cast<char>(badAck.at(8) ^ 0x55);
    QByteArray badReply = reply;
    badReply[6] = 'x';
    const QByteArray statusLines = "IZQ4 v2\rUnits: W.m-2\rBattery 3612mV ok\r77\rIdle\r";
    const QByteArray zq4 = "ZQ4 v2|Units: W.m-2|Battery 3612mV|77|Idle";
    const Stage ackStage = Stage::Acknowledgement;
    const double s = 0.05, p = 0.05 + 1.0; // the handshake's "R", and its prompt's limit
    const auto request = [](int address) {
        return DataBlockExchange::requestWrites(address, 6).join();
    };
    // (exchange, bytes fed at their times (start at 0), all it wrote, its last state,
    // why it failed, its value, bytes handed back, bytes dropped as unasked)
    const std::tuple<Machine, Feeds, QByteArray, State, Failure, QString, QByteArray, int> rows[] =
        {
            // The handshake: bytes of the first pause dropped, "R", the prompt ending the
            // latest chunk within 1 s, the last pause (its bytes handed on).
            {handshake(),
             {{0, "ab"}, {0.01, "c"}, {s, ""}, {0.5, "\r\n"}, {0.6, "\xAF"}, {0.7, "x"}},
             "R",
             State::Done,
             Failure::None,
             "",
             "x",
             3},
            {handshake(),
             {{s, "Q"}, {p - 0.001, Prompt}, {p + 0.04, ""}},
             "R",
             State::NeedMore,
             Failure::None,
             "",
             "",
             1},
            {handshake(),
             {{s, ""}, {p - 0.001, Prompt}, {p - 0.001 + s, ""}},
             "R",
             State::Done,
             Failure::None,
             "",
             "",
             0},
            {handshake(),
             {{s, ""}, {p, Prompt}, {p + s, ""}},
             "R",
             State::Failed,
             Failure::TimedOut,
             "",
             Prompt,
             0},
            {handshake(),
             {{s, ""}, {0.3, "\xAF\r\n"}, {p, ""}, {p + s, ""}},
             "R",
             State::Failed,
             Failure::TimedOut,
             "",
             "",
             0},
            {handshake(), {{s - 0.001, ""}}, "", State::NeedMore, Failure::None, "", "", 0},
            // "I": five lines of a status after the echo, within 1 s; noise holding "I" and CR
            // before it neither ends it early nor shifts its lines.
            {status(),
             {{0, "xI\r" + statusLines.left(20)}, {0.5, statusLines.mid(20)}},
             "I",
             State::Done,
             Failure::None,
             zq4,
             "",
             0},
            {status(),
             {{0, "I\x01\x02\x03\r"}, {0.2, statusLines}},
             "I",
             State::Done,
             Failure::None,
             zq4,
             "",
             0},
            {status(),
             {{0, statusLines.chopped(1)}, {0.999, "\r"}},
             "I",
             State::Done,
             Failure::None,
             zq4,
             "",
             0},
            {status(),
             {{0, statusLines.chopped(1)}, {1.0, "\r"}},
             "I",
             State::Failed,
             Failure::TimedOut,
             "||||",
             "",
             0},
            {status(),
             {{0.1, "I \rU\rP\rS\rL\r"}, {0.9, ""}},
             "I",
             State::NeedMore,
             Failure::None,
             "||||",
             "",
             0},
            // "S": the echo and a CR within 1 s; a complete line that is no reading is refused.
            {readings(),
             {{0, "\rx"}, {0.1, "S12.5,"}, {0.999, "3,1\r"}},
             "S",
             State::Done,
             Failure::None,
             "12.5 3 1",
             "",
             0},
            {readings(),
             {{0, "S12.5,3,1"}, {1.0, "\r"}},
             "S",
             State::Failed,
             Failure::TimedOut,
             "-1 -1 0",
             "",
             0},
            {readings(),
             {{0.2, "S12.5,3\r"}},
             "S",
             State::Failed,
             Failure::Refused,
             "-1 -1 0",
             "",
             0},
            // Units: "T" to "TEST:", then "U2" and its answer, noise before it allowed; "R"
            // after a failure of either.
            {units(2),
             {{0.1, "\r\nTEST:"}, {0.2, "\x05\x7F"}, {0.3, "U2OK\rTEST:"}},
             "TU2",
             State::Done,
             Failure::None,
             "",
             "",
             0},
            {units(2),
             {{0.1, "\r\nTEST:"}, {0.2, "U2NO\rTEST:"}, {1.2, ""}},
             "TU2R",
             State::Failed,
             Failure::TimedOut,
             "",
             "",
             0},
            {units(2),
             {{0.1, "\r\nTEST"}, {1.0, ":"}},
             "TR",
             State::Failed,
             Failure::TimedOut,
             "",
             "",
             0},
            // Test-mode commands: "T" when asked, 50 ms, the command, "TEST:" within the time;
            // a "B" command without it once its time passed.
            {testCommand("E", 2, true),
             {{0.1, "\r\nTEST:"}, {0.12, "E"}, {0.16, ""}, {0.2, "\rdump\rTEST:"}},
             "TE",
             State::Done,
             Failure::None,
             "E\rdump",
             "",
             0},
            {testCommand("S", 0.5, false),
             {{0.01, "S1"}, {0.05, ""}, {0.549, ",2\rTEST:"}},
             "S",
             State::Done,
             Failure::None,
             "S1,2",
             "",
             0},
            {testCommand("S", 0.5, false),
             {{0.05, ""}, {0.56, "S1\rTEST:"}},
             "S",
             State::Failed,
             Failure::TimedOut,
             "",
             "",
             0},
            {testCommand("B2", 0.3, false),
             {{0.05, ""}, {0.1, "B2 1234567"}, {0.4, ""}},
             "B2",
             State::Done,
             Failure::None,
             "B2 1",
             "",
             0},
            {testCommand("B2", 0.3, false),
             {{0.05, ""}, {0.1, "B2"}, {0.4, ""}},
             "B2",
             State::Done,
             Failure::None,
             "",
             "",
             0},
            {testCommand("E", 0.5, true),
             {{0.5, "\r\nTEST:"}},
             "T",
             State::Failed,
             Failure::TimedOut,
             "",
             "",
             0},
            // Packets: the header within 1 s, then all within 2 s or the rest within 1 s of the
            // header; bytes after the frame handed back.
            {packet(Timing::WholeWithinTwoSeconds),
             {{0.999, reply.left(5)}, {1.998, reply.mid(5)}},
             frame(14),
             State::Done,
             Failure::None,
             hx(reply),
             "",
             0},
            {packet(Timing::WholeWithinTwoSeconds),
             {{0.5, reply.left(5)}, {2.0, reply.mid(5)}},
             frame(14),
             State::Failed,
             Failure::TimedOut,
             hx(reply.left(5)),
             reply.mid(5),
             0},
            {packet(Timing::WholeWithinTwoSeconds),
             {{1.0, reply}},
             frame(14),
             State::Failed,
             Failure::TimedOut,
             "",
             reply,
             0},
            {packet(Timing::EachPartWithinASecond),
             {{0.5, reply.left(3)}, {0.999, reply.mid(3, 2)}, {1.998, reply.mid(5)}},
             frame(14),
             State::Done,
             Failure::None,
             hx(reply),
             "",
             0},
            {packet(Timing::EachPartWithinASecond),
             {{0.5, reply.left(5)}, {1.5, reply.mid(5)}},
             frame(14),
             State::Failed,
             Failure::TimedOut,
             hx(reply.left(5)),
             reply.mid(5),
             0},
            {packet(Timing::EachPartWithinASecond),
             {{0.1, reply + "\x01\x02"}},
             frame(14),
             State::Done,
             Failure::None,
             hx(reply),
             "\x01\x02",
             0},
            {packet(Timing::EachPartWithinASecond),
             {{0.1, badReply + "z"}},
             frame(14),
             State::Failed,
             Failure::BadCheck,
             hx(badReply),
             "z",
             0},
            {packet(Timing::EachPartWithinASecond),
             {{0.1, "\x0E" + reply.mid(1)}},
             frame(14),
             State::Failed,
             Failure::Refused,
             "",
             reply.mid(5),
             0},
            // A length beyond what a frame holds never completes.
            {packet(Timing::EachPartWithinASecond),
             {{0.1, reply.left(4) + "\xFF" + QByteArray(300, 5)}, {1.2, ""}},
             frame(14),
             State::Failed,
             Failure::TimedOut,
             "",
             "",
             0},
            // Data blocks: request, acknowledgement within 1 s (command and address must
            // match), the block in a window each chunk moves on by 0.1 s, its CRC checked.
            {block(6, {}),
             {{0.2, ack.left(4)}, {0.999, ack.mid(4) + six.left(2)}, {1.5, six.mid(2)}},
             request(0x0102),
             State::Done,
             Failure::None,
             hx(ack + six),
             "",
             0},
            {block(6, {ackStage, Stage::Block, 0x0103}),
             {{0.3, ack + six + "next"}},
             request(0x0103),
             State::Done,
             Failure::None,
             hx(ack + six),
             "next",
             0},
            {block(6, {ackStage, ackStage, {}}),
             {{0.3, ack + six}},
             "",
             State::Done,
             Failure::None,
             hx(ack),
             six,
             0},
            {block(6, {ackStage, ackStage, {}}),
             {{1.0, ack}},
             "",
             State::Failed,
             Failure::TimedOut,
             "",
             ack,
             0},
            {block(6, {ackStage, Stage::Block, 0x0103}),
             {{0.3, frame(0x16, 0x0103, fromHex("0600")) + six}},
             "",
             State::Failed,
             Failure::Refused,
             hx(frame(0x16, 0x0103, fromHex("0600"))),
             six,
             0},
            {block(6, {ackStage, ackStage, {}}),
             {{0.3, frame(0x15, 0x0102, fromHex("0600"))}},
             "",
             State::Failed,
             Failure::Refused,
             hx(frame(0x15, 0x0102, fromHex("0600"))),
             "",
             0},
            {block(6, {ackStage, Stage::Block, {}}),
             {{0.3, badAck}},
             "",
             State::Failed,
             Failure::BadCheck,
             hx(badAck),
             "",
             0},
            {block(6, {Stage::Block, Stage::Block, {}}),
             {{0.1, badBlock + "x"}},
             "",
             State::Failed,
             Failure::BadCheck,
             hx(badBlock),
             "x",
             0},
            {block(6, {Stage::Block, Stage::Block, {}}),
             {{0.5, six.left(1)}, {1.099, six.mid(1)}},
             "",
             State::Done,
             Failure::None,
             hx(six),
             "",
             0},
            {block(6, {Stage::Block, Stage::Block, {}}),
             {{0.5, six.left(1)}, {1.1, six.mid(1)}},
             "",
             State::Failed,
             Failure::TimedOut,
             hx(six.left(1)),
             six.mid(1),
             0},
        };
    int row = 0;
    for (const auto &[machine, feeds, written, state, failure, value, surplus, unasked] : rows) {
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
        EXPECT_EQ(step.state, state);
        EXPECT_EQ(step.failure, failure);
        EXPECT_EQ(step.reason.isEmpty(), failure == Failure::None);
        if (state != State::Failed || !value.isEmpty()) {
            EXPECT_EQ(machine.value(), value);
        }
        EXPECT_EQ(hex(step.surplus), hex(surplus));
        EXPECT_EQ(dropped, unasked);
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
