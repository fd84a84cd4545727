// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UserPrompts.h"

#include <QTextStream>

// The windows' message boxes on standard error: a message is one line, "title: text",
// and a question has nobody to answer it, so it takes the answer that changes nothing.
class ConsolePrompts : public UserPrompts
{
public:
    explicit ConsolePrompts(QTextStream &err) : m_err(err) {}

    void message(const QString &title, const QString &text) override;
    bool question(const QString &title, const QString &text) override;
    bool confirm(const QString &title, const QString &text) override;

private:
    void show(const QString &title, const QString &text);

    QTextStream &m_err;
};
