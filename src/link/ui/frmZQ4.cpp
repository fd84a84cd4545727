// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ui/frmZQ4.h"

#include "link/SensorLink.h"
#include "platform/ui/FixedPitchFont.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

// The bytes a key stands for on the wire: one byte per character, none for keys without
// a character (arrows, function keys) or characters outside the 8-bit set.
QByteArray keyBytes(const QKeyEvent &event)
{
    QByteArray bytes;
    for (const QChar ch : event.text()) {
        if (ch.unicode() <= 0xFF)
            bytes += static_cast<char>(ch.unicode());
    }
    return bytes;
}

} // namespace

frmZQ4::frmZQ4(SensorLink &link, QWidget *parent)
    : QWidget(parent, Qt::Window), txtOut(new QPlainTextEdit(this)),
      chkDTR(new QCheckBox(QStringLiteral("DTR"), this)), m_link(&link)
{
    setWindowTitle(QStringLiteral("Terminal"));

    txtOut->setFont(
        FixedPitchFont(QFontDatabase::systemFont(QFontDatabase::FixedFont).pointSize()));
    // Typed keys go to the instrument, never into the text: read-only also keeps paste,
    // drops and input methods out, while the caret still shows where text arrives.
    txtOut->setReadOnly(true);
    txtOut->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtOut->setUndoRedoEnabled(false);
    txtOut->setMinimumSize(80, 40);
    txtOut->installEventFilter(this);

    // The box is the window's own: it starts as the link opens ports and sets the line
    // when clicked.
    chkDTR->setChecked(link.dtrOnOpen());
    connect(chkDTR, &QCheckBox::clicked, this, &frmZQ4::chkDTR_Click);

    // The text area fills the window above the DTR box, which sits at the bottom. The
    // layout's minimum size keeps the text area from ever getting a negative height.
    auto *boxRow = new QHBoxLayout;
    boxRow->setContentsMargins(6, 2, 6, 2);
    boxRow->addWidget(chkDTR);
    boxRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(txtOut, 1);
    layout->addLayout(boxRow);
    resize(560, 360);
}

frmZQ4::~frmZQ4()
{
    if (m_link)
        m_link->closeTerminal();
}

void frmZQ4::ShowTerminal(bool value)
{
    setVisible(value);
}

void frmZQ4::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    if (visible == m_terminalOn)
        return;
    m_terminalOn = visible;
    if (!m_link)
        return;
    if (visible) {
        m_link->openTerminal([window = QPointer<frmZQ4>(this)](const QByteArray &bytes) {
            if (window)
                window->received(bytes);
        });
        txtOut->setFocus();
    } else {
        m_link->closeTerminal();
    }
}

void frmZQ4::received(const QByteArray &bytes)
{
    m_text.receive(bytes);
    showText();
}

void frmZQ4::showText()
{
    txtOut->setPlainText(m_text.displayText());
    txtOut->moveCursor(QTextCursor::End);
    txtOut->ensureCursorVisible();
}

void frmZQ4::chkDTR_Click()
{
    if (m_link)
        m_link->setDtr(chkDTR->isChecked());
    if (txtOut->isVisible())
        txtOut->setFocus();
}

bool frmZQ4::sendKey(const QKeyEvent &event)
{
    const QByteArray bytes = keyBytes(event);
    if (bytes.isEmpty())
        return false;
    if (m_link)
        m_link->terminalSend(bytes);
    return true;
}

bool frmZQ4::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtOut && event->type() == QEvent::KeyPress) {
        // Every key typed in the text area is the instrument's, none is the text area's
        // (not even the arrows, which would move the caret away from the end).
        sendKey(*static_cast<QKeyEvent *>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmZQ4::keyPressEvent(QKeyEvent *event)
{
    // Keys typed while the window itself (or the DTR box, for keys it does not use) has
    // the focus go to the instrument as well.
    if (sendKey(*event))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void frmZQ4::closeEvent(QCloseEvent *event)
{
    hide();
    if (event->spontaneous() && m_link) {
        // Closed by the user: the window and the link stay loaded; the owner takes the
        // instrument back.
        event->ignore();
        emit m_link->HideTerminal();
        return;
    }
    // Closed by the program at the end of the run: the window goes; the link closes the
    // port when it is released.
    event->accept();
}
