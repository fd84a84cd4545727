// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/PeriodCode.h"

#include "common/NumericText.h"

#include <algorithm>

namespace {

constexpr quint8 CountMask = 0x3F;
constexpr quint8 MinutesUnit = 0x40;
constexpr quint8 HoursUnit = 0x80;

quint8 countCode(quint8 unit, double count)
{
    const double rounded = std::clamp(RoundHalfEven(count), 0.0, static_cast<double>(CountMask));
    return static_cast<quint8>(unit | static_cast<quint8>(rounded));
}

} // namespace

qint32 PeriodFromCode(quint8 code)
{
    const qint32 count = code & CountMask;
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

quint8 CodeFromPeriod(qint32 seconds)
{
    if (seconds < 60)
        return countCode(0, seconds);
    if (seconds < 3600)
        return countCode(MinutesUnit, seconds / 60.0);
    return countCode(HoursUnit, seconds / 3600.0);
}
