// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TerminalText.h"

namespace {

constexpr uchar Backspace = 8;
constexpr uchar CarriageReturn = 13;
constexpr uchar PromptByte = 0xAF;
const QChar PromptSign(0xBB); // "»"
const QLatin1String LineBreak("\r\n");

} // namespace

void TerminalText::receive(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        switch (static_cast<uchar>(byte)) {
        case Backspace:
            // Nothing to take back on an empty text.
            if (!m_text.isEmpty())
                m_text.chop(1);
            break;
        case CarriageReturn:
            m_text += LineBreak;
            break;
        case PromptByte:
            m_text += PromptSign;
            break;
        default:
            m_text += QChar(static_cast<uchar>(byte));
            break;
        }
    }
    keepLastLines();
}

void TerminalText::keepLastLines()
{
    if (m_text.size() <= MaxLength)
        return;
    m_text.remove(0, m_text.size() - MaxLength);
    // Start at the beginning of a line; a text without a line break stays as it is.
    const auto lineBreak = m_text.indexOf(LineBreak);
    if (lineBreak >= 0)
        m_text.remove(0, lineBreak + LineBreak.size());
}

QString TerminalText::displayText() const
{
    QString shown;
    shown.reserve(m_text.size());
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        const QChar ch = m_text[i];
        if (ch == QLatin1Char('\r') && i + 1 < m_text.size() &&
            m_text[i + 1] == QLatin1Char('\n')) {
            shown += QLatin1Char('\n');
            ++i;
        } else if (ch == QLatin1Char('\t') || ch.category() != QChar::Other_Control) {
            shown += ch;
        }
    }
    return shown;
}
