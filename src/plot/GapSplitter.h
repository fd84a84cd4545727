// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/PlotFile.h"

#include <QVector>

// Where a section's line must not be drawn: between two records further apart than twice
// the section's period, or where time steps back. (Sections are separate series anyway.)
//
// ContinuousRuns gives the index ranges of the runs between such gaps, for one graph per
// run. WithBreaks instead copies a series with one NaN point between runs, half-way in
// time, for a single graph that leaves a gap at NaN values (as QCustomPlot's does).
struct IndexRange
{
    qsizetype begin = 0; // first index of the run
    qsizetype end = 0;   // one past its last index
};

QVector<IndexRange> ContinuousRuns(const PlotSection &section);

struct BrokenSeries
{
    QVector<double> time;
    QVector<double> values;
};

BrokenSeries WithBreaks(const PlotSection &section, int column, const QVector<IndexRange> &runs);
