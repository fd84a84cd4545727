// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/SunBand.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int ShadeSteps = 16;

} // namespace

SunBand::SunBand(QCPAxis *keyAxis, QCPAxis *valueAxis, const QVector<PlotSection> &sections)
    : SeriesGraph(keyAxis, valueAxis, sections)
{
    setSelectable(QCP::stNone);
    setLineStyle(lsNone);
    setPen(Qt::NoPen);
}

void SunBand::setStripe(int stripe, int stripes)
{
    m_stripes = std::max(stripes, 1);
    m_stripe = std::clamp(stripe, 0, m_stripes - 1);
}

double SunBand::sunshineOf(const Run &run, qsizetype i) const
{
    const float value = valueAt(run, i);
    return std::isnan(value) || value <= 0 ? 0 : std::min(double(value), 1.0) * holdAt(run, i);
}

void SunBand::updateRunningTotals()
{
    // Records are only ever added at the end: the totals of the runs before the last one
    // known stay, and of that one the blocks before its last record's (whose hold is
    // measured again now that it may have a successor).
    std::size_t r = m_totals.empty() ? 0 : m_totals.size() - 1;
    m_totals.resize(runs().size());
    for (; r < runs().size(); ++r) {
        const Run &run = runs()[r];
        RunTotals &totals = m_totals[r];
        const qsizetype first = totals.records > 0 ? (totals.records - 1) / BlockSize : 0;
        double total =
            first > 0 ? totals.before[std::size_t(first)] : (r > 0 ? m_totals[r - 1].end : 0.0);
        const qsizetype count = run.to - run.from;
        totals.before.resize(std::size_t((count + BlockSize - 1) / BlockSize));
        for (qsizetype b = first; b < qsizetype(totals.before.size()); ++b) {
            totals.before[std::size_t(b)] = total;
            const qsizetype start = run.from + b * BlockSize;
            for (qsizetype i = start; i < std::min(start + BlockSize, run.to); ++i)
                total += sunshineOf(run, i);
        }
        totals.end = total;
        totals.records = count;
    }
    m_totalled = recordCount();
}

double SunBand::sunshineUntil(double key) const
{
    // The last run starting at or before the key, and its last record at or before it.
    const auto after =
        std::partition_point(runs().cbegin(), runs().cend(),
                             [this, key](const Run &run) { return keyAt(run, run.from) <= key; });
    if (after == runs().cbegin())
        return 0;
    const Run &run = *(after - 1);
    const RunTotals &totals = m_totals[std::size_t(after - 1 - runs().cbegin())];
    const qsizetype last = upperIndex(run, key) - 1;
    const qsizetype block = (last - run.from) / BlockSize;
    double total = totals.before[std::size_t(block)];
    for (qsizetype i = run.from + block * BlockSize; i < last; ++i)
        total += sunshineOf(run, i);
    const float value = valueAt(run, last);
    const double held = std::clamp(key - keyAt(run, last), 0.0, holdAt(run, last));
    return total + (std::isnan(value) || value <= 0 ? 0 : std::min(double(value), 1.0) * held);
}

void SunBand::draw(QCPPainter *painter)
{
    if (m_totalled != recordCount())
        updateRunningTotals();
    const QRect area = keyAxis()->axisRect()->rect();
    // The shade of each column: the share of sunshine in steps of 1/16.
    std::vector<int> shades(std::size_t(std::max(area.width(), 0)), 0);
    double sunshine = sunshineUntil(keyAxis()->pixelToCoord(area.left()));
    for (std::size_t column = 0; column < shades.size(); ++column) {
        const double from = keyAxis()->pixelToCoord(area.left() + int(column));
        const double to = keyAxis()->pixelToCoord(area.left() + int(column) + 1);
        const double next = sunshineUntil(to);
        const double share = to > from ? std::clamp((next - sunshine) / (to - from), 0.0, 1.0) : 0;
        sunshine = next;
        shades[column] = int(std::lround(share * ShadeSteps));
    }
    const int top = area.top() + area.height() * m_stripe / m_stripes;
    const int bottom = area.top() + area.height() * (m_stripe + 1) / m_stripes;
    painter->setPen(Qt::NoPen);
    painter->setAntialiasing(false);
    const QColor full = brush().color();
    std::size_t runStart = 0;
    for (std::size_t column = 1; column <= shades.size(); ++column) {
        const int shade = shades[runStart];
        if (column < shades.size() && shades[column] == shade)
            continue;
        if (shade > 0) {
            // Opaque colours between white and the full shade: a translucent fill would
            // take ten times as long.
            const double f = double(shade) / ShadeSteps;
            painter->setBrush(QColor::fromRgbF(float(1 - f * (1 - full.redF())),
                                               float(1 - f * (1 - full.greenF())),
                                               float(1 - f * (1 - full.blueF()))));
            painter->drawRect(
                QRect(area.left() + int(runStart), top, int(column - runStart), bottom - top));
        }
        runStart = column;
    }
}
