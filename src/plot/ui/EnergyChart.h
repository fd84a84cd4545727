// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/ui/SummaryTable.h"

#include <qcustomplot.h>

// The daily summary as a bar chart: each file's energy a day, a bar per day centred on it,
// the files' bars side by side in their colours, each energy unit (MJ.m-2, mol.m-2) on an
// axis of its own.
class EnergyChart : public QCustomPlot
{
    Q_OBJECT

public:
    explicit EnergyChart(QWidget *parent = nullptr);

    void setSummaries(const QVector<SummaryTable::FileSummary> &summaries);
    // The bars of each file and unit, in the order of the summaries.
    QVector<QCPBars *> bars() const;

private:
    QCPBarsGroup *m_group;
};
