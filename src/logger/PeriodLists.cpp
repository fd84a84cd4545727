// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/PeriodLists.h"

#include <algorithm>

namespace PeriodLists {

const QList<PeriodEntry> &readingPeriods()
{
    static const QList<PeriodEntry> entries = {
        {QStringLiteral("1s"), 1},    {QStringLiteral("2s"), 2},    {QStringLiteral("5s"), 5},
        {QStringLiteral("10s"), 10},  {QStringLiteral("30s"), 30},  {QStringLiteral("1m"), 60},
        {QStringLiteral("5m"), 300},  {QStringLiteral("10m"), 600}, {QStringLiteral("30m"), 1800},
        {QStringLiteral("1h"), 3600},
    };
    return entries;
}

QList<PeriodEntry> initialAveragePeriods()
{
    QList<PeriodEntry> entries;
    for (const PeriodEntry &entry : readingPeriods())
        entries.append({entry.text, 0});
    return entries;
}

QList<PeriodEntry> averagePeriodsFrom(int readingIndex)
{
    QList<PeriodEntry> entries;
    const QList<PeriodEntry> &reading = readingPeriods();
    for (int i = std::max(readingIndex, 0); readingIndex >= 0 && i < reading.size(); ++i)
        entries.append(reading.at(i));
    entries.append({QStringLiteral("3h"), 10800});
    entries.append({QStringLiteral("6h"), 21600});
    entries.append({QStringLiteral("12h"), 43200});
    entries.append({QStringLiteral("24h"), 86400});
    return entries;
}

int firstAtLeast(const QList<PeriodEntry> &entries, qint32 seconds)
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).seconds >= seconds)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace PeriodLists
