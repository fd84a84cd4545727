// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The text of the output box: lines end with CR LF, at most 10000 characters are kept,
// and when older lines are dropped the text still starts with a whole line.
class OutputText
{
public:
    static constexpr int MaxCharacters = 10000;

    // Appends `text`; returns true when lines had to be dropped from the top.
    bool append(const QString &text);
    void clear() { m_text.clear(); }
    const QString &text() const { return m_text; }

private:
    QString m_text;
};
