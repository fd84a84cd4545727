// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/PlotView.h"

#include "plot/ui/TimeTicker.h"
#include "plot/ui/WallClock.h"

#include <QKeyEvent>

#include <cmath>

namespace {

// Room above and below the values, as a fraction of their span.
constexpr double ValueMargin = 0.05;

QCPRange WithMargin(QCPRange range)
{
    const double room = range.size() > 0 ? range.size() * ValueMargin : 1.0;
    return QCPRange(range.lower - room, range.upper + room);
}

} // namespace

PlotView::PlotView(QWidget *parent) : QCustomPlot(parent)
{
    // Lines without antialiasing draw a million points several times faster; the
    // adaptive sampling keeps the curves smooth enough.
    setNotAntialiasedElements(QCP::aePlottables);
    setPlottingHints(QCP::phCacheLabels | QCP::phFastPolylines);
    setNoAntialiasingOnDrag(true);

    // The files' times are wall-clock times taken as UTC: shown as UTC they come back
    // as written, with no daylight-saving shift.
    xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeTicker(xAxis)));
    xAxis->setLabel(tr("Time"));
    yAxis2->setLabel(tr("Temperature (°C)"));

    m_sunAxis = axisRect()->addAxis(QCPAxis::atRight);
    m_sunAxis->setRange(0, 1);
    m_sunAxis->setVisible(false);
    // Under the grid, so that an opaque band (much faster to fill than a translucent one)
    // leaves the grid lines seen.
    addLayer(QStringLiteral("sun"), layer(QStringLiteral("grid")), limBelow);

    // Before any file: today, on the scale of radiation in W.m-2.
    const double today = WallClock::ToKey(QDate::currentDate());
    xAxis->setRange(today, today + 86400.0);
    yAxis->setRange(0, 1000);

    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    setValueRangeFixed(false);
    setFocusPolicy(Qt::StrongFocus);

    // The legend in a row of its own under the plot, filled a row at a time.
    legend->setVisible(true);
    auto *legendRect = new QCPLayoutGrid;
    plotLayout()->addElement(1, 0, legendRect);
    plotLayout()->setRowStretchFactor(1, 0.001);
    legendRect->addElement(0, 0, legend);
    // An empty legend would narrow the whole plot to its own width: a spacer beside it
    // has no such limit.
    legendRect->addElement(0, 1, new QCPLayoutElement(this));
    legendRect->setColumnStretchFactors({1.0, 0.001});
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setWrap(1);
    legend->setBorderPen(Qt::NoPen);
    legendRect->setMargins(QMargins(0, 0, 0, 0));

    connect(this, &QCustomPlot::legendClick, this,
            [this](QCPLegend *, QCPAbstractLegendItem *item, QMouseEvent *) {
                toggleLegendItem(item);
            });
    setMouseTracking(true);
    connect(xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            &PlotView::keepKeyRangeInLimits);
    connect(this, &QCustomPlot::beforeReplot, this, &PlotView::prepareLayout);
}

QCPAxis *PlotView::valueAxis(const QString &units)
{
    for (const UnitAxis &known : std::as_const(m_unitAxes)) {
        if (known.units == units)
            return known.axis;
    }
    QCPAxis *axis = nullptr;
    if (units == QStringLiteral("°C")) {
        axis = yAxis2;
    } else {
        bool leftTaken = false;
        for (const UnitAxis &known : std::as_const(m_unitAxes))
            leftTaken = leftTaken || known.axis == yAxis;
        axis = leftTaken ? axisRect()->addAxis(QCPAxis::atLeft) : yAxis;
        axis->setLabel(units);
    }
    m_unitAxes.append({units, axis});
    setValueRangeFixed(m_valueRangeFixed); // drags and zooms the new axis too when fixed
    return axis;
}

QVector<QCPAxis *> PlotView::valueAxes() const
{
    QVector<QCPAxis *> axes;
    for (const UnitAxis &known : m_unitAxes)
        axes.append(known.axis);
    return axes;
}

