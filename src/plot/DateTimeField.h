#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QVector>

// Reads the time field of the data files quickly, straight from the line's bytes. Both
// writers put the locale's short date, a blank and its long time there (05/12/2026
// 17:14:08 in en_GB, 05.12.26 17:14:08 in de_DE, 12/5/26 5:14:08 PM in en_US). A pattern
// of those fields is compiled once into steps over the bytes; the local date-time becomes
// seconds since the epoch, through a cached start of the day unless the day has a
// daylight-saving change.
//
// Numbers have the digits their field gives ("dd" two, "d" one or two, "yyyy" four),
// so that one locale's dates are not taken for another's. Two-digit years are taken as
// 1970..2069. In the comma form of the files a comma of the
// text became a point, so a comma of the pattern also matches a point.
class DateTimeField
{
public:
    // A Qt date-time pattern made of the fields d, dd, ddd, dddd, M, MM, MMM, MMMM, yy,
    // yyyy, h, hh, H, HH, m, mm, s, ss, z, zzz, AP, ap, A, a and literal text; any other
    // field (a time zone) leaves the reader invalid. Day and month names and the AM and PM
    // texts are those of `locale`.
    DateTimeField(const QString &pattern, const QLocale &locale);

    // The readers to try on a file's first record: the default locale's (as the writers
    // use it), the system's, then those of a few common locales and ISO 8601.
    static QVector<DateTimeField> Candidates();

    bool isValid() const { return m_valid; }
    const QString &pattern() const { return m_pattern; }
    // The seconds since the epoch of the local date-time in [begin, end); false when the
    // text does not fit the pattern or is no date-time.
    bool read(const char *begin, const char *end, double &secondsSinceEpoch);

private:
    enum class Kind {
        Day,
        Month,
        Year2,
        Year4,
        Hour,
        Minute,
        Second,
        Millisecond,
        AmPm,
        Text,
        MonthName,
        DayName
    };
    struct Step
    {
        Kind kind;
        QByteArray text;           // Text only
        QVector<QByteArray> names; // MonthName (January first) and DayName
        int fewestDigits = 1;      // numbers: "dd" is always two digits, "d" one or two
    };

    QString m_pattern;
    QVector<Step> m_steps;
    bool m_valid = true;
    bool m_twelveHour = false;
    QByteArray m_am;
    QByteArray m_pm;
    QDate m_cachedDay;
    qint64 m_cachedDayStartMs = 0;
    bool m_cachedDayUniform = false;
};
