// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingSums.h"

#include <QString>

class SensorLink;

// How taking one reading went.
struct ReadingOutcome
{
    bool ok = false;
    // A run-time failure ("Overflow": a count, a difference or a sum out of range); the
    // window shows it as "Error: " and the text. Additions made before it stay.
    QString error;
};

// Takes one reading from the instrument and adds it to the running sums: the plain
// total, diffuse and sun readings, or with individual sensors the raw counts of the
// eight light sensors turned into readings in umol.m-2.s-1; and the two temperatures.
class SensorReader
{
public:
    explicit SensorReader(SensorLink &link) : m_link(link) {}

    // Adds one reading and counts it. Nothing is added when the link is not connected or
    // the reply is missing or malformed; an individual reading ("S" in test mode) must
    // start with "S" and end with ")". After an individual reading the instrument is taken
    // out of test mode.
    ReadingOutcome GetIndividualReadings(ReadingSums &sums, const CalibrationValues &factors,
                                         bool individual);

    // Adds the thermistor and chip temperatures of a temperature model ("I" in test mode);
    // other models are not asked. Counted in TempCount, not as a reading.
    ReadingOutcome GetTemp(ReadingSums &sums);

private:
    ReadingOutcome plainReading(ReadingSums &sums);
    ReadingOutcome individualReading(ReadingSums &sums, const CalibrationValues &factors);

    SensorLink &m_link;
};
