// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/PlotWindow.h"

#include "platform/FileDialogs.h"
#include "platform/UserPrompts.h"
#include "plot/DailySummary.h"
#include "plot/PlotFileReader.h"
#include "plot/ui/CursorReadout.h"
#include "plot/ui/EnergyChart.h"
#include "plot/ui/FileTail.h"
#include "plot/ui/PictureSizeDialog.h"
#include "plot/ui/PlotExport.h"
#include "plot/ui/PlotView.h"
#include "plot/ui/SeriesSet.h"
#include "plot/ui/SummaryTable.h"
#include "plot/ui/TimeFormatDialog.h"
#include "plot/ui/WallClock.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTimeEdit>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QUrl>

#include <algorithm>
#include <cmath>

// The pictures (the window's icon) are compiled into the window library; a static
// library's resources must be registered by name, or the linker leaves them out.
static void InitResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(quorvel);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace {

const QString Title = QStringLiteral("Vantplot");
// The skipped lines of each file listed in the tooltip of their count.
constexpr int ShownBadLines = 10;
// A followed file is read this long after it last changed, so that a burst of writes is
// read at once.
constexpr int FollowDelayMs = 200;
constexpr double Day = 86400.0;

} // namespace

PlotWindow::PlotWindow(UserPrompts &prompts, FileDialogs &dialogs, QWidget *parent)
    : QMainWindow(parent), m_prompts(prompts),
      m_dialogChooser(std::make_unique<DialogTimeFormatChooser>(this)),
      m_chooser(m_dialogChooser.get()), m_dialogs(dialogs), m_plot(new PlotView),
      m_summary(new SummaryTable), m_energy(new EnergyChart), m_readout(new QLabel),
      m_timeBack(new QLabel), m_skipped(new QLabel), m_watcher(new QFileSystemWatcher(this))
{
    InitResources();
    setWindowTitle(Title);
    setWindowIcon(QIcon(QStringLiteral(":/pictures/vantplot.svg")));
    setAcceptDrops(true);
    setCentralWidget(m_plot);

    // The daily summary under the plot, as a table or a chart, in a dock that can be
    // hidden, or moved beside the plot, to give the plot the whole window.
    auto *tabs = new QTabWidget;
    tabs->setDocumentMode(true);
    tabs->addTab(m_summary, tr("Table"));
    tabs->addTab(m_energy, tr("Energy chart"));
    m_dock = new QDockWidget(tr("Daily summary"), this);
    m_dock->setObjectName(QStringLiteral("summaryDock"));
    m_dock->setWidget(tabs);
    m_dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                        QDockWidget::DockWidgetFloatable);
    addDockWidget(Qt::BottomDockWidgetArea, m_dock);
    connect(m_summary, &SummaryTable::summariesChanged, this,
            [this] { m_energy->setSummaries(m_summary->summaries()); });

    m_readout->setMinimumWidth(0);
    m_readout->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(m_readout, 1);
    statusBar()->addPermanentWidget(m_timeBack);
    statusBar()->addPermanentWidget(m_skipped);
    createActions();
    createRangeBar();
    connect(m_plot, &PlotView::cursorMoved, this, &PlotWindow::showCursor);
    connect(m_plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            &PlotWindow::showRangeInBox);

    m_followTimer.setSingleShot(true);
    m_followTimer.setInterval(FollowDelayMs);
    connect(&m_followTimer, &QTimer::timeout, this, &PlotWindow::readNewLines);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { m_followTimer.start(); });

    const QSize room = screen()->availableSize() * 0.9;
    resize(std::min(1100, room.width()), std::min(700, room.height()));
    // The plot keeps most of the height.
    resizeDocks({m_dock}, {height() / 4}, Qt::Vertical);
}

PlotWindow::~PlotWindow()
{
    m_tails.clear();
    m_sets.clear();
}

