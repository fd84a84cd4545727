#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class FileDialogs;
class PlotView;
class QLabel;
class SeriesSet;
class SummaryTable;
class UserPrompts;

// Vantplot's window: the plot of every file opened (command line, File > Open or
// dropped on the window), each its own set of graphs, with the daily summary table
// beside it and the read-out of the values under the cursor in the status bar.
//
// A file that cannot be read is named in a message with the reader's reason; lines the
// reader skipped are counted in the status bar. A long read shows its progress and can
// be cancelled.
class PlotWindow : public QMainWindow
{
    Q_OBJECT

public:
    PlotWindow(UserPrompts &prompts, FileDialogs &dialogs, QWidget *parent = nullptr);
    ~PlotWindow() override;

    // Reads the files and adds their graphs, then fits the plot to all data.
    void openFiles(const QStringList &paths);
    void fitAll();

    PlotView *plot() const { return m_plot; }
    SummaryTable *summary() const { return m_summary; }
    const std::vector<std::unique_ptr<SeriesSet>> &seriesSets() const { return m_sets; }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createActions();
    bool openFile(const QString &path);
    void chooseFiles();
    void closeAll();
    void exportPicture(bool pdf);
    void exportCsv();
    void showSkippedLines();
    void showCursor(double key);

    UserPrompts &m_prompts;
    FileDialogs &m_dialogs;
    PlotView *m_plot;
    SummaryTable *m_summary;
    QLabel *m_readout;
    QLabel *m_skipped;
    std::vector<std::unique_ptr<SeriesSet>> m_sets;
    qint64 m_skippedLines = 0;
    QStringList m_skippedDetails; // the first few skipped lines of each file, with reasons
    QString m_folder;
    bool m_reading = false;
};
