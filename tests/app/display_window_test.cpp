// The main window's wiring: the start-up options, the port menu, the units options, the
// labels the poll shows its readings on, and the hand-over of the instrument to the
// terminal, the logger window and the about box.
#include "DisplayFixture.h"
#include "about/ui/frmAbout.h"
#include "app/StartupOptions.h"
#include "app/SvgPicture.h"
#include "app/frmAboutFactory.h"
#include "app/frmZQ4Factory.h"
#include "link/ui/frmZQ4.h"
#include "platform/PortTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

namespace {

using DisplayWindowTest = DisplayFixture;

// The options are found anywhere in the command line, in any case; "/P" takes the
// numeric value of all the text after it, rounded to 16 bits.
TEST_F(DisplayWindowTest, StartUpOptionsAndTheFirstReadings)
{
    const struct
    {
        const char *commandLine;
        bool testMenu, logger;
        int maxPort;
        bool overflow;
    } cases[] = {
        {"", false, false, 16, false},           {"/E", true, false, 16, false},
        {"/e /l /p8", true, true, 8, false},     {"/P 12 /E", true, false, 12, false},
        {"x/Ly", false, true, 16, false},        {"/P", false, false, 0, false},
        {"/E /P", true, false, 0, false},        {"/P-3", false, false, -3, false},
        {"/Pabc", false, false, 0, false},       {"/P2.5", false, false, 2, false},
        {"/P3.5", false, false, 4, false},       {"/P4 /P9", false, false, 4, false},
        {"/P32767", false, false, 32767, false}, {"/P-32768", false, false, -32768, false},
        {"/P32768", false, false, 16, true},     {"/L /P99999 /E", true, true, 16, true},
        {"/P1e999", false, false, 16, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.commandLine);
        const StartupOptions options = StartupOptions::parse(c.commandLine);
        EXPECT_EQ(options.testMenu, c.testMenu);
        EXPECT_EQ(options.logger, c.logger);
        EXPECT_EQ(options.maxPort, c.overflow ? 16 : c.maxPort);
        EXPECT_EQ(options.maxPortOverflow, c.overflow);

        pump.calls = 0;
        prompts.clear();
        startWindow("sss5", c.commandLine);
        EXPECT_EQ(window->TestMenuFlag, c.testMenu);
        EXPECT_EQ(ui().mnuTest->menuAction()->isVisible(), c.testMenu);
        EXPECT_EQ(window->LoggerFlag, c.logger);
        EXPECT_EQ(window->maxPort(), c.maxPort);
        EXPECT_EQ(prompts.texts(), c.overflow ? QStringList{"Error: Overflow"} : QStringList{});
        // Painted once before the search; the poll runs and the busy pointer is gone.
        EXPECT_EQ(pump.calls, 1);
        EXPECT_TRUE(window->Timer1.isActive());
        EXPECT_EQ(window->Timer1.interval(), 2000);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        const int ports = std::clamp(c.maxPort, 0, 4);
        EXPECT_EQ(ui().mnuSerialPort->count(), 1 + ports);
        EXPECT_EQ(window->ZQ4().CommPort(), ports == 4 ? 4 : 0);
        EXPECT_EQ(ui().mnuSerialPort->checkedIndex(), ports == 4 ? 4 : 0);

        tick();
        tick();
        EXPECT_EQ(ui().lblVersion->text(), ports == 4 ? "ZQ5 v3.2" : "");
        EXPECT_EQ(ui().lblTotal->text().isEmpty(), ports != 4);
        EXPECT_EQ(window->statusBarText(), window->ZQ4().Status());
        EXPECT_EQ(ui().mnuLogger->isVisible(), c.logger && ports == 4);
    }
    for (const SvgPicture *picture : ui().client->findChildren<SvgPicture *>())
        EXPECT_TRUE(picture->isValid()) << picture->fileName().toStdString();
}

TEST_F(DisplayWindowTest, SearchTextsReachTheStatusBarAtOnce)
{
    setFarEnds("s5");
    window = std::make_unique<frmDisplay>(port, clock, pump, prompts);
    QStringList seen;
    QObject::connect(&window->ZQ4(), &SensorLink::StatusMsg, [&](const QString &text) {
        seen.append(text + (window->statusBarText() == text ? "" : " not shown"));
    });
    window->startUp("/P3");
    EXPECT_EQ(seen, (QStringList{"Checking serial ports COM1", "Checking serial ports COM2",
                                 "Checking serial ports COM3"}));
}

// --device and --demo name the devices the port numbers stand for.
TEST_F(DisplayWindowTest, PortMenuShowsTheDevicesAndOpensTheChosenPort)
{
    PortTable table(PortTable::Numbering::DeviceList);
    table.addDevice("/dev/quorvel-test-a", "built-in simulator ZQ5");
    table.addDevice("/dev/quorvel-test-b&c");
    startWindow("5sh", "/P3", &table);
    PortMenu &menu = *ui().mnuSerialPort;
    EXPECT_EQ(menu.item(1)->text(), "COM 1\t/dev/quorvel-test-a \u2014 built-in simulator ZQ5");
    EXPECT_EQ(menu.item(2)->text(), "COM 2\t/dev/quorvel-test-b&&c");
    EXPECT_EQ(menu.item(3)->text(), "COM 3");
    written();

    menu.item(2)->trigger();
    EXPECT_EQ(window->ZQ4().CommPort(), 2);
    EXPECT_EQ(menu.checkedIndex(), 2);
    EXPECT_EQ(written(), "2:R");
    // A port in use: a box, and the port before is open again.
    menu.item(3)->trigger();
    EXPECT_EQ(prompts.texts(), QStringList{"COM  3 is in use by another application"});
    EXPECT_EQ(prompts.calls()[0].title, "Select serial port");
    EXPECT_EQ(window->ZQ4().CommPort(), 2);
    EXPECT_EQ(menu.checkedIndex(), 2);
    window.reset();
}

TEST_F(DisplayWindowTest, MouseAndKeyReleasesOnTheOptionsChangeTheUnits)
{
    startWindow("5", "/P1");
    // The first tick that follows the start-up, then no more: the events meet no tick.
    QCoreApplication::processEvents();
    window->Timer1.stop();
    written();
    const auto chosen = [this] {
        QString text;
        for (int i = 0; i < 3; ++i)
            text += QString(ui().Option1[i]->isChecked() ? "x" : "-") +
                    (ui().Option1[i]->font().bold() && ui().lblOpt[i]->font().bold() ? "b" : "");
        return text;
    };
    ASSERT_EQ(chosen(), "xb--");
    QTest::mouseClick(ui().Option1[2], Qt::LeftButton);
    EXPECT_EQ(written(), "1:RTU2RI");
    EXPECT_EQ(instruments[0]->state().units(), SimUnits::Illuminance);
    EXPECT_EQ(chosen(), "--xb");
    QTest::keyClick(ui().Option1[1], Qt::Key_Space);
    EXPECT_EQ(written(), "1:RTU1RI");
    EXPECT_EQ(ui().Frame2->title(), "Reading Units: W.m-2");
    EXPECT_EQ(chosen(), "-xb-");
    // A held key repeats its release: only the real one counts.
    QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, "b", true);
    QApplication::sendEvent(ui().Option1[0], &repeated);
    EXPECT_EQ(written(), "");
}

