// SPDX-License-Identifier: GPL-3.0-or-later
// Vantplot's window, offscreen: datasets written by the download's own DatasetFile are
// shown as graphs with gaps, one value axis per unit, a daily summary, a legend that
// switches graphs, "fit all" and exports; a file of another kind is refused by name and bad
// lines are counted; followed files add exactly their new lines; tick labels and legend
// entries stay readable; the command line's headless uses.
#include "common/DateTimeDays.h"
#include "logger/DatasetFile.h"
#include "plot/DailySummary.h"
#include "plot/PlotFileReader.h"
#include "plot/ui/CursorReadout.h"
#include "plot/ui/PlotExport.h"
#include "plot/ui/PlotView.h"
#include "plot/ui/PlotWindow.h"
#include "plot/ui/SeriesGraph.h"
#include "plot/ui/SeriesSet.h"
#include "plot/ui/SummaryTable.h"
#include "plot/ui/TimeFormatDialog.h"
#include "plot/ui/VantplotCommand.h"
#include "plot/ui/WallClock.h"

#include "FakeFileDialogs.h"
#include "RecordingPrompts.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Winter, so that the computer's own time zone (the tests run in London's) agrees with the
// wall clock where the writer takes a time as local.
const QDateTime Start(QDate(2026, 1, 1), QTime(23, 58), QTimeZone::utc());
const int SpringChange =
    int(Start.secsTo(QDateTime(QDate(2026, 3, 29), QTime(1, 0), QTimeZone::utc())) / 60);

struct Record
{
    int minute; // after Start
    float total;
};

struct Section
{
    QString units; // "W.m-2"
    QVector<Record> records;
};

// A dataset of sections, as a download writes it: Diffuse is a tenth of Total and the sun
// shines on odd minutes.
QString WriteDataset(const QTemporaryDir &dir, const QString &name,
                     const QVector<Section> &sections, bool append = false)
{
    const QString path = dir.filePath(name);
    DatasetFile file;
    QString error;
    EXPECT_TRUE(append ? file.reopen(path, error)
                       : file.create(path, QStringLiteral("ZQ5 v2.10"), QStringLiteral("77"), Start,
                                     error));
    for (const Section &section : sections) {
        if (!section.units.isEmpty())
            file.writeSection(QStringLiteral("Units: ") + section.units);
        for (const Record &record : section.records) {
            DatasetRecord::Values values;
            values.total = record.total;
            values.diffuse = record.total / 10;
            values.sun = record.minute % 2 ? 1.0f : 0.0f;
            file.writeRecord(DateTimeToDays(Start.addSecs(60 * record.minute)), values,
                             section.units == QLatin1String("klux") ? "0.00" : "0.0");
        }
    }
    EXPECT_TRUE(file.flush(error));
    file.close();
    return path;
}

// Four records a minute apart across midnight, then one after a nine-minute gap.
const QVector<Section> January{{"W.m-2", {{0, 100}, {1, 200}, {2, 300}, {3, 400}, {12, 500}}}};

double Key(int minute)
{
    return WallClock::ToKey(Start.addSecs(60 * minute));
}

QString ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList StatusTexts(const PlotWindow &window)
{
    QStringList texts;
    for (const QLabel *label : window.statusBar()->findChildren<QLabel *>())
        texts.append(label->text() + QLatin1Char('|') + label->toolTip());
    return texts;
}

} // namespace

