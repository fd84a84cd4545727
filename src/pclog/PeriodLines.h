#pragma once

#include "ReadingSums.h"

#include <QChar>
#include <QDate>
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
// succeeded. periodEnd is the period's end as seconds after midnight.
QString ScreenLine(const ReadingSums &sums, float periodEnd, const LineSettings &settings);

// The file line: the date the period ended on and its end time, then each field after a
// separator (tab or comma).
QString FileLine(const ReadingSums &sums, const QDate &periodDate, float periodEnd,
                 const LineSettings &settings, QChar separator);

// The date on which a period ending at time of day periodEnd ended (or is about to end),
// seen at `now`: a line written just after midnight for a period that ended before it
// carries the day before, and one written just before midnight for the period ending at
// midnight carries the day after.
QDate PeriodEndDate(const QDateTime &now, float periodEnd);