void PlotWindow::createActions()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    QToolBar *tools = addToolBar(tr("Plot"));
    tools->setObjectName(QStringLiteral("plotTools"));
    tools->setMovable(false);
    QAction *open = file->addAction(tr("&Open..."), this, &PlotWindow::chooseFiles);
    open->setShortcut(QKeySequence::Open);
    tools->addAction(open);
    QAction *reloadAction = file->addAction(tr("&Reload"), this, &PlotWindow::reload);
    reloadAction->setShortcut(Qt::Key_F5);
    reloadAction->setToolTip(tr("Read the files again (F5)"));
    tools->addAction(reloadAction);
    QAction *follow = file->addAction(tr("F&ollow"));
    follow->setCheckable(true);
    follow->setToolTip(tr("Read the lines the files gain while they are written"));
    connect(follow, &QAction::toggled, this, &PlotWindow::setFollowing);
    tools->addAction(follow);
    file->addAction(tr("&Close all"), this, &PlotWindow::closeAll);
    file->addSeparator();
    QMenu *exports = file->addMenu(tr("&Export"));
    exports->addAction(tr("Plot as &PNG..."), this, [this] { exportPicture(false); });
    exports->addAction(tr("Plot as P&DF..."), this, [this] { exportPicture(true); });
    exports->addAction(tr("Visible range as &CSV..."), this, &PlotWindow::exportCsv);
    QAction *printAction = file->addAction(tr("&Print..."), this, &PlotWindow::print);
    printAction->setShortcut(QKeySequence::Print);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(tr("Copy &plot"), this, &PlotWindow::copyPicture);
    QAction *copy = edit->addAction(tr("&Copy daily summary"), m_summary, &SummaryTable::copy);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    QAction *fit = view->addAction(tr("&Fit all"), this, &PlotWindow::fitAll);
    fit->setShortcut(Qt::Key_Home);
    fit->setToolTip(tr("Show all data (Home)"));
    tools->addAction(fit);
    QAction *day = view->addAction(tr("&Day"), this, [this] { showDay(0); });
    day->setShortcut(Qt::Key_D);
    day->setToolTip(tr("Show one calendar day (D); PgUp and PgDn for the day before and after"));
    tools->addAction(day);
    view->addAction(tr("&Previous day"), QKeySequence(Qt::Key_PageUp), this,
                    [this] { showDay(-1); });
    view->addAction(tr("&Next day"), QKeySequence(Qt::Key_PageDown), this, [this] { showDay(1); });
    QAction *zoomIn = view->addAction(tr("Zoom &in"), this, [this] { m_plot->zoomTime(2.0); });
    zoomIn->setShortcuts(
        {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal), QKeySequence::ZoomIn});
    QAction *zoomOut = view->addAction(tr("Zoom &out"), this, [this] { m_plot->zoomTime(0.5); });
    zoomOut->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence::ZoomOut});
    QAction *fixed = view->addAction(tr("Fi&xed value range"));
    fixed->setCheckable(true);
    fixed->setToolTip(tr("Keep the value axes' range instead of fitting the values in view"));
    connect(fixed, &QAction::toggled, this, [this](bool on) {
        m_plot->setValueRangeFixed(on);
        m_plot->replot();
    });
    view->addSeparator();
    QAction *summaryShown = m_dock->toggleViewAction();
    summaryShown->setText(tr("Daily &summary"));
    view->addAction(summaryShown);
    tools->addAction(copy);
}

// The range box: from and to, shown for the visible range and applied when edited.
void PlotWindow::createRangeBar()
{
    QToolBar *bar = addToolBar(tr("Range"));
    bar->setObjectName(QStringLiteral("rangeTools"));
    bar->setMovable(false);
    for (QDateTimeEdit **edit : {&m_from, &m_to}) {
        *edit = new QDateTimeEdit;
        (*edit)->setTimeSpec(Qt::UTC); // wall-clock keys are UTC date-times
        (*edit)->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        (*edit)->setCalendarPopup(true);
        (*edit)->setKeyboardTracking(false);
        connect(*edit, &QDateTimeEdit::editingFinished, this, &PlotWindow::applyRangeBox);
    }
    m_from->setToolTip(tr("From"));
    m_to->setToolTip(tr("To"));
    bar->addWidget(new QLabel(tr(" From ")));
    bar->addWidget(m_from);
    bar->addWidget(new QLabel(tr(" to ")));
    bar->addWidget(m_to);
    showRangeInBox();
}

void PlotWindow::showRangeInBox()
{
    if (!m_from)
        return;
    const QCPRange range = m_plot->xAxis->range();
    const QSignalBlocker blockFrom(m_from);
    const QSignalBlocker blockTo(m_to);
    m_from->setDateTime(WallClock::ToDateTime(range.lower));
    m_to->setDateTime(WallClock::ToDateTime(range.upper));
}

void PlotWindow::applyRangeBox()
{
    const double from = WallClock::ToKey(m_from->dateTime());
    const double to = WallClock::ToKey(m_to->dateTime());
    if (to > from)
        showRange(from, to);
    else
        showRangeInBox();
}

void PlotWindow::showRange(double from, double to)
{
    m_plot->xAxis->setRange(from, to);
    m_plot->replot();
}

void PlotWindow::showDay(int days)
{
    const double middle = m_plot->xAxis->range().center();
    const double start = (std::floor(middle / Day) + days) * Day;
    showRange(start, start + Day);
}

