#pragma once

#include <qcustomplot.h>

// The plot of the graphing program: values against local date and time, the sun band
// on a hidden axis of its own (0 to 1), temperature on the right-hand axis
// and the legend below the plot, where a click on an entry shows or hides its graph.
//
// The wheel zooms the time axis, dragging pans, and dragging with Ctrl held draws a
// rubber band to zoom into.
class PlotView : public QCustomPlot
{
    Q_OBJECT

public:
    explicit PlotView(QWidget *parent = nullptr);

    QCPAxis *sunAxis() const { return m_sunAxis; }
    QCPLayer *sunLayer() const { return layer(QStringLiteral("sun")); }

    // Labels the value axis with the data's units.
    void setValueUnits(const QString &units);
    // Shows or hides a graph, greying its legend entry while hidden.
    void setGraphShown(QCPGraph *graph, bool shown);
    // The time axis over all data of the shown graphs, the value axes over their values.
    void fitAll();
    // A value axis over the values of its shown graphs in the visible time.
    void fitValueAxis(QCPAxis *axis);

signals:
    // The time under the mouse, as the cursor moves over the plot.
    void cursorMoved(double key);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void toggleLegendItem(QCPAbstractLegendItem *item);
    void updateTemperatureAxis();

    QCPAxis *m_sunAxis = nullptr;
};