TEST(PlotWindowTest, ShowsTheGraphsSummaryAndExportsOfADatasetFile)
{
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.show();
    EXPECT_FALSE(window.windowIcon().isNull());
    const QString path = WriteDataset(dir, QStringLiteral("jan.txt"), January);
    window.openFiles({path});
    QApplication::processEvents();

    // One graph per column, named by file, column and unit; the gap is one NaN point.
    ASSERT_EQ(window.seriesSets().size(), 1u);
    const SeriesSet &set = *window.seriesSets().front();
    EXPECT_EQ(set.columns(), QStringList({"Total", "Diffuse", "Sun"}));
    PlotView &plot = *window.plot();
    EXPECT_EQ(plot.graphCount(), 3);
    QCPGraph *total = set.graph(QStringLiteral("Total"));
    EXPECT_EQ(total->name(), "jan.txt Total (W.m-2)");
    ASSERT_EQ(total->data()->size(), 6);
    EXPECT_TRUE(std::isnan((total->data()->constBegin() + 4)->value));
    EXPECT_EQ((total->data()->constEnd() - 1)->value, 500);
    EXPECT_EQ(plot.yAxis->label(), "W.m-2");

    // Fit all: the whole time of the records, whatever was shown before.
    plot.xAxis->setRange(Key(1), Key(2));
    window.fitAll();
    EXPECT_DOUBLE_EQ(plot.xAxis->range().lower, Key(0));
    EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, Key(12));

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

    // The read-out: the record nearest to the cursor with its units, in a gap the one before
    // or after it.
    EXPECT_EQ(CursorReadout::Text(window.seriesSets(), Key(1) + 5),
              "jan.txt 01/01/2026 23:59:00  Total 200.0 W.m-2  Diffuse 20.0 W.m-2  Sun 1.0");
    EXPECT_TRUE(CursorReadout::Text(window.seriesSets(), Key(10))
                    .startsWith("jan.txt 02/01/2026 00:10:00  Total 500.0 W.m-2"));

    // A day per row; the copied text has a file column and one heading.
    EXPECT_EQ(window.summary()->rowCount(), 2);
    window.summary()->copy();
    const QStringList copied = QApplication::clipboard()->text().split('\n');
    const QStringList own =
        DailySummary(PlotFileReader::read(path)).toTabSeparatedText().split('\n');
    ASSERT_EQ(copied.size(), own.size());
    for (int i = 0; i + 1 < own.size(); ++i)
        EXPECT_EQ(copied.at(i), (i == 0 ? "File\t" : "jan.txt\t") + own.at(i));

    // A click on a legend entry hides its graph, a second shows it again.
    for (const bool shown : {false, true}) {
        const QPoint entry = plot.legend->itemWithPlottable(total)->rect().center();
        QTest::mouseClick(&plot, Qt::LeftButton, Qt::NoModifier, entry);
        EXPECT_EQ(total->visible(), shown);
    }

    // PNG and PDF pictures at the size asked for, and the visible records as text.
    QString error;
    for (const QString name : {"plot.png", "plot.pdf"}) {
        const QString picture = dir.filePath(name);
        EXPECT_TRUE(window.savePicture(picture, 640, 400, 2, error)) << error.toStdString();
        EXPECT_GT(QFileInfo(picture).size(), 1000) << name.toStdString();
    }
    EXPECT_EQ(QImage(dir.filePath("plot.png")).size(), QSize(1280, 800));
    EXPECT_EQ(PlotExport::VisibleCsv(window.seriesSets(), Key(1), Key(3)),
              "jan.txt\r\nTime,Units,Total,Diffuse,Sun\r\n"
              "2026-01-01 23:59:00,W.m-2,200,20,1\r\n"
              "2026-01-02 00:00:00,W.m-2,300,30,0\r\n"
              "2026-01-02 00:01:00,W.m-2,400,40,1\r\n");
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
    const QString bad = WriteDataset(dir, QStringLiteral("bad.txt"), January);
    QFile text(bad);
    ASSERT_TRUE(text.open(QIODevice::Append));
    text.write("not a record\r\n");
    text.close();
    EXPECT_FALSE(window.openFiles({other, bad}));

    const QString refusal = PlotFileReader::read(other).error;
    ASSERT_FALSE(refusal.isEmpty());
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_TRUE(prompts.texts().front().contains(refusal)) << prompts.texts().front().toStdString();
    ASSERT_EQ(window.seriesSets().size(), 1u);
    EXPECT_EQ(window.seriesSets().front()->graph(QStringLiteral("Total"))->data()->size(), 6);
    EXPECT_TRUE(StatusTexts(window).join('\n').contains("1 line skipped|bad.txt line 10:"))
        << StatusTexts(window).join('\n').toStdString();
}

