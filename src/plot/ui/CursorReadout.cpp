#include "plot/ui/CursorReadout.h"

#include "plot/ui/SeriesSet.h"
#include "plot/ui/WallClock.h"

#include <QLocale>
#include <QStringList>
#include <qcustomplot.h>

#include <cmath>

namespace {

// The record of a graph nearest to `key`, skipping the gap points; end() when none.
QCPGraphDataContainer::const_iterator Nearest(const QCPGraph &graph, double key)
{
    const QSharedPointer<QCPGraphDataContainer> data = graph.data();
    const auto start = data->findBegin(key, false);
    auto after = start;
    while (after != data->constEnd() && std::isnan(after->value))
        ++after;
    for (auto before = start; before != data->constBegin();) {
        --before;
        if (std::isnan(before->value))
            continue;
        if (after == data->constEnd() || key - before->key <= after->key - key)
            return before;
        break;
    }
    return after;
}

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
        const auto nearest = Nearest(*series.graph, key);
        if (nearest != series.graph->data()->constEnd() &&
            (std::isnan(nearestKey) || std::abs(nearest->key - key) < std::abs(nearestKey - key)))
            nearestKey = nearest->key;
    }
    if (std::isnan(nearestKey))
        return QString();
    QStringList values;
    // In the order of the file's columns.
    for (const QString &column : set.columns()) {
        for (const SeriesSet::Series &series : set.series()) {
            if (series.column != column || !series.graph->visible())
                continue;
            const auto nearest = Nearest(*series.graph, nearestKey);
            if (nearest == series.graph->data()->constEnd() || nearest->key != nearestKey)
                continue;
            QString value =
                series.column + QLatin1Char(' ') +
                QLocale().toString(nearest->value, 'f', CursorReadout::Decimals(series.units));
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
