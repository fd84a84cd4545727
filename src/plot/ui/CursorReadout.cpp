#include "plot/ui/CursorReadout.h"

#include "plot/ui/SeriesSet.h"

#include <QDateTime>
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
    const QDateTime time =
        QDateTime::fromMSecsSinceEpoch(qint64(std::llround(key * 1000.0)), Qt::UTC);
    return QLocale().toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           time.time().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

namespace CursorReadout {

QString Text(const std::vector<std::unique_ptr<SeriesSet>> &sets, double key)
{
    QStringList parts;
    for (const auto &set : sets) {
        QStringList values;
        double nearestKey = std::nan("");
        for (int i = 0; i < set->columns().size(); ++i) {
            const QCPGraph *graph = set->graphs().at(i);
            if (!graph->visible())
                continue;
            const auto nearest = Nearest(*graph, key);
            if (nearest == graph->data()->constEnd())
                continue;
            if (std::isnan(nearestKey))
                nearestKey = nearest->key;
            const QString &column = set->columns().at(i);
            values.append(column + QLatin1Char(' ') + QLocale().toString(nearest->value, 'f', 1) +
                          (column == QLatin1String("Temp") ? QStringLiteral(" °C") : QString()));
        }
        if (!values.isEmpty())
            parts.append(set->name() + QLatin1Char(' ') + TimeText(nearestKey) +
                         QStringLiteral(" (") + set->units() + QStringLiteral(")  ") +
                         values.join(QStringLiteral("  ")));
    }
    return parts.join(QStringLiteral("   |   "));
}

} // namespace CursorReadout