// Each unit its own axis, named in the legend, the read-out and the export; klux keeps its
// two decimals; a section whose times go back gets graphs of its own and exports its own
// values.
TEST(PlotWindowTest, GivesEachUnitItsAxisAndExportsEveryRecord)
{
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.openFiles({WriteDataset(dir, QStringLiteral("mixed.txt"),
                                   {{"umol.m-2.s-1", {{0, 2188}, {1, 2100}}},
                                    {"klux", {{4, 12.34f}, {5, 12.36f}}},
                                    {"W.m-2", {{2, 995}, {3, 990}}},
                                    {"", {{3, 700}, {4, 710}}}})});
    ASSERT_EQ(window.seriesSets().size(), 1u);
    const SeriesSet &set = *window.seriesSets().front();
    PlotView &plot = *window.plot();
    struct Row
    {
        QString units;
        QString graph;
        QCPAxis *axis;
    };
    const QVector<QCPAxis *> axes = plot.valueAxes();
    ASSERT_EQ(axes.size(), 3);
    for (const Row &row : {Row{"umol.m-2.s-1", "mixed.txt Total (umol.m-2.s-1)", plot.yAxis},
                           Row{"klux", "mixed.txt Total (klux)", axes.at(1)},
                           Row{"W.m-2", "mixed.txt Total (W.m-2)", axes.at(2)}}) {
        const QCPGraph *total = set.graph(QStringLiteral("Total"), row.units);
        ASSERT_TRUE(total) << row.units.toStdString();
        EXPECT_EQ(total->name(), row.graph);
        EXPECT_EQ(total->valueAxis(), row.axis);
        EXPECT_EQ(row.axis->label(), row.units);
        EXPECT_TRUE(row.axis->visible());
        EXPECT_GE(row.axis->range().upper, (total->data()->constEnd() - 1)->value);
    }
    // The records whose time went back: graphs of their own, not a zig-zag, and named in
    // the status bar.
    ASSERT_EQ(set.series().size(), 11u);
    EXPECT_EQ(set.series().at(8).graph->name(), "mixed.txt Total (W.m-2) #2");
    EXPECT_TRUE(StatusTexts(window).join('\n').contains(
        "mixed.txt: time goes back at line 15|mixed.txt line 15 \""))
        << StatusTexts(window).join('\n').toStdString();

    EXPECT_TRUE(CursorReadout::Text(window.seriesSets(), Key(5))
                    .endsWith("Total 12.36 klux  Diffuse 1.24 klux  Sun 1.0"))
        << CursorReadout::Text(window.seriesSets(), Key(5)).toStdString();
    const QList<QTableWidgetItem *> peak =
        window.summary()->findItems(QStringLiteral("12.36 klux"), Qt::MatchExactly);
    EXPECT_EQ(peak.size(), 1);

    // Records with the same time each export their own values.
    EXPECT_EQ(PlotExport::VisibleCsv(window.seriesSets(), Key(3), Key(4)),
              "mixed.txt\r\nTime,Units,Total,Diffuse,Sun\r\n"
              "2026-01-02 00:02:00,klux,12.34,1.23,0\r\n"
              "2026-01-02 00:01:00,W.m-2,990,99,1\r\n"
              "2026-01-02 00:01:00,W.m-2,700,70,1\r\n"
              "2026-01-02 00:02:00,W.m-2,710,71,0\r\n");
}

