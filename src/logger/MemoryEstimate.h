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
        // No time can be worked out (no record to count from, the logger's details or
        // clock unknown): the labels say why, in `reason`, and show no time.
        Unknown,
    };

    Kind kind = Kind::None;
    // The caption of lblMemoryFullAt while logging.
    QString caption;
    // Why there is no time (Kind::Unknown): "No records yet" or "unknown".
    QString reason;
    // The estimated date-time, in days.
    double time = 0;

    // The time as the window shows it (empty for Kind::None, the reason for Kind::Unknown).
    QString text() const;
    bool hasTime() const { return kind == Kind::Logging || kind == Kind::NotLogging; }

    // The estimate of a logger whose details could not be read.
    static MemoryFullEstimate unknown();
};

// All record counts and period products are formed in 64-bit arithmetic, so no memory
// size and period overflow. `computerNow` is the computer's local date and time;
// `clockOffset` the logger's clock minus the computer's (days). Not logging, the estimate
// counts on the logger's clock: without it the time is unknown. Logging, it counts from
// the dataset's records or the next record's time: without either there are no records
// yet to count from.
MemoryFullEstimate CalculateMemoryFull(const LoggerState &state,
                                       const std::optional<double> &clockOffset,
                                       const QDateTime &computerNow);
