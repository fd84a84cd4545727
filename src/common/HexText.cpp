// SPDX-License-Identifier: GPL-3.0-or-later
#include "HexText.h"

namespace {

constexpr int MaxHexDigits = 7;

// The value of one hexadecimal digit, or -1. Only ASCII letters count: upper-casing the
// whole text first would turn some other letters into several (a ligature such as "ff"
// into "FF") and change both the length and the value.
int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

int HexToValue(const QString &text)
{
    const QString digits = text.size() > MaxHexDigits ? text.right(MaxHexDigits) : text;
    int value = 0;
    for (const QChar c : digits) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return 0;
        value = value * 16 + digit;
    }
    return value;
}
