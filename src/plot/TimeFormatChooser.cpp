// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/TimeFormatChooser.h"

QString TimeFormatQuestion::describe() const
{
    QStringList readings;
    for (const TimeFormatCandidate &candidate : candidates) {
        const QDateTime first = candidate.times.value(0);
        readings << QStringLiteral("%1 (%2%3)")
                        .arg(first.isValid() ? first.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                             : QStringLiteral("not read"),
                             candidate.pattern,
                             candidate.localeNames.isEmpty()
                                 ? QString()
                                 : QStringLiteral(", ") +
                                       candidate.localeNames.join(QLatin1Char(' ')));
    }
    return QStringLiteral("Line %1 \"%2\" reads as %3.")
        .arg(lineNumbers.value(0))
        .arg(lines.value(0).left(60).replace(QLatin1Char('\t'), QLatin1Char(' ')),
             readings.join(QStringLiteral(" or as ")));
}
