// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/DateTimeField.h"

#include "common/NamedFormats.h"
#include "plot/FieldText.h"

#include <QDate>
#include <QHash>

namespace {

constexpr qsizetype LongestField = 256;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// From `fewest` to `most` digits.
bool readNumber(const char *&p, const char *end, int fewest, int most, int &value)
{
    value = 0;
    int count = 0;
    while (p < end && count < most && isDigit(*p)) {
        value = value * 10 + (*p - '0');
        ++p;
        ++count;
    }
    return count >= fewest;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool startsWithNoCase(const char *p, const char *end, const QByteArray &text)
{
    if (text.isEmpty() || end - p < text.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (lower(p[i]) != lower(text[i]))
            return false;
    }
    return true;
}

// The longest of `names` at p, or -1.
qsizetype longestAt(const char *p, const char *end, const QVector<QByteArray> &names)
{
    qsizetype found = -1;
    for (qsizetype n = 0; n < names.size(); ++n) {
        if (startsWithNoCase(p, end, names[n]) &&
            (found < 0 || names[n].size() > names[found].size()))
            found = n;
    }
    return found;
}

// A text as the fields are compared, in each case Qt may write it ("AP" writes the upper
// case of the locale's AM text, "ap" the lower).
constexpr int Spellings = 3;

QVector<QByteArray> spellings(const QString &text)
{
    QVector<QByteArray> list;
    // An empty text matches nothing (startsWithNoCase), and a repeated one does no harm.
    for (const QString &form : {text, text.toUpper(), text.toLower()})
        list << NormalisedText(form).trimmed().toUtf8();
    return list;
}

// The names of the months (or days) as the locale writes them, plain and stand-alone, in
// each spelling: NamesPerMonth in a row for each month, so that the index tells which.
constexpr int NamesPerMonth = 2 * Spellings;

QVector<QByteArray> names(const QLocale &locale, bool months, QLocale::FormatType format)
{
    QVector<QByteArray> list;
    for (int i = 1; i <= (months ? 12 : 7); ++i) {
        list << spellings(months ? locale.monthName(i, format) : locale.dayName(i, format));
        list << spellings(months ? locale.standaloneMonthName(i, format)
                                 : locale.standaloneDayName(i, format));
    }
    return list;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysSinceEpoch(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = y / 400; // the files' years are from 1 on: y is never negative
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return qint64(era) * 146097 + dayOfEra - 719468;
}

} // namespace

DateTimeField::DateTimeField(const QString &datePattern, const QString &timePattern,
                             const QLocale &locale)
    : m_pattern(datePattern + QLatin1Char(' ') + timePattern)
{
    compile(datePattern, false, locale);
    m_steps.append({Kind::Text, QByteArrayLiteral(" "), {}, 1});
    compile(timePattern, true, locale);
}

void DateTimeField::compile(const QString &pattern, bool time, const QLocale &locale)
{
    const auto text = [this](const QString &literal) {
        const QByteArray bytes = NormalisedText(literal).toUtf8();
        if (bytes.isEmpty())
            return;
        if (!m_steps.isEmpty() && m_steps.last().kind == Kind::Text)
            m_steps.last().text += bytes;
        else
            m_steps.append({Kind::Text, bytes, {}, 1});
    };
    bool twelveHourField = false;
    bool hasAmPm = false;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('\'')) {
            // Quoted text; two quotes stand for one.
            QString literal;
            qsizetype j = i + 1;
            for (; j < pattern.size(); ++j) {
                if (pattern[j] == QLatin1Char('\'')) {
                    if (j + 1 < pattern.size() && pattern[j + 1] == QLatin1Char('\'')) {
                        literal += QLatin1Char('\'');
                        ++j;
                        continue;
                    }
                    break;
                }
                literal += pattern[j];
            }
            text(j == i + 1 ? QStringLiteral("'") : literal);
            i = j + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        const char letter = c.toLatin1();
        Kind kind = Kind::Text;
        bool known = true;
        if (!time && (letter == 'd' || letter == 'M') && run > 2) {
            const auto format = run == 3 ? QLocale::ShortFormat : QLocale::LongFormat;
            m_steps.append({letter == 'M' ? Kind::MonthName : Kind::DayName,
                            {},
                            names(locale, letter == 'M', format),
                            1});
            m_valid = m_valid && run <= 4;
            i += run;
            continue;
        }
        if (time && (letter == 'A' || letter == 'a')) {
            // "AP", "ap", "A" and "a".
            hasAmPm = true;
            // The AM texts, then the PM texts.
            m_steps.append(
                {Kind::AmPm, {}, spellings(locale.amText()) + spellings(locale.pmText()), 1});
            const bool pair =
                pattern.mid(i + 1, 1).compare(QLatin1String("p"), Qt::CaseInsensitive) == 0;
            i += pair ? 2 : 1;
            continue;
        }
        // Qt reads only date fields in a date pattern and time fields in a time pattern.
        constexpr int DateField = 0x100;
        switch (time ? int(letter) : int(letter) + DateField) {
        case 'd' + DateField:
            kind = Kind::Day;
            break;
        case 'M' + DateField:
            kind = Kind::Month;
            break;
        case 'y' + DateField:
            kind = run == 2 ? Kind::Year2 : Kind::Year4;
            known = run == 2 || run == 4;
            break;
        case 'h':
            twelveHourField = true;
            kind = Kind::Hour;
            known = run <= 2;
            break;
        case 'H':
            kind = Kind::Hour;
            known = run <= 2;
            break;
        case 'm':
            kind = Kind::Minute;
            known = run <= 2;
            break;
        case 's':
            kind = Kind::Second;
            known = run <= 2;
            break;
        case 'z':
            kind = Kind::Millisecond;
            known = run == 1 || run == 3;
            break;
        case 't':
            known = false;
            break;
        default:
            text(pattern.mid(i, run));
            i += run;
            continue;
        }
        m_valid = m_valid && known;
        m_steps.append({kind, {}, {}, int(run)});
        i += run;
    }
    if (time)
        m_twelveHour = hasAmPm && twelveHourField;
}

DateTimeField DateTimeField::Iso8601()
{
    DateTimeField field;
    field.m_pattern = QStringLiteral("yyyy-MM-ddTHH:mm:ss+hh:mm (ISO 8601)");
    field.m_steps = {
        {Kind::Year4, {}, {}, 4}, {Kind::Text, "-", {}, 1},  {Kind::Month, {}, {}, 2},
        {Kind::Text, "-", {}, 1}, {Kind::Day, {}, {}, 2},    {Kind::DateTimeSeparator, {}, {}, 1},
        {Kind::Hour, {}, {}, 2},  {Kind::Text, ":", {}, 1},  {Kind::Minute, {}, {}, 2},
        {Kind::Text, ":", {}, 1}, {Kind::Second, {}, {}, 2}, {Kind::Fraction, {}, {}, 1},
        {Kind::Zone, {}, {}, 1}};
    return field;
}

const QVector<DateTimeField> &DateTimeField::AllWritten()
{
    static const QVector<DateTimeField> fields = [] {
        QVector<DateTimeField> list;
        QHash<QString, qsizetype> seen;
        QList<QLocale> locales{QLocale::system()};
        locales << QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                            QLocale::AnyTerritory);
        for (const QLocale &locale : std::as_const(locales)) {
            const QString date = locale.dateFormat(QLocale::ShortFormat);
            const QString time = LongTimePattern(locale);
            // Locales that write the same pattern with other names or AM and PM texts
            // need readers of their own.
            QString key = date + QLatin1Char('\n') + time;
            if (time.contains(QLatin1Char('a'), Qt::CaseInsensitive))
                key += QLatin1Char('\n') + locale.amText() + QLatin1Char('\n') + locale.pmText();
            if (date.contains(QLatin1String("MMM")) || date.contains(QLatin1String("ddd")))
                key += QLatin1Char('\n') + locale.name();
            const auto at = seen.constFind(key);
            if (at != seen.constEnd()) {
                list[*at].m_localeNames << locale.name();
                continue;
            }
            DateTimeField field(date, time, locale);
            if (!field.isValid())
                continue;
            field.m_localeNames << locale.name();
            seen.insert(key, list.size());
            list << field;
        }
        list << Iso8601();
        return list;
    }();
    return fields;
}

