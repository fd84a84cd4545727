#include "plot/DailySummary.h"

#include "common/NamedFormats.h"
#include "common/NumberFormat.h"

#include <QDateTime>
#include <QMap>

#include <cmath>
#include <limits>
#include <utility>

namespace {

// The local day holding a time, with its bounds, found again only when time leaves it.
class DayFinder
{
public:
    QDate dayOf(double seconds)
    {
        if (!m_day.isValid() || seconds < m_start || seconds >= m_end) {
            const auto ms = qint64(std::floor(seconds * 1000.0));
            m_day = QDateTime::fromMSecsSinceEpoch(ms).date();
            m_start = double(m_day.startOfDay().toMSecsSinceEpoch()) / 1000.0;
            m_end = double(m_day.addDays(1).startOfDay().toMSecsSinceEpoch()) / 1000.0;
        }
        return m_day;
    }

private:
    QDate m_day;
    double m_start = 0;
    double m_end = 0;
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
    DayFinder finder;
    for (const PlotSection &section : file.sections) {
        const int total = section.column(QStringLiteral("Total"));
        const int sun = section.column(QStringLiteral("Sun"));
        const double factor = EnergyFactor(section.units);
        const double period = section.periodSeconds;
        Day *day = nullptr;
        for (qsizetype i = 0; i < section.size(); ++i) {
            // Seconds of a date from year 1 to 9999, nothing else.
            if (!(std::fabs(section.time[i]) < 3e11))
                continue;
            const QDate date = finder.dayOf(section.time[i]);
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
            const double value = total >= 0 ? section.values[total][i] : NAN;
            if (!std::isnan(value)) {
                day->energy += value * period * factor;
                if (std::isnan(day->peak) || value > day->peak) {
                    day->peak = value;
                    day->peakTime = section.time[i];
                }
            }
            const double fraction = sun >= 0 ? section.values[sun][i] : NAN;
            if (!std::isnan(fraction))
                day->sunshineHours += fraction * period / 3600.0;
        }
    }
    m_days = byDay.values().toVector();
}

QString DailySummary::toTabSeparatedText() const
{
    QString text = QStringLiteral("Date\tEnergy\tEnergy units\tPeak total\tUnits\tPeak time\t"
                                  "Sunshine (h)\n");
    for (const Day &day : m_days) {
        const QString peakTime = std::isnan(day.peak)
                                     ? QString()
                                     : LongTimeText(QDateTime::fromMSecsSinceEpoch(
                                                        qint64(std::llround(day.peakTime * 1000)))
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
