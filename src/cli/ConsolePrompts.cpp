// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ConsolePrompts.h"

void ConsolePrompts::show(const QString &title, const QString &text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_err << title << ": " << line << Qt::endl;
}

void ConsolePrompts::message(const QString &title, const QString &text)
{
    show(title, text);
}

bool ConsolePrompts::question(const QString &title, const QString &text)
{
    show(title, text + QStringLiteral(" (no)"));
    return false;
}

bool ConsolePrompts::confirm(const QString &title, const QString &text)
{
    show(title, text + QStringLiteral(" (cancelled)"));
    return false;
}
