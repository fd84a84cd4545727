// The terminal window: keys typed go to the instrument and are not echoed, received
// bytes reach the text area only while the terminal is on, the DTR box, and how closing
// it gives the instrument back to the main window. The about box opens modal over the
// main window without stopping its poll.
#include "DisplayFixture.h"
#include "QtPrinters.h"
#include "about/ui/frmAbout.h"
#include "app/frmAboutFactory.h"
#include "app/frmZQ4Factory.h"
#include "link/ui/frmZQ4.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest/QTest>

namespace {

class TerminalTest : public ::testing::Test
{
protected:
    TerminalTest()
    {
        far.on("R", "\r\n\xAF");
        link.setCommPort(1);
        line.clearWritten();
    }

    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    FakeLine &line = port.addLine(1);
    ScriptedLine far{line};
    frmZQ4 terminal{link};
};

// A close from the window system (the close box), not from the program.
void closeByUser(QWidget &window)
{
    QCloseEvent close;
    QApplication::sendEvent(window.windowHandle(), &close);
}

struct Key
{
    const char *name;
    Qt::Key key;
    QString text; // what the keyboard makes of it
    QByteArray written;
};

TEST_F(TerminalTest, KeysGoToTheInstrumentUnechoed)
{
    terminal.ShowTerminal(true);
    const Key keys[] = {
        {"letter", Qt::Key_R, "R", "R"},
        {"Enter", Qt::Key_Return, "\r", "\r"},
        {"8-bit character", Qt::Key_Eacute, QString::fromLatin1("\xE9"), "\xE9"},
        {"character outside the 8-bit set", Qt::Key_unknown, "\u20AC", ""},
        {"arrow", Qt::Key_Left, "", ""},
    };
    for (const Key &key : keys) {
        for (QWidget *focus :
             {static_cast<QWidget *>(terminal.txtOut), static_cast<QWidget *>(&terminal)}) {
            line.clearWritten();
            QTest::sendKeyEvent(QTest::Click, focus, key.key, key.text, Qt::NoModifier);
            EXPECT_EQ(line.written(), key.written)
                << key.name << " on " << focus->metaObject()->className();
        }
    }
    EXPECT_TRUE(terminal.txtOut->toPlainText().isEmpty()) << "nothing echoed locally";
    EXPECT_TRUE(terminal.text().isEmpty());
}

TEST_F(TerminalTest, ShowsWhatArrivesOnlyWhileOn)
{
    // Hidden, the terminal leaves the bytes for the next exchange.
    line.deliver("I\r");
    terminal.Timer1_Timer();
    EXPECT_EQ(port.bytesWaiting(), 2);
    EXPECT_TRUE(terminal.text().isEmpty());

    terminal.ShowTerminal(true);
    EXPECT_TRUE(terminal.TerminalOn());
    EXPECT_TRUE(terminal.Timer1.isActive());
    EXPECT_EQ(terminal.Timer1.interval(), 100);
    line.deliver("ZQ5\r\n\xAF");
    terminal.Timer1_Timer();
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(terminal.text(), QString("I\r\nZQ5\r\n\n") + QChar(0xBB));
    EXPECT_EQ(terminal.txtOut->toPlainText(), QString("I\nZQ5\n") + QChar(0xBB));
    EXPECT_TRUE(terminal.txtOut->textCursor().atEnd());
}

TEST_F(TerminalTest, OnlyTheUsersCloseRaisesHideTerminal)
{
    QSignalSpy hidden(&link, &SensorLink::HideTerminal);

    terminal.ShowTerminal(true);
    terminal.ShowTerminal(false);
    EXPECT_EQ(hidden.count(), 0) << "hiding by the program raises no event";
    EXPECT_FALSE(terminal.Timer1.isActive());

    terminal.ShowTerminal(true);
    closeByUser(terminal);
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_FALSE(terminal.isVisible());
    EXPECT_FALSE(terminal.TerminalOn());
    EXPECT_FALSE(terminal.Timer1.isActive());
    EXPECT_EQ(link.CommPort(), 1) << "the link keeps its port";

    // Closed by the program at the end of the run: no event.
    terminal.ShowTerminal(true);
    EXPECT_TRUE(terminal.close());
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_FALSE(terminal.TerminalOn());
}

TEST_F(TerminalTest, DtrBoxSetsAndMirrorsTheLine)
{
    terminal.ShowTerminal(true);
    ASSERT_TRUE(terminal.chkDTR->isChecked());
    ASSERT_TRUE(line.dtr);

    QTest::mouseClick(terminal.chkDTR, Qt::LeftButton);
    EXPECT_FALSE(line.dtr);
    EXPECT_FALSE(link.dtrBox());

    link.setDTR(true);
    EXPECT_TRUE(terminal.chkDTR->isChecked());
}

class TerminalHandOverTest : public DisplayFixture
{
};

TEST_F(TerminalHandOverTest, CloseBoxBringsTheMainWindowBackPolling)
{
    addScripted(1);
    window->windows.terminal = TerminalWindowFactory();
    start("/E");
    ASSERT_TRUE(window->Timer1.isActive());

    window->mnuTestTerminal_Click();
    auto *terminal = static_cast<frmZQ4 *>(window->windows.terminal(*window));
    EXPECT_TRUE(terminal->isVisible());
    EXPECT_TRUE(terminal->TerminalOn());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Timer1.isActive());

    takeWritten(1);
    QTest::keyClick(terminal->txtOut, 'R');
    EXPECT_EQ(takeWritten(1), "R");
    clock.advanceSeconds(0.1);
    terminal->Timer1_Timer();
    EXPECT_TRUE(terminal->text().endsWith(QChar(0xBB)));

    closeByUser(*terminal);
    EXPECT_FALSE(terminal->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Timer1.isActive());
    // The poll talks to the instrument again: its full status, then the readings.
    tick();
    tick();
    EXPECT_TRUE(takeWritten(1).endsWith("RS"));
    EXPECT_EQ(ui().lblTotal->text(), "123.4");
}

TEST_F(TerminalHandOverTest, AboutBoxIsModalAndThePollKeepsRunning)
{
    addScripted(1);
    window->windows.about = AboutBoxFactory(clock);
    start();

    bool polling = false;
    QWidget *modal = nullptr;
    QTimer::singleShot(0, [&] {
        polling = window->Timer1.isActive();
        modal = QApplication::activeModalWidget();
        if (modal)
            modal->close();
    });
    window->mnuAbout_Click();
    EXPECT_TRUE(polling);
    ASSERT_NE(qobject_cast<frmAbout *>(modal), nullptr);
    EXPECT_EQ(modal->parentWidget(), window.get());
    EXPECT_TRUE(window->isVisible());
}

} // namespace
