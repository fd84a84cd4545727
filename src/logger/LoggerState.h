// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/ParsedReply.h"

#include <QtGlobal>

#include <optional>

// What the logger window knows about the instrument's logger between two reads: its
// program, memory positions and the times of the dataset. Date-times are counts of days
// (common/DateTimeDays.h); periods are in seconds. A LoggerState exists only for a logger
// whose memory size, program and status were read and make sense (LoggerDetails).
struct LoggerState
{
    static constexpr int OverwriteFlag = 0x01;
    static constexpr int LoggingFlag = 0x02;

    qint32 LogPeriod = 0;
    qint32 AvgPeriod = 0;
    qint16 SunFS = 0;
    qint16 Flags = 0;
    qint64 StartBlock = 0;
    qint64 DwnldBlock = 0;
    qint16 DwnldAddr = 0;
    qint64 LogTop = 0;
    qint64 TopFill = 0;
    qint32 MemoryBlocks = 0;
    double NextRecordTime = 0;
    double FirstRecordTime = 0;
    double LastRecordTime = 0;
    double RetrievedTime = 0;
    qint32 RecordsRetrieved = 0;
    qint32 RecordsLogged = 0;

    // RecordsLogged counts every block of the dataset below the top one as full. A break in
    // logging (logging stopped and started again) leaves the rest of its block empty, so
    // beyond the top block the count is the most the dataset can hold, not what it holds:
    // only a download, which reads each block's header, knows the true count.
    bool recordsLoggedAtMost() const { return MemoryBlocks > 0 && StartBlock != LogTop; }

    bool overwrite() const { return (Flags & OverwriteFlag) != 0; }
    bool logging() const { return (Flags & LoggingFlag) != 0; }
};

// What one read of the logger found. Each part is known or not; nothing stands in for a
// reply that did not come, so no code can take a default for the logger's own values.
struct LoggerDetails
{
    // Logger clock minus computer clock (days); nothing when the clock could not be read.
    std::optional<double> clockOffset;
    // The program, status and dataset; refused, with the reason, when the memory size,
    // the program or the status could not be read or name blocks beyond the memory.
    ParsedReply<LoggerState> logger;

    bool known() const { return logger.ok(); }
};
