// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalibrationReader.h"

#include "link/InstrumentModel.h"

#include "link/SensorLink.h"
#include "link/TestModeReplies.h"

#include <algorithm>

namespace {

constexpr int HexDumpTimeoutMs = 4000;
constexpr int UserLineTimeoutMs = 2000;

// The factors as the output box shows them: each followed by one blank, then CR LF.
QString FactorLine(const CalibrationValues &values)
{
    QString line;
    for (int i = 0; i < 8; ++i)
        line += QString::number(values[static_cast<size_t>(i)]) + QLatin1Char(' ');
    return line + QStringLiteral("\r\n");
}

} // namespace

bool CalibrationReader::ReadZQ3Calibration(const QString &reply, CalibrationValues &values,
                                           QString &output)
{
    const ParsedReply<std::array<qint32, 8>> parsed = ParseHexDumpCalibration(reply);
    if (!parsed.ok())
        return false;
    std::copy(parsed.value->begin(), parsed.value->end(), values.begin());
    output += FactorLine(values);
    return true;
}

bool CalibrationReader::ReadZQ4Calibration(const QString &reply, CalibrationValues &values,
                                           QString &output, QString &error)
{
    const ParsedReply<UserLineFactors> parsed = ParseUserLineCalibration(reply);
    if (!parsed.ok())
        return false;

    // Channel 0 is the reference; the user factors fill elements 1..8.
    CalibrationValues factors = values;
    factors[0] = 4096;
    for (size_t i = 0; i < parsed.value->size(); ++i) {
        const std::optional<qint32> &factor = (*parsed.value)[i];
        if (!factor) {
            error = QStringLiteral("Overflow");
            return false;
        }
        factors[i + 1] = *factor;
    }
    values = factors;
    output += FactorLine(values);
    return true;
}

void CalibrationReader::requestForModel(const CalibrationValues &values, Done done)
{
    SensorLink *const link = &m_link;
    const QString version = link->Version();
    const CalibrationChoice choice = ChooseCalibration(version);
    CalibrationOutcome outcome;
    outcome.values = values;
    if (choice.source == CalibrationSource::Unrecognised) {
        for (size_t i = 0; i < 8; ++i)
            outcome.values[i] = 4096;
        outcome.ok = true;
        outcome.message = version + QStringLiteral(" not recognised by this software");
        // Told from the link's queue all the same: never inside the request.
        link->requestPause(0, [done, outcome](bool) { done(outcome); });
        return;
    }
    const bool hexDump = choice.source == CalibrationSource::HexDump;
    link->requestTestCommand(
        QStringLiteral("E"), hexDump ? HexDumpTimeoutMs : UserLineTimeoutMs,
        [link, done, outcome, hexDump, choice](const QString &reply) mutable {
            outcome.ok =
                hexDump ? ReadZQ3Calibration(reply, outcome.values, outcome.output)
                        : ReadZQ4Calibration(reply, outcome.values, outcome.output, outcome.error);
            if (!outcome.ok) {
                outcome.message = choice.failureMessage;
                outcome.failure =
                    reply.isEmpty() ? link->Status() : QStringLiteral("reply to \"E\": no factors");
            }
            done(outcome);
        });
}
