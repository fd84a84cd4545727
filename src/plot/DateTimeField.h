// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads the time field of the data files quickly, straight from the line's bytes. Both
// writers put the writing computer's short date, a blank and its long time there
// (05/12/2026 17:14:08 in en_GB, 05.12.26 17:14:08 in de_DE, 12/5/26 5:14:08 PM in en_US,
// 2026/12/5 17時14分08秒 in ja_JP); quorvel-cli can write ISO 8601 with the UTC offset
// (2026-10-25T01:30:00+01:00). A pattern is compiled once into steps over the bytes of
// the field after FieldText's normalising (native digits, direction marks).
//
// The time is the wall-clock time as written, with no time-zone conversion: seconds since
// 1970-01-01 00:00 of that date and time taken as UTC. An ISO offset is checked, not used.
//
// Numbers have the digits their field gives ("dd" two, "d" one or two, "yyyy" four),
// so that one locale's dates are not taken for another's. Two-digit years are taken as
// 1970..2069. In the comma form of the files a comma of the text became a point, so a
// comma of the pattern also matches a point.
class DateTimeField
{
public:
    // A Qt date pattern (fields d, dd, ddd, dddd, M, MM, MMM, MMMM, yy, yyyy and text) and a
    // time pattern (h, hh, H, HH, m, mm, s, ss, z, zzz, AP, ap, A, a and text), as
    // `locale` writes them: its day and month names and its AM and PM texts. Any other
    // field (a time zone) leaves the reader invalid.
    DateTimeField(const QString &datePattern, const QString &timePattern, const QLocale &locale);

    // ISO 8601: yyyy-MM-dd, "T" or a blank, HH:mm:ss, a fraction of a second, and "Z" or
    // an offset (+01:00, +0100, +01), each of the last two optional.
    static DateTimeField Iso8601();

    // The reader of every pattern the program's writers produce in any locale Qt knows, and
    // ISO 8601; those of the default locale first. Built once, then copied.
    static const QVector<DateTimeField> &AllWritten();

    bool isValid() const { return m_valid; }
    // "d/M/yy h:mm:ss AP"
    QString pattern() const { return m_pattern; }
    // The locales whose writers write this pattern (names), when it came from them.
    const QStringList &localeNames() const { return m_localeNames; }

    // The wall-clock seconds of the field in [begin, end); false when it does not fit the
    // pattern or is no date-time. The bytes may be as the file has them.
    bool read(const char *begin, const char *end, double &seconds) const;

private:
    DateTimeField() = default;

    enum class Kind {
        Day,
        Month,
        Year2,
        Year4,
        Hour,
        Minute,
        Second,
        Millisecond,
        Fraction,          // ISO: an optional fraction of a second after "." or ","
        Zone,              // ISO: an optional "Z" or offset
        DateTimeSeparator, // ISO: "T" or a blank
        AmPm,
        Text,
        MonthName,
        DayName
    };
    struct Step
    {
        Kind kind;
        QByteArray text;           // Text only
        QVector<QByteArray> names; // MonthName (January first), DayName, AmPm (AM first)
        int fewestDigits = 1;      // numbers: "dd" is always two digits, "d" one or two
    };

    void compile(const QString &pattern, bool time, const QLocale &locale);
    bool readNormalised(const char *begin, const char *end, double &seconds) const;

    QString m_pattern;
    QStringList m_localeNames;
    QVector<Step> m_steps;
    bool m_valid = true;
    bool m_twelveHour = false;
};
