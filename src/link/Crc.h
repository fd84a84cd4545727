// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// CRC-16/ARC, the check of every packet frame and data block: polynomial 0x8005 taken
// bit-reversed (0xA001), initial value 0, reflected, no final XOR.
using CrcTable = std::array<quint16, 256>;

// The 256-entry table, built once on first use.
const CrcTable &InitCrcTable();
quint16 CalcCrc(const char *bytes, qsizetype count);
inline quint16 CalcCrc(const QByteArray &bytes)
{
    return CalcCrc(bytes.constData(), bytes.size());
}
