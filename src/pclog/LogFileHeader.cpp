// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogFileHeader.h"

#include "link/InstrumentModel.h"

#include "common/DataFileText.h"
#include "common/NumberFormat.h"

QStringList LogFileHeader(const LogFileInfo &info, const QDateTime &now, QChar separator)
{
    QStringList lines;
    lines << DataFileFirstLine(LogFileModelWord(info.version), QStringLiteral("Logger Data file "),
                               now);
    lines << DataFileSecondLine(info.version, info.serialNumber);

    QString units = DataFileUnitsLine(info.units);
    if (info.version.startsWith(QLatin1String("ZQ3")) && info.individual)
        units += separator + QStringLiteral("Individual readings in umol.m-2.s-1");
    lines << units;

    if (info.individual) {
        QString factors = QStringLiteral("Calibration values:");
        for (size_t i = 0; i < 8; ++i)
            factors += separator + FormatNumber(info.calValues[i], QStringLiteral("0"));
        lines << factors;
    }

    QString columns = DataFileColumns().join(separator);
    if (info.individual) {
        for (int i = 0; i < 8; ++i)
            columns += separator + QStringLiteral("P") + QString::number(i);
    }
    if (IsTemperatureModel(info.version))
        columns += separator + QStringLiteral("Temp");
    lines << columns;
    return lines;
}
