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

bool CalibrationReader::ReadZQ3Calibration(CalibrationValues &values, QString &output)
{
    const ParsedReply<std::array<qint32, 8>> parsed =
        ParseHexDumpCalibration(m_link.TestCommand(QStringLiteral("E"), HexDumpTimeoutMs));
    if (!parsed.ok())
        return false;
    std::copy(parsed.value->begin(), parsed.value->end(), values.begin());
    output += FactorLine(values);
    return true;
}

bool CalibrationReader::ReadZQ4Calibration(CalibrationValues &values, QString &output,
                                           QString &error)
{
    const ParsedReply<UserLineFactors> parsed =
        ParseUserLineCalibration(m_link.TestCommand(QStringLiteral("E"), UserLineTimeoutMs));
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

CalibrationOutcome CalibrationReader::ReadForModel(CalibrationValues &values)
{
    const QString version = m_link.Version();
    const CalibrationChoice choice = ChooseCalibration(version);
    CalibrationOutcome outcome;
    switch (choice.source) {
    case CalibrationSource::HexDump:
        outcome.ok = ReadZQ3Calibration(values, outcome.output);
        break;
    case CalibrationSource::UserLine:
        outcome.ok = ReadZQ4Calibration(values, outcome.output, outcome.error);
        break;
    case CalibrationSource::Unrecognised:
        for (size_t i = 0; i < 8; ++i)
            values[i] = 4096;
        outcome.ok = true;
        outcome.message = version + QStringLiteral(" not recognised by this software");
        return outcome;
    }
    if (!outcome.ok)
        outcome.message = choice.failureMessage;
    return outcome;
}
