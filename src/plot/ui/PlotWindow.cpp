#include "plot/ui/PlotWindow.h"

#include "platform/FileDialogs.h"
#include "platform/UserPrompts.h"
#include "plot/DailySummary.h"
#include "plot/PlotFileReader.h"
#include "plot/ui/CursorReadout.h"
#include "plot/ui/PlotExport.h"
#include "plot/ui/PlotView.h"
#include "plot/ui/SeriesSet.h"
#include "plot/ui/SummaryTable.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

namespace {

const QString Title = QStringLiteral("Vantplot");
// The skipped lines of each file listed in the tooltip of their count.
constexpr int ShownBadLines = 10;

} // namespace

PlotWindow::PlotWindow(UserPrompts &prompts, FileDialogs &dialogs, QWidget *parent)
    : QMainWindow(parent), m_prompts(prompts), m_dialogs(dialogs), m_plot(new PlotView),
      m_summary(new SummaryTable), m_readout(new QLabel), m_skipped(new QLabel)
{
    setWindowTitle(Title);
    setAcceptDrops(true);
    auto *splitter = new QSplitter;
    splitter->addWidget(m_plot);
    splitter->addWidget(m_summary);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({560, 540});
    setCentralWidget(splitter);
    statusBar()->addWidget(m_readout, 1);
    statusBar()->addPermanentWidget(m_skipped);
    createActions();
    connect(m_plot, &PlotView::cursorMoved, this, &PlotWindow::showCursor);
    const QSize room = screen()->availableSize() * 0.9;
    resize(std::min(1100, room.width()), std::min(650, room.height()));
}

PlotWindow::~PlotWindow() = default;

void PlotWindow::createActions()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    QToolBar *tools = addToolBar(tr("Plot"));
    tools->setMovable(false);
    QAction *open = file->addAction(tr("&Open..."), this, &PlotWindow::chooseFiles);
    open->setShortcut(QKeySequence::Open);
    tools->addAction(open);
    file->addAction(tr("&Close all"), this, &PlotWindow::closeAll);
    file->addSeparator();
    QMenu *exports = file->addMenu(tr("&Export"));
    exports->addAction(tr("Plot as &PNG..."), this, [this] { exportPicture(false); });
    exports->addAction(tr("Plot as P&DF..."), this, [this] { exportPicture(true); });
    exports->addAction(tr("Visible range as &CSV..."), this, &PlotWindow::exportCsv);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    QAction *fit = view->addAction(tr("&Fit all"), this, &PlotWindow::fitAll);
    fit->setShortcut(Qt::Key_Home);
    fit->setToolTip(tr("Show all data (Home)"));
    tools->addAction(fit);
    QAction *copy = view->addAction(tr("&Copy daily summary"), m_summary, &SummaryTable::copy);
    tools->addAction(copy);
}

void PlotWindow::openFiles(const QStringList &paths)
{
    if (m_reading)
        return;
    bool added = false;
    for (const QString &path : paths)
        added = openFile(path) || added;
    if (!added)
        return;
    QStringList units;
    QStringList names;
    for (const auto &set : m_sets) {
        names.append(set->name());
        if (!set->units().isEmpty() && !units.contains(set->units()))
            units.append(set->units());
    }
    m_plot->setValueUnits(units.join(QStringLiteral(", ")));
    setWindowTitle(names.join(QStringLiteral(", ")) + QStringLiteral(" - ") + Title);
    showSkippedLines();
    fitAll();
}

bool PlotWindow::openFile(const QString &path)
{
    const QFileInfo info(path);
    m_folder = info.absolutePath();
    QProgressDialog progress(tr("Reading %1...").arg(info.fileName()), tr("Cancel"), 0, 1000, this);
    progress.setWindowTitle(Title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);
    m_reading = true;
    const PlotFile file = PlotFileReader::read(path, [&progress](qint64 done, qint64 total) {
        if (total > 0)
            progress.setValue(int(done * 1000 / total));
        else
            QApplication::processEvents();
        return !progress.wasCanceled();
    });
    m_reading = false;
    progress.close();
    if (!file.ok()) {
        if (!file.cancelled)
            m_prompts.message(
                Title,
                tr("%1 could not be shown.\n\n%2").arg(QDir::toNativeSeparators(path), file.error));
        return false;
    }
    m_sets.push_back(
        std::make_unique<SeriesSet>(*m_plot, info.fileName(), file, int(m_sets.size())));
    m_summary->addSummary(info.fileName(), DailySummary(file));
    m_skippedLines += file.badLineCount;
    for (const BadLine &bad : file.badLines.mid(0, ShownBadLines))
        m_skippedDetails.append(
            tr("%1 line %2: %3").arg(info.fileName()).arg(bad.line).arg(bad.reason));
    return true;
}

void PlotWindow::chooseFiles()
{
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, tr("Open data files"), m_folder,
                                      tr("Data and log files (*.txt *.csv *.log);;All files (*)"));
    openFiles(paths);
}

void PlotWindow::closeAll()
{
    m_sets.clear();
    m_summary->clearSummaries();
    m_skippedLines = 0;
    m_skippedDetails.clear();
    showSkippedLines();
    m_readout->clear();
    m_plot->setValueUnits(QString());
    m_plot->yAxis2->setVisible(false);
    setWindowTitle(Title);
    m_plot->replot();
}

void PlotWindow::fitAll()
{
    m_plot->fitAll();
    m_plot->replot();
}

void PlotWindow::exportPicture(bool pdf)
{
    const QString path = m_dialogs.saveFileName(
        pdf ? tr("Export plot as PDF") : tr("Export plot as PNG"), m_folder, QString(),
        pdf ? tr("PDF files (*.pdf)") : tr("PNG pictures (*.png)"),
        pdf ? QStringLiteral("pdf") : QStringLiteral("png"));
    if (path.isEmpty())
        return;
    QString error;
    const bool saved =
        pdf ? PlotExport::SavePdf(*m_plot, path, error) : PlotExport::SavePng(*m_plot, path, error);
    if (!saved)
        m_prompts.message(Title, error);
}

void PlotWindow::exportCsv()
{
    const QString path =
        m_dialogs.saveFileName(tr("Export the visible range"), m_folder, QString(),
                               tr("Comma separated (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    QString error;
    const QCPRange range = m_plot->xAxis->range();
    if (!PlotExport::SaveVisibleCsv(m_sets, range.lower, range.upper, path, error))
        m_prompts.message(Title, error);
}

void PlotWindow::showSkippedLines()
{
    m_skipped->setText(m_skippedLines == 0   ? QString()
                       : m_skippedLines == 1 ? tr("1 line skipped")
                                             : tr("%1 lines skipped").arg(m_skippedLines));
    m_skipped->setToolTip(m_skippedDetails.join(QLatin1Char('\n')));
}

void PlotWindow::showCursor(double key)
{
    m_readout->setText(CursorReadout::Text(m_sets, key));
}

void PlotWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && !m_reading)
        event->acceptProposedAction();
}

void PlotWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    openFiles(paths);
}
