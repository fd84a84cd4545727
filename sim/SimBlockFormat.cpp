// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimBlockFormat.h"

#include <algorithm>
#include <cmath>

namespace SimBlock {

int periodSeconds(quint8 code)
{
    const int count = code & 0x3F;
    switch (code >> 6) {
    case 0:
        return count;
    case 1:
        return count * 60;
    case 2:
        return count * 3600;
    default:
        return 0;
    }
}

quint8 periodCode(int seconds)
{
    // Counts are rounded to the nearest unit and held within the six bits.
    auto count = [](double value) {
        return static_cast<quint8>(std::clamp(std::nearbyint(value), 0.0, 63.0));
    };
    if (seconds < 60)
        return count(seconds);
    if (seconds < 3600)
        return static_cast<quint8>(0x40 | count(seconds / 60.0));
    return static_cast<quint8>(0x80 | count(seconds / 3600.0));
}

int readingsPerRecord(int readingSeconds, int averagingSeconds)
{
    if (readingSeconds <= 0 || averagingSeconds <= readingSeconds)
        return 1;
    // Halves go to the even number, as the program rounds them.
    double n = std::nearbyint(static_cast<double>(averagingSeconds) / readingSeconds);
    while (n > 255)
        n = std::nearbyint(n / 2);
    return static_cast<int>(n);
}

float unitsFactor(int unitsCode)
{
    switch (unitsCode) {
    case 0:
    case 3:
        return 0.61035f;
    case 1:
        return 0.30518f;
    case 2:
        return 0.061035f;
    default:
        return 0.0f;
    }
}

QString unitsText(int unitsCode)
{
    switch (unitsCode) {
    case 0:
        return QStringLiteral("Units: umol.m-2.s-1");
    case 1:
    case 3:
        return QStringLiteral("Units: W.m-2");
    case 2:
        return QStringLiteral("Units: klux");
    default:
        return QString();
    }
}

int Header::intervalSeconds() const
{
    return std::max(periodSeconds(readingCode), periodSeconds(averagingCode));
}

QByteArray Header::bytes() const
{
    QByteArray out = stamp.bytes();
    out.append(static_cast<char>(readingCode));
    out.append(static_cast<char>(averagingCode));
    out.append(static_cast<char>(unitsCode));
    out.append('\0'); // not used
    return out;
}

Header Header::read(const QByteArray &block)
{
    auto byte = [&block](int offset) {
        return offset < block.size() ? static_cast<quint8>(block.at(offset)) : quint8{0xFF};
    };
    Header header;
    header.stamp = SimTimeStamp::read(block, 0);
    header.readingCode = byte(8);
    header.averagingCode = byte(9);
    header.unitsCode = byte(10);
    return header;
}

QByteArray Record::bytes() const
{
    const int total12 = std::clamp(total, 0, 4095);
    const int diffuse12 = std::clamp(diffuse, 0, 4095);
    QByteArray out(SlotSize, '\0');
    out[0] = static_cast<char>(total12 >> 4);
    out[1] = static_cast<char>(((total12 & 0x0F) << 4) | (diffuse12 >> 8));
    out[2] = static_cast<char>(diffuse12 & 0xFF);
    out[3] = static_cast<char>(std::clamp(sunCount, 0, 255));
    // Four 0xFF bytes would read as an empty slot and end the block's data early.
    if (out == QByteArray(SlotSize, Erased))
        out[3] = static_cast<char>(0xFE);
    return out;
}

std::optional<Record> Record::read(const QByteArray &block, int slot)
{
    const int offset = slotOffset(slot);
    if (slot < 0 || slot >= SlotsPerBlock || offset + SlotSize > block.size())
        return std::nullopt;
    const QByteArray bytes = block.mid(offset, SlotSize);
    if (bytes == QByteArray(SlotSize, Erased))
        return std::nullopt;
    auto byte = [&bytes](int i) { return static_cast<quint8>(bytes.at(i)); };
    Record record;
    record.total = byte(0) * 16 + (byte(1) >> 4);
    record.diffuse = (byte(1) & 0x0F) * 256 + byte(2);
    record.sunCount = byte(3);
    return record;
}

} // namespace SimBlock
