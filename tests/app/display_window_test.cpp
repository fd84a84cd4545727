// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's wiring: the start-up options, the port menu, the labels the poll
// shows its readings on, the units options, and the hand-over of the instrument to the
// terminal, the logger window and the about box.
#include "DisplayFixture.h"
#include "about/ui/frmAbout.h"
#include "app/ElidedLabel.h"
#include "app/GuiUserPrompts.h"
#include "app/OptionButton.h"
#include "app/PortMenu.h"
#include "app/StartupOptions.h"
#include "app/SvgPicture.h"
#include "app/frmAboutFactory.h"
#include "app/frmZQ4Factory.h"
#include "link/ui/frmZQ4.h"
#include "platform/PortTable.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using DisplayWindowTest = DisplayFixture;

// The options are found anywhere in the command line, in any case; "/P" takes the
// numeric value of all the text after it, rounded to 16 bits.
TEST_F(DisplayWindowTest, StartUpOptionsAndTheFirstReadings)
{
    // Command line, test menu, logger, highest port, overflow.
    const std::tuple<const char *, bool, bool, int, bool> cases[] = {
        {"", false, false, 16, false},
        {"/E", true, false, 16, false},
        {"/e /l /p8", true, true, 8, false},
        {"/P 12 /E", true, false, 12, false},
        {"x/Ly /dev/pts/0 ~/Ex", false, true, 16, false},
        {"/P", false, false, 0, false},
        {"/E /P", true, false, 0, false},
        {"/P-3", false, false, -3, false},
        {"/Pabc", false, false, 0, false},
        {"/P2.5", false, false, 2, false},
        {"/P3.5", false, false, 4, false},
        {"/P4 /P9", false, false, 4, false},
        {"/P32767", false, false, 32767, false},
        {"/P-32768", false, false, -32768, false},
        {"/P32768", false, false, 16, true},
        {"/L /P99999 /E", true, true, 16, true},
        {"/P1e999", false, false, 16, true},
    };
    for (const auto &[commandLine, testMenu, logger, maxPort, overflow] : cases) {
        SCOPED_TRACE(commandLine);
        const StartupOptions o = StartupOptions::parse(commandLine);
        EXPECT_EQ(std::tuple(o.testMenu, o.logger, o.maxPort, o.maxPortOverflow),
                  std::tuple(testMenu, logger, maxPort, overflow));

        prompts.clear();
        newWindow("sssS");
        scripted->on("S", testMenu ? "S1,2,1\r" : "S1,2,0\r"); // sun or clouds
        // Search texts not on the status bar.
        int unseen = 0;
        QObject::connect(&window->ZQ4(), &SensorLink::StatusMsg,
                         [&](const QString &text) { unseen += window->statusBarText() != text; });
        window->startUp(commandLine);
        // The search runs from the event loop, with the window shown and the pointer busy.
        EXPECT_TRUE(window->isVisible() && QApplication::overrideCursor());
        EXPECT_FALSE(window->Timer1.isActive());
        runLink(window->ZQ4());
        EXPECT_EQ(prompts.texts(),
                  overflow ? QStringList{"Error: " + o.overflowDescription()} : QStringList{});
        // No event loop of its own; then the poll runs and the pointer is not busy.
        const bool found = maxPort >= 4;
        EXPECT_EQ(std::tuple(window->TestMenuFlag, ui().mnuTest->menuAction()->isVisible(),
                             window->LoggerFlag, window->maxPort(), unseen,
                             window->Timer1.interval(), window->Timer1.isActive(),
                             QApplication::overrideCursor(), ui().mnuSerialPort->count(),
                             ui().mnuSerialPort->checkedIndex()),
                  std::tuple(testMenu, testMenu, logger, maxPort, 0, 2000, true, nullptr,
                             1 + std::clamp(maxPort, 0, 4), found ? 4 : 0));
        // What the poll shows reaches the labels, the pictures and the menu.
        tick();
        tick();
        const SensorLink &link = window->ZQ4();
        EXPECT_EQ(std::tuple(ui().lblVersion->text(), ui().lblPower->text(),
                             ui().lblLogStatus->text(), window->statusBarText()),
                  std::tuple(link.Version(), link.Power(), link.LogStatus(),
                             found         ? link.Status()
                             : maxPort < 1 ? "VTA1 not found - no serial port searched (/P)"
                                           : "VTA1 not found - no serial port selected"));
        EXPECT_EQ(std::tuple(ui().lblTotal->text(), ui().mnuLogger->isVisible(),
                             ui().lblStatus->isVisible(), ui().lblLogStatus->isVisible(),
                             ui().imgSS[0]->isVisible(), ui().imgSS[1]->isVisible(),
                             ui().imgPC[1]->isVisible(), ui().imgSun[0]->isVisible(),
                             ui().imgSun[1]->isVisible()),
                  std::tuple(found ? "1.0" : "", logger && found, logger && found, logger && found,
                             found, false, false, found && !link.Sun(), found && link.Sun()));
    }
    for (const SvgPicture *picture : ui().client->findChildren<SvgPicture *>())
        EXPECT_TRUE(picture->isValid()) << picture->fileName().toStdString();
    // The message of an overflow names the option as written, up to the next one.
    for (const auto &[commandLine, option] :
         {std::pair{"/L /P99999 /E", "/P99999"}, {"/p 1e999", "/P1E999"}, {"/P-40000", "/P-40000"}})
        EXPECT_EQ(StartupOptions::parse(commandLine).overflowDescription(),
                  QString("Overflow: %1 is beyond the port numbers (at most 32767)").arg(option));
}

