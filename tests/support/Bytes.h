// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Bytes in tests: the instrument's prompt and hexadecimal text both ways, so that an
// expected frame reads as the bytes on the wire and a mismatch prints as hex.

// What the instrument sends when it is ready for a command: CR LF and 0xAF.
inline const QByteArray Prompt("\r\n\xAF");

// "0A 41 00" for the bytes 0x0A 0x41 0x00.
inline QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper();
}

// The bytes of hexadecimal text; blanks between the pairs are allowed ("0A00 4100").
inline QByteArray fromHex(const char *text)
{
    return QByteArray::fromHex(text);
}
