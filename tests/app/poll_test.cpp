// The poll of the main window: the three kinds of tick (instrument connected, port open
// but silent, no port), the full status every tenth tick, the readings' number patterns,
// the log-status rule, the status bar and a device that goes away mid-run.
#include "DisplayFixture.h"
#include "LocaleGuard.h"

#include <QApplication>
#include <QPointer>

namespace {

class PollTest : public DisplayFixture
{
protected:
    // Only the computer shows: no instrument, no readings, the sky unknown.
    void expectNoInstrumentShown() const
    {
        EXPECT_TRUE(shown(ui().imgPC[0]));
        EXPECT_FALSE(shown(ui().imgPC[1]));
        EXPECT_FALSE(shown(ui().imgSS[0]));
        EXPECT_FALSE(shown(ui().imgSS[1]));
        EXPECT_TRUE(ui().lblTotal->text().isEmpty());
        EXPECT_TRUE(ui().lblDiffuse->text().isEmpty());
        EXPECT_TRUE(ui().lblVersion->text().isEmpty());
        EXPECT_TRUE(shown(ui().imgSun[2]));
        EXPECT_FALSE(shown(ui().imgSun[0]));
        EXPECT_FALSE(shown(ui().imgSun[1]));
    }
};

// What the window showed while the computer was writing to the instrument.
struct ExchangeMarks
{
    bool computerBusy = false;
    bool sensor = false;
    bool sensorBusy = false;
};

TEST_F(PollTest, ConnectedTicksShowReadingsAndTheStatus)
{
    ScriptedLine &far = addScripted(2);
    start();
    ASSERT_EQ(link().CommPort(), 2);
    takeWritten(2);

    QList<ExchangeMarks> marks;
    const auto answer = far.line().onWrite;
    far.line().onWrite = [&](const QByteArray &bytes) {
        marks.append({shown(ui().imgPC[1]), shown(ui().imgSS[0]), shown(ui().imgSS[1])});
        answer(bytes);
    };

    // The first tick after the connection reads the full status, not the readings.
    tick();
    EXPECT_EQ(takeWritten(2), QByteArray("RI"));
    EXPECT_EQ(ui().lblVersion->text(), QStringLiteral("ZQ5 v3.2"));
    EXPECT_EQ(ui().lblPower->text(), QStringLiteral("Battery 3612mV"));
    EXPECT_EQ(ui().Frame2->title(), QStringLiteral("Reading Units: W.m-2"));
    EXPECT_TRUE(ui().lblTotal->text().isEmpty());
    EXPECT_TRUE(ui().Option1[1]->isChecked());
    EXPECT_TRUE(ui().Option1[1]->font().bold());
    EXPECT_TRUE(ui().lblOpt[1]->font().bold());
    EXPECT_FALSE(ui().lblOpt[0]->font().bold());

    tick();
    EXPECT_EQ(takeWritten(2), QByteArray("RS"));
    EXPECT_EQ(ui().lblTotal->text(), QStringLiteral("123.4"));
    EXPECT_EQ(ui().lblDiffuse->text(), QStringLiteral("56.7"));
    EXPECT_FALSE(shown(ui().imgSun[0]));
    EXPECT_TRUE(shown(ui().imgSun[1]));

    // Both exchange marks showed during every exchange, and are gone after it.
    ASSERT_EQ(marks.size(), 4);
    for (const ExchangeMarks &mark : marks) {
        EXPECT_TRUE(mark.computerBusy);
        EXPECT_TRUE(mark.sensorBusy);
    }
    EXPECT_TRUE(shown(ui().imgPC[0]));
    EXPECT_FALSE(shown(ui().imgPC[1]));
    EXPECT_TRUE(shown(ui().imgSS[0]));
    EXPECT_FALSE(shown(ui().imgSS[1]));
    EXPECT_EQ(window->statusBarText(), QStringLiteral("ZQ5  5523 connected on COM 2"));
}

TEST_F(PollTest, EveryTenthTickReadsTheStatusInsteadOfTheReadings)
{
    ScriptedLine &far = addScripted(2);
    start();
    QByteArray commands;
    for (int n = 1; n <= 21; ++n) {
        far.on("S", "S" + QByteArray::number(n) + ",1,0\r");
        takeWritten(2);
        tick();
        const QByteArray written = takeWritten(2);
        commands += written.right(1);
        if (n == 11) {
            // The status tick shows no new readings: still those of tick 10.
            EXPECT_EQ(ui().lblTotal->text(), QStringLiteral("10.0"));
        }
    }
    EXPECT_EQ(commands, QByteArray("ISSSSSSSSSISSSSSSSSSI"));
}

TEST_F(PollTest, ReadingsPatterns)
{
    struct Case
    {
        const char *units;
        const char *readings;
        const char *total;
        const char *diffuse;
        bool sun;
        bool german = false; // decimal commas, no grouping
    };
    const Case cases[] = {
        {"Units: W.m-2", "S0,0,0\r", "0.0", "0.0", false},
        {"Units: umol.m-2.s-1", "S0,0,0\r", "0.0", "0.0", false},
        {"Units: klux", "S0,0,0\r", "0.00", "0.00", false},
        {"Units: W.m-2", "S1234.56,987.64,1\r", "1234.6", "987.6", true},
        {"Units: umol.m-2.s-1", "S12345.6,2100,1\r", "12345.6", "2100.0", true},
        {"Units: klux", "S1.5,0.25,1\r", "1.50", "0.25", true},
        {"Units: klux", "S103.456,7,0\r", "103.46", "7.00", false},
        {"Units: W.m-2", "S-0.04,5,x\r", "0.0", "5.0", false},
        {"Units: W.m-2", "S7\r", "7.0", "7.0", false},
        {"Units: W.m-2", "S1234.56,0.5,0\r", "1234,6", "0,5", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.units) + " " + c.readings);
        const LocaleGuard locale(c.german ? QLocale(QLocale::German, QLocale::Germany)
                                          : QLocale(QLocale::English, QLocale::UnitedKingdom));
        rebuildWindow();
        ScriptedLine &far = addScripted(1);
        far.on("I", statusReply("ZQ5 v3.2", c.units));
        far.on("S", c.readings);
        start("/P1");
        tick(); // status
        tick(); // readings
        EXPECT_EQ(ui().lblTotal->text(), QString::fromLatin1(c.total));
        EXPECT_EQ(ui().lblDiffuse->text(), QString::fromLatin1(c.diffuse));
        EXPECT_EQ(shown(ui().imgSun[1]), c.sun);
        EXPECT_EQ(shown(ui().imgSun[0]), !c.sun);
    }
}

