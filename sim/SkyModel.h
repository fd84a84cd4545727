// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SimModel.h"

#include <QDateTime>

// The light and warmth falling on the instrument at one moment.
struct SkyReading
{
    double totalMolar = 0;   // umol.m-2.s-1
    double diffuseMolar = 0; // umol.m-2.s-1, never above the total
    double directMolar = 0;  // the part of the total that comes straight from the sun
    bool sun = false;
    double thermistorC = 0;
    double chipC = 0;
};

// A deterministic sky: a smooth day from sunrise to sunset, with clouds drawn from a hash
// of the minute that cut the direct sunlight. The same moment always gives the same
// reading, so tests can predict what the instrument reports.
class SkyModel
{
public:
    // skyOffsetSeconds is added to the clock's time of day (a demo can start at "late
    // morning" whatever the hour).
    explicit SkyModel(double skyOffsetSeconds = 0) : m_offsetSeconds(skyOffsetSeconds) {}

    SkyReading at(const QDateTime &clockTime) const;
    // The same for a local date and time given as milliseconds from the start of the
    // Julian day count (day d begins at d * 86400000): no time zone, so no calendar
    // object is needed when many moments are read in a row.
    SkyReading atLocalMs(qint64 localMs) const;
    double offsetSeconds() const { return m_offsetSeconds; }

    // The offset that makes the sky read `hour` (0..24) when the clock reads `now`.
    static double offsetForHour(const QDateTime &now, double hour);

    // Direct sunlight above this counts as sunshine (about 120 W.m-2).
    static constexpr double SunshineThresholdMolar = 250.0;

private:
    double cloudCover(qint64 minute) const;
    SkyReading atSkyTime(qint64 julianDay, double secondsOfDay) const;

    double m_offsetSeconds;
};

// A reading in umol.m-2.s-1 expressed in the given units.
double inUnits(double molar, SimUnits units);
