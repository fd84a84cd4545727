#include "plot/ui/PlotView.h"

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

    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat(QStringLiteral("dd MMM yyyy\nHH:mm"));
    xAxis->setTicker(ticker);
    xAxis->setLabel(tr("Local time"));
    yAxis2->setLabel(tr("Temperature (°C)"));

    m_sunAxis = axisRect()->addAxis(QCPAxis::atRight);
    m_sunAxis->setRange(0, 1);
    m_sunAxis->setVisible(false);
    // Under the grid, so that an opaque band (much faster to fill than a translucent one)
    // leaves the grid lines seen.
    addLayer(QStringLiteral("sun"), layer(QStringLiteral("grid")), limBelow);

    // Before any file: today, on the scale of radiation in W.m-2.
    const QDateTime today(QDate::currentDate(), QTime(0, 0), Qt::UTC);
    xAxis->setRange(double(today.toSecsSinceEpoch()), double(today.addDays(1).toSecsSinceEpoch()));
    yAxis->setRange(0, 1000);

    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    axisRect()->setRangeDragAxes(xAxis, yAxis);
    axisRect()->setRangeZoomAxes(xAxis, yAxis);
    axisRect()->setRangeZoom(Qt::Horizontal);

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
    legend->setWrap(6);
    legend->setBorderPen(Qt::NoPen);
    legendRect->setMargins(QMargins(0, 0, 0, 0));

    connect(this, &QCustomPlot::legendClick, this,
            [this](QCPLegend *, QCPAbstractLegendItem *item, QMouseEvent *) {
                toggleLegendItem(item);
            });
    setMouseTracking(true);
}

void PlotView::setValueUnits(const QString &units)
{
    yAxis->setLabel(units);
}

void PlotView::setGraphShown(QCPGraph *graph, bool shown)
{
    graph->setVisible(shown);
    if (QCPPlottableLegendItem *item = legend->itemWithPlottable(graph))
        item->setTextColor(shown ? Qt::black : Qt::gray);
    updateTemperatureAxis();
}

void PlotView::toggleLegendItem(QCPAbstractLegendItem *item)
{
    auto *plottableItem = qobject_cast<QCPPlottableLegendItem *>(item);
    if (!plottableItem)
        return;
    if (auto *graph = qobject_cast<QCPGraph *>(plottableItem->plottable())) {
        setGraphShown(graph, !graph->visible());
        // The temperature axis has no range of its own until a graph on it is shown.
        if (graph->visible() && graph->valueAxis() == yAxis2)
            fitValueAxis(yAxis2);
        replot(rpQueuedReplot);
    }
}

void PlotView::updateTemperatureAxis()
{
    bool shown = false;
    for (int i = 0; i < graphCount(); ++i)
        shown = shown || (graph(i)->valueAxis() == yAxis2 && graph(i)->visible());
    yAxis2->setVisible(shown);
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
    fitValueAxis(yAxis);
    fitValueAxis(yAxis2);
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
