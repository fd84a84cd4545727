#include "CalibrationReader.h"

#include "link/InstrumentModel.h"

#include "common/HexText.h"
#include "common/NumericText.h"
#include "link/SensorLink.h"

namespace {

constexpr int HexDumpTimeoutMs = 4000;
constexpr int UserLineTimeoutMs = 2000;
// A reply at least this long is parsed even without its marker.
constexpr int HexDumpFullLength = 880;
constexpr int UserLineFullLength = 100;

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
    const QString reply = m_link.TestCommand(QStringLiteral("E"), HexDumpTimeoutMs);
    const qsizetype marker = reply.indexOf(QLatin1String("0x00:"));
    if (reply.size() < HexDumpFullLength && marker < 0)
        return false;

    // The dump line after "0x00:" and one blank: per channel two hexadecimal digit pairs,
    // high byte first, each pair followed by a blank. Without the marker the fields are
    // taken from the sixth character on.
    const QString fields = reply.mid(marker + 6, 48);
    for (int i = 0; i < 8; ++i) {
        const int high = HexToValue(fields.mid(6 * i, 2));
        const int low = HexToValue(fields.mid(6 * i + 3, 2));
        values[static_cast<size_t>(i)] = 256 * high + low;
    }
    output += FactorLine(values);
    return true;
}

bool CalibrationReader::ReadZQ4Calibration(CalibrationValues &values, QString &output,
                                           QString &error)
{
    const QString reply = m_link.TestCommand(QStringLiteral("E"), UserLineTimeoutMs);
    const qsizetype marker = reply.indexOf(QLatin1String("User:"));
    if (reply.size() < UserLineFullLength && marker < 0)
        return false;

    // Fields of five characters, one separator apart, from the fifth character after the
    // colon of "User:". Only seven fit in the 42 characters taken, so element 8 gets 0.
    const QString fields = reply.mid(marker + 9, 42);
    CalibrationValues read = values;
    read[0] = 4096;
    for (int i = 0; i < 8; ++i) {
        bool overflow = false;
        const double value = NumericValue(fields.mid(6 * i, 5), &overflow);
        const std::optional<qint32> factor = ToInt32(value);
        if (overflow || !factor) {
            error = QStringLiteral("Overflow");
            return false;
        }
        read[static_cast<size_t>(i) + 1] = *factor;
    }
    values = read;
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
