// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/EnergyChart.h"

#include "plot/ui/SeriesSet.h"
#include "plot/ui/TimeTicker.h"
#include "plot/ui/WallClock.h"

namespace {

constexpr double Day = 86400.0;

} // namespace

EnergyChart::EnergyChart(QWidget *parent) : QCustomPlot(parent), m_group(new QCPBarsGroup(this))
{
    xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeTicker(xAxis)));
    // The legend beside the bars, never over them.
    legend->setVisible(true);
    legend->setBorderPen(Qt::NoPen);
    auto *side = new QCPLayoutGrid;
    plotLayout()->addElement(0, 1, side);
    plotLayout()->setColumnStretchFactor(1, 0.001);
    side->addElement(0, 0, legend);
    side->setMargins(QMargins(0, 0, 0, 0));
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
}

QVector<QCPBars *> EnergyChart::bars() const
{
    QVector<QCPBars *> all;
    for (int i = 0; i < plottableCount(); ++i) {
        if (auto *bar = qobject_cast<QCPBars *>(const_cast<EnergyChart *>(this)->plottable(i)))
            all.append(bar);
    }
    return all;
}

void EnergyChart::setSummaries(const QVector<SummaryTable::FileSummary> &summaries)
{
    clearPlottables();
    m_group->clear();
    for (QCPAxis *axis : axisRect()->axes(QCPAxis::atLeft | QCPAxis::atRight)) {
        if (axis != yAxis && axis != yAxis2)
            axisRect()->removeAxis(axis);
    }
    yAxis->setLabel(QString());
    yAxis2->setVisible(false);
    QStringList units;
    QVector<QCPAxis *> axes;
    QCPRange days(0, 0);
    bool anyDay = false;
    int bars = 0;
    for (int f = 0; f < summaries.size(); ++f) {
        const SummaryTable::FileSummary &file = summaries.at(f);
        QStringList fileUnits;
        for (const DailySummary::Day &day : file.summary.days()) {
            if (!fileUnits.contains(day.energyUnits))
                fileUnits.append(day.energyUnits);
        }
        for (const QString &unit : std::as_const(fileUnits)) {
            qsizetype u = units.indexOf(unit);
            if (u < 0) {
                units.append(unit);
                QCPAxis *axis = axes.isEmpty()     ? yAxis
                                : axes.size() == 1 ? yAxis2
                                                   : axisRect()->addAxis(QCPAxis::atLeft);
                axis->setVisible(true);
                axis->setLabel(unit);
                axes.append(axis);
                u = units.size() - 1;
            }
            auto *bar = new QCPBars(xAxis, axes.at(u));
            bar->setName(fileUnits.size() > 1 ? QStringLiteral("%1 (%2)").arg(file.fileName, unit)
                                              : file.fileName);
            const QColor colour = SeriesSet::FileColour(f);
            bar->setPen(QPen(colour));
            bar->setBrush(colour.lighter(130));
            bar->setBarsGroup(m_group);
            for (const DailySummary::Day &day : file.summary.days()) {
                if (day.energyUnits != unit)
                    continue;
                const double middle = WallClock::ToKey(day.date) + Day / 2;
                bar->addData(middle, day.energy);
                days = anyDay ? QCPRange(std::min(days.lower, middle), std::max(days.upper, middle))
                              : QCPRange(middle, middle);
                anyDay = true;
            }
            ++bars;
        }
    }
    for (QCPBars *bar : this->bars())
        bar->setWidth(0.8 * Day / std::max(bars, 1));
    if (anyDay)
        xAxis->setRange(days.lower - Day, days.upper + Day);
    for (QCPAxis *axis : std::as_const(axes)) {
        bool found = false;
        QCPRange range;
        for (QCPBars *bar : this->bars()) {
            if (bar->valueAxis() != axis)
                continue;
            const QCPRange values = bar->getValueRange(found);
            range = QCPRange(0, std::max(range.upper, values.upper));
        }
        axis->setRange(0, range.upper > 0 ? range.upper * 1.1 : 1.0);
    }
    replot(rpQueuedReplot);
}
