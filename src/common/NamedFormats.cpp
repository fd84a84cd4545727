// SPDX-License-Identifier: GPL-3.0-or-later
#include "NamedFormats.h"

#include "DateTimeDays.h"

#include <QLocale>

namespace {

bool isWhitespace(const QString &s, int i)
{
    return i >= 0 && i < s.size() && s[i].isSpace();
}

// Removes the time-zone tokens (runs of "t") from a Qt date-time pattern, with one blank
// beside each, leaving quoted literal text alone.
QString withoutZoneTokens(const QString &pattern)
{
    QString out;
    bool quoted = false;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (quoted || c != QLatin1Char('t')) {
            out += c;
            continue;
        }
        while (i + 1 < pattern.size() && pattern[i + 1] == QLatin1Char('t'))
            ++i;
        // Drop the blank that separated the zone from the rest.
        if (!out.isEmpty() && out.back().isSpace())
            out.chop(1);
        else if (isWhitespace(pattern, i + 1))
            ++i;
    }
    return out.trimmed();
}

} // namespace

QString LongTimePattern(const QLocale &locale)
{
    const QString pattern = withoutZoneTokens(locale.timeFormat(QLocale::LongFormat));
    return pattern.isEmpty() ? QStringLiteral("HH:mm:ss") : pattern;
}

QString ShortDateText(const QDate &date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString LongTimeText(const QTime &time)
{
    const QLocale locale;
    return locale.toString(time, LongTimePattern(locale));
}

QString IsoLocalTimeText(const QDateTime &t)
{
    if (!t.isValid())
        return QString();
    const int offset = t.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString LongDateText(const QDate &date)
{
    return QLocale().toString(date, QLocale::LongFormat);
}

QString ShortTimeText(const QTime &time)
{
    return QLocale().toString(time, QLocale::ShortFormat);
}

QString MediumDateText(const QDate &date)
{
    if (!date.isValid())
        return QString();
    // The stand-alone abbreviation is the plain one ("Dez", not the "Dez." used inside a
    // German date phrase), which reads well between the dashes.
    const QLocale locale;
    return locale.toString(date, QStringLiteral("dd")) + QLatin1Char('-') +
           locale.standaloneMonthName(date.month(), QLocale::ShortFormat) + QLatin1Char('-') +
           locale.toString(date, QStringLiteral("yy"));
}

QString FormatNamed(const QDateTime &t, NamedFormat format)
{
    switch (format) {
    case NamedFormat::ShortDate:
        return ShortDateText(t.date());
    case NamedFormat::LongTime:
        return LongTimeText(t.time());
    case NamedFormat::LongDate:
        return LongDateText(t.date());
    case NamedFormat::ShortTime:
        return ShortTimeText(t.time());
    case NamedFormat::MediumDate:
        return MediumDateText(t.date());
    }
    return QString();
}

QString FormatLoggerTime(const QDateTime &t, bool named)
{
    // A logger's clock does not follow daylight saving: its 01:30 on the day the clocks go
    // forward is a local date-time Qt holds as invalid, yet a time to write as it is.
    if (!t.date().isValid() || !t.time().isValid())
        return QString();
    const QString date = named ? MediumDateText(t.date()) : ShortDateText(t.date());
    return date + QLatin1Char(' ') + LongTimeText(t.time());
}

QString FormatLoggerTime(double days, bool named)
{
    return FormatLoggerTime(DaysToDateTime(days), named);
}
