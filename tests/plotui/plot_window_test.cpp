// Vantplot's window, offscreen: a dataset written by the download's own DatasetFile is
// shown as graphs with gaps, a daily summary, a legend that switches graphs, "fit all"
// and exports; a file of another kind is refused by name and bad lines are counted.
#include "common/DateTimeDays.h"
#include "logger/DatasetFile.h"
#include "plot/DailySummary.h"
#include "plot/PlotFileReader.h"
#include "plot/ui/CursorReadout.h"
#include "plot/ui/PlotExport.h"
#include "plot/ui/PlotView.h"
#include "plot/ui/PlotWindow.h"
#include "plot/ui/SeriesSet.h"
#include "plot/ui/SummaryTable.h"

#include "FakeFileDialogs.h"
#include "RecordingPrompts.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <gtest/gtest.h>

namespace {

const QDateTime Start(QDate(2026, 6, 1), QTime(23, 58));

// Four records a minute apart across midnight, then one after a nine-minute gap; a line
// that is no record goes before the last one when asked.
QString WriteDataset(const QTemporaryDir &dir, const QString &name, bool withBadLine)
{
    const QString path = dir.filePath(name);
    DatasetFile file;
    QString error;
    EXPECT_TRUE(file.create(path, QStringLiteral("ZQ5 v2.10"), QStringLiteral("77"), Start, error));
    file.writeSection(QStringLiteral("Units: W.m-2"));
    const int minutes[] = {0, 1, 2, 3, 12};
    for (int i = 0; i < 5; ++i) {
        DatasetRecord::Values values;
        values.total = float(100 * (i + 1));
        values.diffuse = float(10 * (i + 1));
        values.sun = i % 3 == 0 ? 0.0f : 1.0f;
        file.writeRecord(DateTimeToDays(Start.addSecs(60 * minutes[i])), values, "0.0");
        EXPECT_TRUE(file.flush(error));
    }
    file.close();
    if (withBadLine) {
        QFile text(path);
        EXPECT_TRUE(text.open(QIODevice::ReadWrite));
        QByteArray bytes = text.readAll();
        bytes.insert(bytes.lastIndexOf("\r\n", bytes.size() - 3) + 2, "not a record\r\n");
        text.seek(0);
        text.write(bytes);
    }
    return path;
}

double Seconds(const QDateTime &time)
{
    return double(QDateTime(time.date(), time.time(), Qt::UTC).toMSecsSinceEpoch()) / 1000.0;
}

} // namespace

