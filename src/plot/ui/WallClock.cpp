// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/WallClock.h"

#include <QTimeZone>

#include <cmath>

namespace WallClock {

QDateTime ToDateTime(double key)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(key * 1000.0)), QTimeZone::utc());
}

double ToKey(const QDateTime &time)
{
    return double(QDateTime(time.date(), time.time(), QTimeZone::utc()).toMSecsSinceEpoch()) /
           1000.0;
}

double ToKey(const QDate &date)
{
    return ToKey(QDateTime(date, QTime(0, 0)));
}

QString Text(double key, const QString &format)
{
    return ToDateTime(key).toString(format);
}

} // namespace WallClock
