// SPDX-License-Identifier: GPL-3.0-or-later
#include "SensorReader.h"

#include "link/InstrumentModel.h"

#include "common/NumericText.h"
#include "link/SensorLink.h"
#include "link/TestModeReplies.h"

#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr int SensorTimeoutMs = 2000;
constexpr int TemperatureTimeoutMs = 2000;

const QString Overflow = QStringLiteral("Overflow");

// Sums are single precision: a value or a result beyond its range is an overflow, not
// an infinity.
bool fitsSingle(double value)
{
    return std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

bool addToSingle(float &sum, double value)
{
    if (!fitsSingle(value))
        return false;
    const float result = sum + static_cast<float>(value);
    if (!std::isfinite(result))
        return false;
    sum = result;
    return true;
}

bool addToInt16(qint16 &count, double value)
{
    const std::optional<qint16> result = ToInt16(static_cast<double>(count) + value);
    if (!result)
        return false;
    count = *result;
    return true;
}

// Counts to umol.m-2.s-1 in single precision: a count of 4096 with factor 4096 is 2500.
float channelReading(float calibratedCounts)
{
    return calibratedCounts * 2500.0f / 4096.0f / 4096.0f;
}

} // namespace

ReadingOutcome SensorReader::GetIndividualReadings(ReadingSums &sums,
                                                   const CalibrationValues &factors,
                                                   bool individual)
{
    if (!m_link.Connected())
        return {};
    return individual ? individualReading(sums, factors) : plainReading(sums);
}

ReadingOutcome SensorReader::plainReading(ReadingSums &sums)
{
    if (!m_link.GetReadings())
        return {};
    if (!addToSingle(sums.TotalSum, m_link.Total()) ||
        !addToSingle(sums.DiffuseSum, m_link.Diffuse()) ||
        (m_link.Sun() && !addToInt16(sums.SunCount, 1)) || !addToInt16(sums.ReadingCount, 1))
        return {false, Overflow};
    return {true, {}};
}

ReadingOutcome SensorReader::individualReading(ReadingSums &sums, const CalibrationValues &factors)
{
    const ParsedReply<IndividualReadingReply> parsed =
        ParseIndividualReadingReply(m_link.TestCommand(QStringLiteral("S"), SensorTimeoutMs));
    if (!parsed.ok())
        return {};
    const IndividualReadingReply &fields = *parsed.value;
    const ReadingOutcome overflow{false, Overflow};

    // Each field is added before the next is looked at: what was added before an
    // overflow stays.
    if (!fields.total || !addToSingle(sums.TotalSum, *fields.total))
        return overflow;
    if (!fields.diffuse || !addToSingle(sums.DiffuseSum, *fields.diffuse))
        return overflow;
    if (!fields.sun || !addToInt16(sums.SunCount, *fields.sun))
        return overflow;
    const std::optional<std::array<qint16, 8>> &counts = fields.counts;
    if (!counts)
        return overflow;

    // Channel 0 is the reference; every other channel is channel 0's reading plus its own
    // calibrated difference from channel 0.
    const float c0 = (*counts)[0];
    const float k0 = static_cast<float>(factors[0]);
    if (!addToSingle(sums.IndividualSums[0], channelReading(k0 * c0)))
        return overflow;
    for (size_t i = 1; i < 8; ++i) {
        const std::optional<qint16> difference = ToInt16(double((*counts)[i]) - (*counts)[0]);
        if (!difference)
            return overflow;
        const float ki = static_cast<float>(factors[i]);
        const float reading = channelReading(k0 * c0 + ki * float(*difference));
        if (!addToSingle(sums.IndividualSums[i], reading))
            return overflow;
    }

    if (!addToInt16(sums.ReadingCount, 1))
        return overflow;
    m_link.Connect();
    return {true, {}};
}

ReadingOutcome SensorReader::GetTemp(ReadingSums &sums)
{
    if (!m_link.Connected() || !IsTemperatureModel(m_link.Version()))
        return {};
    const ParsedReply<TemperatureReply> parsed =
        ParseTemperatureReply(m_link.TestCommand(QStringLiteral("I"), TemperatureTimeoutMs));
    if (!parsed.ok())
        return {};
    const std::optional<double> &thermistor = parsed.value->thermistor;
    const std::optional<double> &chip = parsed.value->chip;
    m_link.Connect();
    if (!thermistor || !chip || !addToSingle(sums.ThermSum, *thermistor) ||
        !addToSingle(sums.ChipSum, *chip) || !addToInt16(sums.TempCount, 1))
        return {false, Overflow};
    m_link.DelayMs(50);
    return {true, {}};
}