bool PlotWindow::openFiles(const QStringList &paths)
{
    if (m_reading)
        return false;
    bool added = false;
    bool all = true;
    for (const QString &path : paths) {
        const bool read = openFile(path);
        added = added || read;
        all = all && read;
    }
    if (added) {
        filesChanged();
        fitAll();
    }
    return all;
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
    // A file read again keeps the reading of its times chosen before.
    const QString absolute = info.absoluteFilePath();
    auto same = std::find_if(m_sets.begin(), m_sets.end(), [&absolute](const auto &set) {
        return QFileInfo(set->path()).absoluteFilePath() == absolute;
    });
    KnownTimeFormatChooser known(same != m_sets.end() ? (*same)->file().timePattern : QString());
    m_dialogChooser->setFileName(info.fileName());
    m_reading = true;
    PlotFile file = PlotFileReader::read(
        path,
        [&progress](qint64 done, qint64 total) {
            if (total > 0)
                progress.setValue(int(done * 1000 / total));
            else
                QApplication::processEvents();
            return !progress.wasCanceled();
        },
        same != m_sets.end() ? static_cast<TimeFormatChooser *>(&known) : m_chooser);
    m_reading = false;
    progress.close();
    if (!file.ok()) {
        if (!file.cancelled)
            m_prompts.message(
                Title,
                tr("%1 could not be shown.\n\n%2").arg(QDir::toNativeSeparators(path), file.error));
        return false;
    }
    // A file already open is replaced where it was, keeping its colours.
    int index = int(m_sets.size());
    if (same != m_sets.end()) {
        index = (*same)->index();
        m_tails.erase(same->get());
        same->reset();
    } else {
        // The lowest colour no open file has.
        for (index = 0; std::any_of(m_sets.begin(), m_sets.end(),
                                    [index](const auto &set) { return set->index() == index; });
             ++index) {
        }
        same = m_sets.insert(m_sets.end(), nullptr);
    }
    *same = std::make_unique<SeriesSet>(*m_plot, absolute, std::move(file), index);
    if (m_following)
        m_tails[same->get()] = std::make_unique<FileTail>(absolute);
    return true;
}

// After files were opened, replaced, grown or closed: the title, the summaries, the status
// bar, the sun bands' stripes and the data's extent.
void PlotWindow::filesChanged()
{
    QStringList names;
    for (const auto &set : m_sets)
        names.append(set->name());
    setWindowTitle(
        names.isEmpty() ? Title : names.join(QStringLiteral(", ")) + QStringLiteral(" - ") + Title);
    m_summary->clearSummaries();
    int bands = 0;
    for (const auto &set : m_sets) {
        m_summary->addSummary(set->name(), DailySummary(set->file()));
        bands += set->graph(QStringLiteral("Sun")) ? 1 : 0;
    }
    int band = 0;
    for (const auto &set : m_sets) {
        if (set->graph(QStringLiteral("Sun")))
            set->setSunStripe(band++, bands);
    }
    m_plot->updateKeyLimits();
    watchFiles();
    showStatus();
}

void PlotWindow::chooseFiles()
{
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, tr("Open data files"), m_folder,
                                      tr("Data and log files (*.txt *.csv *.log);;All files (*)"));
    openFiles(paths);
}

void PlotWindow::reload()
{
    if (m_sets.empty() || m_reading)
        return;
    const QCPRange range = m_plot->xAxis->range();
    QStringList paths;
    for (const auto &set : m_sets)
        paths.append(set->path());
    bool added = false;
    for (const QString &path : std::as_const(paths))
        added = openFile(path) || added;
    if (!added)
        return;
    filesChanged();
    showRange(range.lower, range.upper);
}

void PlotWindow::closeAll()
{
    m_tails.clear();
    m_sets.clear();
    m_readout->clear();
    m_followError.clear();
    filesChanged();
    m_plot->replot();
}

void PlotWindow::setFollowing(bool follow)
{
    m_following = follow;
    m_tails.clear();
    if (follow) {
        for (const auto &set : m_sets)
            m_tails[set.get()] = std::make_unique<FileTail>(set->path());
    }
    m_followError.clear();
    watchFiles();
    showStatus();
}

void PlotWindow::watchFiles()
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_following)
        return;
    for (const auto &set : m_sets)
        m_watcher->addPath(set->path());
}

