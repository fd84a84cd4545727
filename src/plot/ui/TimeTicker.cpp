// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/TimeTicker.h"

#include "plot/ui/WallClock.h"

#include <QFontMetrics>

#include <cmath>

namespace {

constexpr double Day = 86400.0;

// Room between two labels, as a share of a label's width, and at least a few pixels.
constexpr double LabelGap = 0.25;
constexpr int LeastGapPixels = 10;

// Each step's tick count grows by at most 2.5 from one to the next, so that the labels
// stay well spread whatever the width.
struct StepChoice
{
    int unit; // 0 seconds, 1 days, 2 months, 3 years
    int count;
    int subTicks;
};
const StepChoice Steps[] = {{0, 1, 0},     {0, 2, 1},     {0, 5, 4},    {0, 10, 1},   {0, 15, 2},
                            {0, 30, 2},    {0, 60, 3},    {0, 120, 1},  {0, 300, 4},  {0, 600, 1},
                            {0, 900, 2},   {0, 1800, 2},  {0, 3600, 3}, {0, 7200, 1}, {0, 10800, 2},
                            {0, 21600, 5}, {0, 43200, 5}, {1, 1, 3},    {1, 2, 1},    {1, 7, 6},
                            {1, 14, 1},    {2, 1, 0},     {2, 2, 1},    {2, 3, 2},    {2, 6, 5},
                            {3, 1, 3},     {3, 2, 1},     {3, 5, 4},    {3, 10, 1},   {3, 20, 1},
                            {3, 50, 4},    {3, 100, 1}};

double SpanOf(int unit, int count)
{
    switch (unit) {
    case 0:
        return count;
    case 1:
        return count * Day;
    case 2:
        return count * 30.44 * Day;
    default:
        return count * 365.25 * Day;
    }
}

bool CrossesMidnight(const QCPRange &range)
{
    return std::floor(range.lower / Day) != std::floor(range.upper / Day);
}

bool CrossesYear(const QCPRange &range)
{
    return WallClock::ToDateTime(range.lower).date().year() !=
           WallClock::ToDateTime(range.upper).date().year();
}

} // namespace

TimeTicker::TimeTicker(QCPAxis *axis) : m_axis(axis)
{}

QString TimeTicker::SingleDay(const QCPRange &range)
{
    if (CrossesMidnight(QCPRange(range.lower, range.upper - 1e-6)))
        return QString();
    return QLocale().toString(WallClock::ToDateTime(range.lower).date(), QLocale::LongFormat);
}

QString TimeTicker::formatFor(const Step &step, const QCPRange &range) const
{
    switch (step.unit) {
    case Unit::Second: {
        const QString time = step.count < 60 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
        // Over several days a time alone would repeat: the date goes above it. A day from
        // midnight to midnight is one day (its closing midnight gets no tick).
        return CrossesMidnight(QCPRange(range.lower, range.upper - 1e-6))
                   ? QStringLiteral("d MMM\n") + time
                   : time;
    }
    case Unit::Day:
        return CrossesYear(range) ? QStringLiteral("d MMM\nyyyy") : QStringLiteral("d MMM");
    case Unit::Month:
        return QStringLiteral("MMM\nyyyy");
    case Unit::Year:
        break;
    }
    return QStringLiteral("yyyy");
}

int TimeTicker::labelWidth(const QString &format) const
{
    if (m_axis->tickLabelFont() != m_measuredFont) {
        m_widths.clear();
        m_measuredFont = m_axis->tickLabelFont();
    }
    const auto known = m_widths.constFind(format);
    if (known != m_widths.constEnd())
        return *known;
    const QFontMetrics metrics(m_measuredFont);
    int widest = 0;
    // Every month's name, on a day and at a time of two wide digits.
    for (int month = 1; month <= 12; ++month) {
        const QDateTime sample(QDate(2088, month, 28), QTime(23, 58, 58));
        for (const QString &line : QLocale().toString(sample, format).split(QLatin1Char('\n')))
            widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    m_widths.insert(format, widest);
    return widest;
}

// The finest step whose labels fit side by side in the axis's width (the coarsest when
// none does).
double TimeTicker::getTickStep(const QCPRange &range)
{
    int pixels = m_axis->axisRect()->width();
    if (pixels <= 0)
        pixels = 600;
    for (const StepChoice &choice : Steps) {
        m_step = Step{Unit(choice.unit), choice.count, choice.subTicks};
        m_format = formatFor(m_step, range);
        const double room = labelWidth(m_format) * (1.0 + LabelGap) + LeastGapPixels;
        if (range.size() / SpanOf(choice.unit, choice.count) * room <= pixels)
            break;
    }
    return SpanOf(int(m_step.unit), m_step.count);
}

int TimeTicker::getSubTickCount(double)
{
    return m_step.subTicks;
}

QString TimeTicker::getTickLabel(double tick, const QLocale &locale, QChar, int)
{
    return locale.toString(WallClock::ToDateTime(tick), m_format);
}

QVector<double> TimeTicker::createTickVector(double, const QCPRange &range)
{
    QVector<double> ticks;
    const int count = m_step.count;
    if (m_step.unit == Unit::Second || m_step.unit == Unit::Day) {
        double step = m_step.unit == Unit::Day ? count * Day : count;
        // Weeks start on Mondays: 1970-01-05 was one.
        const double origin = m_step.unit == Unit::Day && count % 7 == 0 ? 4 * Day : 0;
        const double first = std::floor((range.lower - origin) / step) * step + origin;
        // Times without a date end before the next midnight, whose "00:00" would repeat.
        const bool dateless = !m_format.contains(QLatin1Char('d'));
        const double last = dateless ? range.upper - 1e-6 : range.upper + step;
        for (double tick = first; tick <= last; tick += step)
            ticks.append(tick);
        return ticks;
    }
    const QDate from = WallClock::ToDateTime(range.lower).date();
    QDate date;
    if (m_step.unit == Unit::Month) {
        const int months = from.year() * 12 + from.month() - 1;
        const int first = months - ((months % count) + count) % count;
        date = QDate(first / 12, first % 12 + 1, 1);
    } else {
        date = QDate(from.year() - ((from.year() % count) + count) % count, 1, 1);
    }
    while (true) {
        const double key = WallClock::ToKey(date);
        ticks.append(key);
        if (key > range.upper)
            break;
        date = m_step.unit == Unit::Month ? date.addMonths(count) : date.addYears(count);
    }
    return ticks;
}
