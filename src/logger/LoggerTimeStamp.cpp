// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LoggerTimeStamp.h"

#include "link/Frame.h"

#include <QDate>

#include <cmath>

namespace {

constexpr qint64 SecondsPerDay = 86400;
// More days than lie between day zero and the end of year 65535.
constexpr double MaxStampDays = 1.0e8;

QDate dayZero()
{
    return QDate(1899, 12, 30);
}

// Qt counts no year 0: the year before 1 is -1.
QDate firstOfJanuary(int year)
{
    return QDate(year == 0 ? -1 : year, 1, 1);
}

} // namespace

LoggerTimeStamp LoggerTimeStamp::decode(const QByteArray &bytes, int offset)
{
    LoggerTimeStamp stamp;
    stamp.year = Frame::readLe16(bytes, offset);
    stamp.day = Frame::readLe16(bytes, offset + 2);
    stamp.seconds = Frame::readLe32(bytes, offset + 4);
    return stamp;
}

LoggerTimeStamp LoggerTimeStamp::fromDays(double days)
{
    LoggerTimeStamp stamp;
    // Beyond year 65535 on either side no stamp fits, and the seconds would overflow the
    // 64-bit count they are rounded to.
    if (!std::isfinite(days) || std::fabs(days) > MaxStampDays)
        return stamp;
    // Whole seconds since day zero, rounded once, then split into date and time of day.
    const auto total = static_cast<qint64>(std::floor(days * SecondsPerDay + 0.5));
    qint64 wholeDays = total / SecondsPerDay;
    qint64 secondsOfDay = total % SecondsPerDay;
    if (secondsOfDay < 0) {
        secondsOfDay += SecondsPerDay;
        --wholeDays;
    }
    const QDate date = dayZero().addDays(wholeDays);
    if (!date.isValid() || date.year() < 1 || date.year() > 65535)
        return stamp;
    stamp.year = static_cast<quint16>(date.year());
    stamp.day = static_cast<quint16>(date.dayOfYear());
    stamp.seconds = static_cast<quint32>(secondsOfDay);
    return stamp;
}

QByteArray LoggerTimeStamp::encode() const
{
    QByteArray bytes;
    bytes.reserve(Size);
    Frame::appendLe16(bytes, year);
    Frame::appendLe16(bytes, day);
    Frame::appendLe32(bytes, seconds);
    return bytes;
}

bool LoggerTimeStamp::passesDetailsCheck() const
{
    return seconds <= 86400 && year <= 9999 && day <= 366;
}

bool LoggerTimeStamp::passesDownloadCheck() const
{
    return seconds < 86400 && year < 9999 && day <= 366;
}

double LoggerTimeStamp::toDays() const
{
    const auto january = static_cast<double>(dayZero().daysTo(firstOfJanuary(year)));
    return january + (static_cast<double>(day) - 1.0) +
           static_cast<double>(seconds) / static_cast<double>(SecondsPerDay);
}
