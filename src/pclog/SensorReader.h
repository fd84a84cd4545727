// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingSums.h"

#include <QString>

#include <functional>

class SensorLink;

// How taking one reading (or the temperatures) went, and the sums it leaves.
struct ReadingOutcome
{
    bool ok = false;
    // A run-time failure ("Overflow": a count, a difference or a sum out of range); the
    // window shows it as "Error: " and the text. Additions made before it stay in `sums`.
    QString error;
    // Why nothing was taken: the link's failure or what is wrong with the reply. Empty
    // after a success, after an overflow, and when nothing was asked (a model without
    // temperatures, a link not connected).
    QString failure;
    // The sums given, with what this reading added.
    ReadingSums sums;
};

// Takes one reading from the instrument and adds it to a copy of the running sums: the
// plain total, diffuse and sun readings, or with individual sensors the raw counts of
// the eight light sensors turned into readings in umol.m-2.s-1; and the two temperatures.
//
// Each operation is a sequence of the link's queued requests; `done` hears the outcome
// from the event loop once the last of them has ended. The sequence holds nothing of the
// reader, so it may end after the reader has gone (the caller's `done` must then be safe).
class SensorReader
{
public:
    using Done = std::function<void(const ReadingOutcome &outcome)>;

    explicit SensorReader(SensorLink &link) : m_link(link) {}

    // Adds one reading to `sums` and counts it; asked only while the link is connected.
    // Nothing is added when the reply is missing or malformed; an individual reading ("S"
    // in test mode) must start with "S" and end with ")". After an individual reading the
    // instrument is taken out of test mode (a handshake).
    void requestReading(const ReadingSums &sums, const CalibrationValues &factors, bool individual,
                        Done done);

    // Adds the thermistor and chip temperatures of a temperature model ("I" in test
    // mode, then a handshake and a pause of 50 ms); other models, and none while the link
    // is not connected, are not asked. Counted in TempCount, not as a reading.
    void requestTemperatures(const ReadingSums &sums, Done done);

private:
    SensorLink &m_link;
};
