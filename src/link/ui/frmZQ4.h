// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/TerminalText.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QKeyEvent;
class QPlainTextEdit;
class SensorLink;

// The link's terminal window, "Terminal": a manual serial terminal for testing. It shows
// what the instrument sends, writes every key typed straight to the instrument (nothing
// is echoed locally: what appears is the instrument's own echo) and carries the DTR box.
//
// The window owns nothing but its controls; the port it reads is the link's. It is on
// (Timer1 reading the port) exactly while it is shown, however it was shown. Closing it
// by hand hides it and raises the link's HideTerminal, so that the main window takes the
// instrument back; the window and the link stay alive for the next showing.
class frmZQ4 : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ReadIntervalMs = 100;

    // With a parent the terminal is still a window of its own (it lives as long as the
    // parent does).
    explicit frmZQ4(SensorLink &link, QWidget *parent = nullptr);

    // Shows (true) or hides (false) the terminal. Hiding it this way raises no event.
    void ShowTerminal(bool value);
    bool TerminalOn() const { return m_terminalOn; }

    // Moves the bytes waiting at the port into the text area (every 100 ms while on).
    void Timer1_Timer();
    // A click on the DTR box: sets the DTR line from the box, then focuses the text area.
    void chkDTR_Click();

    // The text area's text as received, with CR LF line breaks.
    QString text() const { return m_text.text(); }

    void setVisible(bool visible) override;

    QPlainTextEdit *const txtOut;
    QCheckBox *const chkDTR;
    QTimer Timer1;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Writes the character of a key to the instrument; true when the key had one.
    bool sendKey(const QKeyEvent &event);
    void showText();

    // Cleared when the link goes away at the end of the run.
    QPointer<SensorLink> m_link;
    TerminalText m_text;
    bool m_terminalOn = false;
};
