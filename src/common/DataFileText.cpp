// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/DataFileText.h"

#include "common/NamedFormats.h"

QChar DataFileSeparator(const QString &path)
{
    return path.endsWith(QLatin1String("csv"), Qt::CaseSensitive) ? QLatin1Char(',')
                                                                  : QLatin1Char('\t');
}

QString DataFileField(QString text, QChar separator)
{
    if (separator == QLatin1Char(','))
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    return text;
}

QString DataFileFirstLine(const QString &modelWord, const QString &kind, const QDateTime &now)
{
    return modelWord + kind + ShortDateText(now.date()) + QLatin1Char(' ') +
           LongTimeText(now.time());
}

QString DataFileSecondLine(const QString &version, const QString &serialNumber)
{
    return version + QStringLiteral(" Ser No: ") + serialNumber;
}

QString DataFileUnitsLine(const QString &units)
{
    return QStringLiteral("Reading ") + units;
}

QStringList DataFileColumns()
{
    return {QStringLiteral("Time"), QStringLiteral("Total"), QStringLiteral("Diffuse"),
            QStringLiteral("Sun")};
}
