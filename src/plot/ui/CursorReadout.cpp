// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/CursorReadout.h"

#include "plot/ui/SeriesGraph.h"
#include "plot/ui/SeriesSet.h"
#include "plot/ui/WallClock.h"

#include <QLocale>
#include <QStringList>
#include <qcustomplot.h>

#include <cmath>

namespace {

QString TimeText(double key)
{
    const QDateTime time = WallClock::ToDateTime(key);
    return QLocale().toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           time.time().toString(QStringLiteral("HH:mm:ss"));
}

// One file's part: the time of its record nearest to `key` and the values of its shown
// graphs there.
QString FileText(const SeriesSet &set, double key)
{
    double nearestKey = std::nan("");
    for (const SeriesSet::Series &series : set.series()) {
        if (!series.graph->visible())
            continue;
        double recordKey = 0;
        double value = 0;
        if (series.graph->nearest(key, recordKey, value) &&
            (std::isnan(nearestKey) || std::abs(recordKey - key) < std::abs(nearestKey - key)))
            nearestKey = recordKey;
    }
    if (std::isnan(nearestKey))
        return QString();
    QStringList values;
    // In the order of the file's columns.
    for (const QString &column : set.columns()) {
        for (const SeriesSet::Series &series : set.series()) {
            if (series.column != column || !series.graph->visible())
                continue;
            double recordKey = 0;
            double number = 0;
            if (!series.graph->nearest(nearestKey, recordKey, number) || recordKey != nearestKey)
                continue;
            QString value = series.column + QLatin1Char(' ') +
                            QLocale().toString(number, 'f', CursorReadout::Decimals(series.units));
            if (!series.units.isEmpty())
                value += QLatin1Char(' ') + series.units;
            values.append(value);
        }
    }
    return set.name() + QLatin1Char(' ') + TimeText(nearestKey) + QStringLiteral("  ") +
           values.join(QStringLiteral("  "));
}

} // namespace

namespace CursorReadout {

int Decimals(const QString &units)
{
    return units == QLatin1String("klux") ? 2 : 1;
}

QString Text(const std::vector<std::unique_ptr<SeriesSet>> &sets, double key)
{
    QStringList parts;
    for (const auto &set : sets) {
        const QString text = FileText(*set, key);
        if (!text.isEmpty())
            parts.append(text);
    }
    return parts.join(QStringLiteral("   |   "));
}

} // namespace CursorReadout
