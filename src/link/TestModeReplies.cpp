// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TestModeReplies.h"

#include "common/HexText.h"
#include "common/NumericText.h"
#include "link/InstrumentText.h"

namespace {

constexpr int HexDumpFullLength = 880;
constexpr int UserLineFullLength = 100;
constexpr int ShortestTemperatureReply = 25;
constexpr int ShortestDetailsReply = 5;

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

// The eight blank-separated counts of "(c0 c1 ... c7)", given the text after "(".
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

// Field k of the reply to "X"; see ParseDetailsReply.
QString detailField(const QString &reply, int k)
{
    const auto start = reply.indexOf(QString::number(k) + QLatin1Char(':'));
    if (start < 0)
        return QString();
    auto end = reply.indexOf(QLatin1Char('\r'), start);
    if (end < 0)
        end = reply.size();
    const auto first = start + 3;
    return end > first
               ? CutToWidth(InstrumentText(reply.mid(first, end - first)), MaxDetailsFieldLength)
               : QString();
}

} // namespace

ParsedReply<std::array<qint32, 8>> ParseHexDumpCalibration(const QString &reply)
{
    const qsizetype marker = reply.indexOf(QLatin1String("0x00:"));
    if (reply.size() < HexDumpFullLength && marker < 0)
        return ParsedReply<std::array<qint32, 8>>::refused(
            QStringLiteral("short reply without \"0x00:\""));

    const QString fields = reply.mid(marker + 6, 48);
    std::array<qint32, 8> factors{};
    for (int i = 0; i < 8; ++i) {
        const int high = HexToValue(fields.mid(6 * i, 2));
        const int low = HexToValue(fields.mid(6 * i + 3, 2));
        factors[static_cast<size_t>(i)] = 256 * high + low;
    }
    return ParsedReply<std::array<qint32, 8>>::read(factors);
}

ParsedReply<UserLineFactors> ParseUserLineCalibration(const QString &reply)
{
    const qsizetype marker = reply.indexOf(QLatin1String("User:"));
    if (reply.size() < UserLineFullLength && marker < 0)
        return ParsedReply<UserLineFactors>::refused(
            QStringLiteral("short reply without \"User:\""));

    const QString fields = reply.mid(marker + 9, 42);
    UserLineFactors factors;
    for (int i = 0; i < 8; ++i) {
        const std::optional<double> value = fieldValue(fields.mid(6 * i, 5));
        factors[static_cast<size_t>(i)] = value ? ToInt32(*value) : std::nullopt;
    }
    return ParsedReply<UserLineFactors>::read(factors);
}

ParsedReply<IndividualReadingReply> ParseIndividualReadingReply(const QString &reply)
{
    const qsizetype echo = reply.lastIndexOf(QLatin1Char('S'));
    if (echo < 0 || !reply.endsWith(QLatin1Char(')')))
        return ParsedReply<IndividualReadingReply>::refused(QStringLiteral("not \"S\" ... \")\""));

    IndividualReadingReply fields;
    QString rest = reply.mid(echo + 1);
    fields.total = fieldValue(rest);
    rest = textAfter(rest, QLatin1Char(','));
    fields.diffuse = fieldValue(rest);
    rest = textAfter(rest, QLatin1Char(','));
    fields.sun = fieldValue(rest);
    fields.counts = parseCounts(textAfter(rest, QLatin1Char('(')));
    return ParsedReply<IndividualReadingReply>::read(fields);
}

ParsedReply<TemperatureReply> ParseTemperatureReply(const QString &reply)
{
    const qsizetype therm = reply.indexOf(QLatin1String("Therm temp"));
    if (therm < 0 || reply.size() < ShortestTemperatureReply)
        return ParsedReply<TemperatureReply>::refused(
            QStringLiteral("no \"Therm temp\" or shorter than 25 characters"));

    TemperatureReply temperatures;
    temperatures.thermistor = fieldValue(reply.mid(therm + 10, 7));
    const qsizetype chip = reply.indexOf(QLatin1String("Chip temp"));
    temperatures.chip = chip >= 0 ? fieldValue(reply.mid(chip + 9, 7)) : 0.0;
    return ParsedReply<TemperatureReply>::read(temperatures);
}

ParsedReply<SensorDetails> ParseDetailsReply(const QString &reply)
{
    if (reply.size() < ShortestDetailsReply)
        return ParsedReply<SensorDetails>::refused(QStringLiteral("shorter than 5 characters"));
    return ParsedReply<SensorDetails>::read({detailField(reply, 0), detailField(reply, 1)});
}

ParsedReply<QString> ParseRatioReply(const QString &reply)
{
    const auto found = reply.indexOf(QLatin1String("ratio"));
    if (found < 0)
        return ParsedReply<QString>::refused(QStringLiteral("no \"ratio\""));
    return ParsedReply<QString>::read(reply.mid(found + 5, 5));
}
