// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/DailySummary.h"

#include "common/NamedFormats.h"
#include "common/NumberFormat.h"
#include "plot/GapSplitter.h"

#include <QDateTime>
#include <QHash>
#include <QMap>

#include <algorithm>

#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr qint64 JulianDayOf1970 = 2440588;

// The day of a wall-clock time (seconds since 1970 taken as UTC, as the files' times are).
QDate dayOf(double seconds)
{
    return QDate::fromJulianDay(JulianDayOf1970 + qint64(std::floor(seconds / 86400.0)));
}

// The stretches of time the records of earlier sections of the same units stood for, so
// that records written twice (a download repeated, a clock set back) count once.
class CoveredTime
{
public:
    // Starts a section: what the earlier ones covered, in order of time.
    void begin(const QString &units)
    {
        m_earlier = m_covered.value(units);
        std::sort(m_earlier.begin(), m_earlier.end());
        m_next = m_earlier.cbegin();
    }
    // Whether an earlier section covered `seconds`; times must come in increasing order.
    bool covers(double seconds)
    {
        while (m_next != m_earlier.cend() && m_next->second < seconds)
            ++m_next;
        for (auto it = m_next; it != m_earlier.cend() && it->first < seconds; ++it) {
            if (seconds <= it->second)
                return true;
        }
        return false;
    }
    // Ends a section: its runs of records are covered from now on; each record stands for
    // the period up to its time.
    void add(const PlotSection &section)
    {
        QVector<std::pair<double, double>> &covered = m_covered[section.units];
        for (const IndexRange &run : ContinuousRuns(section))
            covered.append(
                {section.timeAt(run.begin) - section.periodSeconds, section.timeAt(run.end - 1)});
    }

private:
    QHash<QString, QVector<std::pair<double, double>>> m_covered;
    QVector<std::pair<double, double>> m_earlier;
    QVector<std::pair<double, double>>::const_iterator m_next;
};

} // namespace

QString DailySummary::EnergyUnits(const QString &units)
{
    if (units == QLatin1String("W.m-2"))
        return QStringLiteral("MJ.m-2");
    if (units == QLatin1String("umol.m-2.s-1"))
        return QStringLiteral("mol.m-2");
    if (units == QLatin1String("klux"))
        return QStringLiteral("klux.h");
    return units + QStringLiteral(".h");
}

double DailySummary::EnergyFactor(const QString &units)
{
    if (units == QLatin1String("W.m-2") || units == QLatin1String("umol.m-2.s-1"))
        return 1e-6;
    return 1.0 / 3600.0;
}

DailySummary::DailySummary(const PlotFile &file)
{
    QMap<std::pair<QDate, QString>, Day> byDay;
    CoveredTime covered;
    for (const PlotSection &section : file.sections) {
        const int total = section.column(QStringLiteral("Total"));
        const int sun = section.column(QStringLiteral("Sun"));
        const double factor = EnergyFactor(section.units);
        const double period = section.periodSeconds;
        covered.begin(section.units);
        Day *day = nullptr;
        for (qsizetype i = 0; i < section.size(); ++i) {
            const double time = section.timeAt(i);
            // Seconds of a date from year 1 to 9999, nothing else; each time once.
            if (!(std::fabs(time) < 3e11) || covered.covers(time))
                continue;
            const QDate date = dayOf(time);
            if (!day || day->date != date) {
                day = &byDay[{date, section.units}];
                if (!day->date.isValid()) {
                    day->date = date;
                    day->units = section.units;
                    day->energyUnits = EnergyUnits(section.units);
                    day->peak = std::numeric_limits<double>::quiet_NaN();
                }
            }
            ++day->records;
            const double value = total >= 0 ? section.valueAt(total, i) : NAN;
            if (!std::isnan(value)) {
                day->energy += value * period * factor;
                if (std::isnan(day->peak) || value > day->peak) {
                    day->peak = value;
                    day->peakTime = time;
                }
            }
            const double fraction = sun >= 0 ? section.valueAt(sun, i) : NAN;
            if (!std::isnan(fraction))
                day->sunshineHours += fraction * period / 3600.0;
        }
        covered.add(section);
    }
    m_days = byDay.values().toVector();
}

QString DailySummary::toTabSeparatedText() const
{
    QString text = QStringLiteral("Date\tEnergy\tEnergy units\tPeak total\tUnits\tPeak time\t"
                                  "Sunshine (h)\n");
    for (const Day &day : m_days) {
        const QString peakTime =
            std::isnan(day.peak)
                ? QString()
                : LongTimeText(QDateTime::fromMSecsSinceEpoch(
                                   qint64(std::llround(day.peakTime * 1000)), Qt::UTC)
                                   .time());
        const QStringList row{day.date.toString(Qt::ISODate),
                              FormatNumber(day.energy, QStringLiteral("0.000")),
                              day.energyUnits,
                              std::isnan(day.peak) ? QString()
                                                   : FormatNumber(day.peak, QStringLiteral("0.00")),
                              day.units,
                              peakTime,
                              FormatNumber(day.sunshineHours, QStringLiteral("0.000"))};
        text += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}
