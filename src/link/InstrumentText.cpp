// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/InstrumentText.h"

namespace {

const QChar Ellipsis(0x2026); // "…"

bool isPrintableAscii(char byte)
{
    return byte >= ' ' && byte <= '~';
}

} // namespace

QString InstrumentText(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\t'))
            kept += QLatin1Char(' ');
        else if (ch.category() != QChar::Other_Control)
            kept += ch;
    }
    return kept;
}

QString InstrumentText(const QByteArray &bytes)
{
    return InstrumentText(QString::fromLatin1(bytes));
}

bool IsLineNoise(const QByteArray &line)
{
    qsizetype other = 0;
    for (const char byte : line)
        other += isPrintableAscii(byte) ? 0 : 1;
    return 4 * other > line.size();
}

QString CutToWidth(const QString &text, int width)
{
    if (text.size() <= width)
        return text;
    return text.left(width - 1) + Ellipsis;
}
