// The link's handshake and text commands against a scripted far end on virtual time:
// replies split over reads, replies that never end, wrong prompts, the busy flag and
// test mode bookkeeping.
#include "QtPrinters.h"
#include "ScriptedLine.h"
#include "link/SensorLink.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Prompt("\r\n\xAF");
const QByteArray StatusReply("IZQ5 v3.2\rUnits: W.m-2\rBattery 3612mV (ok)\r10342\rLogging\r");

class TextProtocolTest : public ::testing::Test
{
protected:
    TextProtocolTest() : far(port.addLine(3))
    {
        far.on("R", Prompt);
        far.on("I", StatusReply);
        far.on("S", "S123.4,56.7,1\r");
        far.on("T", "\r\nTEST:");
        link.setCommPort(3);
    }

    QByteArray written() const { return const_cast<FakeSerialPort &>(port).line(3)->written(); }
    void clearWritten() { port.line(3)->clearWritten(); }

    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    ScriptedLine far;
};

TEST_F(TextProtocolTest, HandshakeAcceptsOnlyAChunkEndingInThePromptByte)
{
    struct Case
    {
        const char *name;
        QList<ScriptedLine::Chunk> reply;
        bool connects;
    };
    const QList<Case> cases = {
        {"one chunk", {{0.01, Prompt}}, true},
        {"two chunks, the second ends in the prompt", {{0.01, "\r\n"}, {0.3, "\xAF"}}, true},
        {"last chunk ends in another byte", {{0.01, "\r\n"}, {0.3, "\xAFx"}}, false},
        {"prompt that is not 0xAF", {{0.01, "\r\n>"}}, false},
        {"prompt after the time-out", {{1.2, Prompt}}, false},
        {"silence", {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        port.line(3)->discardAll(); // a late answer to the case before
        if (c.reply.isEmpty())
            far.silence("R");
        else
            far.on("R", c.reply);
        const double t0 = clock.monotonicSeconds();
        EXPECT_EQ(link.Connect(), c.connects);
        EXPECT_EQ(link.Connected(), c.connects);
        EXPECT_FALSE(link.Active());
        // 50 ms before and after, at most 1 s for the answer.
        EXPECT_LE(clock.monotonicSeconds() - t0, 1.11);
        if (!c.connects) {
            EXPECT_EQ(link.Status(), QStringLiteral("VTA1 not found on COM 3"));
            EXPECT_TRUE(link.Version().isEmpty());
        }
    }
}

TEST_F(TextProtocolTest, HandshakeFlushesStaleInputAndSendsOnlyR)
{
    port.line(3)->deliver("junk\xAF");
    clock.advanceSeconds(0.01);
    clearWritten();
    ASSERT_TRUE(link.Connect());
    EXPECT_EQ(written(), QByteArray("R"));
}

TEST_F(TextProtocolTest, ConnectOnClosedPortOnlyClearsConnected)
{
    ASSERT_TRUE(link.Connect());
    link.setCommPort(0);
    EXPECT_EQ(link.Status(), QStringLiteral("No serial port selected"));
    EXPECT_FALSE(link.Connect());
    EXPECT_EQ(link.Status(), QStringLiteral("No serial port selected"));
    EXPECT_EQ(link.CommPort(), 0);
}

TEST_F(TextProtocolTest, GetStatusFillsTheFiveLines)
{
    ASSERT_TRUE(link.GetStatus());
    EXPECT_EQ(link.Version(), QStringLiteral("ZQ5 v3.2"));
    EXPECT_EQ(link.units(), QStringLiteral("Units: W.m-2"));
    EXPECT_EQ(link.Power(), QStringLiteral("Battery 3612mV"));
    EXPECT_EQ(link.SerialNumber(), QStringLiteral("10342"));
    EXPECT_EQ(link.LogStatus(), QStringLiteral("Logging"));
    EXPECT_EQ(link.InfoString(), QString::fromLatin1(StatusReply.mid(1)));
    EXPECT_EQ(link.Status(), QStringLiteral("ZQ5  10342 connected on COM 3"));
    EXPECT_EQ(written(), QByteArray("RI"));
}

TEST_F(TextProtocolTest, GetStatusReplyShapes)
{
    struct Case
    {
        const char *name;
        QList<ScriptedLine::Chunk> reply;
        bool ok;
        QString version;
        QString power;
        QString status;
    };
    const QString before = QStringLiteral("Opening COM 3");
    const QList<Case> cases = {
        {"split over many reads",
         {{0.01, "IZQ"}, {0.1, "4 v2.3\rUnits: W."}, {0.2, "m-2\r3.6V 3600mV\r7\rStopped\r"}},
         true,
         "ZQ4 v2.3",
         "3.6V 3600mV",
         "ZQ4  7 connected on COM 3"},
        {"power without mV is kept whole",
         {{0.01, "IZQ4 v2.3\rU\r3.6 V\r7\rS\r"}},
         true,
         "ZQ4 v2.3",
         "3.6 V",
         "ZQ4  7 connected on COM 3"},
        {"mV at the very start is kept whole",
         {{0.01, "IZQ4 v2.3\rU\rmV 12\r7\rS\r"}},
         true,
         "ZQ4 v2.3",
         "mV 12",
         "ZQ4  7 connected on COM 3"},
        {"version without a blank leaves the status",
         {{0.01, "IZQ4\rU\rP\r7\rS\r"}},
         true,
         "ZQ4",
         "P",
         before},
        {"version starting with a blank leaves the status",
         {{0.01, "I ZQ4\rU\rP\r7\rS\r"}},
         true,
         " ZQ4",
         "P",
         before},
        {"four lines then silence",
         {{0.01, "IZQ4 v2.3\rU\rP\r7\r"}},
         false,
         "",
         "",
         "GetStatus command failed"},
        {"lines arriving after the time-out",
         {{0.01, "IZQ4\rU\r"}, {1.5, "P\r7\rS\r"}},
         false,
         "",
         "",
         "GetStatus command failed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        link.setCommPort(3);
        far.on("I", c.reply);
        EXPECT_EQ(link.GetStatus(), c.ok);
        EXPECT_EQ(link.Version(), c.version);
        EXPECT_EQ(link.Power(), c.power);
        EXPECT_EQ(link.Status(), c.status);
        EXPECT_FALSE(link.Active());
    }
}

TEST_F(TextProtocolTest, GetStatusKeepsAReplyWithoutEchoWhole)
{
    far.on("I", "ZQ5 v3.2\rUnits: klux\r1mV\r5\rLogging\r");
    ASSERT_TRUE(link.GetStatus());
    EXPECT_EQ(link.InfoString(), QStringLiteral("ZQ5 v3.2\rUnits: klux\r1mV\r5\rLogging\r"));
    EXPECT_EQ(link.Version(), QStringLiteral("ZQ5 v3.2"));
}

TEST_F(TextProtocolTest, GetReadingsParsesTheLine)
{
    struct Case
    {
        const char *name;
        QList<ScriptedLine::Chunk> reply;
        bool ok;
        float total;
        float diffuse;
        bool sun;
    };
    const QList<Case> cases = {
        {"plain", {{0.01, "S123.4,56.7,1\r"}}, true, 123.4f, 56.7f, true},
        {"split", {{0.01, "S12"}, {0.2, "3.4,56"}, {0.4, ".7,0\r"}}, true, 123.4f, 56.7f, false},
        {"no comma", {{0.01, "S42.5\r"}}, true, 42.5f, 42.5f, false},
        {"no echo", {{0.01, "7,8,1\r"}}, true, 7.0f, 8.0f, true},
        {"sun flag other than 1", {{0.01, "S1,2,x\r"}}, true, 1.0f, 2.0f, false},
        {"blanks inside numbers", {{0.01, "S 1 2.5 , 3\t4 ,1\r"}}, true, 12.5f, 34.0f, true},
        {"no CR", {{0.01, "S1,2,1"}}, false, 0.0f, 0.0f, false},
        {"CR after the time-out", {{0.01, "S1,2,1"}, {1.1, "\r"}}, false, 0.0f, 0.0f, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        far.on("S", c.reply);
        EXPECT_EQ(link.GetReadings(), c.ok);
        EXPECT_FLOAT_EQ(link.Total(), c.total);
        EXPECT_FLOAT_EQ(link.Diffuse(), c.diffuse);
        EXPECT_EQ(link.Sun(), c.sun);
        if (!c.ok) {
            EXPECT_EQ(link.Status(), QStringLiteral("GetReadings command failed"));
        }
    }
}

TEST_F(TextProtocolTest, SetUnitsComparesOnlyTheFirstTenCharacters)
{
    struct Case
    {
        const char *name;
        QByteArray answerToT;
        QByteArray answerToU;
        bool ok;
        QByteArray wire;
        QString status;
    };
    const QList<Case> cases = {
        {"accepted", "\r\nTEST:", "U1OK\rTEST:", true, "RTU1", "Opening COM 3"},
        {"accepted with more after", "\r\nTEST:", "U1OK\rTEST:more", true, "RTU1", "Opening COM 3"},
        {"refused", "\r\nTEST:", "U1NO\rTEST:", false, "RTU1R", "SetUnits command failed"},
        {"no test prompt", "\r\nTEST", "", false, "RTR", "TEST: prompt missing"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        link.setCommPort(3);
        clearWritten();
        far.on("T", c.answerToT);
        far.on("U1", c.answerToU);
        EXPECT_EQ(link.SetUnits(1), c.ok);
        EXPECT_EQ(written(), c.wire);
        EXPECT_EQ(link.Status(), c.status);
        EXPECT_FALSE(link.Active());
        EXPECT_FALSE(link.inTestMode());
    }
}

TEST_F(TextProtocolTest, TestModeIsEnteredOnceForASeriesOfCommands)
{
    far.on("E", "E\rdump\rTEST:");
    far.on("S", "S1,2,0 (1 2 3 4 5 6 7 8)\rTEST:");
    EXPECT_EQ(link.TestCommand("E", 2000), QStringLiteral("E\rdump"));
    EXPECT_TRUE(link.inTestMode());
    EXPECT_EQ(link.TestCommand("S", 2000), QStringLiteral("S1,2,0 (1 2 3 4 5 6 7 8)"));
    EXPECT_EQ(written(), QByteArray("RTES"));

    // A status request leaves test mode; the next test command enters it again.
    far.on("S", "S1,2,0\r");
    ASSERT_TRUE(link.GetStatus());
    EXPECT_FALSE(link.inTestMode());
    clearWritten();
    far.on("S", "S1,2,0 (1 2 3 4 5 6 7 8)\rTEST:");
    EXPECT_FALSE(link.TestCommand("S", 2000).isEmpty());
    EXPECT_EQ(written(), QByteArray("RTS"));
}

TEST_F(TextProtocolTest, TestCommandFailures)
{
    // No prompt after the command: failure, test mode forgotten.
    far.on("E", "E\rdump");
    EXPECT_TRUE(link.TestCommand("E", 500).isEmpty());
    EXPECT_EQ(link.Status(), QStringLiteral("TEST: prompt missing"));
    EXPECT_FALSE(link.inTestMode());
    EXPECT_FALSE(link.Active());

    // A "B" command is accepted without the prompt; a reply shorter than six characters
    // gives empty text.
    far.on("B1", "B1\rabcdefgh");
    EXPECT_EQ(link.TestCommand("B1", 300), QStringLiteral("B1\rab"));
    EXPECT_TRUE(link.inTestMode());
    far.on("B2", "B2");
    EXPECT_EQ(link.TestCommand("B2", 300), QString());
}

TEST_F(TextProtocolTest, TestCommandWithNoTimeTakesOnlyAReplyAlreadyWaiting)
{
    far.on("X\r", "X\r0: 1\rTEST:", 0.02);
    EXPECT_FALSE(link.TestCommand("X\r", 2000).isEmpty());
    ASSERT_TRUE(link.inTestMode());
    // The reply comes after 20 ms: with no time at all it is missed.
    EXPECT_TRUE(link.TestCommand("X\r", 0).isEmpty());
    ASSERT_FALSE(link.inTestMode());

    ASSERT_FALSE(link.TestCommand("X\r", 2000).isEmpty());
    far.silence("X\r");
    port.line(3)->deliver("X\r0: 1\rTEST:");
    clock.advanceSeconds(0.001);
    EXPECT_EQ(link.TestCommand("X\r", 0), QStringLiteral("X\r0: 1"));
}

TEST_F(TextProtocolTest, BusyLinkTurnsEveryExchangeAwayAtOnce)
{
    // A timer that fires while a packet exchange lets window events run.
    struct Attempt
    {
        const char *name;
        std::function<bool(SensorLink &)> run;
    };
    const QList<Attempt> attempts = {
        {"GetStatus", [](SensorLink &l) { return l.GetStatus(); }},
        {"GetReadings", [](SensorLink &l) { return l.GetReadings(); }},
        {"SetUnits", [](SensorLink &l) { return l.SetUnits(0); }},
        {"TestCommand", [](SensorLink &l) { return !l.TestCommand("S", 100).isEmpty(); }},
        {"SendPacket", [](SensorLink &l) { return !l.SendPacket(12, 0, 0, {}).isEmpty(); }},
        {"RequestDataBlock", [](SensorLink &l) { return l.RequestDataBlock(0, 512); }},
        {"WaitDataBlock", [](SensorLink &l) { return l.WaitDataBlock(0); }},
    };
    ASSERT_TRUE(link.Connect());
    for (const Attempt &attempt : attempts) {
        SCOPED_TRACE(attempt.name);
        int inside = 0;
        bool result = true;
        QByteArray wireDuring;
        pump.hook = [&] {
            if (inside++ == 0) {
                ASSERT_TRUE(link.Active());
                const QByteArray before = written();
                const double t0 = clock.monotonicSeconds();
                result = attempt.run(link);
                wireDuring = written().mid(before.size());
                EXPECT_EQ(clock.monotonicSeconds(), t0);
            }
        };
        quint8 command = 12;
        quint32 address = 0;
        quint8 n = 0;
        QByteArray data;
        link.SendPacket2(command, address, n, data); // no reply: fails after 1 s
        pump.hook = nullptr;
        EXPECT_GE(inside, 1);
        EXPECT_FALSE(result);
        EXPECT_TRUE(wireDuring.isEmpty());
        EXPECT_FALSE(link.Active());
        link.Connect();
    }
}

TEST_F(TextProtocolTest, EveryStatusTextOfTheSelectionRules)
{
    QStringList boxes;
    QObject::connect(&link, &SensorLink::portSelectionFailed,
                     [&](const QString &text) { boxes << text; });
    port.addLine(5).openError = SerialPort::ErrorPortAlreadyOpen;
    port.addLine(6).openError = SerialPort::ErrorOpenFailed;

    link.setCommPort(5);
    EXPECT_EQ(link.CommPort(), 3) << "the previous port is opened again";
    link.setCommPort(6);
    EXPECT_EQ(link.CommPort(), 3);
    link.setCommPort(0);
    EXPECT_EQ(link.CommPort(), 0);
    link.setCommPort(7);
    EXPECT_EQ(link.CommPort(), 0);

    ASSERT_EQ(boxes.size(), 3);
    EXPECT_EQ(boxes[0], QStringLiteral("COM  5 is in use by another application"));
    EXPECT_EQ(boxes[1], QStringLiteral("Error 8022 Device cannot be opened"));
    EXPECT_TRUE(boxes[2].startsWith(QStringLiteral("Error 8022 ")));
    EXPECT_EQ(link.Status(), QStringLiteral("No serial port selected"));
}

TEST_F(TextProtocolTest, LostDeviceEndsTheExchangeAndSaysSo)
{
    ASSERT_TRUE(link.GetStatus());
    port.unplug();
    EXPECT_FALSE(link.GetReadings());
    EXPECT_FALSE(link.Connected());
    EXPECT_EQ(link.CommPort(), 0);
    EXPECT_TRUE(link.Status().startsWith(QStringLiteral("Lost COM 3")));
    EXPECT_FALSE(link.Active());
}

TEST(DelayMsTest, WaitsTheRightTimeAlsoAcrossTheCounterWrap)
{
    struct Case
    {
        const char *name;
        qint32 counterStart;
        float ms;
        double expectSeconds;
    };
    const QList<Case> cases = {
        {"zero returns at once", 1000, 0.0f, 0.0},
        {"negative returns at once", 1000, -5.0f, 0.0},
        {"plain", 1000, 50.0f, 0.050},
        {"across the wrap", std::numeric_limits<qint32>::max() - 20, 100.0f, 0.100},
        {"ending exactly at the top", std::numeric_limits<qint32>::max() - 100, 100.0f, 0.100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        VirtualClock clock(QDateTime(QDate(2026, 1, 1), QTime(0, 0)), c.counterStart);
        FakeSerialPort port(clock);
        FakeEventPump pump;
        SensorLink link(port, clock, pump);
        const double t0 = clock.monotonicSeconds();
        link.DelayMs(c.ms);
        EXPECT_NEAR(clock.monotonicSeconds() - t0, c.expectSeconds, 0.0015);
    }
}

} // namespace
