// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/FieldText.h"

#include <QChar>

#include <cstring>

namespace {

// The code point at p (advancing p) and its byte count; a byte that starts no valid UTF-8
// sequence is taken alone. C0 and C1 start only overlong forms of ASCII ("\xC0\xB1" for
// "1"), which are not UTF-8: taken alone, they never become a digit or a mark.
char32_t decode(const char *&p, const char *end)
{
    const auto lead = static_cast<unsigned char>(*p);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
    char32_t code = extra == 3 ? (lead & 0x07) : extra == 2 ? (lead & 0x0F) : (lead & 0x1F);
    if (extra == 0 || end - p <= extra) {
        ++p;
        return 0xFFFFFFFF; // not a code point: copied as it is
    }
    for (int i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(p[i]);
        if ((next & 0xC0) != 0x80) {
            ++p;
            return 0xFFFFFFFF;
        }
        code = (code << 6) | (next & 0x3F);
    }
    p += extra + 1;
    return code;
}

bool isDirectionMark(char32_t code)
{
    return code == 0x200E || code == 0x200F || code == 0x061C || code == 0x200B ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

bool isBlank(char32_t code)
{
    return code == 0x00A0 || code == 0x202F || code == 0x2007 || code == 0x2009;
}

} // namespace

bool IsAsciiField(const char *begin, const char *end)
{
    unsigned char any = 0;
    for (const char *p = begin; p < end; ++p)
        any |= static_cast<unsigned char>(*p);
    return (any & 0x80) == 0;
}

bool NormaliseField(const char *begin, const char *end, char *out, qsizetype capacity,
                    qsizetype &length)
{
    length = 0;
    const auto put = [&](const char *from, qsizetype count) {
        if (length + count > capacity)
            return false;
        std::memcpy(out + length, from, size_t(count));
        length += count;
        return true;
    };
    for (const char *p = begin; p < end;) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            if (!put(p, 1))
                return false;
            ++p;
            continue;
        }
        const char *start = p;
        const char32_t code = decode(p, end);
        char mapped = 0;
        if (code == 0xFFFFFFFF) {
            // copied below
        } else if (isDirectionMark(code)) {
            continue;
        } else if (QChar::category(code) == QChar::Number_DecimalDigit) {
            mapped = char('0' + QChar::digitValue(code));
        } else if (code == 0x066B) {
            mapped = '.';
        } else if (code == 0x2212) {
            mapped = '-';
        } else if (isBlank(code)) {
            mapped = ' ';
        }
        if (!(mapped ? put(&mapped, 1) : put(start, p - start)))
            return false;
    }
    return true;
}

QString NormalisedText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out(utf8.size(), Qt::Uninitialized);
    qsizetype length = 0;
    NormaliseField(utf8.constData(), utf8.constData() + utf8.size(), out.data(), out.size(),
                   length);
    return QString::fromUtf8(out.constData(), length);
}
