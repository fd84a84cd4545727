#pragma once

#include "app/DisplayControls.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>

class Clock;
class EventPump;
class PortTable;
class SensorLink;
class SerialPort;
class UserPrompts;

// The main window: creates and owns the sensor link for the whole run, searches the
// serial ports at start-up, offers the port menu, polls the instrument every 2 s and
// shows its readings, and lets the user change the reading units. The other windows
// (terminal, PC logging, built-in logger, about box) borrow the link through ZQ4() and
// are opened from its menus.
class frmDisplay : public QMainWindow
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
    frmDisplay(SerialPort &port, Clock &clock, EventPump &pump, UserPrompts &prompts,
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

    // The poll, every 2 s while the main window holds the instrument.
    QTimer Timer1;
    void Timer1_Timer();

    // A mouse button or a key released over units option `index` (0 umol.m-2.s-1,
    // 1 W.m-2, 2 klux).
    void Option1_MouseUp(int index);
    void Option1_KeyUp(int index);

    // Gives the instrument to `window`: stops the poll, puts `window` at the main
    // window's top-left corner, hides the main window and shows `window` modeless.
    void handOver(QWidget *window);
    // Takes the instrument back: shows the main window and starts the poll again.
    void takeBack();

    void mnuSerialPort_Click(int index);
    void mnuTestTerminal_Click();
    void mnuPCLog_Click();
    void mnuLogger_Click();
    void mnuAbout_Click();
    void mZQ4_StatusMsg(const QString &strStatus);
    void mZQ4_HideTerminal();

    WindowFactories windows;

    const DisplayControls &controls() const { return m_ui; }
    QString statusBarText() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placePictures();
    void FindSerialPorts();
    void SetCommPort(const QString &port);
    QString deviceOf(const QString &portCaption) const;

    void pollConnected();
    void pollReconnecting();
    void pollWithoutPort();
    void showInstrumentLines();
    void applyLogStatusRule();

    void ClearUnits();
    void ShowUnits();
    void ShowReadings();
    void refuseUnits(const QString &model, int fixedIndex);
    void selectOnlyOption(int index);
    void setUnitsBold(int index, bool bold);
    void setFrameCaption(const QString &caption);

    void setStatusText(const QString &text);
    void showError(const QString &description);
    void runFirstTick();
    // Stops the poll, lets go of the windows that borrowed the link, and releases the
    // link, which closes the port.
    void releaseLink();

    UserPrompts &m_prompts;
    EventPump &m_pump;
    const PortTable *m_portTable;
    std::unique_ptr<SensorLink> m_link;
    DisplayControls m_ui;

    int m_maxPort = 16;
    // Ticks since the last full status request; stops at its maximum.
    qint16 m_tickCount = 0;
    bool m_previouslyConnected = false;
};
