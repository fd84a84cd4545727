// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

// The window's times are the files' wall-clock times as written: seconds since 1970 of the
// date and time taken as if they were UTC, never converted to or from the computer's time
// zone, so that a record keeps its place across a daylight-saving change.
namespace WallClock {

// The date and time a key stands for (a UTC date-time).
QDateTime ToDateTime(double key);
// The key of a date and time as shown, whether it is held as local time, UTC or an offset.
double ToKey(const QDateTime &time);
double ToKey(const QDate &date);
// The key as text in a date-time format ("yyyy-MM-dd HH:mm:ss").
QString Text(double key, const QString &format);

} // namespace WallClock
