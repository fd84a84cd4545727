// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextPadding.h"

QString PadLeft(const QString &text, int n)
{
    if (n <= text.size())
        return text;
    return QString(n - text.size(), QLatin1Char(' ')) + text;
}