// No port could be used: the status bar says why, where the user can do something about
// it, and "How to fix" shows every such reason whole; a port found hides it again.
TEST_F(DisplayWindowTest, NoUsablePortSaysWhyAndHowToFix)
{
    PortTable table(PortTable::Numbering::DeviceList);
    table.addDevice("/dev/ttyUSB0");
    const QString held = "/dev/ttyUSB0 is in use by minicom (PID 812)";
    const QString folder = "/tmp is a folder, not a serial device";
    // Far ends (h held, p refused, f no serial device, - failing, 5 an instrument), the
    // status after a tick, the "How to fix" message ("" when the link is hidden).
    const std::tuple<const char *, QString, QString> rows[] = {
        {"-s", "VTA1 not found - no serial port selected", ""},
        {"sh", "VTA1 not found - " + held, "COM 2: " + held},
        // (the poll itself names a port refused for lack of rights first)
        {"fhp", "VTA1 not found - " + Denied,
         "COM 1 (/dev/ttyUSB0): " + folder + "\n\nCOM 2: " + held + "\n\nCOM 3: " + Denied},
        {"-p", "VTA1 not found - " + Denied, "COM 2: " + Denied},
        {"f", "VTA1 not found - " + folder, "COM 1 (/dev/ttyUSB0): " + folder},
        {"h5", "", ""},
    };
    for (const auto &[ports, status, fix] : rows) {
        SCOPED_TRACE(ports);
        newWindow(ports, &table);
        for (int number = 1; number <= 3; ++number) {
            FakeLine &line = *port.line(number);
            if (line.openError == SerialPort::ErrorPortAlreadyOpen)
                line.openErrorText = held;
            if (number <= int(qstrlen(ports)) && ports[number - 1] == 'f')
                line.openError = SerialPort::ErrorNotSerialDevice, line.openErrorText = folder;
        }
        prompts.clear();
        start("/P4");
        tick();
        EXPECT_EQ(window->statusBarText(), status.isEmpty() ? window->ZQ4().Status() : status);
        EXPECT_EQ(ui().lblHowToFix->isVisibleTo(window.get()), !fix.isEmpty());
        window->lblHowToFix_Click();
        EXPECT_EQ(prompts.texts(), fix.isEmpty() ? QStringList() : QStringList{fix});
    }
    // Choosing None after an instrument was found: no reason to give. A port that opens
    // is no longer a problem.
    window->mnuSerialPort_Click(0);
    tick();
    EXPECT_FALSE(ui().lblHowToFix->isVisibleTo(window.get()));
    EXPECT_TRUE(window->ZQ4().Comm().openFailures().contains(1));
    port.line(1)->openError = SerialPort::NoError;
    window->mnuSerialPort_Click(1);
    EXPECT_FALSE(window->ZQ4().Comm().openFailures().contains(1));
}

