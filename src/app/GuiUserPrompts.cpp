// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GuiUserPrompts.h"

#include <QApplication>
#include <QGridLayout>
#include <QSpacerItem>

namespace {

// The narrowest message box, in widths of "M".
constexpr int MinimumEms = 16;

} // namespace

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
    // A short text ("Error: Overflow") would make the box too narrow for its own title:
    // a spacer across the bottom of its grid keeps it wide enough, and lets a long text
    // wrap at the box's width (a minimum width on the labels themselves cut long texts).
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        const int width = MinimumEms * box.fontMetrics().horizontalAdvance(QLatin1Char('M'));
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
