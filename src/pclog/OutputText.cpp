// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputText.h"

bool OutputText::append(const QString &text)
{
    m_text += text;
    if (m_text.size() <= MaxCharacters)
        return false;
    // Keep the last characters, then drop the piece of a line they start with.
    m_text = m_text.right(MaxCharacters);
    const qsizetype lineEnd = m_text.indexOf(QLatin1String("\r\n"));
    if (lineEnd >= 0)
        m_text = m_text.mid(lineEnd + 2);
    return true;
}