// Times that read two ways ask once; the dialog shows the lines and what each reading
// makes of them.
TEST(PlotWindowTest, AsksHowAmbiguousTimesRead)
{
    class ScriptedChooser : public TimeFormatChooser
    {
    public:
        int choose(const TimeFormatQuestion &question) override
        {
            questions.append(question);
            for (int i = 0; i < question.candidates.size(); ++i) {
                if (question.candidates.at(i).times.value(0).date() == QDate(2026, 1, 2))
                    return i;
            }
            return -1;
        }
        QVector<TimeFormatQuestion> questions;
    } chooser;
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.setTimeFormatChooser(&chooser);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::Australia));
    const QString path =
        WriteDataset(dir, QStringLiteral("au.txt"), {{"W.m-2", {{2, 1}, {3, 2}, {4, 3}}}});
    QLocale::setDefault(before);
    window.openFiles({path});
    ASSERT_EQ(chooser.questions.size(), 1);
    ASSERT_EQ(window.seriesSets().size(), 1u);
    const QCPGraph *total = window.seriesSets().front()->graph(QStringLiteral("Total"));
    EXPECT_EQ(total->data()->constBegin()->key, Key(2));
    // Read again: the reading chosen holds without asking.
    window.reload();
    EXPECT_EQ(chooser.questions.size(), 1);

    const TimeFormatQuestion &question = chooser.questions.front();
    TimeFormatDialog dialog(QStringLiteral("au.txt"), question);
    ASSERT_GE(question.candidates.size(), 2);
    EXPECT_EQ(dialog.preview()->rowCount(), question.lines.size());
    EXPECT_EQ(dialog.preview()->columnCount(), 2 + question.candidates.size());
    EXPECT_TRUE(question.lines.front().startsWith(dialog.preview()->item(0, 1)->text().left(8)));
    EXPECT_EQ(dialog.preview()->item(0, 2)->text(),
              question.candidates.front().times.front().toString("ddd d MMM yyyy HH:mm:ss"));
    EXPECT_EQ(dialog.chosen(), -1);
    dialog.choose(1);
    EXPECT_EQ(dialog.chosen(), 1);
}

// The day view and its keys, zoom, panning and the zoom-out limit at the data's extent.
TEST(PlotWindowTest, MovesTheViewByDaysKeysAndZoomWithinTheData)
{
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.openFiles({WriteDataset(dir, QStringLiteral("days.txt"),
                                   {{"W.m-2", {{0, 1}, {1, 2}, {3000, 3}, {4500, 4}}}})});
    PlotView &plot = *window.plot();
    const auto action = [&window](const QString &text) {
        for (QAction *found : window.findChildren<QAction *>()) {
            if (found->text() == text)
                return found;
        }
        ADD_FAILURE() << text.toStdString();
        return new QAction(&window);
    };
    const double midnight = WallClock::ToKey(QDate(2026, 1, 4));
    const double day = 86400;
    struct Step
    {
        std::function<void()> act;
        double lower;
        double upper;
    };
    for (const Step &step :
         {Step{[&] { window.showRange(Key(1500) + 10, Key(1500) + 20); }, Key(1500) + 10,
               Key(1500) + 20},
          Step{[&] { action("&Day")->trigger(); }, midnight - day, midnight},
          Step{[&] { action("&Next day")->trigger(); }, midnight, midnight + day},
          Step{[&] { action("&Previous day")->trigger(); }, midnight - day, midnight},
          Step{[&] { QTest::keyClick(&plot, Qt::Key_Right); }, midnight - 0.9 * day,
               midnight + 0.1 * day},
          Step{[&] { action("Zoom &in")->trigger(); }, midnight - 0.65 * day,
               midnight - 0.15 * day},
          Step{[&] { action("Zoom &out")->trigger(); }, midnight - 0.9 * day, midnight + 0.1 * day},
          // No wider than the data.
          Step{[&] { plot.zoomTime(1e-3); }, Key(0), Key(4500)}}) {
        step.act();
        EXPECT_NEAR(plot.xAxis->range().lower, step.lower, 1e-3);
        EXPECT_NEAR(plot.xAxis->range().upper, step.upper, 1e-3);
    }
    // The value axis follows the values in view, unless fixed.
    for (const bool fixed : {false, true}) {
        window.showRange(Key(2000), Key(3500));
        EXPECT_LT(plot.yAxis->range().upper, 3.5);
        action("Fi&xed value range")->setChecked(fixed);
        window.showRange(Key(0), Key(4500));
        EXPECT_EQ(plot.yAxis->range().upper < 3.5, fixed);
    }
}

