// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The start times offered when logging is started, in logger time (date-times as days).
namespace LoggingStart {

// The two pickers of the start dialog: a date at midnight and a time of day as a
// fraction of a day. The time may be a whole day or more, which carries into the
// following day when the two are added.
struct Pickers
{
    double date = 0;
    double time = 0;

    double start() const { return date + time; }
};

// The default start for logger time `loggerNow`: the next whole hour when the averaging
// period is an hour or less, otherwise the next multiple of the averaging period counted
// from midnight. The seconds since midnight are rounded to a whole number first.
Pickers DefaultStart(double loggerNow, qint32 avgPeriod);

// An immediate start: one second before logger time `loggerNow`, so the logger takes it
// as already begun.
double ImmediateStart(double loggerNow);

} // namespace LoggingStart
