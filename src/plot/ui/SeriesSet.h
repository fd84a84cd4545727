#pragma once

#include "plot/PlotFile.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

class PlotView;
class QCPGraph;

// The graphs of one file in the plot: one per column, across all its sections, named
// "<file name> <column>" in the legend. A new section or a time jump longer than twice
// the period leaves a gap (a NaN point) so that no line is drawn across it.
//
// Total and Diffuse are drawn on the value axis, the sun flag (or the sunshine fraction
// of an averaged line) as a shaded band on the plot's sun axis, the individual sensors
// P0..P7 on the value axis and Temp on the second axis; the sensors and the temperature
// start hidden.
class SeriesSet
{
public:
    // `index` picks the colours, so that files loaded together can be told apart.
    SeriesSet(PlotView &plot, const QString &name, const PlotFile &file, int index);
    ~SeriesSet();
    SeriesSet(const SeriesSet &) = delete;
    SeriesSet &operator=(const SeriesSet &) = delete;

    const QString &name() const { return m_name; }
    // The units of the file's values ("W.m-2"); several joined by ", " when its sections
    // differ.
    const QString &units() const { return m_units; }
    // The columns, in the order of the file, and their graphs in the same order.
    const QStringList &columns() const { return m_columns; }
    const QVector<QCPGraph *> &graphs() const { return m_graphs; }
    QCPGraph *graph(const QString &column) const;

private:
    QCPGraph *addGraph(PlotView &plot, const QString &column, const PlotFile &file, QColor colour);

    PlotView &m_plot;
    QString m_name;
    QString m_units;
    QStringList m_columns;
    QVector<QCPGraph *> m_graphs;
};
