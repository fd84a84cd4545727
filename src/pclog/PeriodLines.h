// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingSums.h"

#include <QChar>
#include <QDateTime>
#include <QString>

// The line written for one averaging period: on screen as a table row aligned under the
// heading, and in the log file as separated fields. Numbers use the locale's decimal
// separator; the file's comma form turns every comma inside a field into a point. The
// temperatures average the temperatures read; none read leaves their fields empty (blank
// columns on screen).

// What shapes the lines of a run.
struct LineSettings
{
    // Pattern of the total and diffuse averages: "0.00" in klux, else "0.0".
    QString fmt = QStringLiteral("0.0");
    bool individual = false;       // the eight sensor columns
    bool temperatureModel = false; // the temperature column
    bool testMenu = false;         // the chip temperature and the spread ratio
    bool isoTimes = false;         // file lines stamped "2026-10-25T01:30:00+01:00"
};

// The averages' pattern for a units line such as "Units: klux".
QString AveragePattern(const QString &units);

// The on-screen table heading for a run.
QString ScreenHeading(const LineSettings &settings);

// "10:01:00   512.3    87.0  1.0 ...", or "10:01:00 bad readings" when no reading
// succeeded. periodEnd is the clock time at the period's end.
QString ScreenLine(const ReadingSums &sums, const QTime &periodEnd, const LineSettings &settings);

// The file line: the date and clock time at the period's end, then each field after a
// separator (tab or comma).
QString FileLine(const ReadingSums &sums, const QDateTime &periodEnd, const LineSettings &settings,
                 QChar separator);
