// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/LoggerState.h"

// How far the logger's clock may be from the computer's before the window warns.
enum class ClockAlarm {
    Normal,        // at most 5 minutes apart
    RedText,       // more than 5 minutes, at most 65 minutes: red text
    RedBackground, // more than 65 minutes (a wrong hour or time zone): red background
};

// The warning for a clock offset in days, judged on whole milliseconds so that an
// offset of exactly 300 s is not pushed over the limit by rounding.
ClockAlarm ClockAlarmFor(double clockOffsetDays);

// The window's one-second record tick while logging: when the logger's clock has reached
// the time of the next record, moves NextRecordTime on by one averaging period (two when
// the clock is past that too) and counts the record into TopFill. Returns true when a
// record time has passed.
bool AdvanceNextRecord(LoggerState &state, double loggerNow);
