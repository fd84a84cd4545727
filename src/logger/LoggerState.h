#pragma once

#include <QtGlobal>

// What the logger window knows about the instrument's logger between two reads: its
// program, memory positions, clock offset and the times of the dataset. Date-times are
// counts of days (common/DateTimeDays.h); periods are in seconds.
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
    double ClockOffset = 0;
    double NextRecordTime = 0;
    double FirstRecordTime = 0;
    double LastRecordTime = 0;
    double RetrievedTime = 0;
    qint32 RecordsRetrieved = 0;
    qint32 RecordsLogged = 0;

    bool overwrite() const { return (Flags & OverwriteFlag) != 0; }
    bool logging() const { return (Flags & LoggingFlag) != 0; }

    // The program the window falls back to when the logger's own cannot be used:
    // periods of 1 s, nothing logged, all positions 0.
    void useDefaultProgram()
    {
        LogPeriod = 1;
        AvgPeriod = 1;
        SunFS = 0;
        Flags = 0;
        StartBlock = 0;
        DwnldBlock = 0;
        LogTop = 0;
        DwnldAddr = 0;
        TopFill = 0;
    }
};
