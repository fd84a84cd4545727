// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Crc.h"

namespace {

CrcTable buildTable()
{
    CrcTable table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1u) ? (value >> 1) ^ 0xA001u : value >> 1;
        table[i] = static_cast<quint16>(value);
    }
    return table;
}

} // namespace

const CrcTable &InitCrcTable()
{
    static const CrcTable table = buildTable();
    return table;
}

quint16 CalcCrc(const char *bytes, qsizetype count)
{
    const CrcTable &table = InitCrcTable();
    quint16 crc = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const auto byte = static_cast<quint8>(bytes[i]);
        crc = static_cast<quint16>(table[(crc ^ byte) & 0xFFu] ^ (crc >> 8));
    }
    return crc;
}
