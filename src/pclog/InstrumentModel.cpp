#include "InstrumentModel.h"

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
