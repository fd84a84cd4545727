// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

class DialogTimeFormatChooser;
class EnergyChart;
class TimeFormatChooser;
class FileDialogs;
class FileTail;
class PlotView;
class QDateTimeEdit;
class QDockWidget;
class QFileSystemWatcher;
class QLabel;
class SeriesSet;
class SummaryTable;
class UserPrompts;

// Vantplot's window: the plot of every file opened (command line, File > Open or
// dropped on the window), each its own set of graphs, with the daily summary (a table and
// a bar chart of daily energy) in a dock under it that the user can hide, and the
// read-out of the values under the cursor in the status bar.
//
// A file that cannot be read is named in a message with the reader's reason; lines the
// reader skipped are counted in the status bar, and the first record whose time went back
// or repeated is named there. A long read shows its progress and can be cancelled. Opening
// a file that is already open reads it again in its place.
//
// File > Reload (F5) reads every file again; View > Follow reads the lines a file gains
// while it is written, keeping the view where it is unless it showed the end, which then
// moves along. The range box shows a span from one time to another; the day view a
// calendar day, PgUp and PgDn the day before and after; + and - zoom.
class PlotWindow : public QMainWindow
{
    Q_OBJECT

public:
    PlotWindow(UserPrompts &prompts, FileDialogs &dialogs, QWidget *parent = nullptr);
    ~PlotWindow() override;

    // Reads the files and adds their graphs (in place of any already open), then fits the
    // plot to all data. False when one could not be read.
    bool openFiles(const QStringList &paths);
    void fitAll();
    void reload();
    void setFollowing(bool follow);
    bool following() const { return m_following; }
    // Reads what the followed files gained (done by itself when they change).
    void readNewLines();
    // The time axis from one wall-clock key to another.
    void showRange(double from, double to);
    // The calendar day around the middle of the view, or `days` after it.
    void showDay(int days = 0);
    bool savePicture(const QString &path, int width, int height, double scale, QString &error);
    // Who is asked when a file's times read more than one way (a dialog by default).
    void setTimeFormatChooser(TimeFormatChooser *chooser);

    PlotView *plot() const { return m_plot; }
    SummaryTable *summary() const { return m_summary; }
    EnergyChart *energyChart() const { return m_energy; }
    QDockWidget *summaryDock() const { return m_dock; }
    const std::vector<std::unique_ptr<SeriesSet>> &seriesSets() const { return m_sets; }
    // The file names and the visible range, the title of an exported picture.
    QString pictureTitle() const;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createActions();
    void createRangeBar();
    bool openFile(const QString &path);
    void filesChanged();
    void chooseFiles();
    void closeAll();
    void exportPicture(bool pdf);
    void exportCsv();
    void print();
    void copyPicture();
    void showStatus();
    void showCursor(double key);
    void showRangeInBox();
    void applyRangeBox();
    void watchFiles();

    UserPrompts &m_prompts;
    std::unique_ptr<DialogTimeFormatChooser> m_dialogChooser;
    TimeFormatChooser *m_chooser;
    FileDialogs &m_dialogs;
    PlotView *m_plot;
    SummaryTable *m_summary;
    EnergyChart *m_energy;
    QDockWidget *m_dock = nullptr;
    QLabel *m_readout;
    QLabel *m_timeBack;
    QLabel *m_skipped;
    QDateTimeEdit *m_from = nullptr;
    QDateTimeEdit *m_to = nullptr;
    std::vector<std::unique_ptr<SeriesSet>> m_sets;
    std::map<const SeriesSet *, std::unique_ptr<FileTail>> m_tails;
    QFileSystemWatcher *m_watcher;
    QTimer m_followTimer;
    QString m_folder;
    QString m_followError;
    bool m_reading = false;
    bool m_following = false;
};
