// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class SensorLink;

// Which instrument a logging run writes about: its model, serial number and units, as
// the link read them last. Another instrument on the same port (or the same one in
// other units) must not go on under the heading of the first.
struct LoggedInstrument
{
    QString model;        // the version line's first word ("ZQ5")
    QString serialNumber; // "1234"
    QString units;        // the units line ("Units: W.m-2")

    static LoggedInstrument Of(const SensorLink &link);

    // Nothing known (no status was read).
    bool isEmpty() const { return model.isEmpty() && serialNumber.isEmpty() && units.isEmpty(); }
    // "ZQ5 Ser No: 1234 (Units: W.m-2)"
    QString text() const;

    bool operator==(const LoggedInstrument &other) const
    {
        return model == other.model && serialNumber == other.serialNumber && units == other.units;
    }
    bool operator!=(const LoggedInstrument &other) const { return !(*this == other); }
};
