// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/PlotFile.h"

#include <qcustomplot.h>

#include <vector>

// A graph of one column drawn straight from the file's own compact series (the reader's
// float times and values), not from a copy of every record: QCustomPlot's data points take
// 16 bytes a record, which for a file of tens of millions of lines is more than the file.
//
// The graph's records are runs of a section's records without a gap; a gap (a new section,
// or a time jump longer than twice the period) leaves a NaN point between two runs, so that
// no line is drawn across it. A small graph keeps all its records as its data points, as a
// plain graph does. A large one fills its data points before each drawing whose time range
// or width changed: the records in view when they are few, otherwise the least and greatest
// value of each pixel column's records, which QCustomPlot draws as it would have drawn
// them all. The least and greatest values of each block of records are kept, so that a
// column spanning many records takes a few steps, and the value axis fits the values in
// view as fast.
class SeriesGraph : public QCPGraph
{
    Q_OBJECT

public:
    // `sections` are the file's, read as the graph is drawn: they must outlive it, and
    // records may only be added at their end.
    SeriesGraph(QCPAxis *keyAxis, QCPAxis *valueAxis, const QVector<PlotSection> &sections);

    // Adds the records [from, to) of a section's column at the end: after a gap when the
    // section is not the one the graph ended with, or the time jumps by more than `longest`.
    void addRecords(int section, int column, qsizetype from, qsizetype to, double longest);

    qsizetype recordCount() const { return m_records; }
    // The record nearest to `key` whose value is a number (before it on a tie); false when
    // there is none.
    bool nearest(double key, double &recordKey, double &value) const;

    QCPRange getKeyRange(bool &foundRange,
                         QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
    QCPRange getValueRange(bool &foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange &inKeyRange = QCPRange()) const override;

    // Up to this many records a graph keeps them all as its data points.
    static void setWholeDataLimit(qsizetype records);

protected:
    static constexpr qsizetype BlockSize = 256;

    // Records [from, to) of a section's column, with no gap between them.
    struct Run
    {
        int section = 0;
        int column = 0;
        qsizetype from = 0;
        qsizetype to = 0;
        // The least and greatest value of each block of BlockSize records from `from`
        // (+inf and -inf when a block has no number).
        std::vector<float> low;
        std::vector<float> high;
    };

    void draw(QCPPainter *painter) override;

    const std::vector<Run> &runs() const { return m_runs; }
    double keyAt(const Run &run, qsizetype i) const { return m_sections[run.section].timeAt(i); }
    float valueAt(const Run &run, qsizetype i) const
    {
        return m_sections[run.section].values[run.column][i];
    }
    // The first record of a run at or after `key` (run.to when none).
    qsizetype lowerIndex(const Run &run, double key) const;
    // The first record of a run after `key` (run.to when none).
    qsizetype upperIndex(const Run &run, double key) const;
    // How long a record's value holds: until the next record of its run; the last one as
    // long as the one before it, a single record its section's period.
    double holdAt(const Run &run, qsizetype i) const;

private:
    bool keepsWholeData() const { return m_records <= s_wholeDataLimit; }
    // The first run whose last record is at or after `key`.
    std::vector<Run>::const_iterator firstRunUntil(double key) const;
    void addRunPoints(const Run &run, qsizetype from, qsizetype to, double pixel,
                      QVector<QCPGraphData> &points) const;
    void updateBlocks(Run &run, qsizetype fromRecord);
    // The least and greatest number among records [from, to) of a run; false when none.
    bool extremes(const Run &run, qsizetype from, qsizetype to, float &low, float &high) const;
    void fillWholeData();
    void fillView();

    static qsizetype s_wholeDataLimit;

    const QVector<PlotSection> &m_sections;
    std::vector<Run> m_runs;
    qsizetype m_records = 0;
    // Whole: the records among the data points. Otherwise what they were filled for.
    qsizetype m_contained = 0;
    QCPRange m_filledRange;
    int m_filledWidth = 0;
    qsizetype m_filledRecords = -1;
};
