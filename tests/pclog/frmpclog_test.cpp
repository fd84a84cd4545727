// The "Vantlog" window offscreen on a virtual clock: its controls at every opening, the
// period lists, starting and stopping, the output box, the layout and title, closing
// with its question, and the hand-over to and from the main window.
#include "../app/DisplayFixture.h"
#include "FakeFileDialogs.h"
#include "PCLogFixture.h"
#include "QtPrinters.h"
#include "RecordingPrompts.h"

#include "app/frmPCLogFactory.h"
#include "pclog/ui/frmPCLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

class PCLogWindowTest : public InstrumentOnCable
{
protected:
    PCLogWindowTest()
    {
        link.setCommPort(1);
        link.GetStatus();
        window = std::make_unique<frmPCLog>(
            link, clock, pump, prompts, dialogs,
            frmPCLog::Host{[this] { return testMenu; }, [this] { ++takenBack; }});
        window->show();
    }

    void runTimer(double seconds) { RunWindowTimer(*window, clock, seconds); }

    void startAt(const QTime &time)
    {
        clock.setNow(QDateTime(QDate(2026, 6, 1), time));
        window->cmdLog->click();
    }

    bool choicesEnabled() const
    {
        return window->cboLog->isEnabled() && window->cboAvg->isEnabled() &&
               window->chkFile->isEnabled() && window->chkIndividual->isEnabled();
    }
    bool choicesDisabled() const
    {
        return !window->cboLog->isEnabled() && !window->cboAvg->isEnabled() &&
               !window->chkFile->isEnabled() && !window->chkIndividual->isEnabled();
    }

    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    bool testMenu = false;
    int takenBack = 0;
    QTemporaryDir dir;
    std::unique_ptr<frmPCLog> window;
};

TEST_F(PCLogWindowTest, ControlsAtLoad)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantlog"));
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Log period"));
    EXPECT_EQ(window->Label2->text(), QStringLiteral("Avg period"));
    EXPECT_EQ(Items(window->cboLog),
              QStringList({"1s", "2s", "5s", "10s", "30s", "1m", "5m", "10m", "30m", "60m"}));
    EXPECT_EQ(window->cboLog->currentText(), QStringLiteral("10s"));
    EXPECT_FALSE(window->cboLog->isEditable());
    EXPECT_EQ(Items(window->cboAvg), QStringList({"10s", "30s", "1m", "5m", "10m", "30m", "60m"}));
    EXPECT_EQ(window->cboAvg->currentText(), QStringLiteral("10s"));
    EXPECT_TRUE(window->cboAvg->isEditable());
    EXPECT_EQ(window->chkIndividual->text(), QStringLiteral("Individual sensors"));
    EXPECT_EQ(window->chkFile->text(), QStringLiteral("Log to file"));
    EXPECT_FALSE(window->chkIndividual->isChecked());
    EXPECT_FALSE(window->chkFile->isChecked());
    EXPECT_EQ(window->cmdLog->text(), QStringLiteral("Start logging"));
    EXPECT_TRUE(choicesEnabled());
    EXPECT_TRUE(window->lblHeading->text().isEmpty());
    EXPECT_TRUE(window->txtOut->toPlainText().isEmpty());
    EXPECT_EQ(window->panel1Text(), QStringLiteral("ZQ3 & VTA1 Logger"));
    EXPECT_TRUE(window->panel2Text().isEmpty());
    EXPECT_FALSE(window->Timer1.isActive());

    EXPECT_EQ(window->cboLog->toolTip(), QStringLiteral("How often a reading is taken"));
    EXPECT_EQ(window->cboAvg->toolTip(),
              QStringLiteral("How often a reading is stored or displayed"));
    EXPECT_EQ(window->chkIndividual->toolTip(),
              QStringLiteral("Check this box to show the 7 individual light sensor readings"));
    EXPECT_EQ(window->chkFile->toolTip(),
              QStringLiteral("Check this to store readings to file, otherwise they are only "
                             "displayed on the screen"));
    // Nothing is cut short or overlaps in the top row.
    for (QWidget *control :
         {static_cast<QWidget *>(window->Label1), static_cast<QWidget *>(window->Label2),
          static_cast<QWidget *>(window->chkIndividual), static_cast<QWidget *>(window->chkFile),
          static_cast<QWidget *>(window->cmdLog)})
        EXPECT_GE(control->width(), control->sizeHint().width())
            << control->objectName().toStdString();
    EXPECT_LE(window->Label2->geometry().right(), window->chkIndividual->geometry().left());
    EXPECT_LE(window->chkIndividual->geometry().right(), window->cmdLog->geometry().left());
    EXPECT_LE(window->chkFile->geometry().right(), window->cmdLog->geometry().left());
    EXPECT_LE(window->cboLog->geometry().right(), window->cboAvg->geometry().left());
}