// Following a growing file reads exactly its new complete lines, keeps a view that did
// not show the end and moves one that did; opening the file again or reloading replaces it.
TEST(PlotWindowTest, FollowAndReloadAddExactlyTheNewLines)
{
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    const QString path =
        WriteDataset(dir, QStringLiteral("log.txt"), {{"W.m-2", {{0, 1}, {1, 2}, {2, 3}}}});
    window.openFiles({path});
    window.setFollowing(true);
    const auto totals = [&window] {
        return window.seriesSets().front()->graph(QStringLiteral("Total"))->data()->size();
    };
    PlotView &plot = *window.plot();
    struct Step
    {
        QVector<Record> added;
        QByteArray partial; // the start of a line still being written
        bool showEnd;
        int points;
    };
    for (const Step &step :
         {Step{{{3, 4}}, "", true, 4}, Step{{{4, 5}, {5, 6}}, "02/01/20", true, 6},
          Step{{}, "", false, 6}, Step{{{6, 7}, {30, 8}}, "", false, 9}}) {
        if (step.showEnd)
            window.fitAll();
        else
            window.showRange(Key(0), Key(2));
        const QCPRange before = plot.xAxis->range();
        WriteDataset(dir, QStringLiteral("log.txt"), {{"", step.added}}, true);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(step.partial);
        file.flush();
        window.readNewLines();
        EXPECT_EQ(totals(), step.points);
        // The writer then ends the line; here it is taken back instead.
        file.resize(file.size() - step.partial.size());
        const double moved = step.showEnd && !step.added.isEmpty()
                                 ? 60.0 * (step.added.last().minute - step.added.first().minute + 1)
                                 : 0;
        EXPECT_DOUBLE_EQ(plot.xAxis->range().lower, before.lower + moved);
        EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, before.upper + moved);
    }
    ASSERT_EQ(window.seriesSets().size(), 1u);
    EXPECT_EQ(window.summary()->summaries().front().summary.days().size(), 2);

    // The same file again, or F5: read whole once more, in the same place.
    WriteDataset(dir, QStringLiteral("log.txt"), {{"W.m-2", {{0, 1}, {1, 2}}}});
    window.openFiles({path});
    EXPECT_EQ(window.seriesSets().size(), 1u);
    EXPECT_EQ(totals(), 2);
    WriteDataset(dir, QStringLiteral("log.txt"), {{"W.m-2", {{0, 1}}}});
    window.reload();
    EXPECT_EQ(totals(), 1);
}

// A large graph draws a view at a time from the reader's records: each pixel column's least
// and greatest values, or the records themselves when few are in view; the value axis and
// the read-out still see every record.
TEST(PlotWindowTest, DrawsALargeFileAViewAtATime)
{
    SeriesGraph::setWholeDataLimit(0);
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.resize(800, 600);
    window.show();
    QVector<Record> records;
    for (int minute = 0; minute < 3000; ++minute) {
        if (minute < 1500 || minute >= 1600) // a gap
            records.append({minute, minute == 777 ? 900.0f : float(minute % 97)});
    }
    window.openFiles({WriteDataset(dir, QStringLiteral("big.txt"), {{"W.m-2", records}})});
    PlotView &plot = *window.plot();
    const QCPGraph *total = window.seriesSets().front()->graph(QStringLiteral("Total"));
    const auto points = [&] {
        plot.replot();
        QVector<double> values;
        for (const QCPGraphData &point : *total->data())
            values.append(point.value);
        return values;
    };
    window.fitAll();
    QVector<double> drawn = points();
    EXPECT_LE(drawn.size(), 4 * plot.axisRect()->width() + 8);
    EXPECT_EQ(std::count_if(drawn.cbegin(), drawn.cend(), [](double v) { return std::isnan(v); }),
              1);
    EXPECT_EQ(*std::max_element(drawn.cbegin(), drawn.cend(),
                                [](double a, double b) { return std::isnan(a) || a < b; }),
              900);
    EXPECT_GE(plot.yAxis->range().upper, 900);
    EXPECT_TRUE(
        CursorReadout::Text(window.seriesSets(), Key(777) + 5).contains("Total 900.0 W.m-2"));
    EXPECT_TRUE(CursorReadout::Text(window.seriesSets(), Key(1520)).contains("Total 44.0 W.m-2"));
    // Zoomed in: the records in view and one beyond each side, the axis over their values.
    window.showRange(Key(800), Key(850));
    drawn = points();
    EXPECT_EQ(drawn.size(), 53);
    EXPECT_EQ(drawn.front(), 799 % 97);
    EXPECT_LT(plot.yAxis->range().upper, 100);
    SeriesGraph::setWholeDataLimit(100000);
}