TEST_F(PollTest, FailedReadingsLeaveTheDisplayAsItWas)
{
    ScriptedLine &far = addScripted(1);
    start("/P1");
    tick();
    tick();
    ASSERT_EQ(ui().lblTotal->text(), QStringLiteral("123.4"));
    far.on("S", "S99,1,0"); // no CR: the reply never ends
    tick();
    EXPECT_EQ(ui().lblTotal->text(), QStringLiteral("123.4"));
    EXPECT_EQ(window->statusBarText(), QStringLiteral("GetReadings command failed"));
}

TEST_F(PollTest, PortOpenButSilent)
{
    FakeLine &line = addSilentPort(4);
    start("/P4");
    portMenu().item(1)->trigger();
    ASSERT_EQ(link().CommPort(), 4);

    QList<ExchangeMarks> marks;
    line.onWrite = [&](const QByteArray &) {
        marks.append({shown(ui().imgPC[1]), shown(ui().imgSS[0]), shown(ui().imgSS[1])});
    };
    for (int n = 0; n < 2; ++n) {
        takeWritten(4);
        tick();
        EXPECT_EQ(takeWritten(4), QByteArray("R"));
        expectNoInstrumentShown();
        EXPECT_EQ(window->statusBarText(), QStringLiteral("VTA1 not found on COM 4"));
    }
    ASSERT_EQ(marks.size(), 2);
    for (const ExchangeMarks &mark : marks) {
        EXPECT_TRUE(mark.computerBusy);
        EXPECT_FALSE(mark.sensor);
        EXPECT_TRUE(mark.sensorBusy);
    }
}

TEST_F(PollTest, InstrumentComingBackIsConnectedThenAskedForItsStatus)
{
    ScriptedLine &far = addScripted(4);
    far.silence("R");
    start("/P4");
    portMenu().item(1)->trigger();
    tick();
    ASSERT_FALSE(link().Connected());

    far.on("R", PromptReply);
    tick();
    EXPECT_TRUE(link().Connected());
    EXPECT_TRUE(shown(ui().imgSS[0]));
    // The reconnecting tick shows what the link knows; the next one reads the status.
    takeWritten(4);
    tick();
    EXPECT_EQ(takeWritten(4), QByteArray("RI"));
    EXPECT_EQ(ui().lblVersion->text(), QStringLiteral("ZQ5 v3.2"));
}

TEST_F(PollTest, NoPortShowsTheComputerOnly)
{
    addSilentPort(1);
    start();
    for (int n = 0; n < 2; ++n) {
        tick();
        expectNoInstrumentShown();
        EXPECT_EQ(ui().Frame2->title(), QStringLiteral("Reading "));
        for (const OptionButton *option : ui().Option1)
            EXPECT_FALSE(option->isChecked());
    }
    EXPECT_EQ(takeWritten(1), QByteArray("R")); // only the search's handshake
}