// A close from the window system (the close box), not from the program.
void closeByUser(QWidget &window)
{
    QCloseEvent close;
    QApplication::sendEvent(window.windowHandle(), &close);
}

TEST_F(DisplayWindowTest, TerminalTakesTheInstrumentAndItsCloseBoxGivesItBack)
{
    startWindow("S", "/E");
    window->windows.terminal = TerminalWindowFactory();
    window->move(40, 30);
    QSignalSpy hidden(&window->ZQ4(), &SensorLink::HideTerminal);
    ui().mnuTestTerminal->trigger();
    auto *terminal = static_cast<frmZQ4 *>(window->windows.terminal(*window));
    EXPECT_TRUE(terminal->isVisible() && terminal->TerminalOn());
    EXPECT_EQ(terminal->pos(), window->pos());
    EXPECT_FALSE(window->isVisible() || window->Timer1.isActive());
    EXPECT_EQ(terminal->Timer1.interval(), 100);

    // Keys go to the instrument as they are, and nothing is echoed.
    written();
    const struct
    {
        Qt::Key key;
        QString text;
        const char *written;
    } keys[] = {{Qt::Key_R, "R", "1:R"},
                {Qt::Key_Return, "\r", "1:\r"},
                {Qt::Key_Eacute, "\u00E9", "1:\xE9"},
                {Qt::Key_unknown, "\u20AC", ""},
                {Qt::Key_Left, "", ""}};
    for (const auto &key : keys) {
        for (QWidget *focus :
             {static_cast<QWidget *>(terminal->txtOut), static_cast<QWidget *>(terminal)}) {
            QTest::sendKeyEvent(QTest::Click, focus, key.key, key.text, Qt::NoModifier);
            EXPECT_EQ(written(), key.written) << key.text.toStdString();
        }
    }
    EXPECT_TRUE(terminal->txtOut->toPlainText().isEmpty());
    port.line(1)->deliver("ZQ5\r\n\xAF");
    clock.advanceSeconds(0.1);
    terminal->Timer1_Timer();
    EXPECT_TRUE(terminal->txtOut->toPlainText().endsWith(QString("ZQ5\n") + QChar(0xBB)));

    // The DTR box sets the line, and shows the line set by the link.
    QTest::mouseClick(terminal->chkDTR, Qt::LeftButton);
    EXPECT_FALSE(port.line(1)->dtr);
    window->ZQ4().setDTR(true);
    EXPECT_TRUE(terminal->chkDTR->isChecked());

    closeByUser(*terminal);
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_FALSE(terminal->isVisible() || terminal->Timer1.isActive());
    EXPECT_TRUE(window->isVisible() && window->Timer1.isActive());
    // Hidden, the terminal leaves what arrives to the next exchange.
    port.line(1)->deliver("I\r");
    terminal->Timer1_Timer();
    EXPECT_EQ(port.bytesWaiting(), 2);
    // Hidden by the program: no event.
    terminal->ShowTerminal(true);
    terminal->ShowTerminal(false);
    EXPECT_EQ(hidden.count(), 1);
    tick();
    tick();
    EXPECT_EQ(ui().lblTotal->text(), "123.4");
}

