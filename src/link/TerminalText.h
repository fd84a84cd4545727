// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The text of the manual terminal: everything the instrument sent while the terminal was
// shown, turned into characters the way the terminal shows them. A backspace takes back
// the last character, a CR becomes a line break (CR LF), the instrument's prompt byte
// 0xAF becomes "»", and every other byte is the character with that code. The text keeps
// at most MaxLength characters and, when it has to drop some, starts at a whole line.
class TerminalText
{
public:
    static constexpr int MaxLength = 10000;

    // Adds the bytes of one read, then cuts the text down to MaxLength if needed.
    void receive(const QByteArray &bytes);

    // The text as kept, with CR LF line breaks.
    const QString &text() const { return m_text; }

    // The text for the screen: each CR LF is a line break; other control characters
    // (a lone CR or LF, a bell) take no room, as in the instrument maker's own terminal.
    QString displayText() const;

private:
    void keepLastLines();

    QString m_text;
};
