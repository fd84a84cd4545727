#include "app/GuiUserPrompts.h"

#include <QApplication>

void GuiUserPrompts::message(const QString &title, const QString &text)
{
    ask(title, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool GuiUserPrompts::question(const QString &title, const QString &text)
{
    return ask(title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

bool GuiUserPrompts::confirm(const QString &title, const QString &text)
{
    return ask(title, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
           QMessageBox::Ok;
}

QMessageBox::StandardButton GuiUserPrompts::ask(const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    // Over the window the user is looking at: the main window hides while another window
    // has the instrument.
    QWidget *parent = QApplication::activeWindow();
    if (!parent)
        parent = m_parent.data();
    QMessageBox box(QMessageBox::NoIcon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    // The texts come from the instrument and the serial devices: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    // A short text ("Error: Overflow") would make the box too narrow for its own title.
    box.setStyleSheet(QStringLiteral("QLabel { min-width: 16em; }"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
