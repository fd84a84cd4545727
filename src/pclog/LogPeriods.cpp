// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogPeriods.h"

#include "common/NumericText.h"

const QStringList &LogPeriodEntries()
{
    static const QStringList entries{"1s", "2s", "5s",  "10s", "30s",
                                     "1m", "5m", "10m", "30m", "60m"};
    return entries;
}

QStringList LogPeriodEntriesFrom(int first)
{
    if (first < 0)
        return LogPeriodEntries();
    return LogPeriodEntries().mid(first);
}

std::optional<qint16> PeriodSeconds(const QString &text)
{
    bool overflow = false;
    double seconds = NumericValue(text, &overflow);
    if (overflow)
        return std::nullopt;
    if (text.contains(QLatin1Char('m')))
        seconds *= 60;
    return ToInt16(seconds);
}

std::optional<qint16> UsablePeriodSeconds(const QString &text)
{
    const std::optional<qint16> seconds = PeriodSeconds(text);
    if (!seconds || *seconds < 1)
        return std::nullopt;
    return seconds;
}
