#include "plot/ui/SunBand.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int ShadeSteps = 16;

} // namespace

SunBand::SunBand(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis)
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

void SunBand::updateRunningTotals()
{
    const qsizetype count = data()->size();
    // Records are only ever added at the end: the totals before the last one known stay,
    // and that one's hold is measured again now that it has a successor.
    const qsizetype known = std::min<qsizetype>(qsizetype(m_before.size()), count);
    const qsizetype start = known > 0 ? known - 1 : 0;
    double total = start > 0 ? m_before[std::size_t(start)] : 0;
    double previousStep = start > 0 ? m_holds[std::size_t(start - 1)] : 0;
    m_before.resize(std::size_t(count), 0.0);
    m_holds.resize(std::size_t(count), 0.0);
    for (qsizetype i = start; i < count; ++i) {
        const QCPGraphData &record = *(data()->constBegin() + i);
        const bool last = i + 1 == count;
        const bool beforeGap = !last && std::isnan((data()->constBegin() + i + 1)->value);
        double step = previousStep;
        if (!last && !beforeGap)
            step = (data()->constBegin() + i + 1)->key - record.key;
        previousStep = step;
        m_before[std::size_t(i)] = total;
        m_holds[std::size_t(i)] = std::max(step, 0.0);
        if (!std::isnan(record.value) && record.value > 0)
            total += std::min(record.value, 1.0) * m_holds[std::size_t(i)];
    }
}

double SunBand::sunshineUntil(double key)
{
    const auto after =
        std::upper_bound(data()->constBegin(), data()->constEnd(), key,
                         [](double k, const QCPGraphData &record) { return k < record.key; });
    if (after == data()->constBegin())
        return 0;
    const auto i = std::size_t(after - data()->constBegin() - 1);
    const double value = (after - 1)->value;
    const double held = std::min(key - (after - 1)->key, m_holds[i]);
    return m_before[i] + (std::isnan(value) || value <= 0 ? 0 : std::min(value, 1.0) * held);
}

void SunBand::draw(QCPPainter *painter)
{
    if (m_before.size() != std::size_t(data()->size()))
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
