// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UserPrompts.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

// Message boxes on the screen: modal over the parent window (when one is set), without
// an icon.
class GuiUserPrompts : public UserPrompts
{
public:
    explicit GuiUserPrompts(QWidget *parent = nullptr) : m_parent(parent) {}

    // The window the boxes are modal over.
    void setParentWindow(QWidget *parent) { m_parent = parent; }

    void message(const QString &title, const QString &text) override;
    bool question(const QString &title, const QString &text) override;
    bool confirm(const QString &title, const QString &text) override;

private:
    QMessageBox::StandardButton ask(const QString &title, const QString &text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton);

    QPointer<QWidget> m_parent;
};