QString PlotView::axisUnits(const QCPAxis *axis) const
{
    for (const UnitAxis &known : m_unitAxes) {
        if (known.axis == axis)
            return known.units;
    }
    return QString();
}

void PlotView::removeUnusedValueAxes()
{
    for (qsizetype i = m_unitAxes.size() - 1; i >= 0; --i) {
        QCPAxis *axis = m_unitAxes.at(i).axis;
        if (!axis->graphs().isEmpty())
            continue;
        m_unitAxes.removeAt(i);
        if (axis == yAxis)
            yAxis->setLabel(QString());
        else if (axis != yAxis2)
            axisRect()->removeAxis(axis);
    }
    setValueRangeFixed(m_valueRangeFixed);
    updateValueAxesShown();
}

void PlotView::setGraphShown(QCPGraph *graph, bool shown)
{
    graph->setVisible(shown);
    if (QCPPlottableLegendItem *item = legend->itemWithPlottable(graph))
        item->setTextColor(shown ? Qt::black : Qt::gray);
    updateValueAxesShown();
}

void PlotView::toggleLegendItem(QCPAbstractLegendItem *item)
{
    auto *plottableItem = qobject_cast<QCPPlottableLegendItem *>(item);
    if (!plottableItem)
        return;
    if (auto *graph = qobject_cast<QCPGraph *>(plottableItem->plottable())) {
        setGraphShown(graph, !graph->visible());
        // An axis has no range of its own until a graph on it is shown.
        if (graph->visible())
            fitValueAxis(graph->valueAxis());
        replot(rpQueuedReplot);
    }
}

// An axis is shown while a graph on it is; the left axis always.
void PlotView::updateValueAxesShown()
{
    for (QCPAxis *axis : axisRect()->axes(QCPAxis::atLeft | QCPAxis::atRight)) {
        if (axis == yAxis || axis == m_sunAxis)
            continue;
        bool shown = false;
        for (const QCPGraph *g : axis->graphs())
            shown = shown || g->visible();
        axis->setVisible(shown);
    }
}

void PlotView::fitAll()
{
    bool anyKeys = false;
    QCPRange keys;
    for (int i = 0; i < graphCount(); ++i) {
        if (!graph(i)->visible())
            continue;
        bool found = false;
        const QCPRange range = graph(i)->getKeyRange(found);
        if (!found)
            continue;
        keys = anyKeys
                   ? QCPRange(std::min(keys.lower, range.lower), std::max(keys.upper, range.upper))
                   : range;
        anyKeys = true;
    }
    if (!anyKeys)
        return;
    if (keys.size() <= 0)
        keys = QCPRange(keys.lower - 60, keys.upper + 60);
    xAxis->setRange(keys);
    fitValueAxes();
}

void PlotView::fitValueAxis(QCPAxis *axis)
{
    const QCPRange keys = xAxis->range();
    bool anyValues = false;
    QCPRange values;
    for (int i = 0; i < graphCount(); ++i) {
        QCPGraph *g = graph(i);
        if (!g->visible() || g->valueAxis() != axis)
            continue;
        bool found = false;
        const QCPRange range = g->getValueRange(found, QCP::sdBoth, keys);
        if (!found)
            continue;
        values = anyValues ? QCPRange(std::min(values.lower, range.lower),
                                      std::max(values.upper, range.upper))
                           : range;
        anyValues = true;
    }
    if (anyValues)
        axis->setRange(WithMargin(values));
}

void PlotView::fitValueAxes()
{
    for (QCPAxis *axis : valueAxes())
        fitValueAxis(axis);
}

