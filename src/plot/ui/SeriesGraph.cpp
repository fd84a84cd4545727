// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/SeriesGraph.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr float NoLow = std::numeric_limits<float>::infinity();
constexpr float NoHigh = -std::numeric_limits<float>::infinity();

// Records in view up to this many a pixel column are drawn as they are.
constexpr qsizetype RecordsPerPixelDrawnWhole = 4;

} // namespace

qsizetype SeriesGraph::s_wholeDataLimit = 100000;

SeriesGraph::SeriesGraph(QCPAxis *keyAxis, QCPAxis *valueAxis, const QVector<PlotSection> &sections)
    : QCPGraph(keyAxis, valueAxis), m_sections(sections)
{}

void SeriesGraph::setWholeDataLimit(qsizetype records)
{
    s_wholeDataLimit = records;
}

void SeriesGraph::addRecords(int section, int column, qsizetype from, qsizetype to, double longest)
{
    if (from >= to)
        return;
    const std::size_t grown = m_runs.empty() ? 0 : m_runs.size() - 1;
    const qsizetype grownTo = m_runs.empty() ? 0 : m_runs.back().to;
    for (qsizetype i = from; i < to; ++i) {
        const bool continues = !m_runs.empty() && m_runs.back().section == section &&
                               m_runs.back().column == column && m_runs.back().to == i &&
                               keyAt(m_runs.back(), i) - keyAt(m_runs.back(), i - 1) <= longest;
        if (!continues)
            m_runs.push_back(Run{section, column, i, i, {}, {}});
        m_runs.back().to = i + 1;
    }
    m_records += to - from;
    for (std::size_t r = grown; r < m_runs.size(); ++r)
        updateBlocks(m_runs[r], r == grown && grownTo > 0 ? grownTo : m_runs[r].from);
    if (keepsWholeData()) {
        fillWholeData();
    } else if (m_contained > 0) {
        data()->clear(); // drawn a view at a time from now on
        m_contained = 0;
    }
}

void SeriesGraph::updateBlocks(Run &run, qsizetype fromRecord)
{
    const qsizetype blocks = (run.to - run.from + BlockSize - 1) / BlockSize;
    run.low.resize(std::size_t(blocks), NoLow);
    run.high.resize(std::size_t(blocks), NoHigh);
    for (qsizetype b = (fromRecord - run.from) / BlockSize; b < blocks; ++b) {
        const qsizetype start = run.from + b * BlockSize;
        const qsizetype end = std::min(start + BlockSize, run.to);
        float low = NoLow;
        float high = NoHigh;
        const float *values = m_sections[run.section].values[run.column].constData();
        for (qsizetype i = start; i < end; ++i) {
            if (!std::isnan(values[i])) {
                low = std::min(low, values[i]);
                high = std::max(high, values[i]);
            }
        }
        run.low[std::size_t(b)] = low;
        run.high[std::size_t(b)] = high;
    }
}

bool SeriesGraph::extremes(const Run &run, qsizetype from, qsizetype to, float &low,
                           float &high) const
{
    low = NoLow;
    high = NoHigh;
    const float *values = m_sections[run.section].values[run.column].constData();
    const auto scan = [&](qsizetype start, qsizetype end) {
        for (qsizetype i = start; i < end; ++i) {
            if (!std::isnan(values[i])) {
                low = std::min(low, values[i]);
                high = std::max(high, values[i]);
            }
        }
    };
    // Whole blocks from their extremes, the records before and after them one by one.
    const qsizetype firstWhole =
        run.from + (from - run.from + BlockSize - 1) / BlockSize * BlockSize;
    if (firstWhole + BlockSize > to) {
        scan(from, to);
        return low <= high;
    }
    scan(from, firstWhole);
    qsizetype i = firstWhole;
    for (; i + BlockSize <= to; i += BlockSize) {
        const auto b = std::size_t((i - run.from) / BlockSize);
        low = std::min(low, run.low[b]);
        high = std::max(high, run.high[b]);
    }
    scan(i, to);
    return low <= high;
}