void PlotWindow::readNewLines()
{
    if (!m_following || m_reading)
        return;
    const QCPRange range = m_plot->xAxis->range();
    double lastBefore = -std::numeric_limits<double>::infinity();
    for (const auto &set : m_sets) {
        const double last = set->lastKey();
        if (!std::isnan(last))
            lastBefore = std::max(lastBefore, last);
    }
    bool changed = false;
    QStringList replaced;
    m_followError.clear();
    for (const auto &set : m_sets) {
        FileTail *tail = m_tails[set.get()].get();
        if (!tail)
            continue;
        PlotFile added;
        QString error;
        switch (tail->read(set->file(), added, error)) {
        case FileTail::Result::Nothing:
            break;
        case FileTail::Result::Added:
            set->append(added);
            changed = true;
            break;
        case FileTail::Result::Replaced:
            replaced.append(set->path());
            break;
        case FileTail::Result::Failed:
            m_followError = tr("%1: %2").arg(set->name(), error);
            break;
        }
    }
    for (const QString &path : std::as_const(replaced))
        changed = openFile(path) || changed;
    // A file replaced by renaming another over it is no longer watched.
    watchFiles();
    if (!changed) {
        showStatus();
        return;
    }
    filesChanged();
    double lastAfter = lastBefore;
    for (const auto &set : m_sets) {
        const double last = set->lastKey();
        if (!std::isnan(last))
            lastAfter = std::max(lastAfter, last);
    }
    // A view that showed the end moves along with it; any other stays.
    if (range.upper >= lastBefore && lastAfter > lastBefore)
        showRange(range.lower + (lastAfter - lastBefore), range.upper + (lastAfter - lastBefore));
    else
        showRange(range.lower, range.upper);
}

void PlotWindow::fitAll()
{
    m_plot->fitAll();
    m_plot->replot();
}

QString PlotWindow::pictureTitle() const
{
    return PlotExport::PictureTitle(m_sets, m_plot->xAxis->range());
}

bool PlotWindow::savePicture(const QString &path, int width, int height, double scale,
                             QString &error)
{
    m_plot->setTitle(pictureTitle());
    m_plot->prepareFor(width > 0 ? width : m_plot->width());
    const bool saved = path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
                           ? PlotExport::SavePdf(*m_plot, path, error, width, height)
                           : PlotExport::SavePng(*m_plot, path, error, width, height, scale);
    m_plot->setTitle(QString());
    m_plot->replot();
    return saved;
}

void PlotWindow::exportPicture(bool pdf)
{
    PictureSize size{m_plot->width(), m_plot->height(), 1.0};
    if (!AskPictureSize(this, pdf, size))
        return;
    const QString path = m_dialogs.saveFileName(
        pdf ? tr("Export plot as PDF") : tr("Export plot as PNG"), m_folder, QString(),
        pdf ? tr("PDF files (*.pdf)") : tr("PNG pictures (*.png)"),
        pdf ? QStringLiteral("pdf") : QStringLiteral("png"));
    if (path.isEmpty())
        return;
    QString error;
    if (!savePicture(path, size.width, size.height, size.scale, error))
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

void PlotWindow::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QCPPainter painter;
    if (!painter.begin(&printer)) {
        m_prompts.message(Title, tr("The printer could not be started."));
        return;
    }
    // The plot laid out as on a screen a thousand pixels wide, scaled to the page.
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int width = 1000;
    const int height = std::max(1, width * page.height() / std::max(page.width(), 1));
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.scale(double(page.width()) / width, double(page.height()) / height);
    m_plot->setTitle(pictureTitle());
    m_plot->prepareFor(width);
    m_plot->toPainter(&painter, width, height);
    painter.end();
    m_plot->setTitle(QString());
    m_plot->replot();
}

void PlotWindow::copyPicture()
{
    QApplication::clipboard()->setPixmap(m_plot->toPixmap());
}

void PlotWindow::setTimeFormatChooser(TimeFormatChooser *chooser)
{
    m_chooser = chooser ? chooser : m_dialogChooser.get();
}

void PlotWindow::showStatus()
{
    qint64 skipped = 0;
    QStringList details;
    QStringList timeBack;
    for (const auto &set : m_sets) {
        skipped += set->file().badLineCount;
        for (const BadLine &bad : set->file().badLines.mid(0, ShownBadLines))
            details.append(tr("%1 line %2: %3").arg(set->name()).arg(bad.line).arg(bad.reason));
    }
    m_skipped->setText(skipped == 0   ? QString()
                       : skipped == 1 ? tr("1 line skipped")
                                      : tr("%1 lines skipped").arg(skipped));
    m_skipped->setToolTip(details.join(QLatin1Char('\n')));
    // The first record of each file whose time went back or repeated: the records from
    // there on are a section of their own.
    QStringList backTips;
    for (const auto &set : m_sets) {
        const QuotedLine &back = set->file().firstTimeBack;
        if (back.isNull())
            continue;
        timeBack.append(tr("%1: time goes back at line %2").arg(set->name()).arg(back.line));
        backTips.append(tr("%1 line %2 \"%3\": its time repeats or goes back, so it and the "
                           "records after it are drawn and summed as a section of their own.")
                            .arg(set->name())
                            .arg(back.line)
                            .arg(back.text.left(80)));
    }
    m_timeBack->setText(timeBack.join(QStringLiteral("; ")));
    m_timeBack->setToolTip(backTips.join(QLatin1Char('\n')));
    if (!m_followError.isEmpty())
        m_readout->setText(m_followError);
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
