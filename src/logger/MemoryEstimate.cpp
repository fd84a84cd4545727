// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/MemoryEstimate.h"

#include "logger/LoggerBlock.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/NumericText.h"

#include <cmath>

namespace {

// Less than the rounding of any date and time to milliseconds, more than the error of a
// second of a day held in a double.
constexpr double DayRoundingSeconds = 0.0005;

// The logger erases its memory ahead of the data a sector at a time: a sector of 128
// blocks (64 kB of 512-byte blocks) goes as soon as logging enters it, so the records
// not yet downloaded are lost when logging reaches the start of their sector, not of
// their block.
constexpr qint64 EraseSectorBlocks = 128;
// The sectors are counted from the blocks beyond the memory's whole banks of 1024
// blocks (512 kB): a = MemoryBlocks mod 1024. A download position below them lies in no
// sector and is lost with its own block, a whole turn of the ring on.
constexpr qint64 BankBlocks = 1024;

// The blocks from the download position's block to where logging erases it (the start
// of its sector), counted round the ring.
qint64 blocksUntilErased(const LoggerState &state)
{
    const qint64 blocksBeyondBanks = state.MemoryBlocks % BankBlocks;
    if (state.DwnldBlock < blocksBeyondBanks)
        return state.MemoryBlocks;
    return state.MemoryBlocks - (state.DwnldBlock - blocksBeyondBanks) % EraseSectorBlocks;
}

// Records that can still be written before the oldest record not yet downloaded is
// overwritten, counted from the last record downloaded. The instrument's own rule takes
// DwnldAddr / 4 + 3 records off the blocks' records, which dates the overwrite six
// records early: the records of the download block up to the last one downloaded are
// the slot's place, DwnldAddr / 4 - 3, and those are what come off. An address below the
// first slot (> 11 is the rule) names no record of the block: nothing comes off.
qint64 recordsBeforeOverwrite(const LoggerState &state)
{
    qint64 records = blocksUntilErased(state) * LoggerBlock::SlotsPerBlock;
    if (state.DwnldAddr >= LoggerBlock::FirstSlotOffset) {
        const double slot = static_cast<double>(state.DwnldAddr - LoggerBlock::FirstSlotOffset) /
                            LoggerBlock::SlotSize;
        records = static_cast<qint64>(RoundHalfEven(static_cast<double>(records) - slot));
    }
    return records;
}

double afterPeriods(double days, qint64 count, qint32 period)
{
    return days + SecondsToDays(static_cast<double>(count) * static_cast<double>(period));
}

} // namespace

QString MemoryFullEstimate::text() const
{
    if (kind == Kind::Unknown)
        return reason;
    return kind == Kind::None ? QString() : FormatLoggerTime(time, true);
}

MemoryFullEstimate MemoryFullEstimate::unknown()
{
    MemoryFullEstimate estimate;
    estimate.kind = Kind::Unknown;
    estimate.reason = QStringLiteral("unknown");
    return estimate;
}

MemoryFullEstimate CalculateMemoryFull(const LoggerState &state,
                                       const std::optional<double> &clockOffset,
                                       const QDateTime &computerNow)
{
    MemoryFullEstimate estimate;
    if (state.AvgPeriod <= 0)
        return estimate;

    const qint64 capacity = static_cast<qint64>(state.MemoryBlocks) * LoggerBlock::SlotsPerBlock;
    if (state.logging()) {
        estimate.kind = MemoryFullEstimate::Kind::Logging;
        if (state.overwrite()) {
            estimate.caption = QStringLiteral("New data overwritten");
            const double from =
                state.RecordsRetrieved > 0 ? state.RetrievedTime : state.FirstRecordTime;
            estimate.time = afterPeriods(from, recordsBeforeOverwrite(state), state.AvgPeriod);
        } else {
            estimate.caption = QStringLiteral("Memory full at");
            estimate.time =
                afterPeriods(state.LastRecordTime, capacity - state.RecordsLogged, state.AvgPeriod);
        }
        // An empty dataset whose next record's time the logger did not give has no time
        // to count from (a count from day 0 would date the memory full in 1900).
        if (state.RecordsLogged <= 0 && state.NextRecordTime == 0) {
            estimate.kind = MemoryFullEstimate::Kind::Unknown;
            estimate.reason = QStringLiteral("No records yet");
        }
        return estimate;
    }

    // Not logging: from the start of the current averaging period on the logger's own
    // clock, whose whole seconds and midnight set its schedule.
    if (!clockOffset)
        return MemoryFullEstimate::unknown();
    estimate.kind = MemoryFullEstimate::Kind::NotLogging;
    const double loggerNow = DateTimeToDays(computerNow) + *clockOffset;
    const double midnight = std::floor(loggerNow);
    // A whole second stored as a fraction of a day may read a hair short of it.
    const auto secondsToday =
        static_cast<qint64>(std::floor(DaysToSeconds(loggerNow - midnight) + DayRoundingSeconds));
    const qint64 boundary = secondsToday - secondsToday % state.AvgPeriod;
    estimate.time = afterPeriods(midnight + SecondsToDays(static_cast<double>(boundary)), capacity,
                                 state.AvgPeriod);
    return estimate;
}
