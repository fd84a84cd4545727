// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/TerminalText.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QKeyEvent;
class QPlainTextEdit;
class SensorLink;

// The link's terminal window, "Terminal": a manual serial terminal for testing. It shows
// what the instrument sends, writes every key typed straight to the instrument (nothing
// is echoed locally: what appears is the instrument's own echo) and carries the DTR box.
//
// The window owns nothing but its controls; the line is the link's, held through the link's
// queue (a poll still running finishes first). It is on exactly while it is shown,
// however it was shown. Closing it
// by hand hides it and raises the link's HideTerminal, so that the main window takes the
// instrument back; the window and the link stay alive for the next showing.
class frmZQ4 : public QWidget
{
    Q_OBJECT

public:
    // With a parent the terminal is still a window of its own (it lives as long as the
    // parent does).
    explicit frmZQ4(SensorLink &link, QWidget *parent = nullptr);
    ~frmZQ4() override;

    // Shows (true) or hides (false) the terminal. Hiding it this way raises no event.
    void ShowTerminal(bool value);
    bool TerminalOn() const { return m_terminalOn; }

    // A click on the DTR box: sets the DTR line from the box, then focuses the text area.
    void chkDTR_Click();

    // The text area's text as received, with CR LF line breaks.
    QString text() const { return m_text.text(); }

    void setVisible(bool visible) override;

    QPlainTextEdit *const txtOut;
    QCheckBox *const chkDTR;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Writes the character of a key to the instrument; true when the key had one.
    bool sendKey(const QKeyEvent &event);
    // Bytes from the instrument, into the text area.
    void received(const QByteArray &bytes);
    void showText();

    // Cleared when the link goes away at the end of the run.
    QPointer<SensorLink> m_link;
    TerminalText m_text;
    bool m_terminalOn = false;
};
