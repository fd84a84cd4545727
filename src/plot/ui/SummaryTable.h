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
    explicit SummaryTable(QWidget *parent = nullptr);

    void clearSummaries();
    void addSummary(const QString &fileName, const DailySummary &summary);
    // Each file's summary as tab-separated text; with several files, each after a line
    // naming its file.
    QString tabSeparatedText() const;
    void copy() const;

private:
    struct FileSummary
    {
        QString fileName;
        QString text;
    };
    QVector<FileSummary> m_summaries;
};