bool DateTimeField::read(const char *begin, const char *end, double &seconds) const
{
    if (IsAsciiField(begin, end))
        return readNormalised(begin, end, seconds);
    char normalised[LongestField];
    qsizetype length = 0;
    return NormaliseField(begin, end, normalised, LongestField, length) &&
           readNormalised(normalised, normalised + length, seconds);
}

bool DateTimeField::readNormalised(const char *begin, const char *end, double &seconds) const
{
    if (!m_valid)
        return false;
    int year = -1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int ms = 0;
    int amPm = -1; // 0 am, 1 pm
    const char *p = begin;
    for (const Step &step : m_steps) {
        int value = 0;
        switch (step.kind) {
        case Kind::Text:
            if (end - p < step.text.size())
                return false;
            for (const char c : step.text) {
                if (*p != c && !(c == ',' && *p == '.'))
                    return false;
                ++p;
            }
            continue;
        case Kind::AmPm:
        case Kind::MonthName:
        case Kind::DayName: {
            const qsizetype found = longestAt(p, end, step.names);
            if (found < 0)
                return false;
            p += step.names[found].size();
            if (step.kind == Kind::AmPm)
                amPm = int(found / Spellings);
            else if (step.kind == Kind::MonthName)
                month = int(found / NamesPerMonth) + 1;
            continue;
        }
        case Kind::Year4:
            if (!readNumber(p, end, 4, 4, year))
                return false;
            continue;
        case Kind::Year2:
            if (!readNumber(p, end, 2, 2, value))
                return false;
            year = value < 70 ? 2000 + value : 1900 + value;
            continue;
        case Kind::Millisecond: {
            // "zzz" writes three digits, "z" drops the trailing zeros (5 for 500 ms).
            const char *digits = p;
            if (!readNumber(p, end, step.fewestDigits, 3, ms))
                return false;
            for (qsizetype n = p - digits; n < 3; ++n)
                ms *= 10;
            continue;
        }
        case Kind::DateTimeSeparator:
            if (p == end || (*p != 'T' && *p != ' '))
                return false;
            ++p;
            continue;
        case Kind::Fraction:
            if (p < end && (*p == '.' || *p == ',')) {
                ++p;
                const char *digits = p;
                if (!readNumber(p, end, 1, 3, ms))
                    return false;
                for (qsizetype n = p - digits; n < 3; ++n)
                    ms *= 10;
                while (p < end && isDigit(*p)) // finer than a millisecond: dropped
                    ++p;
            }
            continue;
        case Kind::Zone:
            // Nothing, "Z", or a sign, hours and minutes (with or without a colon) or not.
            if (p == end)
                continue;
            if (*p == 'Z') {
                ++p;
                continue;
            }
            if (*p != '+' && *p != '-')
                continue; // text after the time, refused below
            ++p;
            if (!readNumber(p, end, 2, 2, value) || value > 14)
                return false;
            if (p != end && *p == ':')
                ++p;
            if (p != end && (!readNumber(p, end, 2, 2, value) || value > 59))
                return false;
            continue;
        default:
            break;
        }
        if (!readNumber(p, end, step.fewestDigits, 2, value))
            return false;
        switch (step.kind) {
        case Kind::Day:
            day = value;
            break;
        case Kind::Month:
            month = value;
            break;
        case Kind::Hour:
            hour = value;
            break;
        case Kind::Minute:
            minute = value;
            break;
        default:
            second = value;
            break;
        }
    }
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p != end || year < 0)
        return false;
    if (m_twelveHour) {
        if (hour < 1 || hour > 12 || amPm < 0)
            return false;
        hour = hour % 12 + (amPm == 1 ? 12 : 0);
    }
    if (!QDate::isValid(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return false;
    seconds =
        double(daysSinceEpoch(year, month, day) * 86400 + (hour * 60 + minute) * 60 + second) +
        double(ms) / 1000.0;
    return true;
}
