// Start-up of the main window: the command-line options, the port search with no, one
// and two instruments, the port menu and its check marks, and port selection failures.
#include "DisplayFixture.h"
#include "app/StartupOptions.h"

#include <QApplication>

#include <algorithm>

namespace {

TEST(StartupOptions, ScanTheWholeCommandLineInAnyCase)
{
    struct Case
    {
        const char *commandLine;
        bool testMenu;
        bool logger;
        int maxPort;
        bool overflow;
    };
    const Case cases[] = {
        {"", false, false, 16, false},           {"/E", true, false, 16, false},
        {"/e /l /p8", true, true, 8, false},     {"/P8", false, false, 8, false},
        {"/P 12 /E", true, false, 12, false},    {"x/Ly", false, true, 16, false},
        {"/P", false, false, 0, false},          {"/E /P", true, false, 0, false},
        {"/P0", false, false, 0, false},         {"/P-3", false, false, -3, false},
        {"/Pabc", false, false, 0, false},       {"/P2.5", false, false, 2, false},
        {"/P3.5", false, false, 4, false},       {"/P4 /P9", false, false, 4, false},
        {"/P32767", false, false, 32767, false}, {"/P-32768", false, false, -32768, false},
        {"/P32768", false, false, 16, true},     {"/P99999", false, false, 16, true},
        {"/P1e999", false, false, 16, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.commandLine);
        const StartupOptions options = StartupOptions::parse(QString::fromLatin1(c.commandLine));
        EXPECT_EQ(options.testMenu, c.testMenu);
        EXPECT_EQ(options.logger, c.logger);
        EXPECT_EQ(options.maxPort, c.maxPort);
        EXPECT_EQ(options.maxPortOverflow, c.overflow);
    }
}

using StartupTest = DisplayFixture;

TEST_F(StartupTest, WindowBeforeStartUp)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvel"));
    EXPECT_EQ(window->statusBarText(), QStringLiteral("Finding Serial ports"));
    EXPECT_EQ(ui().client->size(), QSize(272, 296));
    EXPECT_EQ(portCaptions(), QStringList{"None"});
    EXPECT_FALSE(shown(ui().mnuTest->menuAction()));
    EXPECT_EQ(ui().mnuTestTerminal->text(), QStringLiteral("&Terminal"));
    EXPECT_FALSE(shown(ui().mnuLogger));
    EXPECT_TRUE(shown(ui().mnuPCLog));
    EXPECT_TRUE(shown(ui().imgPC[0]));
    EXPECT_FALSE(shown(ui().imgPC[1]));
    EXPECT_FALSE(shown(ui().imgSS[0]));
    EXPECT_FALSE(shown(ui().imgSS[1]));
    EXPECT_FALSE(shown(ui().imgSun[0]));
    EXPECT_FALSE(shown(ui().imgSun[1]));
    EXPECT_TRUE(shown(ui().imgSun[2]));
    for (const SvgPicture *picture : {ui().imgPC[0], ui().imgPC[1], ui().imgSS[0], ui().imgSS[1],
                                      ui().imgSun[0], ui().imgSun[1], ui().imgSun[2]})
        EXPECT_TRUE(picture->isValid()) << picture->fileName().toStdString();
    EXPECT_EQ(ui().lblTotal->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(ui().lblTotal->font().pointSize(), 18);
    EXPECT_EQ(ui().lblDiffuse->font().pointSize(), 18);
}

TEST_F(StartupTest, PlacesThePicturesAndStartsThePoll)
{
    start("/P0");
    EXPECT_TRUE(window->isVisible());
    // The computer directly above the sensor, the sky square level with the diffuse value.
    EXPECT_EQ(ui().imgPC[0]->geometry(), QRect(232, 4, 32, 32));
    EXPECT_EQ(ui().imgPC[1]->geometry(), QRect(232, 4, 32, 32));
    EXPECT_EQ(ui().imgSS[0]->geometry(), QRect(232, 36, 32, 32));
    EXPECT_EQ(ui().imgSS[1]->geometry(), QRect(232, 36, 32, 32));
    for (const SvgPicture *sky : ui().imgSun)
        EXPECT_EQ(sky->geometry(), QRect(216, 32, 33, 33));
    EXPECT_TRUE(window->Timer1.isActive());
    EXPECT_EQ(window->Timer1.interval(), 2000);
    // The window was painted once before the search, and the busy pointer is gone.
    EXPECT_EQ(pump.calls, 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(StartupTest, NoInstrumentOnAnyPort)
{
    addSilentPort(1);
    addSilentPort(2);
    port.addLine(3).openError = SerialPort::ErrorPortAlreadyOpen; // held by another program
    port.addLine(4).openError = SerialPort::ErrorOpenFailed;
    addSilentPort(5);
    start();

    EXPECT_EQ(portCaptions(), (QStringList{"None", "COM 1", "COM 2", "COM 3", "COM 5"}));
    EXPECT_EQ(portMenu().checkedIndex(), 0);
    EXPECT_EQ(window->statusBarText(), QStringLiteral("VTA1 not found - no serial port selected"));
    EXPECT_EQ(link().CommPort(), 0);
    EXPECT_TRUE(prompts.calls().isEmpty());
    // Every port that opened was probed with the handshake.
    EXPECT_EQ(takeWritten(1), QByteArray("R"));
    EXPECT_EQ(takeWritten(5), QByteArray("R"));
}

TEST_F(StartupTest, OneInstrumentIsOpenedAndAskedForItsStatus)
{
    addSilentPort(1);
    addInstrument(2, SimModel::ZQ4);
    start();

    EXPECT_EQ(portCaptions(), (QStringList{"None", "COM 1", "COM 2"}));
    EXPECT_EQ(portMenu().checkedIndex(), 2);
    EXPECT_EQ(link().CommPort(), 2);
    EXPECT_TRUE(link().Connected());
    EXPECT_EQ(link().Version(), QStringLiteral("ZQ4 v2.3"));
    // The version label stays empty, so that the first tick reads the full status.
    EXPECT_TRUE(ui().lblVersion->text().isEmpty());
    EXPECT_TRUE(prompts.calls().isEmpty());

    tick();
    EXPECT_EQ(ui().lblVersion->text(), QStringLiteral("ZQ4 v2.3"));
    EXPECT_EQ(ui().Frame2->title(), QStringLiteral("Reading Units: W.m-2"));
    EXPECT_EQ(window->statusBarText(), link().Status());
    EXPECT_TRUE(window->statusBarText().contains("connected on COM 2"));
}

TEST_F(StartupTest, WithTwoInstrumentsTheFirstIsChosenAndTheSecondOnlyGetsR)
{
    addInstrument(2, SimModel::ZQ5);
    addInstrument(4, SimModel::ZQ3v2);
    start();

    EXPECT_EQ(link().CommDefault(), 1);
    EXPECT_EQ(link().CommPort(), 2);
    EXPECT_EQ(portMenu().checkedIndex(), 1);
    EXPECT_EQ(takeWritten(4), QByteArray("R"));
    EXPECT_EQ(port.line(4)->openCount, 1);
}

TEST_F(StartupTest, SearchStatusTextsReachTheStatusBarAtOnce)
{
    addSilentPort(1);
    addInstrument(3);
    QStringList seen;
    QObject::connect(&link(), &SensorLink::StatusMsg, [&](const QString &text) {
        EXPECT_EQ(window->statusBarText(), text);
        seen.append(text);
    });
    start("/P3");
    EXPECT_EQ(seen, (QStringList{"Checking serial ports COM1", "Checking serial ports COM2",
                                 "Checking serial ports COM3"}));
}

TEST_F(StartupTest, MaximumPortBoundsTheSearchAndTheEShowsTheTestMenu)
{
    struct Case
    {
        const char *commandLine;
        int maxPort;
        bool testMenu;
    };
    const Case cases[] = {
        {"/P0", 0, false},    {"/p-2", -2, false}, {"/P", 0, false},    {"/P2", 2, false},
        {"/p 3 /e", 3, true}, {"", 16, false},     {"/P0 /E", 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.commandLine);
        rebuildWindow();
        for (int n = 1; n <= 5; ++n)
            addSilentPort(n);
        port.openAttempts = 0;
        start(c.commandLine);
        EXPECT_EQ(window->maxPort(), c.maxPort);
        // Ports 1 to 5 exist: those up to the maximum are listed.
        EXPECT_EQ(portMenu().count(), 1 + std::clamp(c.maxPort, 0, 5));
        EXPECT_EQ(port.openAttempts, std::max(c.maxPort, 0));
        EXPECT_EQ(portMenu().checkedIndex(), 0);
        EXPECT_EQ(window->TestMenuFlag, c.testMenu);
        EXPECT_EQ(shown(ui().mnuTest->menuAction()), c.testMenu);
    }
}

TEST_F(StartupTest, OverflowingMaximumPortIsReportedAndStartUpGoesOn)
{
    addInstrument(16);
    start("/L /P99999 /E");
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_EQ(prompts.calls()[0].kind, RecordingPrompts::Kind::Message);
    EXPECT_EQ(prompts.calls()[0].title, QStringLiteral("Quorvel"));
    EXPECT_EQ(prompts.calls()[0].text, QStringLiteral("Error: Overflow"));
    // The later steps ran: flags read, port 16 (the default maximum) searched and opened.
    EXPECT_EQ(window->maxPort(), 16);
    EXPECT_TRUE(window->TestMenuFlag);
    EXPECT_TRUE(window->LoggerFlag);
    EXPECT_EQ(link().CommPort(), 16);
    EXPECT_TRUE(window->Timer1.isActive());
}

TEST_F(StartupTest, PortMenuCheckMarkFollowsTheOpenPort)
{
    addInstrument(3);
    addSilentPort(7);
    addInstrument(12, SimModel::ZQ4);
    start();
    ASSERT_EQ(portCaptions(), (QStringList{"None", "COM 3", "COM 7", "COM 12"}));
    ASSERT_EQ(link().CommPort(), 3);

    struct Step
    {
        int item;
        int openPort;
        int checked;
    };
    const Step steps[] = {
        {3, 12, 3},            // two digits: COM 12, not COM 1
        {0, 0, 0},             // "None" closes the port
        {2, 7, 2},             // a port without an instrument still opens
        {1, 3, 1},  {1, 3, 1}, // choosing the open port again
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.item);
        portMenu().item(step.item)->trigger();
        EXPECT_EQ(link().CommPort(), step.openPort);
        EXPECT_EQ(portMenu().checkedIndex(), step.checked);
        int marks = 0;
        for (int i = 0; i < portMenu().count(); ++i)
            marks += portMenu().item(i)->isChecked() ? 1 : 0;
        EXPECT_EQ(marks, 1);
    }
    EXPECT_TRUE(prompts.calls().isEmpty());
}

TEST_F(StartupTest, ChoosingAPortClearsTheInstrumentLinesAndReadsTheStatus)
{
    addInstrument(3);
    addInstrument(5, SimModel::ZQ4);
    start();
    tick();
    ASSERT_EQ(ui().lblVersion->text(), QStringLiteral("ZQ5 v3.2"));
    ASSERT_TRUE(ui().Option1[0]->isChecked());

    takeWritten(5);
    portMenu().item(2)->trigger();
    EXPECT_EQ(takeWritten(5), QByteArray("RI"));
    EXPECT_TRUE(ui().lblVersion->text().isEmpty());
    EXPECT_TRUE(ui().lblPower->text().isEmpty());
    EXPECT_TRUE(ui().lblLogStatus->text().isEmpty());
    for (const OptionButton *option : ui().Option1)
        EXPECT_FALSE(option->isChecked());

    portMenu().item(0)->trigger();
    EXPECT_EQ(link().Status(), QStringLiteral("No serial port selected"));
    EXPECT_EQ(portMenu().checkedIndex(), 0);
}

TEST_F(StartupTest, PortInUseIsReportedAndThePreviousPortReopened)
{
    addInstrument(3);
    FakeLine &busy = addSilentPort(4);
    start();
    ASSERT_EQ(link().CommPort(), 3);

    busy.openError = SerialPort::ErrorPortAlreadyOpen;
    portMenu().item(2)->trigger();
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_EQ(prompts.calls()[0].title, QStringLiteral("Select serial port"));
    EXPECT_EQ(prompts.calls()[0].text, QStringLiteral("COM  4 is in use by another application"));
    EXPECT_EQ(link().CommPort(), 3);
    EXPECT_EQ(portMenu().checkedIndex(), 1);
}

TEST_F(StartupTest, PortMenuShowsTheDeviceOfEachNumber)
{
    PortTable table(PortTable::Numbering::DeviceList);
    table.addDevice("/dev/quorvel-test-a", "built-in simulator ZQ5");
    table.addDevice("/dev/quorvel-test-b&c");
    rebuildWindow(&table);
    addSilentPort(1);
    addSilentPort(2);
    addSilentPort(3);
    start("/P3");

    ASSERT_EQ(portCaptions(), (QStringList{"None", "COM 1", "COM 2", "COM 3"}));
    EXPECT_EQ(portMenu().item(1)->text(),
              QStringLiteral("COM 1\t/dev/quorvel-test-a \u2014 built-in simulator ZQ5"));
    EXPECT_EQ(portMenu().item(2)->text(), QStringLiteral("COM 2\t/dev/quorvel-test-b&&c"));
    EXPECT_EQ(portMenu().item(3)->text(), QStringLiteral("COM 3"));
    EXPECT_TRUE(portMenu().item(1)->toolTip().contains("/dev/quorvel-test-a"));

    portMenu().item(2)->trigger();
    EXPECT_EQ(link().CommPort(), 2);
    EXPECT_EQ(portMenu().checkedIndex(), 2);
    window.reset();
}

} // namespace
