// Random replies thrown at every text exchange: the link must never crash, never hang
// (each exchange ends within its time-outs on the virtual clock) and only ever give the
// results it is allowed to give.
#include "QtPrinters.h"
#include "link/SensorLink.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// Bytes biased towards the ones the parsers look for.
QByteArray randomReply(QRandomGenerator &random)
{
    static const QByteArray interesting("\r\n\xAF,()ISTU0123456789.-+eE TEST:mV");
    const int length = static_cast<int>(random.bounded(0, 400));
    QByteArray bytes;
    for (int i = 0; i < length; ++i) {
        if (random.bounded(3) == 0)
            bytes.append(static_cast<char>(random.bounded(256)));
        else
            bytes.append(interesting.at(random.bounded(interesting.size())));
    }
    return bytes;
}

class ReplyFuzzTest : public ::testing::Test
{
protected:
    ReplyFuzzTest() : line(port.addLine(1))
    {
        line.onWrite = [this](const QByteArray &bytes) {
            if (bytes == "R") {
                line.deliver("\xAF", 0.002);
                return;
            }
            // Random pieces at random times, some beyond the time-outs.
            const int pieces = static_cast<int>(random.bounded(1, 4));
            for (int i = 0; i < pieces; ++i)
                line.deliver(randomReply(random), random.bounded(1.5));
        };
        link.setCommPort(1);
    }

    // Runs one exchange and checks that it ended within `limit` virtual seconds.
    template <typename Exchange> void bounded(double limit, Exchange exchange)
    {
        const double t0 = clock.monotonicSeconds();
        exchange();
        EXPECT_LE(clock.monotonicSeconds() - t0, limit);
        EXPECT_FALSE(link.Active());
        line.discardAll();
    }

    QRandomGenerator random{20261206};
    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    FakeLine &line;
};

TEST_F(ReplyFuzzTest, TextExchangesSurviveRandomReplies)
{
    const QStringList allowedStatus = {
        QStringLiteral("GetStatus command failed"), QStringLiteral("GetReadings command failed"),
        QStringLiteral("SetUnits command failed"), QStringLiteral("TEST: prompt missing")};
    for (int round = 0; round < 3000; ++round) {
        switch (round % 4) {
        case 0:
            bounded(2.3, [&] {
                if (!link.GetStatus()) {
                    EXPECT_TRUE(link.Version().isEmpty());
                }
                EXPECT_FALSE(link.Power().contains(QLatin1Char('\r')));
            });
            break;
        case 1:
            bounded(2.3, [&] {
                if (link.GetReadings()) {
                    EXPECT_FALSE(std::isnan(link.Total()));
                } else {
                    EXPECT_EQ(link.Total(), 0.0f);
                    EXPECT_FALSE(link.Sun());
                }
            });
            break;
        case 2:
            bounded(3.3, [&] { link.SetUnits(static_cast<int>(random.bounded(3))); });
            break;
        default:
            bounded(2.3 + 2 * 0.5, [&] {
                const QString reply = link.TestCommand(QStringLiteral("S"), 500);
                if (reply.isEmpty() && !link.inTestMode()) {
                    EXPECT_TRUE(allowedStatus.contains(link.Status()) ||
                                link.Status().startsWith(QStringLiteral("VTA1 not found")) ||
                                link.Status().contains(QStringLiteral("connected on COM")));
                }
            });
            break;
        }
    }
}

TEST_F(ReplyFuzzTest, EndlessReplyStopsAtTheTimeOut)
{
    // An instrument that never stops talking and never sends CR.
    line.onWrite = [this](const QByteArray &bytes) {
        if (bytes == "R") {
            line.deliver("\xAF", 0.002);
            return;
        }
        for (int i = 0; i < 400; ++i)
            line.deliver(QByteArray(64, 'x'), i * 0.01);
    };
    bounded(2.2, [&] { EXPECT_FALSE(link.GetReadings()); });
    EXPECT_EQ(link.Status(), QStringLiteral("GetReadings command failed"));
    bounded(2.2, [&] { EXPECT_FALSE(link.GetStatus()); });
    EXPECT_EQ(link.Status(), QStringLiteral("GetStatus command failed"));
}

} // namespace
