#include "LogFileHeader.h"

#include "link/InstrumentModel.h"

#include "common/NamedFormats.h"
#include "common/NumberFormat.h"

QChar LogFileSeparator(const QString &fileName)
{
    return fileName.endsWith(QLatin1String("csv"), Qt::CaseSensitive) ? QLatin1Char(',')
                                                                      : QLatin1Char('\t');
}

QStringList LogFileHeader(const LogFileInfo &info, const QDateTime &now, QChar separator)
{
    QStringList lines;
    lines << LogFileModelWord(info.version) + QStringLiteral("Logger Data file ") +
                 ShortDateText(now.date()) + QLatin1Char(' ') + LongTimeText(now.time());
    lines << info.version + QStringLiteral(" Ser No: ") + info.serialNumber;

    QString units = QStringLiteral("Reading ") + info.units;
    if (info.version.startsWith(QLatin1String("ZQ3")) && info.individual)
        units += separator + QStringLiteral("Individual readings in umol.m-2.s-1");
    lines << units;

    if (info.individual) {
        QString factors = QStringLiteral("Calibration values:");
        for (size_t i = 0; i < 8; ++i)
            factors += separator + FormatNumber(info.calValues[i], QStringLiteral("0"));
        lines << factors;
    }

    QString columns = QStringList{"Time", "Total", "Diffuse", "Sun"}.join(separator);
    if (info.individual) {
        for (int i = 0; i < 8; ++i)
            columns += separator + QStringLiteral("P") + QString::number(i);
    }
    if (IsTemperatureModel(info.version))
        columns += separator + QStringLiteral("Temp");
    lines << columns;
    return lines;
}
