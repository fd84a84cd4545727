// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/LoggerState.h"

#include <QDateTime>
#include <QString>

#include <optional>

// When the logger's memory will be full. While logging without overwrite: when the last
// free slot fills. While logging with overwrite: when records not yet downloaded begin
// to be overwritten. While not logging: when memory would be full if logging started at
// the current averaging-period boundary with the averaging period chosen.
struct MemoryFullEstimate
{
    enum class Kind {
        None,       // no averaging period: both time labels are emptied
        Logging,    // shown in lblMemoryFull, captioned by `caption`
        NotLogging, // shown in lblEstimatedFull
    };

    Kind kind = Kind::None;
    // The caption of lblMemoryFullAt while logging.
    QString caption;
    // The estimated date-time, in days.
    double time = 0;

    // The time as the window shows it (empty for Kind::None).
    QString text() const;
};

// All record counts and period products are formed in 64-bit arithmetic, so no memory
// size and period overflow. `computerNow` is the computer's local date and time;
// `clockOffset` the logger's clock minus the computer's (days). Not logging, the estimate
// counts on the logger's clock: without it there is none.
MemoryFullEstimate CalculateMemoryFull(const LoggerState &state,
                                       const std::optional<double> &clockOffset,
                                       const QDateTime &computerNow);
