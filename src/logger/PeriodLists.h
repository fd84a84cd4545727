// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// The entries of the logger window's two period lists: a text and its period in seconds.
struct PeriodEntry
{
    QString text;
    qint32 seconds = 0;

    bool operator==(const PeriodEntry &other) const
    {
        return text == other.text && seconds == other.seconds;
    }
};

namespace PeriodLists {

// How often a reading is taken: 1s .. 1h.
const QList<PeriodEntry> &readingPeriods();

// The averaging list before any reading period has been chosen: the reading periods'
// texts, each with the value 0.
QList<PeriodEntry> initialAveragePeriods();

// The averaging periods offered with the reading period at `readingIndex`: the reading
// periods from that one on, then 3h, 6h, 12h and 24h. With no reading period chosen
// (a negative index) only the four long periods.
QList<PeriodEntry> averagePeriodsFrom(int readingIndex);

// Index of the first entry whose period is at least `seconds`; -1 when none is.
int firstAtLeast(const QList<PeriodEntry> &entries, qint32 seconds);

} // namespace PeriodLists
