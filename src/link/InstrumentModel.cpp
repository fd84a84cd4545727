// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/InstrumentModel.h"

bool IsTemperatureModel(const QString &version)
{
    return !version.contains(QLatin1String("ZQ2")) && !version.contains(QLatin1String("ZQ3 v2."));
}

QString LogFileModelWord(const QString &version)
{
    const qsizetype blank = version.indexOf(QLatin1Char(' '));
    const qsizetype length = blank + 1;
    if (blank >= 0 && (length == 4 || length == 5))
        return version.left(length);
    return QStringLiteral("ZQ3&4 ");
}

bool HasDetailsCommands(const QString &version)
{
    const QString model = version.left(3);
    return model != QLatin1String("ZQ2") && model != QLatin1String("ZQ3");
}

std::optional<FixedUnits> FixedUnitsOf(const QString &version)
{
    if (version.left(3) == QLatin1String("ZQ2"))
        return FixedUnits{QStringLiteral("ZQ2"), 0};
    if (version.left(3) == QLatin1String("ZQ4"))
        return FixedUnits{QStringLiteral("ZQ4"), 1};
    if (version.left(4) == QLatin1String("VTA1"))
        return FixedUnits{QStringLiteral("VTA1"), 1};
    return std::nullopt;
}

CalibrationChoice ChooseCalibration(const QString &version)
{
    if (version.startsWith(QLatin1String("ZQ2")))
        return {CalibrationSource::HexDump,
                QStringLiteral("Failed to read ZQ2 calibration values")};
    if (version.startsWith(QLatin1String("ZQ3"))) {
        const CalibrationSource source = version.contains(QLatin1String("v2."))
                                             ? CalibrationSource::UserLine
                                             : CalibrationSource::HexDump;
        return {source, QStringLiteral("Failed to read ZQ3 calibration values")};
    }
    if (version.startsWith(QLatin1String("ZQ")) || version.startsWith(QLatin1String("VTA")))
        return {CalibrationSource::UserLine,
                QStringLiteral("Failed to read ZQ/VTA calibration values")};
    return {CalibrationSource::Unrecognised, QString()};
}