TEST_F(PCLogWindowTest, AveragingListStartsAtTheLogPeriod)
{
    const struct
    {
        const char *logPeriod;
        QStringList averaging;
    } cases[] = {{"60m", {"60m"}},
                 {"1s", {"1s", "2s", "5s", "10s", "30s", "1m", "5m", "10m", "30m", "60m"}},
                 {"5m", {"5m", "10m", "30m", "60m"}}};
    for (const auto &c : cases) {
        window->cboAvg->setEditText(QStringLiteral("typed"));
        window->cboLog->setCurrentText(QString::fromLatin1(c.logPeriod));
        EXPECT_EQ(Items(window->cboAvg), c.averaging) << c.logPeriod;
        EXPECT_EQ(window->cboAvg->currentText(), c.averaging.first()) << c.logPeriod;
    }
}

TEST_F(PCLogWindowTest, StartLogStopAndStartAgain)
{
    window->cboAvg->setEditText(QStringLiteral("20"));
    startAt(QTime(10, 0, 0, 600));
    EXPECT_EQ(window->cmdLog->text(), QStringLiteral("Stop Logging"));
    EXPECT_TRUE(choicesDisabled());
    EXPECT_TRUE(window->Timer1.isActive());
    EXPECT_EQ(window->Timer1.interval(), 1000);
    EXPECT_EQ(window->lblHeading->text(), QStringLiteral("  Time      Total Diffuse  Sun"));
    EXPECT_EQ(window->panel1Text(), link.Status());

    runTimer(40);
    EXPECT_EQ(window->outputText(), QStringLiteral("10:00:20    100.5    50.0  1.0\r\n"
                                                   "10:00:40    102.5    50.0  1.0\r\n"));
    EXPECT_EQ(window->txtOut->toPlainText(), QStringLiteral("10:00:20    100.5    50.0  1.0\n"
                                                            "10:00:40    102.5    50.0  1.0\n"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^10:00:[34]\\d$"))
                    .match(window->panel2Text())
                    .hasMatch())
        << window->panel2Text().toStdString();

    window->cmdLog->click();
    EXPECT_EQ(window->cmdLog->text(), QStringLiteral("Start Logging"));
    EXPECT_TRUE(choicesEnabled());
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_EQ(window->panel2Text(), QStringLiteral(" "));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantlog"));
    EXPECT_EQ(window->outputText().count(QStringLiteral("\r\n")), 2) << "kept after a stop";

    window->cboLog->setCurrentText(QStringLiteral("1s"));
    window->cmdLog->click();
    EXPECT_EQ(window->Timer1.interval(), 500);
    EXPECT_EQ(window->cmdLog->text(), QStringLiteral("Stop Logging"));
}

TEST_F(PCLogWindowTest, RefusedStartKeepsTheWindowIdle)
{
    instrument.version = "VTA1 v1.0";
    instrument.calibrationDump = "E\r?";
    ASSERT_TRUE(link.GetStatus());
    const struct
    {
        const char *avgPeriod;
        bool individual;
        const char *message;
    } cases[] = {{"0s", false, "Avg period must be from 1s to 32767s"},
                 {"10s", true, "Failed to read ZQ/VTA calibration values"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        window->cboAvg->setEditText(QString::fromLatin1(c.avgPeriod));
        window->chkIndividual->setChecked(c.individual);
        window->cmdLog->click();
        EXPECT_EQ(window->panel2Text(), QString::fromLatin1(c.message));
        EXPECT_EQ(window->cmdLog->text(), QStringLiteral("Start logging"));
        EXPECT_TRUE(choicesEnabled());
        EXPECT_EQ(window->chkIndividual->isChecked(), c.individual);
        EXPECT_FALSE(window->Timer1.isActive());
        EXPECT_TRUE(prompts.calls().isEmpty());
    }
}

TEST_F(PCLogWindowTest, IndividualSensorsShowTheFactorsAndTheSensorColumns)
{
    instrument.version = "ZQ4 v2.3";
    instrument.calibrationDump =
        "E\rSerial: 1234\rUser:     4101  4080  4050  4200  3990  4096  4111\rOffset:     12";
    ASSERT_TRUE(link.GetStatus());
    window->chkIndividual->setChecked(true);
    testMenu = true;
    startAt(QTime(10, 0, 0, 600));
    EXPECT_EQ(window->panel2Text(), QStringLiteral("Reading calibration values"));
    EXPECT_EQ(window->outputText(), QStringLiteral("4096 4101 4080 4050 4200 3990 4096 4111 \r\n"));
    EXPECT_EQ(window->lblHeading->text(),
              QStringLiteral("  Time      Total Diffuse  Sun     P0     P1     P2     P3     P4"
                             "     P5     P6     P7   Temp"));
    runTimer(10);
    const QString row = QStringLiteral("10:00:10    100.0    50.0  1.0 2500.0 2500.0 2500.0 2500.0 "
                                       "2500.0 2500.0 2500.0 2500.0   21.4   25.1  1.000");
    EXPECT_TRUE(window->outputText().endsWith(row + QStringLiteral("\r\n")));
    // The window widened for the row (longer than the heading): seen whole, no scrolling.
    EXPECT_GE(window->txtOut->viewport()->width(),
              QFontMetrics(window->txtOut->font()).horizontalAdvance(row));
    EXPECT_EQ(window->txtOut->horizontalScrollBar()->maximum(), 0);
}

TEST_F(PCLogWindowTest, OutputBoxKeepsTheLast10000CharactersFromAWholeLine)
{
    window->cboLog->setCurrentText(QStringLiteral("1s"));
    startAt(QTime(10, 0, 0, 600));
    runTimer(400); // about 400 lines of 32 characters
    const QString text = window->outputText();
    EXPECT_LE(text.size(), 10000);
    EXPECT_GT(text.size(), 9900);
    const QRegularExpression row(QStringLiteral("^10:0(\\d):(\\d\\d)    (\\d+)\\.0    50.0  1.0$"));
    const QStringList rows = text.split(QStringLiteral("\r\n"));
    EXPECT_TRUE(rows.last().isEmpty()) << "the box ends with a line end";
    for (const QString &shownRow : rows.mid(0, rows.size() - 1)) {
        // Reading n (from 100) is the one due at 10:00:02 + n seconds, and the first row
        // is a whole one.
        const QRegularExpressionMatch match = row.match(shownRow);
        ASSERT_TRUE(match.hasMatch()) << shownRow.toStdString();
        const int second = match.captured(1).toInt() * 60 + match.captured(2).toInt();
        EXPECT_EQ(match.captured(3).toInt(), second - 2 + 100) << shownRow.toStdString();
    }
    EXPECT_GE(rows.size(), 300);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(window->txtOut->toPlainText(), shown);
    EXPECT_EQ(window->txtOut->textCursor().position(), shown.size()) << "newest line in view";
}

TEST_F(PCLogWindowTest, LayoutFollowsTheWindowSize)
{
    window->resize(800, 600);
    const int statusHeight = window->StatusBar1->height();
    EXPECT_EQ(window->StatusBar1->geometry().bottom(), 599);
    EXPECT_EQ(window->StatusBar1->width(), 800);
    EXPECT_EQ(window->txtOut->x(), 2);
    EXPECT_EQ(window->txtOut->width(), 796);
    EXPECT_EQ(window->lblHeading->x(), 3);
    EXPECT_EQ(window->lblHeading->width(), 796);
    EXPECT_EQ(window->txtOut->y(), window->lblHeading->y() + window->lblHeading->height() + 2);
    EXPECT_EQ(window->txtOut->height(),
              600 - window->lblHeading->y() - window->lblHeading->height() - statusHeight - 3);
    EXPECT_EQ(window->Line1->width(), 800);

    // Too small for the box: its height stays as it was.
    const int height = window->txtOut->height();
    window->resize(300, window->lblHeading->y() + 10);
    EXPECT_EQ(window->txtOut->height(), height);
}

TEST_F(PCLogWindowTest, TitleShowsTheLogFileWhileLogging)
{
    const QString name = dir.filePath(QStringLiteral("a-rather-long-name-for-a-log-file-of-the-"
                                                     "sunshine-sensor-on-the-roof.txt"));
    dialogs.answers.push_back(name);
    window->chkFile->setChecked(true);
    window->resize(700, 400);
    startAt(QTime(10, 0, 0, 600));
    const QFontMetrics metrics(window->font());
    const int room = window->width() - 147;
    const QString title = window->windowTitle();
    if (metrics.horizontalAdvance(name) <= room) {
        EXPECT_EQ(title, QStringLiteral("Vantlog ") + name);
    } else {
        ASSERT_TRUE(title.startsWith(QStringLiteral("Vantlog ...")));
        const QString tail = title.mid(11);
        EXPECT_TRUE(name.endsWith(tail));
        EXPECT_LE(metrics.horizontalAdvance(tail), room);
        EXPECT_GT(metrics.horizontalAdvance(name.right(tail.size() + 1)), room);
    }
    window->resize(300, 400);
    EXPECT_LT(window->windowTitle().size(), title.size()) << "a narrower window, a shorter tail";

    window->cmdLog->click();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantlog"));
}

TEST_F(PCLogWindowTest, ClosingWhileLoggingAsksFirst)
{
    const QString name = dir.filePath(QStringLiteral("closing.txt"));
    dialogs.answers.push_back(name);
    window->chkFile->setChecked(true);
    startAt(QTime(10, 0, 0, 600));
    runTimer(10);

    prompts.answers = {false};
    EXPECT_FALSE(window->close());
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_EQ(prompts.calls()[0].kind, RecordingPrompts::Kind::Question);
    EXPECT_EQ(prompts.calls()[0].title, QStringLiteral("Close Vantlog"));
    EXPECT_EQ(prompts.calls()[0].text,
              QStringLiteral("You are still logging, do you really want to stop?"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Timer1.isActive());
    EXPECT_EQ(takenBack, 0);
    runTimer(10);

    prompts.answers = {true};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(prompts.calls().size(), 2);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_FALSE(window->run().IsLogging());
    EXPECT_EQ(takenBack, 1);
    // The file is closed and holds the header and both lines.
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 6);

    // Reopened: idle again, and the first click starts logging.
    window->Form_Load();
    window->show();
    EXPECT_EQ(window->cmdLog->text(), QStringLiteral("Start logging"));
    EXPECT_FALSE(window->chkFile->isChecked());
    EXPECT_TRUE(window->outputText().isEmpty());
    window->cmdLog->click();
    EXPECT_EQ(window->cmdLog->text(), QStringLiteral("Stop Logging"));
    EXPECT_TRUE(window->Timer1.isActive());
}

TEST_F(PCLogWindowTest, ClosingWhenIdleAsksNothing)
{
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(prompts.calls().isEmpty());
    EXPECT_EQ(takenBack, 1);
}

TEST_F(PCLogWindowTest, RunTimeFailureShowsAnErrorBoxWithTheProgramTitle)
{
    window->chkFile->setChecked(true);
    dialogs.answers.push_back(dir.filePath(QStringLiteral("missing/x.txt")));
    window->cmdLog->click();
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_EQ(prompts.calls()[0].kind, RecordingPrompts::Kind::Message);
    EXPECT_EQ(prompts.calls()[0].title, QStringLiteral("Quorvel"));
    EXPECT_TRUE(prompts.calls()[0].text.startsWith(QStringLiteral("Error: ")));
    EXPECT_FALSE(window->chkFile->isChecked());
    EXPECT_EQ(window->cmdLog->text(), QStringLiteral("Stop Logging"));
}

// The window opened from the main window's menu.
class PCLogHandOverTest : public DisplayFixture
{
protected:
    // Opens the logging window from the menu and finds it among the visible windows.
    frmPCLog *openPCLog()
    {
        window->windows.pcLog = PCLogWindowFactory(clock, pump, prompts);
        window->mnuPCLog_Click();
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *pcLog = qobject_cast<frmPCLog *>(top); pcLog && pcLog->isVisible())
                return pcLog;
        }
        return nullptr;
    }
};

