// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// The periods offered for taking and averaging readings, and the seconds a period text
// stands for.

// "1s", "2s", "5s", "10s", "30s", "1m", "5m", "10m", "30m", "60m", shortest first.
const QStringList &LogPeriodEntries();

// The entries from `first` to the last: the averaging periods offered for a log period,
// never shorter than it.
QStringList LogPeriodEntriesFrom(int first);

// The seconds of a period text: its numeric value, times 60 when it contains a lower-case
// "m" anywhere, rounded (halves to even) to a signed 16-bit number. Empty when the result
// does not fit in 16 bits. "10s" -> 10, "5m" -> 300, "90" -> 90, "1M" -> 1, "abc" -> 0.
std::optional<qint16> PeriodSeconds(const QString &text);

// The seconds of a period text when they can drive a schedule (1 to 32767); empty for 0,
// negative and out-of-range periods.
std::optional<qint16> UsablePeriodSeconds(const QString &text);