void PlotView::setValueRangeFixed(bool fixed)
{
    m_valueRangeFixed = fixed;
    const QVector<QCPAxis *> axes = valueAxes();
    const QList<QCPAxis *> values(axes.cbegin(), axes.cend());
    axisRect()->setRangeDragAxes({xAxis}, fixed ? values : QList<QCPAxis *>());
    axisRect()->setRangeZoomAxes({xAxis}, fixed ? values : QList<QCPAxis *>());
    axisRect()->setRangeDrag(fixed ? Qt::Horizontal | Qt::Vertical : Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    if (!fixed)
        fitValueAxes();
}

void PlotView::updateKeyLimits()
{
    m_hasKeyLimits = false;
    for (int i = 0; i < graphCount(); ++i) {
        bool found = false;
        const QCPRange range = graph(i)->getKeyRange(found);
        if (!found)
            continue;
        m_keyLimits = m_hasKeyLimits ? QCPRange(std::min(m_keyLimits.lower, range.lower),
                                                std::max(m_keyLimits.upper, range.upper))
                                     : range;
        m_hasKeyLimits = true;
    }
    // A single record still gets a span to be seen in.
    if (m_hasKeyLimits && m_keyLimits.size() < 120)
        m_keyLimits = QCPRange(m_keyLimits.center() - 60, m_keyLimits.center() + 60);
}

// No wider than the data, and never wholly beside it; then the value axes follow the
// values in view.
void PlotView::keepKeyRangeInLimits(const QCPRange &range)
{
    QCPRange kept = range;
    if (m_hasKeyLimits) {
        if (kept.size() > m_keyLimits.size())
            kept = m_keyLimits;
        else if (kept.upper < m_keyLimits.lower)
            kept += m_keyLimits.lower - kept.upper;
        else if (kept.lower > m_keyLimits.upper)
            kept -= kept.lower - m_keyLimits.upper;
    }
    if (kept.lower != range.lower || kept.upper != range.upper) {
        xAxis->setRange(kept); // comes back here, within the limits
        return;
    }
    if (!m_valueRangeFixed)
        fitValueAxes();
}

void PlotView::zoomTime(double factor)
{
    xAxis->scaleRange(1.0 / factor, xAxis->range().center());
    replot(rpQueuedReplot);
}

void PlotView::panTime(double share)
{
    xAxis->moveRange(share * xAxis->range().size());
    replot(rpQueuedReplot);
}

void PlotView::setTitle(const QString &title)
{
    if (m_title) {
        plotLayout()->remove(m_title);
        plotLayout()->simplify();
        m_title = nullptr;
    }
    if (title.isEmpty())
        return;
    plotLayout()->insertRow(0);
    m_title = new QCPTextElement(this, title, QFont(font().family(), font().pointSize() + 1));
    plotLayout()->addElement(0, 0, m_title);
}

// Before each drawing: the legend's entries a row, and the date of a span within a day
// on the time axis's label (its ticks then show times only).
void PlotView::prepareLayout()
{
    prepareFor(width());
}

void PlotView::prepareFor(int width)
{
    updateLegendColumns(width);
    const QString day = TimeTicker::SingleDay(xAxis->range());
    xAxis->setLabel(day.isEmpty() ? tr("Time") : tr("Time on %1").arg(day));
}

// As many columns as the widest entry fits in the plot's width, so that no entry is cut.
void PlotView::updateLegendColumns(int width)
{
    int widest = 0;
    for (int i = 0; i < legend->itemCount(); ++i)
        widest = std::max(widest, legend->item(i)->minimumOuterSizeHint().width());
    const int room = width - legend->margins().left() - legend->margins().right() - 10;
    const int columns =
        widest > 0
            ? std::max(1, (room + legend->columnSpacing()) / (widest + legend->columnSpacing()))
            : 1;
    if (columns != legend->wrap()) {
        legend->setWrap(columns);
        legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
    }
}

void PlotView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        panTime(-0.1);
        break;
    case Qt::Key_Right:
        panTime(0.1);
        break;
    default:
        QCustomPlot::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PlotView::mousePressEvent(QMouseEvent *event)
{
    setSelectionRectMode(event->modifiers() & Qt::ControlModifier ? QCP::srmZoom : QCP::srmNone);
    QCustomPlot::mousePressEvent(event);
}

void PlotView::mouseMoveEvent(QMouseEvent *event)
{
    QCustomPlot::mouseMoveEvent(event);
    if (axisRect()->rect().contains(event->pos()))
        emit cursorMoved(xAxis->pixelToCoord(event->pos().x()));
}
