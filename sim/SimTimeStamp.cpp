// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimTimeStamp.h"

#include "link/Frame.h"

namespace SimLocalTime {

qint64 floorDiv(qint64 value, qint64 divisor)
{
    const qint64 quotient = value / divisor;
    return (value % divisor != 0 && ((value < 0) != (divisor < 0))) ? quotient - 1 : quotient;
}

qint64 msOf(const QDateTime &local)
{
    return local.date().toJulianDay() * MsPerDay + local.time().msecsSinceStartOfDay();
}

qint64 secondsOf(const QDateTime &local)
{
    return floorDiv(msOf(local), 1000);
}

QDateTime dateTimeOf(qint64 seconds)
{
    const qint64 day = floorDiv(seconds, SecondsPerDay);
    const auto secondOfDay = static_cast<int>(seconds - day * SecondsPerDay);
    return QDateTime(QDate::fromJulianDay(day), QTime(0, 0).addSecs(secondOfDay));
}

} // namespace SimLocalTime

SimTimeStamp SimTimeStamp::fromSeconds(qint64 localSeconds)
{
    using namespace SimLocalTime;
    const qint64 dayNumber = floorDiv(localSeconds, SecondsPerDay);
    const QDate date = QDate::fromJulianDay(dayNumber);
    SimTimeStamp stamp;
    stamp.year = static_cast<quint16>(date.year());
    stamp.day = static_cast<quint16>(date.dayOfYear());
    stamp.seconds = static_cast<quint32>(localSeconds - dayNumber * SecondsPerDay);
    return stamp;
}

SimTimeStamp SimTimeStamp::read(const QByteArray &bytes, int offset)
{
    SimTimeStamp stamp;
    stamp.year = Frame::readLe16(bytes, offset);
    stamp.day = Frame::readLe16(bytes, offset + 2);
    stamp.seconds = Frame::readLe32(bytes, offset + 4);
    return stamp;
}

QByteArray SimTimeStamp::bytes() const
{
    QByteArray out;
    Frame::appendLe16(out, year);
    Frame::appendLe16(out, day);
    Frame::appendLe32(out, seconds);
    return out;
}

std::optional<qint64> SimTimeStamp::toSeconds() const
{
    if (year < 1 || year > 9999 || day < 1 || seconds >= SimLocalTime::SecondsPerDay)
        return std::nullopt;
    const QDate newYear(year, 1, 1);
    if (day > newYear.daysInYear())
        return std::nullopt;
    return (newYear.toJulianDay() + day - 1) * SimLocalTime::SecondsPerDay + seconds;
}
