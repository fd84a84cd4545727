// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// The packet frame shared by requests and replies: start byte 0x0F, command, address
// (16 bits, low byte first), data length n, n data bytes, CRC-16/ARC of all that (low
// byte first). n + 7 bytes in all.
namespace Frame {

constexpr char StartByte = 0x0F;
constexpr int HeaderSize = 5;
constexpr int Overhead = 7;
constexpr int MaxDataLength = 254;

// Builds a frame; the first n bytes of data are sent (missing ones as 0).
QByteArray build(quint8 command, quint16 address, quint8 n, const QByteArray &data);

quint8 byteAt(const QByteArray &bytes, int index);
quint16 readLe16(const QByteArray &bytes, int offset);
quint32 readLe32(const QByteArray &bytes, int offset);
void appendLe16(QByteArray &bytes, quint16 value);
void appendLe32(QByteArray &bytes, quint32 value);

} // namespace Frame
