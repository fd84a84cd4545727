// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/DailySummary.h"

#include <QString>
#include <QTableWidget>
#include <QVector>

// The daily summary of every file shown: per file and day, the energy received, the peak
// total with its time and the hours of sunshine. Ctrl+C or the context menu's "Copy"
// puts the summaries on the clipboard as tab-separated text.
class SummaryTable : public QTableWidget
{
    Q_OBJECT

public:
    struct FileSummary
    {
        QString fileName;
        DailySummary summary;
    };

    explicit SummaryTable(QWidget *parent = nullptr);

    void clearSummaries();
    void addSummary(const QString &fileName, const DailySummary &summary);
    const QVector<FileSummary> &summaries() const { return m_summaries; }
    // The summaries as tab-separated text: the daily summary's heading once, after a "File"
    // column, then its rows of every file, each after the file's name.
    static QString TabSeparatedText(const QVector<FileSummary> &summaries);
    QString tabSeparatedText() const { return TabSeparatedText(m_summaries); }
    void copy() const;

signals:
    void summariesChanged();

private:
    QVector<FileSummary> m_summaries;
};
