// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/MemoryEstimate.h"

#include "logger/LoggerBlock.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/NumericText.h"

#include <cmath>

namespace {

// Records that can still be written before the oldest record not yet downloaded is
// overwritten, counted from that record.
qint64 recordsBeforeOverwrite(const LoggerState &state)
{
    // The blocks beyond the memory's whole 1024-block banks.
    const qint64 blocksBeyondBanks = state.MemoryBlocks % 1024;
    qint64 blocks = state.MemoryBlocks;
    if (state.DwnldBlock >= blocksBeyondBanks)
        blocks = state.MemoryBlocks - ((state.DwnldBlock - blocksBeyondBanks) % 128);
    qint64 records = blocks * LoggerBlock::SlotsPerBlock;
    if (state.DwnldAddr > 11) {
        const double exact = static_cast<double>(records) - state.DwnldAddr / 4.0 - 3.0;
        records = static_cast<qint64>(RoundHalfEven(exact));
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
    return kind == Kind::None ? QString() : FormatLoggerTime(time, true);
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
        return estimate;
    }

    // Not logging: from the start of the current averaging period, on the logger's clock.
    if (!clockOffset)
        return estimate;
    estimate.kind = MemoryFullEstimate::Kind::NotLogging;
    const double midnight = DateTimeToDays(QDateTime(computerNow.date(), QTime(0, 0)));
    const double secondsToday = computerNow.time().msecsSinceStartOfDay() / 1000.0;
    const double boundary =
        std::floor(secondsToday / state.AvgPeriod) * static_cast<double>(state.AvgPeriod);
    estimate.time =
        afterPeriods(midnight + *clockOffset + SecondsToDays(boundary), capacity, state.AvgPeriod);
    return estimate;
}