// At 800x600 the time axis's labels never overlap or repeat, from a minute to two years,
// and no legend entry is cut.
TEST(PlotWindowTest, KeepsTickLabelsApartAndLegendEntriesWhole)
{
    QTemporaryDir dir;
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.resize(800, 600);
    window.show();
    window.openFiles({WriteDataset(dir, QStringLiteral("first file with a long name.txt"), January),
                      WriteDataset(dir, QStringLiteral("second.txt"), January)});
    PlotView &plot = *window.plot();
    const double minute = 60;
    const double day = 86400;
    // Data over more than two years, so that no zoom-out limit gets in the way.
    for (const auto &set : window.seriesSets()) {
        set->graph("Total")->addData(Key(0) - 800 * day, 0);
        set->graph("Total")->addData(Key(0) + 800 * day, 0);
    }
    plot.updateKeyLimits();
    // Spans about the first record, and a day from midnight to midnight.
    const double midnight = WallClock::ToKey(QDate(2026, 1, 2));
    for (const QCPRange range :
         {QCPRange(-minute / 3, minute), QCPRange(-10 * minute, 0), QCPRange(-10, 3590),
          QCPRange(-2 * 3600, 4 * 3600), QCPRange(-day / 3, day / 2), QCPRange(-day, 2 * day),
          QCPRange(-7 * day, 7 * day), QCPRange(-20 * day, 40 * day), QCPRange(-90, 90 * day),
          QCPRange(-100 * day, 265 * day), QCPRange(-365 * day, 365 * day),
          QCPRange(midnight - Key(0), midnight - Key(0) + day)}) {
        const double span = range.size();
        plot.xAxis->setRange(Key(0) + range.lower, Key(0) + range.upper);
        plot.replot();
        const QVector<double> ticks = plot.xAxis->tickVector();
        const QVector<QString> labels = plot.xAxis->tickVectorLabels();
        ASSERT_GE(ticks.size(), 2) << span;
        const QFontMetrics metrics(plot.xAxis->tickLabelFont());
        double previousRight = -1e9;
        for (int i = 0; i < ticks.size(); ++i) {
            int width = 0;
            for (const QString &line : labels.at(i).split('\n'))
                width = std::max(width, metrics.horizontalAdvance(line));
            const double centre = plot.xAxis->coordToPixel(ticks.at(i));
            EXPECT_LT(previousRight, centre - width / 2.0)
                << span << " s: " << labels.at(i).toStdString();
            previousRight = centre + width / 2.0;
            EXPECT_EQ(labels.count(labels.at(i)), 1) << labels.at(i).toStdString();
        }
    }
    ASSERT_EQ(plot.legend->itemCount(), 6);
    for (int i = 0; i < plot.legend->itemCount(); ++i) {
        const QCPAbstractLegendItem *item = plot.legend->item(i);
        EXPECT_GE(item->rect().width(), item->minimumOuterSizeHint().width() - 1) << i;
        EXPECT_TRUE(plot.rect().contains(item->rect())) << i;
    }
    // The plot keeps most of the window, the summary under it.
    EXPECT_GT(plot.height(), window.height() / 2);
}