TEST_F(PCLogHandOverTest, LogToPcHandsTheInstrumentOverAndBack)
{
    addScripted(1);
    start();
    ASSERT_TRUE(window->Timer1.isActive());
    window->move(40, 60);
    frmPCLog *pcLog = openPCLog();
    ASSERT_NE(pcLog, nullptr);
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(pcLog->pos(), window->pos());

    pcLog->cmdLog->click();
    ASSERT_TRUE(pcLog->Timer1.isActive());
    prompts.answers = {true};
    EXPECT_TRUE(pcLog->close());
    EXPECT_EQ(prompts.texts(),
              QStringList{QStringLiteral("You are still logging, do you really want to stop?")});
    EXPECT_FALSE(window->isHidden());
    EXPECT_TRUE(window->Timer1.isActive());

    // Opened again: the same window, idle, with the last choices forgotten.
    window->mnuPCLog_Click();
    EXPECT_TRUE(pcLog->isVisible());
    EXPECT_EQ(pcLog->cmdLog->text(), QStringLiteral("Start logging"));
    EXPECT_FALSE(pcLog->Timer1.isActive());
    EXPECT_TRUE(pcLog->close());
}

} // namespace

TEST_F(PCLogHandOverTest, MainWindowsTestMenuFlagShowsTheChipTemperature)
{
    addInstrument(1, SimModel::ZQ5);
    start(QStringLiteral("/E"));
    ASSERT_TRUE(window->TestMenuFlag);
    frmPCLog *pcLog = openPCLog();
    ASSERT_NE(pcLog, nullptr);
    pcLog->cmdLog->click();
    for (int i = 0; i < 12; ++i) {
        clock.advanceSeconds(1.0);
        pcLog->Timer1_Timer();
    }
    const QStringList rows = pcLog->outputText().split(QStringLiteral("\r\n"));
    ASSERT_GE(rows.size(), 2);
    // time, total, diffuse, sun, temperature and chip temperature
    EXPECT_EQ(rows.first().simplified().split(QLatin1Char(' ')).size(), 6)
        << rows.first().toStdString();
}
