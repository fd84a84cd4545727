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
// The instrument rests after the handshake that ends a temperature read.
constexpr int TemperaturePauseMs = 50;

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

// Tells `done` from the link's queue, so that it never runs inside the request that
// asked: nothing went on the line.
void tellFromQueue(SensorLink &link, const SensorReader::Done &done, ReadingOutcome outcome)
{
    link.requestPause(0, [done, outcome](bool) { done(outcome); });
}

ReadingOutcome failedWith(const QString &why, const ReadingSums &sums)
{
    return {false, {}, why, sums};
}

// Adds the fields of an individual reading; an overflow keeps what was added before it.
ReadingOutcome addIndividual(const IndividualReadingReply &fields, const CalibrationValues &factors,
                             ReadingSums sums)
{
    // Each field is added before the next is looked at: what was added before an
    // overflow stays.
    if (!fields.total || !addToSingle(sums.TotalSum, *fields.total))
        return {false, Overflow, {}, sums};
    if (!fields.diffuse || !addToSingle(sums.DiffuseSum, *fields.diffuse))
        return {false, Overflow, {}, sums};
    if (!fields.sun || !addToInt16(sums.SunCount, *fields.sun))
        return {false, Overflow, {}, sums};
    const std::optional<std::array<qint16, 8>> &counts = fields.counts;
    if (!counts)
        return {false, Overflow, {}, sums};

    // Channel 0 is the reference; every other channel is channel 0's reading plus its own
    // calibrated difference from channel 0.
    const float c0 = (*counts)[0];
    const float k0 = static_cast<float>(factors[0]);
    if (!addToSingle(sums.IndividualSums[0], channelReading(k0 * c0)))
        return {false, Overflow, {}, sums};
    for (size_t i = 1; i < 8; ++i) {
        const std::optional<qint16> difference = ToInt16(double((*counts)[i]) - (*counts)[0]);
        if (!difference)
            return {false, Overflow, {}, sums};
        const float ki = static_cast<float>(factors[i]);
        const float reading = channelReading(k0 * c0 + ki * float(*difference));
        if (!addToSingle(sums.IndividualSums[i], reading))
            return {false, Overflow, {}, sums};
    }
    if (!addToInt16(sums.ReadingCount, 1))
        return {false, Overflow, {}, sums};
    return {true, {}, {}, sums};
}

} // namespace

void SensorReader::requestReading(const ReadingSums &sums, const CalibrationValues &factors,
                                  bool individual, Done done)
{
    SensorLink *const link = &m_link;
    if (!individual) {
        link->requestReadings([link, done, sums](bool read) {
            if (!read) {
                done(failedWith(link->Status(), sums));
                return;
            }
            ReadingSums added = sums;
            if (!addToSingle(added.TotalSum, link->Total()) ||
                !addToSingle(added.DiffuseSum, link->Diffuse()) ||
                (link->Sun() && !addToInt16(added.SunCount, 1)) ||
                !addToInt16(added.ReadingCount, 1))
                done({false, Overflow, {}, added});
            else
                done({true, {}, {}, added});
        });
        return;
    }
    link->requestTestCommand(
        QStringLiteral("S"), SensorTimeoutMs, [link, done, sums, factors](const QString &reply) {
            if (reply.isEmpty()) {
                done(failedWith(link->Status(), sums));
                return;
            }
            const ParsedReply<IndividualReadingReply> parsed = ParseIndividualReadingReply(reply);
            if (!parsed.ok()) {
                done(failedWith(QStringLiteral("reply to \"S\": ") + parsed.failure, sums));
                return;
            }
            const ReadingOutcome added = addIndividual(*parsed.value, factors, sums);
            if (!added.ok) {
                done(added);
                return;
            }
            // Out of test mode; the handshake's result is not examined.
            link->requestConnect([done, added](bool) { done(added); });
        });
}

void SensorReader::requestTemperatures(const ReadingSums &sums, Done done)
{
    SensorLink *const link = &m_link;
    if (!link->Connected() || !IsTemperatureModel(link->Version())) {
        tellFromQueue(*link, done, failedWith(QString(), sums));
        return;
    }
    link->requestTestCommand(
        QStringLiteral("I"), TemperatureTimeoutMs, [link, done, sums](const QString &reply) {
            const ParsedReply<TemperatureReply> parsed = ParseTemperatureReply(reply);
            if (!parsed.ok()) {
                done(failedWith(reply.isEmpty()
                                    ? link->Status()
                                    : QStringLiteral("reply to \"I\": ") + parsed.failure,
                                sums));
                return;
            }
            const TemperatureReply temperatures = *parsed.value;
            link->requestConnect([link, done, sums, temperatures](bool) {
                ReadingSums added = sums;
                if (!temperatures.thermistor || !temperatures.chip ||
                    !addToSingle(added.ThermSum, *temperatures.thermistor) ||
                    !addToSingle(added.ChipSum, *temperatures.chip) ||
                    !addToInt16(added.TempCount, 1)) {
                    done({false, Overflow, {}, added});
                    return;
                }
                link->requestPause(TemperaturePauseMs, [done, added](bool) {
                    done({true, {}, {}, added});
                });
            });
        });
}
