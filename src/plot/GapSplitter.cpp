// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/GapSplitter.h"

#include <limits>

QVector<IndexRange> ContinuousRuns(const PlotSection &section)
{
    QVector<IndexRange> runs;
    const RecordTimes &time = section.time;
    if (time.isEmpty())
        return runs;
    // Without a period (one record) only a step back in time is a gap.
    const double longest = section.periodSeconds > 0 ? 2.0 * section.periodSeconds
                                                     : std::numeric_limits<double>::infinity();
    qsizetype begin = 0;
    for (qsizetype i = 1; i < time.size(); ++i) {
        const double step = time.at(i) - time.at(i - 1);
        if (step > longest || step < 0) {
            runs.append({begin, i});
            begin = i;
        }
    }
    runs.append({begin, time.size()});
    return runs;
}

BrokenSeries WithBreaks(const PlotSection &section, int column, const QVector<IndexRange> &runs)
{
    BrokenSeries broken;
    const qsizetype points = section.size() + std::max<qsizetype>(runs.size() - 1, 0);
    broken.time.reserve(points);
    broken.values.reserve(points);
    for (qsizetype r = 0; r < runs.size(); ++r) {
        if (r > 0) {
            broken.time.append((section.timeAt(runs[r].begin - 1) + section.timeAt(runs[r].begin)) /
                               2.0);
            broken.values.append(std::numeric_limits<double>::quiet_NaN());
        }
        for (qsizetype i = runs[r].begin; i < runs[r].end; ++i) {
            broken.time.append(section.timeAt(i));
            broken.values.append(section.valueAt(column, i));
        }
    }
    return broken;
}
