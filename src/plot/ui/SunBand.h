// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/ui/SeriesGraph.h"

#include <vector>

// The sun flag (or the sunshine fraction of averaged records) as a shaded band behind
// the curves: each record holds its value until the next one (before a gap, for as long
// as the record before it), and each pixel column of the plot is shaded as deep as the
// mean value over its time: the graph's full brush colour for sunshine throughout,
// paler for less, none without.
//
// A filled step graph would draw a polygon with a corner for every change of the flag,
// a tenth of a second over a year of records. The band instead keeps the running total
// of sunshine at the start of each block of records, so that a column's mean takes a
// binary search and at most a block's records however many it spans, and draws a
// rectangle per run of equally shaded columns. Records added at the end (a followed file)
// extend the totals without going over the others.
class SunBand : public SeriesGraph
{
    Q_OBJECT

public:
    SunBand(QCPAxis *keyAxis, QCPAxis *valueAxis, const QVector<PlotSection> &sections);

    // With several files' bands, each takes a horizontal stripe of the plot (0 the top),
    // so that overlapping days of different files stay apart.
    void setStripe(int stripe, int stripes);

protected:
    void draw(QCPPainter *painter) override;

private:
    // The sunshine from the first record to `key`, in value times seconds.
    double sunshineUntil(double key) const;
    double sunshineOf(const Run &run, qsizetype i) const;
    void updateRunningTotals();

    struct RunTotals
    {
        std::vector<double> before; // the sunshine before each block of the run
        double end = 0;             // and after its last record
        qsizetype records = 0;      // the records counted
    };
    std::vector<RunTotals> m_totals; // one for each run
    qsizetype m_totalled = 0;        // the records counted in all
    int m_stripe = 0;
    int m_stripes = 1;
};
