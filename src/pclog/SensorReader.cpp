#include "SensorReader.h"

#include "link/InstrumentModel.h"

#include "common/NumericText.h"
#include "link/SensorLink.h"

#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr int SensorTimeoutMs = 2000;
constexpr int TemperatureTimeoutMs = 2000;
constexpr int ShortestTemperatureReply = 25;

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

// The numeric value of a reply field, empty when it is too large for a double.
std::optional<double> fieldValue(const QString &text)
{
    bool overflow = false;
    const double value = NumericValue(text, &overflow);
    if (overflow)
        return std::nullopt;
    return value;
}

// The text after the first `separator`; the whole text when there is none.
QString textAfter(const QString &text, QChar separator)
{
    return text.mid(text.indexOf(separator) + 1);
}

QString withoutLeadingBlanks(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    return text.mid(i);
}

// The eight blank-separated counts of "(c0 c1 ... c7)", given the text after "(". When the
// blanks run out early the rest is read again for every remaining channel.
std::optional<std::array<qint16, 8>> parseCounts(QString rest)
{
    std::array<qint16, 8> counts{};
    for (qint16 &count : counts) {
        rest = withoutLeadingBlanks(rest);
        const qsizetype blank = rest.indexOf(QLatin1Char(' '));
        const std::optional<double> value = fieldValue(blank >= 0 ? rest.left(blank) : rest);
        if (blank >= 0)
            rest = rest.mid(blank + 1);
        const std::optional<qint16> rounded = value ? ToInt16(*value) : std::nullopt;
        if (!rounded)
            return std::nullopt;
        count = *rounded;
    }
    return counts;
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
    // "S" total "," diffuse "," sun "(" eight blank-separated counts ")"
    QString reply = m_link.TestCommand(QStringLiteral("S"), SensorTimeoutMs);
    if (!reply.startsWith(QLatin1Char('S')) || !reply.endsWith(QLatin1Char(')')))
        return {};
    const ReadingOutcome overflow{false, Overflow};

    reply = reply.mid(1);
    std::optional<double> value = fieldValue(reply);
    if (!value || !addToSingle(sums.TotalSum, *value))
        return overflow;
    reply = textAfter(reply, QLatin1Char(','));
    value = fieldValue(reply);
    if (!value || !addToSingle(sums.DiffuseSum, *value))
        return overflow;
    reply = textAfter(reply, QLatin1Char(','));
    value = fieldValue(reply);
    if (!value || !addToInt16(sums.SunCount, *value))
        return overflow;

    const std::optional<std::array<qint16, 8>> counts =
        parseCounts(textAfter(reply, QLatin1Char('(')));
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
    const QString reply = m_link.TestCommand(QStringLiteral("I"), TemperatureTimeoutMs);
    const qsizetype therm = reply.indexOf(QLatin1String("Therm temp"));
    if (therm < 0 || reply.size() < ShortestTemperatureReply)
        return {};

    // Each temperature is the 7 characters right after its name.
    const std::optional<double> thermistor = fieldValue(reply.mid(therm + 10, 7));
    const qsizetype chipAt = reply.indexOf(QLatin1String("Chip temp"));
    const std::optional<double> chip = chipAt >= 0 ? fieldValue(reply.mid(chipAt + 9, 7)) : 0.0;
    m_link.Connect();
    if (!thermistor || !chip || !addToSingle(sums.ThermSum, *thermistor) ||
        !addToSingle(sums.ChipSum, *chip))
        return {false, Overflow};
    m_link.DelayMs(50);
    return {true, {}};
}
