// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <qcustomplot.h>

// The plot of the graphing program: values against the date and time as written, each unit
// on a value axis of its own, the sun band on a hidden axis of its own (0 to 1),
// temperature on the right-hand axis and the legend below the plot, as many entries a row
// as fit, where a click on an entry shows or hides its graph.
//
// The wheel zooms the time axis, dragging pans, and dragging with Ctrl held draws a
// rubber band to zoom into; the arrow keys pan. The time axis cannot be zoomed out beyond
// the data's extent, and the value axes follow the values in view unless the value range
// is fixed.
class PlotView : public QCustomPlot
{
    Q_OBJECT

public:
    explicit PlotView(QWidget *parent = nullptr);

    QCPAxis *sunAxis() const { return m_sunAxis; }
    QCPLayer *sunLayer() const { return layer(QStringLiteral("sun")); }

    // The value axis of a unit, made when first asked for: the first unit on the left
    // axis, each further one on an axis of its own further left, °C on the right-hand
    // axis. Named by its unit.
    QCPAxis *valueAxis(const QString &units);
    // The axes of the units in the order they were made.
    QVector<QCPAxis *> valueAxes() const;
    // The unit of an axis, or empty.
    QString axisUnits(const QCPAxis *axis) const;
    // Takes away the axes no graph uses any more (the left axis stays, unnamed).
    void removeUnusedValueAxes();

    // Shows or hides a graph, greying its legend entry while hidden.
    void setGraphShown(QCPGraph *graph, bool shown);
    // The time axis over all data of the shown graphs, the value axes over their values.
    void fitAll();
    // A value axis over the values of its shown graphs in the visible time.
    void fitValueAxis(QCPAxis *axis);
    void fitValueAxes();
    // Fixed: the value axes keep their range (and can be dragged and zoomed); otherwise
    // they follow the values in view.
    void setValueRangeFixed(bool fixed);
    bool valueRangeFixed() const { return m_valueRangeFixed; }
    // The times of all data, which the time axis may not be zoomed out beyond; call after
    // graphs are added or grow.
    void updateKeyLimits();
    // Zooms the time axis about its centre: 2 shows half as much.
    void zoomTime(double factor);
    // Moves the time axis by a share of its span: 0.1 a tenth to the right.
    void panTime(double share);
    // A line above the plot (an exported picture's title); empty takes it away.
    void setTitle(const QString &title);
    // Lays the legend out for a drawing `width` pixels wide (done before every replot for
    // the plot's own width; a picture of another size asks first).
    void prepareFor(int width);

signals:
    // The time under the mouse, as the cursor moves over the plot.
    void cursorMoved(double key);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void toggleLegendItem(QCPAbstractLegendItem *item);
    void updateValueAxesShown();
    void keepKeyRangeInLimits(const QCPRange &range);
    void prepareLayout();
    void updateLegendColumns(int width);

    QCPAxis *m_sunAxis = nullptr;
    struct UnitAxis
    {
        QString units;
        QCPAxis *axis;
    };
    QVector<UnitAxis> m_unitAxes;
    bool m_valueRangeFixed = false;
    bool m_hasKeyLimits = false;
    QCPRange m_keyLimits;
    QCPTextElement *m_title = nullptr;
};