// The port menu shows the device of each port number (as --device and --demo name them)
// and opens the port chosen; mouse and key releases on the units options reach the poll;
// the terminal, the about box and the logger window borrow the instrument and give it back.
TEST_F(DisplayWindowTest, ClicksReachThePollAndOtherWindowsBorrowTheInstrument)
{
    QApplication::setQuitOnLastWindowClosed(false);
    PortTable table(PortTable::Numbering::DeviceList);
    table.addDevice("/dev/quorvel-test-a", "built-in simulator ZQ5");
    table.addDevice("/dev/quorvel-test-b&c");
    const QString longName =
        "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_" + QString(60, 'x') + "-if00-port0";
    table.addDevice(longName);
    newWindow("5shp", &table);
    start("/P4 /L /E");
    PortMenu &menu = *ui().mnuSerialPort;
    EXPECT_EQ(menu.item(1)->text(), "COM 1\t/dev/quorvel-test-a \u2014 built-in simulator ZQ5");
    EXPECT_EQ(menu.item(2)->text(), "COM 2\t/dev/quorvel-test-b&&c");
    // A port the user may not open is there, greyed, with the reason.
    const QAction *denied = menu.item(menu.count() - 1);
    EXPECT_EQ(std::tuple(denied->text(), denied->isEnabled(), denied->toolTip()),
              std::tuple("COM 4\t(" + Denied + ")", false, "COM 4\n" + Denied));
    // One another program holds may be chosen; its long name is cut in the middle, its
    // reason and the name's two ends stay.
    const QAction *busy = menu.item(3);
    EXPECT_TRUE(busy->isEnabled());
    EXPECT_TRUE(busy->text().startsWith("COM 3\t/dev/serial/by-id/usb-FTDI_"))
        << busy->text().toStdString();
    EXPECT_TRUE(busy->text().contains("\u2026") &&
                busy->text().endsWith("x-if00-port0 (Port already open)"))
        << busy->text().toStdString();
    EXPECT_EQ(busy->toolTip(), "COM 3: " + longName + "\nPort already open");
    // The first tick that follows the start-up, then no more: the events meet no tick.
    QCoreApplication::processEvents();
    window->Timer1.stop();
    runLink(window->ZQ4());
    written();
    const auto chosen = [this] {
        QString text;
        for (int i = 0; i < 3; ++i)
            text += QString(ui().Option1[i]->isChecked() ? "x" : "-") +
                    (ui().Option1[i]->font().bold() && ui().lblOpt[i]->font().bold() ? "b" : "");
        return text;
    };
    ASSERT_EQ(chosen(), "xb--");
    // Each option has room for its text in bold, as the chosen one is shown.
    for (const OptionButton *option : ui().Option1) {
        QFont bold = option->font();
        bold.setBold(true);
        EXPECT_GT(option->width(), QFontMetrics(bold).horizontalAdvance(option->text()));
    }
    QTest::mouseClick(ui().Option1[2], Qt::LeftButton);
    runLink(window->ZQ4());
    EXPECT_EQ(std::tuple(written(), chosen(), instruments[0]->state().units()),
              std::tuple("1:RTU2RI", "--xb", SimUnits::Illuminance));
    QTest::keyClick(ui().Option1[1], Qt::Key_Space);
    runLink(window->ZQ4());
    EXPECT_EQ(std::tuple(written(), chosen(), ui().Frame2->title()),
              std::tuple("1:RTU1RI", "-xb-", "Reading Units: W.m-2"));
    // A held key repeats its release: only the real one counts.
    QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, "b", true);
    QApplication::sendEvent(ui().Option1[0], &repeated);
    // A release without its press (a menu or box closed by a key), and Return, do nothing.
    QKeyEvent stray(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    QApplication::sendEvent(ui().Option1[0], &stray);
    QTest::keyClick(ui().Option1[0], Qt::Key_Return);
    EXPECT_EQ(written(), "");
    // A status text longer than the bar: cut visibly, whole in its tool tip.
    const QString longText = "Lost COM 1: " + QString(300, 'x');
    emit window->ZQ4().StatusMsg(longText);
    EXPECT_EQ(std::tuple(window->statusBarText(), ui().statusText->toolTip(),
                         ui().statusText->text().endsWith(QChar(0x2026))),
              std::tuple(longText, longText, true));

    for (QAction *item : {ui().mnuTestTerminal, ui().mnuPCLog, ui().mnuLogger, ui().mnuAbout})
        item->trigger(); // no window plugged in: nothing happens
    EXPECT_TRUE(window->isVisible() && ui().mnuLogger->isVisible());

    window->windows.terminal = TerminalWindowFactory();
    QSignalSpy hidden(&window->ZQ4(), &SensorLink::HideTerminal);
    window->Timer1.start();
    ui().mnuTestTerminal->trigger();
    auto *terminal = static_cast<frmZQ4 *>(window->windows.terminal(*window));
    EXPECT_EQ(std::tuple(terminal->isVisible(), terminal->TerminalOn(), terminal->pos(),
                         window->isVisible(), window->Timer1.isActive()),
              std::tuple(true, true, window->pos(), false, false));
    // Keys go to the instrument as they are, and nothing is echoed.
    const std::tuple<Qt::Key, QString, const char *> keys[] = {
        {Qt::Key_R, "R", "1:R"},    {Qt::Key_Return, "\r", "1:\r"}, {Qt::Key_Eacute, "é", "1:\xE9"},
        {Qt::Key_unknown, "€", ""}, {Qt::Key_Left, "", ""},
    };
    for (const auto &[key, text, bytes] : keys) {
        for (QWidget *focus : std::initializer_list<QWidget *>{terminal->txtOut, terminal}) {
            QTest::sendKeyEvent(QTest::Click, focus, key, text, Qt::NoModifier);
            EXPECT_EQ(written(), bytes) << text.toStdString();
        }
    }
    EXPECT_TRUE(terminal->txtOut->toPlainText().isEmpty());
    port.line(1)->deliver("ZQ5\r\n\xAF", 0.1);
    runLinkEvents(clock, port, [&] {
        return terminal->txtOut->toPlainText().endsWith(QString("ZQ5\n") + QChar(0xBB));
    });
    EXPECT_TRUE(terminal->txtOut->toPlainText().endsWith(QString("ZQ5\n") + QChar(0xBB)));
    // The DTR box sets the line now and for the ports opened later.
    QTest::mouseClick(terminal->chkDTR, Qt::LeftButton);
    EXPECT_FALSE(port.line(1)->dtr || window->ZQ4().dtrOnOpen());
    QTest::mouseClick(terminal->chkDTR, Qt::LeftButton);
    EXPECT_TRUE(port.line(1)->dtr && window->ZQ4().dtrOnOpen());
    // The close box raises HideTerminal; hiding by the program does not.
    QCloseEvent close;
    QApplication::sendEvent(terminal->windowHandle(), &close);
    terminal->ShowTerminal(true);
    terminal->ShowTerminal(false);
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_FALSE(terminal->isVisible() || terminal->TerminalOn());
    EXPECT_TRUE(window->isVisible() && window->Timer1.isActive());
    // Hidden, the terminal leaves what arrives to the next exchange.
    port.line(1)->deliver("I\r");
    runLink(window->ZQ4());
    EXPECT_EQ(port.bytesWaiting(), 2);

    // The about box is modal over the main window, whose poll goes on.
    window->windows.about = AboutBoxFactory(clock);
    std::pair<bool, QWidget *> during; // the poll running, the modal box
    QTimer::singleShot(0, [&] {
        during = {window->Timer1.isActive(), QApplication::activeModalWidget()};
        if (during.second)
            during.second->close();
    });
    ui().mnuAbout->trigger();
    QCoreApplication::processEvents();
    ASSERT_NE(qobject_cast<frmAbout *>(during.second), nullptr);
    EXPECT_EQ(std::tuple(during.first, during.second->parentWidget()),
              std::tuple(true, window.get()));

    // The logger window: on return the next tick reads the full status again.
    window->windows.logger = [owned = std::make_shared<QWidget>()](frmDisplay &) {
        return owned.get();
    };
    // Chosen while a poll's exchanges run: the logger window takes over when they end.
    window->Timer1_Timer();
    ui().mnuLogger->trigger();
    const QPointer<QWidget> logger = window->windows.logger(*window); // the factory's only
    EXPECT_FALSE(logger->isVisible() || window->Timer1.isActive());
    runLink(window->ZQ4());
    EXPECT_TRUE(logger->isVisible() && ui().lblVersion->text().isEmpty());
    window->takeBack();
    written();
    tick();
    EXPECT_EQ(written(), "1:RI");

    // Another port; one in use brings a box, and the port before is open again.
    menu.item(2)->trigger();
    runLink(window->ZQ4());
    EXPECT_EQ(std::tuple(window->ZQ4().CommPort(), menu.checkedIndex(), written()),
              std::tuple(2, 2, "2:R"));
    menu.item(3)->trigger();
    ASSERT_EQ(prompts.texts(), QStringList{"COM  3 is in use by another application"});
    EXPECT_EQ(prompts.calls()[0].title, "Select serial port");
    EXPECT_EQ(std::tuple(window->ZQ4().CommPort(), menu.checkedIndex()), std::tuple(2, 2));

    // Closing: the borrowers go before the link, the poll stops and the port closes.
    EXPECT_TRUE(window->close() && logger.isNull());
    EXPECT_FALSE(window->Timer1.isActive() || port.isOpen());
    window->Timer1_Timer(); // a late tick does nothing
}

} // namespace

// A message box is wide enough for its title with a short text, and shows a long text
// whole, wrapped: no label is cut.
TEST(GuiUserPromptsTest, BoxesFitTheirTitleAndTheirWholeText)
{
    const QString longText = "/tmp/big.txt could not be shown.\n\nThe file is too large to be "
                             "shown (2048 MB; the largest is 1024 MB): open a part of it.";
    for (const QString &text : {QString("Error: Overflow"), longText}) {
        SCOPED_TRACE(text.toStdString());
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = true;
            EXPECT_GE(box->width(), 16 * box->fontMetrics().horizontalAdvance('M'));
            for (const QLabel *label : box->findChildren<QLabel *>()) {
                if (!label->isVisible() || label->text().isEmpty())
                    continue;
                const int needed = label->wordWrap() ? label->heightForWidth(label->width())
                                                     : label->sizeHint().height();
                EXPECT_GE(label->height(), needed) << label->text().toStdString();
                EXPECT_GE(label->width(), label->minimumSizeHint().width());
            }
            box->accept();
        });
        GuiUserPrompts().message("Quorvel", text);
        EXPECT_TRUE(seen);
    }
}