TEST_F(DisplayWindowTest, OtherWindowsBorrowTheLinkUntilTheMainWindowCloses)
{
    QApplication::setQuitOnLastWindowClosed(false);
    startWindow("S", "/P1 /L");
    tick();
    ASSERT_TRUE(ui().mnuLogger->isVisible());
    for (QAction *item : {ui().mnuTestTerminal, ui().mnuPCLog, ui().mnuLogger, ui().mnuAbout})
        item->trigger(); // no window plugged in: nothing happens
    EXPECT_TRUE(window->isVisible() && window->Timer1.isActive());

    // The about box is modal over the main window, whose poll goes on.
    window->windows.about = AboutBoxFactory(clock);
    QWidget *modal = nullptr;
    bool polling = false;
    QTimer::singleShot(0, [&] {
        polling = window->Timer1.isActive();
        modal = QApplication::activeModalWidget();
        modal->close();
    });
    ui().mnuAbout->trigger();
    EXPECT_TRUE(polling);
    ASSERT_NE(qobject_cast<frmAbout *>(modal), nullptr);
    EXPECT_EQ(modal->parentWidget(), window.get());

    // The logger window: on return the next tick reads the full status again.
    auto owned = std::make_shared<std::unique_ptr<QWidget>>(std::make_unique<QWidget>());
    const QPointer<QWidget> logger = owned->get();
    window->windows.logger = [owned](frmDisplay &) { return owned->get(); };
    owned.reset();
    ui().mnuLogger->trigger();
    EXPECT_TRUE(logger->isVisible());
    EXPECT_FALSE(window->isVisible() || window->Timer1.isActive());
    EXPECT_EQ(ui().lblVersion->text(), "");
    window->takeBack();
    EXPECT_TRUE(window->isVisible() && window->Timer1.isActive());
    written();
    tick();
    EXPECT_EQ(written(), "1:RI");

    // Closing: the borrowers go before the link, the poll stops and the port closes.
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(logger.isNull());
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_FALSE(port.isOpen());
    window->Timer1_Timer(); // a late tick does nothing
}

} // namespace
