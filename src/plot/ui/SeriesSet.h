// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/PlotFile.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

class PlotView;
class QCPGraph;
class SeriesGraph;

// The graphs of one file in the plot, and the file's records themselves.
//
// A graph shows one column in one unit: "june.txt Total (W.m-2)". Each unit has its own
// value axis in the plot, so that a file with sections in W.m-2 and umol.m-2.s-1 gets two
// graphs of Total, each on its axis. A section or a time jump longer than twice the period
// leaves a gap (a NaN point) so that no line is drawn across it; a section whose times go
// back over those already drawn (records downloaded twice, a clock set back) gets graphs
// of its own, so that no line zig-zags between the two.
//
// Total and Diffuse are drawn in the section's units, the individual sensors P0..P7 in
// umol.m-2.s-1 and Temp in °C; the sun flag (or the sunshine fraction of an averaged line)
// is a shaded band in the file's own colour. The sensors and the temperature start hidden.
//
// The graphs draw from the file's records as the reader keeps them, without a copy.
// Records can be added at the end (a file that grows while it is followed).
class SeriesSet
{
public:
    struct Series
    {
        QString column; // "Total"
        QString units;  // "W.m-2", "°C"; empty for Sun
        SeriesGraph *graph = nullptr;
        double lastKey = 0; // the time of its last record
    };

    // `index` picks the colours, so that files loaded together can be told apart.
    SeriesSet(PlotView &plot, const QString &path, PlotFile file, int index);
    ~SeriesSet();
    SeriesSet(const SeriesSet &) = delete;
    SeriesSet &operator=(const SeriesSet &) = delete;

    const QString &path() const { return m_path; }
    // The file's name, as the legend and the read-out show it.
    const QString &name() const { return m_name; }
    int index() const { return m_index; }
    const PlotFile &file() const { return m_file; }
    // The columns, in the order of the file.
    const QStringList &columns() const { return m_columns; }
    const QVector<Series> &series() const { return m_series; }
    QVector<QCPGraph *> graphs() const;
    // The first graph of a column, in the given units when they are not empty.
    QCPGraph *graph(const QString &column, const QString &units = QString()) const;
    // The time of the last record, or NaN without records.
    double lastKey() const;

    // Adds the records read from the file's new lines: to its last section when they
    // continue it, else as sections of their own.
    void append(const PlotFile &tail);
    // Which band of the plot's height the sun band takes, when several files show theirs.
    void setSunStripe(int stripe, int stripes);

    // The units a column's values are in, within a section in `sectionUnits`.
    static QString ColumnUnits(const QString &column, const QString &sectionUnits);
    static QColor FileColour(int index);

private:
    void addRecords(int sectionIndex, qsizetype from);
    Series &seriesFor(const QString &column, const QString &units, double firstKey);
    SeriesGraph *addGraph(const QString &column, const QString &units);

    PlotView &m_plot;
    QString m_path;
    QString m_name;
    int m_index;
    PlotFile m_file;
    QStringList m_columns;
    QVector<Series> m_series;
};
