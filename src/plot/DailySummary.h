// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/PlotFile.h"

#include <QDate>
#include <QString>
#include <QVector>

// The daily summary of a file: per calendar day (of the file's wall-clock times, as
// written) and units, the energy received, the peak total with its time and the hours of
// sunshine. A time covered by an earlier section of the same units (records written twice)
// counts once.
//
// Each record stands for one period of its section (the rectangle rule): it adds its
// Total times the period to the energy and its Sun value (the sun flag, 0 or 1, or the
// sunshine fraction of an averaged line) times the period to the sunshine, on the day of
// its own time stamp. Values that are NaN ("bad readings") add nothing. A section of a
// single record has no period and adds no energy or sunshine.
//
// Energy is in MJ.m-2 for W.m-2 data, mol.m-2 for umol.m-2.s-1 and klux.h for klux;
// data in any other units gets units times hours.
class DailySummary
{
public:
    struct Day
    {
        QDate date;
        QString units;       // the data's units, "W.m-2"
        QString energyUnits; // "MJ.m-2"
        double energy = 0;
        double peak = 0;     // the highest Total, NaN when there was none
        double peakTime = 0; // its wall-clock time, seconds since 1970 taken as UTC
        double sunshineHours = 0;
        qsizetype records = 0;
    };

    explicit DailySummary(const PlotFile &file);

    const QVector<Day> &days() const { return m_days; }
    // A heading row and one row per day, tab separated, each ending in a line feed; the
    // numbers use the locale's decimal separator so that they paste into a spreadsheet.
    QString toTabSeparatedText() const;

    // The energy units for data units, and what one unit over one second adds in them.
    static QString EnergyUnits(const QString &units);
    static double EnergyFactor(const QString &units);

private:
    QVector<Day> m_days;
};
