// SPDX-License-Identifier: GPL-3.0-or-later
#include "SkyModel.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double SunriseHour = 5.5;
constexpr double SunsetHour = 20.5;
constexpr double PeakTotalMolar = 2150.0;
// Sunlight carries about 2.02 umol of photons per joule and gives about 18.5 umol.m-2.s-1
// per klux.
constexpr double MolarPerWatt = 2.02;
constexpr double MolarPerKlux = 18.5;

// SplitMix64: a fixed, well-mixed hash (Qt's own hashes are seeded per process).
quint64 mix(quint64 x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double unitInterval(quint64 key)
{
    return static_cast<double>(mix(key) >> 11) / static_cast<double>(1ull << 53);
}

} // namespace

double SkyModel::cloudCover(qint64 minute) const
{
    // Half of the minutes are clear; the others carry a cloud of some thickness. Even the
    // thickest cloud lets some direct light through, so the diffuse part stays below the
    // total in daylight.
    const double draw = unitInterval(static_cast<quint64>(minute));
    if (draw < 0.5)
        return 0.0;
    return 0.5 + (draw - 0.5) / 0.5 * 0.48;
}

SkyReading SkyModel::at(const QDateTime &clockTime) const
{
    const QDateTime skyTime =
        clockTime.addMSecs(static_cast<qint64>(std::llround(m_offsetSeconds * 1000.0)));
    return atSkyTime(skyTime.date().toJulianDay(), skyTime.time().msecsSinceStartOfDay() / 1000.0);
}

SkyReading SkyModel::atLocalMs(qint64 localMs) const
{
    const qint64 skyMs = localMs + static_cast<qint64>(std::llround(m_offsetSeconds * 1000.0));
    constexpr qint64 MsPerDay = 86400000;
    // Floor division, so that a time before the day count's origin still has its day.
    const qint64 day = skyMs >= 0 ? skyMs / MsPerDay : -((-skyMs + MsPerDay - 1) / MsPerDay);
    return atSkyTime(day, static_cast<double>(skyMs - day * MsPerDay) / 1000.0);
}

SkyReading SkyModel::atSkyTime(qint64 julianDay, double secondsOfDay) const
{
    const double hour = secondsOfDay / 3600.0;

    double elevation = 0;
    if (hour > SunriseHour && hour < SunsetHour)
        elevation = std::sin(Pi * (hour - SunriseHour) / (SunsetHour - SunriseHour));

    // Cloud cover changes smoothly from one minute's cloud to the next.
    const qint64 minute = julianDay * 1440 + static_cast<qint64>(std::floor(secondsOfDay / 60.0));
    const double within = std::fmod(secondsOfDay, 60.0) / 60.0;
    const double cover = cloudCover(minute) * (1.0 - within) + cloudCover(minute + 1) * within;

    const double clearTotal = PeakTotalMolar * std::pow(elevation, 1.15);
    const double clearDiffuse = 60.0 * elevation + 0.12 * clearTotal;
    const double clearDirect = clearTotal - clearDiffuse;

    SkyReading reading;
    reading.directMolar = clearDirect * std::pow(1.0 - cover, 1.5);
    reading.diffuseMolar = clearDiffuse + 0.3 * clearDirect * cover;
    reading.totalMolar = reading.directMolar + reading.diffuseMolar;
    reading.sun = reading.directMolar >= SunshineThresholdMolar;
    reading.thermistorC = 14.0 + 12.0 * elevation * (1.0 - 0.5 * cover);
    reading.chipC = reading.thermistorC + 2.5 + 1.5 * elevation;
    return reading;
}

double SkyModel::offsetForHour(const QDateTime &now, double hour)
{
    const double secondsOfDay = now.time().msecsSinceStartOfDay() / 1000.0;
    return hour * 3600.0 - secondsOfDay;
}

double inUnits(double molar, SimUnits units)
{
    switch (units) {
    case SimUnits::Molar:
        return molar;
    case SimUnits::Energy:
        return molar / MolarPerWatt;
    case SimUnits::Illuminance:
        return molar / MolarPerKlux;
    }
    return molar;
}
