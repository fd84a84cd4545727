#include "plot/ui/SummaryTable.h"

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
}

void SummaryTable::addSummary(const QString &fileName, const DailySummary &summary)
{
    m_summaries.append({fileName, summary.toTabSeparatedText()});
    // The file column only once there are files to tell apart.
    setColumnHidden(0, m_summaries.size() < 2);
    for (const DailySummary::Day &day : summary.days()) {
        const int row = rowCount();
        insertRow(row);
        const QDateTime peakTime =
            QDateTime::fromMSecsSinceEpoch(qint64(std::llround(day.peakTime * 1000.0)), Qt::UTC);
        setItem(row, 0, Cell(fileName, false));
        setItem(row, 1, Cell(QLocale().toString(day.date, QLocale::ShortFormat), false));
        setItem(row, 2, Cell(Number(day.energy, 2) + QLatin1Char(' ') + day.energyUnits, true));
        setItem(row, 3, Cell(Number(day.peak, 1) + QLatin1Char(' ') + day.units, true));
        setItem(
            row, 4,
            Cell(std::isnan(day.peak) ? QString() : peakTime.toString(QStringLiteral("HH:mm:ss")),
                 true));
        setItem(row, 5, Cell(Number(day.sunshineHours, 2), true));
    }
}

QString SummaryTable::tabSeparatedText() const
{
    if (m_summaries.size() == 1)
        return m_summaries.first().text;
    QString text;
    for (const FileSummary &summary : m_summaries)
        text += summary.fileName + QLatin1Char('\n') + summary.text + QLatin1Char('\n');
    return text;
}

void SummaryTable::copy() const
{
    QApplication::clipboard()->setText(tabSeparatedText());
}
