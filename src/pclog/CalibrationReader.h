// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingSums.h"

#include <QString>

#include <functional>

class SensorLink;

// What reading the calibration at the start of logging came to.
struct CalibrationOutcome
{
    bool ok = false;
    // The factors: those read, or after a failure those given, unchanged.
    CalibrationValues values{};
    // For the status bar's second panel: why the read failed, or that the model is not
    // recognised; empty after a plain success.
    QString message;
    // Why the read failed: the link's failure or what is wrong with the reply.
    QString failure;
    // Appended to the output box: the factors read, one line.
    QString output;
    // A run-time failure met while reading ("Overflow"); shown as "Error: " and text.
    QString error;
};

// Fetches the per-sensor calibration factors from the instrument's calibration memory
// ("E" in test mode). Two layouts exist: a hexadecimal memory dump whose line "0x00:"
// holds eight big-endian factors, and a text dump whose line "User:" holds the seven
// factors of channels 1..7 (channel 0 is the reference, factor 4096).
class CalibrationReader
{
public:
    using Done = std::function<void(const CalibrationOutcome &outcome)>;

    explicit CalibrationReader(SensorLink &link) : m_link(link) {}

    // The factors of channels 0..7 from the memory dump `reply`. False, with nothing
    // changed, when the reply is short and lacks its marker.
    static bool ReadZQ3Calibration(const QString &reply, CalibrationValues &values,
                                   QString &output);
    // 4096 for channel 0, the seven user factors of `reply` for 1..7 and 0 for element 8.
    // False, with nothing changed, when the reply is short and lacks its marker, or when a
    // factor does not fit in 32 bits (then `error` says so).
    static bool ReadZQ4Calibration(const QString &reply, CalibrationValues &values, QString &output,
                                   QString &error);

    // Chooses the reader by the instrument's model, asks for the dump and hears the
    // outcome through `done`, from the event loop. An unrecognised model counts as
    // success with every factor of channels 0..7 set to 4096, and asks nothing. The
    // request holds nothing of the reader: it may end after the reader has gone.
    void requestForModel(const CalibrationValues &values, Done done);

private:
    SensorLink &m_link;
};
