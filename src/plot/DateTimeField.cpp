#include "plot/DateTimeField.h"

#include "common/NamedFormats.h"

#include <QDateTime>
#include <QTime>

namespace {

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

// The names of the months (or days) as the locale writes them, plain and stand-alone.
QVector<QByteArray> names(const QLocale &locale, bool months, QLocale::FormatType format)
{
    QVector<QByteArray> list;
    for (int i = 1; i <= (months ? 12 : 7); ++i) {
        list << (months ? locale.monthName(i, format) : locale.dayName(i, format)).toUtf8();
        list << (months ? locale.standaloneMonthName(i, format)
                        : locale.standaloneDayName(i, format))
                    .toUtf8();
    }
    return list;
}

} // namespace

DateTimeField::DateTimeField(const QString &pattern, const QLocale &locale)
    : m_pattern(pattern), m_am(locale.amText().toUtf8()), m_pm(locale.pmText().toUtf8())
{
    bool hasAmPm = false;
    bool twelveHourField = false;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('\'')) {
            // Quoted text; two quotes stand for one.
            QString text;
            qsizetype j = i + 1;
            for (; j < pattern.size(); ++j) {
                if (pattern[j] == QLatin1Char('\'')) {
                    if (j + 1 < pattern.size() && pattern[j + 1] == QLatin1Char('\'')) {
                        text += QLatin1Char('\'');
                        ++j;
                        continue;
                    }
                    break;
                }
                text += pattern[j];
            }
            if (j == i + 1)
                text = QStringLiteral("'");
            m_steps.append({Kind::Text, text.toUtf8(), {}, 1});
            i = j + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        const char letter = c.toLatin1();
        const bool isAmPm = (letter == 'A' || letter == 'a');
        if (isAmPm) {
            // "AP", "ap", "A" and "a".
            hasAmPm = true;
            m_steps.append({Kind::AmPm, {}, {}, 1});
            const bool pair = i + 1 < pattern.size() && (pattern[i + 1] == QLatin1Char('P') ||
                                                         pattern[i + 1] == QLatin1Char('p'));
            i += pair ? 2 : 1;
            continue;
        }
        Kind kind = Kind::Text;
        bool known = true;
        switch (letter) {
        case 'd':
        case 'M':
            if (run > 2) {
                const auto format = run == 3 ? QLocale::ShortFormat : QLocale::LongFormat;
                m_steps.append({letter == 'M' ? Kind::MonthName : Kind::DayName,
                                {},
                                names(locale, letter == 'M', format),
                                1});
                known = run <= 4;
                i += run;
                continue;
            }
            kind = letter == 'M' ? Kind::Month : Kind::Day;
            break;
        case 'y':
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
            break;
        case 't':
            known = false;
            break;
        default:
            m_steps.append({Kind::Text, pattern.mid(i, run).toUtf8(), {}, 1});
            i += run;
            continue;
        }
        if (!known)
            m_valid = false;
        m_steps.append(
            {kind, {}, {}, kind == Kind::Millisecond ? int(run) : std::min(int(run), 4)});
        i += run;
    }
    m_twelveHour = hasAmPm && twelveHourField;
}

QVector<DateTimeField> DateTimeField::Candidates()
{
    const QLocale locales[] = {QLocale(),
                               QLocale::system(),
                               QLocale(QLocale::English, QLocale::UnitedKingdom),
                               QLocale(QLocale::English, QLocale::UnitedStates),
                               QLocale(QLocale::German, QLocale::Germany),
                               QLocale(QLocale::French, QLocale::France),
                               QLocale::c()};
    QVector<DateTimeField> fields;
    QStringList seen;
    const auto add = [&](const QString &pattern, const QLocale &locale) {
        if (seen.contains(pattern))
            return;
        seen << pattern;
        DateTimeField field(pattern, locale);
        if (field.isValid())
            fields.append(field);
    };
    for (const QLocale &locale : locales)
        add(locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + LongTimePattern(locale),
            locale);
    add(QStringLiteral("yyyy-MM-dd HH:mm:ss"), QLocale::c());
    return fields;
}

bool DateTimeField::read(const char *begin, const char *end, double &secondsSinceEpoch)
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
            for (const char c : step.text) {
                if (p < end && (*p == c || (c == ',' && *p == '.')))
                    ++p;
                else
                    return false;
            }
            continue;
        case Kind::AmPm:
            if (startsWithNoCase(p, end, m_am)) {
                amPm = 0;
                p += m_am.size();
            } else if (startsWithNoCase(p, end, m_pm)) {
                amPm = 1;
                p += m_pm.size();
            } else if (startsWithNoCase(p, end, QByteArrayLiteral("am"))) {
                amPm = 0;
                p += 2;
            } else if (startsWithNoCase(p, end, QByteArrayLiteral("pm"))) {
                amPm = 1;
                p += 2;
            } else {
                return false;
            }
            continue;
        case Kind::MonthName:
        case Kind::DayName: {
            // The longest name that fits; months are listed twice each from January.
            qsizetype found = -1;
            for (qsizetype n = 0; n < step.names.size(); ++n) {
                if (startsWithNoCase(p, end, step.names[n]) &&
                    (found < 0 || step.names[n].size() > step.names[found].size()))
                    found = n;
            }
            if (found < 0)
                return false;
            p += step.names[found].size();
            if (step.kind == Kind::MonthName)
                month = int(found / 2) + 1;
            continue;
        }
        case Kind::Year4:
            if (!readNumber(p, end, step.fewestDigits, 4, year))
                return false;
            continue;
        case Kind::Year2:
            if (!readNumber(p, end, 2, 2, value))
                return false;
            year = value < 70 ? 2000 + value : 1900 + value;
            continue;
        case Kind::Millisecond:
            if (!readNumber(p, end, step.fewestDigits, 3, ms))
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
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second, ms))
        return false;

    const QDate date(year, month, day);
    const int msOfDay = ((hour * 60 + minute) * 60 + second) * 1000 + ms;
    if (date != m_cachedDay) {
        // A day without a change of UTC offset is its start plus the time of day.
        const QDateTime start = date.startOfDay();
        const QDateTime last(date, QTime(23, 59, 59, 999));
        m_cachedDay = date;
        m_cachedDayStartMs = start.toMSecsSinceEpoch();
        m_cachedDayUniform =
            start.time() == QTime(0, 0) && start.offsetFromUtc() == last.offsetFromUtc();
    }
    const qint64 epochMs =
        m_cachedDayUniform
            ? m_cachedDayStartMs + msOfDay
            : QDateTime(date, QTime::fromMSecsSinceStartOfDay(msOfDay)).toMSecsSinceEpoch();
    secondsSinceEpoch = double(epochMs) / 1000.0;
    return true;
}
