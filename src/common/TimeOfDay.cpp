// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimeOfDay.h"

#include <cmath>

namespace {

constexpr float HalfDay = 43200.0f;
constexpr qint64 MsPerDay = 86400000;

} // namespace

float TimeDiff(float a, float b)
{
    float ahead = b - a;
    if (ahead >= HalfDay)
        ahead -= SecondsPerDay;
    if (ahead < -HalfDay)
        ahead += SecondsPerDay;
    return ahead;
}

float SecondsSinceMidnight(const QDateTime &t)
{
    return static_cast<float>(t.time().msecsSinceStartOfDay() / 1000.0);
}

QTime TimeOfDayFromSeconds(double seconds)
{
    if (!std::isfinite(seconds))
        return QTime();
    const double roundedMs =
        std::fmod(std::round(std::fmod(seconds, 86400.0) * 1000.0), 86400000.0);
    qint64 msOfDay = static_cast<qint64>(roundedMs);
    if (msOfDay < 0)
        msOfDay += MsPerDay;
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(msOfDay % MsPerDay));
}