qsizetype SeriesGraph::lowerIndex(const Run &run, double key) const
{
    qsizetype low = run.from;
    qsizetype high = run.to;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (keyAt(run, middle) < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

qsizetype SeriesGraph::upperIndex(const Run &run, double key) const
{
    qsizetype low = run.from;
    qsizetype high = run.to;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (keyAt(run, middle) <= key)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

double SeriesGraph::holdAt(const Run &run, qsizetype i) const
{
    if (i + 1 < run.to)
        return keyAt(run, i + 1) - keyAt(run, i);
    if (i > run.from)
        return keyAt(run, i) - keyAt(run, i - 1);
    return std::max(m_sections[run.section].periodSeconds, 0.0);
}

// The points of the records not yet among them, with a gap point before each run but
// the first.
void SeriesGraph::fillWholeData()
{
    std::size_t r = m_runs.size();
    qsizetype before = m_records; // the records before run r
    while (r > 0 && before > m_contained) {
        --r;
        before -= m_runs[r].to - m_runs[r].from;
    }
    QVector<QCPGraphData> points;
    for (; r < m_runs.size(); ++r) {
        const Run &run = m_runs[r];
        const qsizetype start = run.from + std::max<qsizetype>(m_contained - before, 0);
        before += run.to - run.from;
        if (start == run.from && r > 0) {
            const Run &previous = m_runs[r - 1];
            points.append(
                QCPGraphData((keyAt(previous, previous.to - 1) + keyAt(run, run.from)) / 2.0, NaN));
        }
        addRunPoints(run, start, run.to, 0, points);
    }
    m_contained = m_records;
    data()->add(points, true);
}

// The records [from, to) of a run as they are (`pixel` 0), or as the least and greatest
// value of the records in each `pixel` of time, in the order the run meets them.
void SeriesGraph::addRunPoints(const Run &run, qsizetype from, qsizetype to, double pixel,
                               QVector<QCPGraphData> &points) const
{
    if (pixel <= 0) {
        for (qsizetype i = from; i < to; ++i)
            points.append(QCPGraphData(keyAt(run, i), double(valueAt(run, i))));
        return;
    }
    const double origin = keyAxis()->range().lower;
    for (qsizetype i = from; i < to;) {
        const double key = keyAt(run, i);
        const double columnEnd = origin + (std::floor((key - origin) / pixel) + 1) * pixel;
        const qsizetype next = std::max(i + 1, std::min(to, lowerIndex(run, columnEnd)));
        float low = 0;
        float high = 0;
        if (next - i == 1) {
            points.append(QCPGraphData(key, double(valueAt(run, i))));
        } else if (!extremes(run, i, next, low, high)) {
            points.append(QCPGraphData(key, NaN));
        } else {
            const bool falling = valueAt(run, i) > valueAt(run, next - 1);
            points.append(QCPGraphData(key, double(falling ? high : low)));
            points.append(QCPGraphData(keyAt(run, next - 1), double(falling ? low : high)));
        }
        i = next;
    }
}

// The points of the records in view and one beyond each side of it, each pixel column's
// extremes when there are many.
void SeriesGraph::fillView()
{
    const QCPRange range = keyAxis()->range();
    const int width = std::max(1, keyAxis()->axisRect()->width());
    if (m_filledRecords == m_records && m_filledRange == range && m_filledWidth == width)
        return;
    struct Part
    {
        const Run *run;
        qsizetype from;
        qsizetype to;
    };
    std::vector<Part> parts;
    qsizetype inView = 0;
    for (auto run = firstRunUntil(range.lower);
         run != m_runs.end() && keyAt(*run, run->from) <= range.upper; ++run) {
        const qsizetype from = std::max(run->from, lowerIndex(*run, range.lower) - 1);
        const qsizetype to = std::min(run->to, upperIndex(*run, range.upper) + 1);
        parts.push_back({&*run, from, to});
        inView += to - from;
    }
    const double pixel = inView > RecordsPerPixelDrawnWhole * width ? range.size() / width : 0;
    QVector<QCPGraphData> points;
    for (const Part &part : parts) {
        if (!points.isEmpty())
            points.append(
                QCPGraphData((points.last().key + keyAt(*part.run, part.from)) / 2.0, NaN));
        addRunPoints(*part.run, part.from, part.to, pixel, points);
    }
    data()->set(points, true);
    m_filledRecords = m_records;
    m_filledRange = range;
    m_filledWidth = width;
}

std::vector<SeriesGraph::Run>::const_iterator SeriesGraph::firstRunUntil(double key) const
{
    return std::partition_point(m_runs.cbegin(), m_runs.cend(), [this, key](const Run &run) {
        return keyAt(run, run.to - 1) < key;
    });
}

void SeriesGraph::draw(QCPPainter *painter)
{
    if (!keepsWholeData())
        fillView();
    QCPGraph::draw(painter);
}

bool SeriesGraph::nearest(double key, double &recordKey, double &value) const
{
    if (m_runs.empty())
        return false;
    const auto at = firstRunUntil(key);
    // The first number at or after the key.
    bool hasAfter = false;
    auto afterRun = at;
    qsizetype after = at != m_runs.cend() ? lowerIndex(*at, key) : 0;
    for (; afterRun != m_runs.cend() && !hasAfter; ++afterRun) {
        if (afterRun != at)
            after = afterRun->from;
        for (; after < afterRun->to && !hasAfter; ++after)
            hasAfter = !std::isnan(valueAt(*afterRun, after));
    }
    // The last number before it.
    bool hasBefore = false;
    auto beforeRun = at == m_runs.cend() ? at - 1 : at;
    qsizetype before = at == m_runs.cend() ? beforeRun->to : lowerIndex(*at, key);
    while (!hasBefore) {
        while (before > beforeRun->from && !hasBefore)
            hasBefore = !std::isnan(valueAt(*beforeRun, --before));
        if (hasBefore || beforeRun == m_runs.cbegin())
            break;
        --beforeRun;
        before = beforeRun->to;
    }
    if (hasAfter) {
        --afterRun;
        --after;
    }
    if (hasBefore &&
        (!hasAfter || key - keyAt(*beforeRun, before) <= keyAt(*afterRun, after) - key)) {
        recordKey = keyAt(*beforeRun, before);
        value = double(valueAt(*beforeRun, before));
        return true;
    }
    if (!hasAfter)
        return false;
    recordKey = keyAt(*afterRun, after);
    value = double(valueAt(*afterRun, after));
    return true;
}

QCPRange SeriesGraph::getKeyRange(bool &foundRange, QCP::SignDomain inSignDomain) const
{
    if (keepsWholeData())
        return QCPGraph::getKeyRange(foundRange, inSignDomain);
    foundRange = !m_runs.empty();
    if (!foundRange)
        return QCPRange();
    return QCPRange(keyAt(m_runs.front(), m_runs.front().from),
                    keyAt(m_runs.back(), m_runs.back().to - 1));
}

QCPRange SeriesGraph::getValueRange(bool &foundRange, QCP::SignDomain inSignDomain,
                                    const QCPRange &inKeyRange) const
{
    if (keepsWholeData())
        return QCPGraph::getValueRange(foundRange, inSignDomain, inKeyRange);
    const bool allKeys = inKeyRange == QCPRange();
    const double lowest = allKeys ? -std::numeric_limits<double>::infinity() : inKeyRange.lower;
    const double highest = allKeys ? std::numeric_limits<double>::infinity() : inKeyRange.upper;
    float low = NoLow;
    float high = NoHigh;
    for (auto run = firstRunUntil(lowest);
         run != m_runs.cend() && keyAt(*run, run->from) <= highest; ++run) {
        float runLow = 0;
        float runHigh = 0;
        if (extremes(*run, lowerIndex(*run, lowest), upperIndex(*run, highest), runLow, runHigh)) {
            low = std::min(low, runLow);
            high = std::max(high, runHigh);
        }
    }
    foundRange = low <= high;
    return foundRange ? QCPRange(double(low), double(high)) : QCPRange();
}
