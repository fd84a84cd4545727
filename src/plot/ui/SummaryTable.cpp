// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/SummaryTable.h"

#include "plot/ui/CursorReadout.h"
#include "plot/ui/WallClock.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QHeaderView>
#include <QLocale>

#include <cmath>

namespace {

QTableWidgetItem *Cell(const QString &text, bool number)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QString Number(double value, int decimals)
{
    return std::isnan(value) ? QString() : QLocale().toString(value, 'f', decimals);
}

} // namespace

SummaryTable::SummaryTable(QWidget *parent) : QTableWidget(0, 6, parent)
{
    setHorizontalHeaderLabels(
        {tr("File"), tr("Day"), tr("Energy"), tr("Peak"), tr("Peak at"), tr("Sunshine (h)")});
    verticalHeader()->setVisible(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *copyAction = new QAction(tr("&Copy"), this);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetShortcut);
    connect(copyAction, &QAction::triggered, this, &SummaryTable::copy);
    addAction(copyAction);
}

void SummaryTable::clearSummaries()
{
    setRowCount(0);
    m_summaries.clear();
    emit summariesChanged();
}

void SummaryTable::addSummary(const QString &fileName, const DailySummary &summary)
{
    m_summaries.append({fileName, summary});
    // The file column only once there are files to tell apart.
    setColumnHidden(0, m_summaries.size() < 2);
    for (const DailySummary::Day &day : summary.days()) {
        const int row = rowCount();
        insertRow(row);
        const QDateTime peakTime = WallClock::ToDateTime(day.peakTime);
        setItem(row, 0, Cell(fileName, false));
        setItem(row, 1, Cell(QLocale().toString(day.date, QLocale::ShortFormat), false));
        setItem(row, 2, Cell(Number(day.energy, 2) + QLatin1Char(' ') + day.energyUnits, true));
        setItem(row, 3,
                Cell(Number(day.peak, CursorReadout::Decimals(day.units)) + QLatin1Char(' ') +
                         day.units,
                     true));
        setItem(
            row, 4,
            Cell(std::isnan(day.peak) ? QString() : peakTime.toString(QStringLiteral("HH:mm:ss")),
                 true));
        setItem(row, 5, Cell(Number(day.sunshineHours, 2), true));
    }
    emit summariesChanged();
}

QString SummaryTable::TabSeparatedText(const QVector<FileSummary> &summaries)
{
    const QString heading = DailySummary(PlotFile()).toTabSeparatedText();
    QString text = QStringLiteral("File\t") + heading;
    for (const FileSummary &file : summaries) {
        const QStringList lines = file.summary.toTabSeparatedText().split(QLatin1Char('\n'));
        for (const QString &line : lines.mid(1)) {
            if (!line.isEmpty())
                text += file.fileName + QLatin1Char('\t') + line + QLatin1Char('\n');
        }
    }
    return text;
}

void SummaryTable::copy() const
{
    QApplication::clipboard()->setText(tabSeparatedText());
}