TEST_F(PollTest, LogStatusRule)
{
    struct Case
    {
        const char *commandLine;
        const char *logStatus;
        bool shown;
    };
    const Case cases[] = {
        {"/P1 /L", "Logging", true}, {"/P1 /l", "Stopped", true}, {"/P1 /L", "On", true},
        {"/P1 /L", "X", false},      {"/P1 /L", "", false},       {"/P1", "Logging", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.commandLine) + " / " + c.logStatus);
        rebuildWindow();
        ScriptedLine &far = addScripted(1);
        far.on("I", statusReply("ZQ5 v3.2", "Units: W.m-2", c.logStatus));
        start(c.commandLine);
        tick();
        EXPECT_EQ(ui().lblLogStatus->text(), QString::fromLatin1(c.logStatus));
        EXPECT_EQ(shown(ui().lblStatus), c.shown);
        EXPECT_EQ(shown(ui().lblLogStatus), c.shown);
        EXPECT_EQ(shown(ui().mnuLogger), c.shown);
    }
}

TEST_F(PollTest, UnitsThatAreNotRecognised)
{
    const struct
    {
        QByteArray version;
        QByteArray units;
        const char *title;
        QList<bool> selected;
        const char *status;
    } cases[] = {
        // "Unrecognised units" shows during the tick, then the link's status replaces it.
        {"ZQ5 v3.2",
         "Units: lumens",
         "Reading Units: lumens",
         {false, false, false},
         "ZQ5  5523 connected on COM 1"},
        // A ZQ2 measures molar units whatever it reports.
        {"ZQ2 v1.4",
         "Units: ?",
         "Reading Units: umol.m-2.s-1",
         {true, false, false},
         "ZQ2  5523 connected on COM 1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.units.toStdString());
        rebuildWindow();
        addScripted(1).on("I", statusReply(c.version, c.units));
        start("/P1");
        tick();
        EXPECT_EQ(window->statusBarText(), QString::fromLatin1(c.status));
        EXPECT_EQ(ui().Frame2->title(), QString::fromLatin1(c.title));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ui().Option1[i]->isChecked(), c.selected[i]) << i;
            EXPECT_FALSE(ui().Option1[i]->font().bold()) << i;
        }
    }
}

TEST_F(PollTest, UnpluggedDeviceEndsInNoPort)
{
    addInstrument(2);
    start("/L");
    tick();
    tick();
    ASSERT_FALSE(ui().lblTotal->text().isEmpty());
    ASSERT_TRUE(shown(ui().mnuLogger));

    port.unplug();
    tick();
    tick();
    EXPECT_EQ(link().CommPort(), 0);
    expectNoInstrumentShown();
    EXPECT_TRUE(window->statusBarText().startsWith("Lost COM 2"))
        << window->statusBarText().toStdString();
    // No port is open any more: the check mark is back on "None".
    EXPECT_EQ(portMenu().checkedIndex(), 0);
    EXPECT_FALSE(shown(ui().mnuLogger));
}

TEST_F(PollTest, LoggerHandOverAndReturnReadTheStatusAgain)
{
    addScripted(1);
    start("/P1 /L");
    tick();
    tick();
    ASSERT_TRUE(shown(ui().mnuLogger));

    QWidget logger;
    window->windows.logger = [&](frmDisplay &display) {
        EXPECT_EQ(&display, window.get());
        return &logger;
    };
    window->move(40, 30);
    ui().mnuLogger->trigger();
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(logger.isVisible());
    EXPECT_EQ(logger.pos(), window->pos());
    EXPECT_TRUE(ui().lblVersion->text().isEmpty());

    logger.hide();
    window->takeBack();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Timer1.isActive());
    takeWritten(1);
    tick();
    EXPECT_EQ(takeWritten(1), QByteArray("RI"));
}

TEST_F(PollTest, MenuItemsWithoutAWindowDoNothing)
{
    addScripted(1);
    start("/P1 /E");
    window->windows.terminal = nullptr;
    for (QAction *item : {ui().mnuTestTerminal, ui().mnuPCLog, ui().mnuLogger, ui().mnuAbout}) {
        item->trigger();
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->Timer1.isActive());
    }
}

TEST_F(PollTest, ClosingStopsThePollAndClosesThePort)
{
    QApplication::setQuitOnLastWindowClosed(false);
    addInstrument(1);
    start("/P1");
    ASSERT_TRUE(port.isOpen());
    // A window that borrowed the link, owned by its factory alone.
    auto owned = std::make_shared<std::unique_ptr<QWidget>>(std::make_unique<QWidget>());
    const QPointer<QWidget> borrower = owned->get();
    window->windows.logger = [owned](frmDisplay &) { return owned->get(); };
    owned.reset();

    EXPECT_TRUE(window->close());
    // It went before the link it borrowed.
    EXPECT_TRUE(borrower.isNull());
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(prompts.calls().isEmpty());
    window->Timer1_Timer(); // a late tick after closing does nothing
}

} // namespace
