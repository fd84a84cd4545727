// SPDX-License-Identifier: GPL-3.0-or-later
#include "PeriodLines.h"

#include "common/DataFileText.h"
#include "common/NamedFormats.h"
#include "common/NumberFormat.h"
#include "common/TextPadding.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

constexpr int FirstSensor = 1;
constexpr int Sensors = 8;

float average(float sum, qint16 count)
{
    return sum / static_cast<float>(count);
}

// A temperature average in `pattern`, or an empty text when no temperature was read in
// the period (a missing value is left empty, never written as a made-up 0.0).
QString temperature(float sum, qint16 count, const QString &pattern)
{
    return count < 1 ? QString() : FormatNumber(average(sum, count), pattern);
}

float individualSum(const ReadingSums &sums, int channel)
{
    return sums.IndividualSums[static_cast<size_t>(channel)];
}

// The averages of a period as file fields, before any separator.
QStringList FileFields(const ReadingSums &sums, const LineSettings &settings)
{
    const qint16 readings = sums.ReadingCount;
    if (readings < 1)
        return {QStringLiteral("bad readings")};
    const QString oneDecimal = QStringLiteral("0.0");
    QStringList fields{FormatNumber(average(sums.TotalSum, readings), settings.fmt),
                       FormatNumber(average(sums.DiffuseSum, readings), settings.fmt),
                       FormatNumber(average(sums.SunCount, readings), oneDecimal)};
    if (settings.individual) {
        for (int i = 0; i < Sensors; ++i)
            fields << FormatNumber(average(individualSum(sums, i), readings), oneDecimal);
    }
    if (settings.temperatureModel) {
        fields << temperature(sums.ThermSum, sums.TempCount, oneDecimal);
        if (settings.testMenu)
            fields << temperature(sums.ChipSum, sums.TempCount, oneDecimal);
    }
    return fields;
}

} // namespace

QString AveragePattern(const QString &units)
{
    return units.contains(QLatin1String("klux")) ? QStringLiteral("0.00") : QStringLiteral("0.0");
}

QString ScreenHeading(const LineSettings &settings)
{
    QString heading = QStringLiteral("  Time      Total Diffuse  Sun");
    if (settings.individual)
        heading += QStringLiteral("     P0     P1     P2     P3     P4     P5     P6     P7");
    if (settings.temperatureModel)
        heading += QStringLiteral("   Temp");
    return heading;
}

QString ScreenLine(const ReadingSums &sums, const QTime &periodEnd, const LineSettings &settings)
{
    QString line = LongTimeText(periodEnd) + QLatin1Char(' ');
    const qint16 readings = sums.ReadingCount;
    if (readings < 1)
        return line + QStringLiteral("bad readings");

    line += PadLeft(FormatNumber(average(sums.TotalSum, readings), settings.fmt), 8);
    line += PadLeft(FormatNumber(average(sums.DiffuseSum, readings), settings.fmt), 8);
    line += FormatNumber(average(sums.SunCount, readings), QStringLiteral("  0.0"));

    // The spread of sensors 1..7: the largest sum over the smallest.
    float largest = std::numeric_limits<float>::lowest();
    float smallest = std::numeric_limits<float>::max();
    if (settings.individual) {
        for (int i = 0; i < Sensors; ++i) {
            const float sum = individualSum(sums, i);
            line += PadLeft(FormatNumber(average(sum, readings), QStringLiteral(" ###0.0")), 7);
            if (i >= FirstSensor) {
                largest = std::max(largest, sum);
                smallest = std::min(smallest, sum);
            }
        }
    }
    if (settings.temperatureModel) {
        const QString pattern = QStringLiteral(" ##0.0");
        line += PadLeft(temperature(sums.ThermSum, sums.TempCount, pattern), 7);
        if (settings.testMenu)
            line += PadLeft(temperature(sums.ChipSum, sums.TempCount, pattern), 7);
    }
    if (settings.testMenu && settings.individual && smallest > 0)
        line += PadLeft(FormatNumber(largest / smallest, QStringLiteral("#0.000")), 7);
    return line;
}

QString FileLine(const ReadingSums &sums, const QDateTime &periodEnd, const LineSettings &settings,
                 QChar separator)
{
    const QString stamp = settings.isoTimes ? IsoLocalTimeText(periodEnd)
                                            : ShortDateText(periodEnd.date()) + QLatin1Char(' ') +
                                                  LongTimeText(periodEnd.time());
    QString line = DataFileField(stamp, separator);
    for (const QString &field : FileFields(sums, settings))
        line += separator + DataFileField(field, separator);
    return line;
}