TEST(PlotWindowTest, SummarisesAndExportsWithoutAWindow)
{
    QTemporaryDir dir;
    const QString path = WriteDataset(dir, QStringLiteral("jan.txt"), January);
    // Written by hand: a record at 01:30 on that day cannot be made from a local time.
    const QString spring = dir.filePath(QStringLiteral("spring.txt"));
    QFile springFile(spring);
    ASSERT_TRUE(springFile.open(QIODevice::WriteOnly));
    springFile.write("ZQ5 Data file 29/03/2026 03:00:00\r\nZQ5 v2.10 Ser No: 77\r\n"
                     "Reading Units: W.m-2\r\nTime\tTotal\tDiffuse\tSun\r\n"
                     "29/03/2026 00:59:00\t1.0\t0.1\t1.0\r\n29/03/2026 01:30:00\t2.0\t0.2\t0.0\r\n"
                     "29/03/2026 02:01:00\t3.0\t0.3\t1.0\r\n");
    springFile.close();
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const QString missingError = PlotFileReader::read(missing).error;
    struct Row
    {
        QStringList arguments;
        int status;
        QString output; // a file written, or "-" for standard output
        QString text;   // found in the output, or in standard error when failing
    };
    const QString summary =
        SummaryTable::TabSeparatedText({{"jan.txt", DailySummary(PlotFileReader::read(path))}});
    const QString png = dir.filePath("out.png");
    const QString csv = dir.filePath("out.csv");
    for (const Row &row :
         {Row{{"--summary", path}, 0, "-", summary},
          Row{{"--summary", path, missing}, 1, "", missingError},
          Row{{"--export", png, "--size", "300x200", path}, 0, png, ""},
          Row{{"--export", csv, "--from", "2026-01-02", "--to", "2026-01-02 00:00:30", path},
              0,
              csv,
              "Time,Units,Total,Diffuse,Sun\r\n2026-01-02 00:00:00,W.m-2,300,30,0\r\n"},
          Row{{"--export", csv, missing}, 1, "", missingError},
          Row{{"--export", csv, spring},
              0,
              csv,
              "2026-03-29 00:59:00,W.m-2,1,0.1,1\r\n2026-03-29 01:30:00,W.m-2,2,0.2,0\r\n"
              "2026-03-29 02:01:00,W.m-2,3,0.3,1\r\n"},
          Row{{"--export", dir.filePath("out.txt"), path}, 2, "", "--export writes"},
          Row{{"--export", png, "--size", "300", path}, 2, "", "--size takes"},
          Row{{"--export", png, "--from", "yesterday", path}, 2, "", "--from takes"},
          Row{{"--summary"}, 2, "", "no file"},
          Row{{"--summary", "--frobnicate", path}, 2, "", "unknown option"}}) {
        const std::string args = row.arguments.join(' ').toStdString();
        QFile::remove(png);
        QFile::remove(csv);
        FILE *out = std::tmpfile();
        FILE *err = std::tmpfile();
        const VantplotCommand command = VantplotCommand::Parse(row.arguments);
        int status = 2;
        if (command.mode == VantplotCommand::Mode::Summary)
            status = RunSummary(command, out, err);
        else if (command.mode == VantplotCommand::Mode::Export)
            status = RunExport(command, err);
        else
            std::fputs(qPrintable(command.error), err);
        EXPECT_EQ(status, row.status) << args;
        const auto contents = [](FILE *file) {
            std::rewind(file);
            QByteArray bytes;
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
                bytes.append(buffer, qsizetype(n));
            std::fclose(file);
            return QString::fromUtf8(bytes);
        };
        const QString printed = contents(out);
        const QString errors = contents(err);
        if (row.status != 0) {
            EXPECT_TRUE(errors.contains(row.text)) << args << ": " << errors.toStdString();
        } else if (row.output == "-") {
            EXPECT_EQ(printed, row.text) << args;
        } else {
            EXPECT_TRUE(ReadAll(row.output).contains(row.text) && QFileInfo(row.output).size() > 50)
                << args;
        }
        if (row.output == png) {
            EXPECT_EQ(QImage(png).size(), QSize(300, 200));
        }
    }
}
