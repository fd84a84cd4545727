// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/DatasetRecord.h"

#include "common/NumericText.h"
#include "link/Frame.h"

namespace DatasetRecord {

namespace {

constexpr int MaxSunCount = 255;

} // namespace

Units UnitsFor(quint8 unitsCode)
{
    const QString oneDecimal = QStringLiteral("0.0");
    switch (unitsCode) {
    case 0:
        return {0.61035f, oneDecimal, QStringLiteral("Units: umol.m-2.s-1")};
    case 1:
        return {0.30518f, oneDecimal, QStringLiteral("Units: W.m-2")};
    case 2:
        return {0.061035f, QStringLiteral("0.00"), QStringLiteral("Units: klux")};
    case 3:
        return {0.61035f, oneDecimal, QStringLiteral("Units: W.m-2")};
    default:
        return {0.0f, oneDecimal, QString()};
    }
}

int ReadingsPerRecord(qint32 readingPeriod, qint32 interval)
{
    if (readingPeriod <= 0 || interval <= readingPeriod)
        return 1;
    double readings = RoundHalfEven(static_cast<double>(interval) / readingPeriod);
    while (readings > MaxSunCount)
        readings = RoundHalfEven(readings / 2);
    return static_cast<int>(readings);
}

Values Decode(const QByteArray &block, int offset, const Units &units, int readingsPerRecord)
{
    const int b0 = Frame::byteAt(block, offset);
    const int b1 = Frame::byteAt(block, offset + 1);
    const int b2 = Frame::byteAt(block, offset + 2);
    Values values;
    values.rawTotal = b0 * 16 + (b1 >> 4);
    values.rawDiffuse = (b1 & 0x0F) * 256 + b2;
    values.sunCount = Frame::byteAt(block, offset + 3);
    values.total = units.factor * static_cast<float>(values.rawTotal);
    values.diffuse = units.factor * static_cast<float>(values.rawDiffuse);
    values.sun = static_cast<float>(values.sunCount) /
                 static_cast<float>(readingsPerRecord > 0 ? readingsPerRecord : 1);
    return values;
}

} // namespace DatasetRecord
