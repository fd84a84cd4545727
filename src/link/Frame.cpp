// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Frame.h"

#include "link/Crc.h"

namespace Frame {

QByteArray build(quint8 command, quint16 address, quint8 n, const QByteArray &data)
{
    QByteArray frame;
    frame.reserve(n + Overhead);
    frame.append(StartByte);
    frame.append(static_cast<char>(command));
    appendLe16(frame, address);
    frame.append(static_cast<char>(n));
    for (int i = 0; i < n; ++i)
        frame.append(i < data.size() ? data.at(i) : '\0');
    appendLe16(frame, CalcCrc(frame));
    return frame;
}

quint8 byteAt(const QByteArray &bytes, int index)
{
    return index >= 0 && index < bytes.size() ? static_cast<quint8>(bytes.at(index)) : 0;
}

quint16 readLe16(const QByteArray &bytes, int offset)
{
    return static_cast<quint16>(byteAt(bytes, offset) | (byteAt(bytes, offset + 1) << 8));
}

quint32 readLe32(const QByteArray &bytes, int offset)
{
    return static_cast<quint32>(readLe16(bytes, offset)) |
           (static_cast<quint32>(readLe16(bytes, offset + 2)) << 16);
}

void appendLe16(QByteArray &bytes, quint16 value)
{
    bytes.append(static_cast<char>(value & 0xFFu));
    bytes.append(static_cast<char>(value >> 8));
}

void appendLe32(QByteArray &bytes, quint32 value)
{
    appendLe16(bytes, static_cast<quint16>(value & 0xFFFFu));
    appendLe16(bytes, static_cast<quint16>(value >> 16));
}

} // namespace Frame