TEST(PlotWindowTest, ShowsTheGraphsSummaryAndExportsOfADatasetFile)
{
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.show();
    const QString path = WriteDataset(dir, QStringLiteral("june.txt"), false);
    window.openFiles({path});
    QApplication::processEvents();

    // One graph per column, named by file and column; the gap is one NaN point.
    ASSERT_EQ(window.seriesSets().size(), 1u);
    const SeriesSet &set = *window.seriesSets().front();
    EXPECT_EQ(set.columns(), QStringList({"Total", "Diffuse", "Sun"}));
    PlotView &plot = *window.plot();
    EXPECT_EQ(plot.graphCount(), 3);
    QCPGraph *total = set.graph(QStringLiteral("Total"));
    EXPECT_EQ(total->name(), "june.txt Total");
    ASSERT_EQ(total->data()->size(), 6);
    EXPECT_TRUE(std::isnan((total->data()->constBegin() + 4)->value));
    EXPECT_EQ((total->data()->constEnd() - 1)->value, 500);
    EXPECT_EQ(plot.yAxis->label(), "W.m-2");

    // Fit all: the whole time of the records, whatever was shown before.
    plot.xAxis->setRange(0, 1);
    window.fitAll();
    EXPECT_DOUBLE_EQ(plot.xAxis->range().lower, Seconds(Start));
    EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, Seconds(Start.addSecs(12 * 60)));

    // Ctrl+drag zooms into the rectangle drawn; a plain drag pans by as much as it moved.
    const QRect area = plot.axisRect()->rect();
    const QPoint from = area.center() - QPoint(area.width() / 4, 0);
    const QPoint to = area.center() + QPoint(area.width() / 4, area.height() / 4);
    const double left = plot.xAxis->pixelToCoord(from.x());
    const double right = plot.xAxis->pixelToCoord(to.x());
    for (const auto modifier : {Qt::ControlModifier, Qt::NoModifier}) {
        QTest::mousePress(&plot, Qt::LeftButton, modifier, from);
        QTest::mouseMove(&plot, to);
        QTest::mouseRelease(&plot, Qt::LeftButton, modifier, to);
    }
    const double pixels = (right - left) / 50; // the zoomed plot's pixels, a few of them
    EXPECT_NEAR(plot.xAxis->range().lower, left - (right - left) / 2, pixels);
    EXPECT_NEAR(plot.xAxis->range().upper, right - (right - left) / 2, pixels);
    window.fitAll();

    // The read-out: the record nearest to the cursor, in a gap the one before or after it.
    EXPECT_EQ(CursorReadout::Text(window.seriesSets(), Seconds(Start.addSecs(65))),
              "june.txt 01/06/2026 23:59:00 (W.m-2)  Total 200.0  Diffuse 20.0  Sun 1.0");
    EXPECT_TRUE(CursorReadout::Text(window.seriesSets(), Seconds(Start.addSecs(600)))
                    .startsWith("june.txt 02/06/2026 00:10:00 (W.m-2)  Total 500.0"));

    // A day per row, and the copied text is the daily summary's.
    EXPECT_EQ(window.summary()->rowCount(), 2);
    window.summary()->copy();
    EXPECT_EQ(QApplication::clipboard()->text(),
              DailySummary(PlotFileReader::read(path)).toTabSeparatedText());

    // A click on a legend entry hides its graph, a second shows it again.
    for (const bool shown : {false, true}) {
        const QPoint entry = plot.legend->itemWithPlottable(total)->rect().center();
        QTest::mouseClick(&plot, Qt::LeftButton, Qt::NoModifier, entry);
        EXPECT_EQ(total->visible(), shown);
    }

    // PNG and PDF pictures, and the visible records as comma-separated text.
    QString error;
    for (const QString name : {"plot.png", "plot.pdf"}) {
        const QString picture = dir.filePath(name);
        EXPECT_TRUE(name.endsWith("png") ? PlotExport::SavePng(plot, picture, error)
                                         : PlotExport::SavePdf(plot, picture, error));
        EXPECT_GT(QFileInfo(picture).size(), 1000) << name.toStdString();
    }
    const QString csv = dir.filePath(QStringLiteral("visible.csv"));
    ASSERT_TRUE(PlotExport::SaveVisibleCsv(window.seriesSets(), Seconds(Start.addSecs(60)),
                                           Seconds(Start.addSecs(180)), csv, error));
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "june.txt\r\nTime,Total,Diffuse,Sun\r\n"
                                 "2026-06-01 23:59:00,200,20,1\r\n"
                                 "2026-06-02 00:00:00,300,30,1\r\n"
                                 "2026-06-02 00:01:00,400,40,0\r\n");
}

TEST(PlotWindowTest, RefusesAnotherKindOfFileByNameAndCountsSkippedLines)
{
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    const QString other = dir.filePath(QStringLiteral("notes.txt"));
    QFile notes(other);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("Shopping list\nbread\n");
    notes.close();
    window.openFiles({other, WriteDataset(dir, QStringLiteral("bad.txt"), true)});

    const QString refusal = PlotFileReader::read(other).error;
    ASSERT_FALSE(refusal.isEmpty());
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_TRUE(prompts.texts().front().contains(refusal)) << prompts.texts().front().toStdString();
    ASSERT_EQ(window.seriesSets().size(), 1u);
    EXPECT_EQ(window.seriesSets().front()->graph(QStringLiteral("Total"))->data()->size(), 6);
    QStringList status;
    for (const QLabel *label : window.statusBar()->findChildren<QLabel *>())
        status.append(label->text());
    EXPECT_TRUE(status.contains(QStringLiteral("1 line skipped")))
        << status.join('|').toStdString();
}
