// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/DisplayControls.h"
#include "display/DisplayView.h"

#include <QMainWindow>
#include <QMap>
#include <QTimer>

#include <functional>
#include <memory>

class Clock;
class DisplayPoll;
class PortTable;
class SensorLink;
class SerialPort;
class UserPrompts;

// The main window: creates and owns the sensor link for the whole run, reads the
// start-up options, offers the port menu, shows what its DisplayPoll reads from the
// instrument every 2 s and hands the units options' clicks to it. The other windows
// (terminal, PC logging, built-in logger, about box) borrow the link through ZQ4() and
// are opened from its menus.
class frmDisplay : public QMainWindow, private DisplayView
{
    Q_OBJECT

public:
    // Builds a window of the kind named, given the main window (for its link and flags).
    using WindowFactory = std::function<QWidget *(frmDisplay &)>;

    // The windows the menus open. They do not exist yet when the main window is built;
    // their owners plug them in here. A menu item without a factory does nothing. The
    // factory keeps ownership of the window it returns; the factories (and with them
    // their windows) are released before the link when the main window closes.
    struct WindowFactories
    {
        // Shown modeless in place of the main window; they give the instrument back
        // with takeBack() when they close (the terminal through the link's HideTerminal).
        WindowFactory terminal;
        WindowFactory pcLog;
        WindowFactory logger;
        // Shown modal over the main window, whose poll keeps running.
        WindowFactory about;
    };

    static constexpr int PollIntervalMs = 2000;

    // `portTable`, when given, tells which device each port number stands for (shown in
    // the port menu).
    frmDisplay(SerialPort &port, Clock &clock, UserPrompts &prompts,
               const PortTable *portTable = nullptr, QWidget *parent = nullptr);
    ~frmDisplay() override;

    // The link, lent to every other window. Valid until the main window closes.
    SensorLink &ZQ4() { return *m_link; }

    // Set at start-up from "/E" and "/L".
    bool TestMenuFlag = false;
    bool LoggerFlag = false;
    // Highest serial port searched, from "/P" (16 by default).
    int maxPort() const { return m_maxPort; }

    // Runs the start-up: reads the options from the command line, shows the window,
    // starts the poll, searches the ports and opens the one where an instrument answered.
    void startUp(const QString &commandLine);

    // The poll, every 2 s while the main window holds the instrument: a tick of its
    // DisplayPoll.
    QTimer Timer1;
    void Timer1_Timer();

    // A mouse button or a key released over units option `index` (0 umol.m-2.s-1,
    // 1 W.m-2, 2 klux).
    void Option1_MouseUp(int index);
    void Option1_KeyUp(int index);

    // Gives the instrument to `window`: stops the poll, puts `window` at the main
    // window's top-left corner, hides the main window and shows `window` modeless.
    void handOver(QWidget *window);
    // Runs `action` (a window taking the instrument over) once the poll's exchanges have
    // ended; no tick starts meanwhile.
    void afterPoll(const std::function<void()> &action);
    // Takes the instrument back: shows the main window and starts the poll again.
    void takeBack();

    void mnuSerialPort_Click(int index);
    void mnuTestTerminal_Click();
    void mnuPCLog_Click();
    void mnuLogger_Click();
    void mnuAbout_Click();
    void mZQ4_StatusMsg(const QString &strStatus);
    // Shows why each port could not be used and what to do about it.
    void lblHowToFix_Click();
    void mZQ4_HideTerminal();

    WindowFactories windows;

    const DisplayControls &controls() const { return m_controls; }
    QString statusBarText() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placePictures();
    void listPorts(const QStringList &ports);
    // Why the ports tried could not be used, by port number, for the failures the user
    // can remedy (rights, another program, a path that is no serial device); empty while
    // a port is open.
    QMap<int, QString> portProblems() const;
    QString deviceOf(const QString &portCaption) const;
    void showError(const QString &description);
    void runFirstTick();
    // Stops the poll, lets go of the windows that borrowed the link, and releases the
    // link, which closes the port.
    void releaseLink();

    // DisplayView
    bool loggerFlag() const override { return LoggerFlag; }
    void showFields(const InstrumentFields &fields) override;
    void setLoggerMenuVisible(bool visible) override;
    void showReadingCaption(const QString &caption) override;
    void showReadings(const QString &total, const QString &diffuse, bool sun) override;
    void clearReadings() override;
    void showUnitsChoice(int selected, bool bold) override;
    void showActivity(bool sensorFound, bool exchanging) override;
    void paintNow() override { repaint(); }
    void setStatusText(const QString &text) override;
    void checkPort(int number) override;

    UserPrompts &m_prompts;
    const PortTable *m_portTable;
    std::unique_ptr<SensorLink> m_link;
    std::unique_ptr<DisplayPoll> m_poll;
    DisplayControls m_controls;

    int m_maxPort = 16;

    // The units option a Space or arrow key went down on, -1 for none.
    int m_keyPressedOn = -1;
};
