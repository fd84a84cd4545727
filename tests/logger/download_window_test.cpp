// The download dialog on the logger window: the choices it offers, the file dialog, the
// end of a download with the viewer, a close while the transfer runs, and the failures
// the user must hear about.
#include "FakeFileDialogs.h"
#include "FakeProgramLauncher.h"
#include "LoggerWindowFixture.h"

#include "logger/ui/frmDownload.h"

#include <QFile>
#include <QGroupBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>

#include <functional>

namespace {

class DownloadWindowTest : public LoggerWindowFixture
{
protected:
    DownloadWindowTest()
    {
        for (int i = 0; i < 5; ++i)
            logger.blocks[10 + i] = FakeLogger::block(
                LoggerTimeStamp::fromDays(Days(2026, 5, 31, 20) + i * 125.0 / 1440), 0x0A, 0x41,
                i == 4 ? 47 : 125);
    }

    frmLogger &openWithSeams()
    {
        open();
        window->fileDialogs = &dialogs;
        window->launcher = &launcher;
        window->programFolder = dir.path();
        return *window;
    }

    // Clicks Download and hands the dialog to `act`, which must close it.
    void download(const std::function<void(frmDownload &)> &act)
    {
        window->runDialog = [&](QDialog &dialog) {
            auto &shown = dynamic_cast<frmDownload &>(dialog);
            shown.show();
            EXPECT_TRUE(shown.isEnabled());
            EXPECT_FALSE(ui().cmdDownload->isEnabled());
            act(shown);
            shown.close();
        };
        logger.frames.clear();
        window->cmdDownload_Click();
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("my data set.txt"));
    FakeFileDialogs dialogs;
    FakeProgramLauncher launcher;
};

TEST_F(DownloadWindowTest, TheChoicesFollowTheDataset)
{
    struct Case
    {
        const char *name;
        quint16 startBlock;
        quint16 dwnldBlock;
        quint16 dwnldAddr;
        const char *selected;
        bool startOffered;
        bool newOffered;
    };
    const Case cases[] = {
        // Block 11 holds no valid first record: only the whole memory can be fetched.
        {"EmptyDataset", 11, 11, 8, "optAll", false, false},
        {"NothingDownloaded", 10, 10, 8, "optStart", true, false},
        {"PartlyDownloaded", 10, 12, 100, "optNew", true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        logger.blocks.erase(11);
        logger.setProgram(0x0A, 0x41, 0x02, c.startBlock, c.dwnldBlock, c.dwnldAddr, 14);
        openWithSeams();
        download([&](frmDownload &d) {
            EXPECT_EQ(d.windowTitle(), QStringLiteral("Download logger data"));
            EXPECT_EQ(d.Frame1->title(), QStringLiteral("Starting from:"));
            EXPECT_TRUE(d.findChild<QRadioButton *>(c.selected)->isChecked());
            EXPECT_EQ(d.optStart->isEnabled(), c.startOffered);
            EXPECT_EQ(d.lblStart->isVisible(), c.startOffered);
            EXPECT_EQ(d.optNew->isEnabled(), c.newOffered);
            EXPECT_EQ(d.lblNew->isVisible(), c.newOffered);
            EXPECT_TRUE(d.optAll->isEnabled());
            EXPECT_EQ(d.lblDownloadAll->isVisible(), !c.startOffered);
            EXPECT_FALSE(d.ProgressBar1->isVisible());
            EXPECT_FALSE(d.lblProgress->isVisible());
            if (c.startOffered) {
                EXPECT_EQ(d.lblStart->text(), QStringLiteral("31-May-26 20:00:00"));
            }
            if (c.newOffered) { // one averaging period after slot 22 of block 12 (00:32)
                EXPECT_EQ(d.lblNew->text(), QStringLiteral("01-Jun-26 00:33:00"));
            }
        });
        // Nothing downloaded: at most the read after the dialog fetches the top block.
        EXPECT_LE(logger.framesOf(22).size(), 1);
        EXPECT_EQ(logger.framesOf(21).size(), 0);
        EXPECT_TRUE(ui().cmdDownload->isEnabled());
    }
}

TEST_F(DownloadWindowTest, ADownloadEndsWithDoneAndOpensTheFileWithThePathAsOneWord)
{
    for (const bool graphingProgram : {false, true}) {
        SCOPED_TRACE(graphingProgram);
        if (graphingProgram) {
            QFile program(dir.filePath(QStringLiteral("vantplot")));
            ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        }
        openWithSeams();
        dialogs.answers = {path};
        launcher.starts.clear();
        download([&](frmDownload &d) {
            d.OKButton->click();
            EXPECT_EQ(d.lblProgress->text(), QStringLiteral("Done!"));
            EXPECT_EQ(d.ProgressBar1->value(), d.ProgressBar1->maximum());
            EXPECT_FALSE(d.isVisible());
        });

        const FakeFileDialogs::Request &asked = dialogs.requests.last();
        EXPECT_EQ(asked.title, QStringLiteral("Save Dataset as"));
        EXPECT_EQ(asked.filter, QStringLiteral("ZQ3 tab separated file (*.txt);;ZQ3 comma "
                                               "separated file (*.csv)"));
        EXPECT_EQ(asked.defaultSuffix, QStringLiteral("txt"));
        EXPECT_TRUE(asked.folder.isEmpty());
        EXPECT_TRUE(asked.fileName.isEmpty());
        // The new data only: from offset 104 of block 12 to the top block, the block
        // asked for ahead, then the top block for the read after the download.
        EXPECT_EQ(logger.framesOf(22).size(), 5);
        EXPECT_EQ(logger.framesOf(21).size(), 1);
        EXPECT_TRUE(QFile::exists(path));
        ASSERT_EQ(launcher.starts.size(), 1);
        EXPECT_EQ(launcher.starts.at(0).program,
                  graphingProgram ? dir.filePath(QStringLiteral("vantplot")) : QString());
        EXPECT_EQ(launcher.starts.at(0).arguments, QStringList({path}));
        // The window has read the logger again and is the user's again.
        EXPECT_EQ(logger.framesOf(15).size(), 1);
        EXPECT_TRUE(ui().cmdDownload->isEnabled());
        EXPECT_TRUE(window->Timer1.isActive());
    }
}

TEST_F(DownloadWindowTest, CancellingTheFileChoiceOffersTheChoicesAgain)
{
    openWithSeams();
    dialogs.answers = {QString()};
    download([&](frmDownload &d) {
        d.optStart->setChecked(true);
        d.OKButton->click();
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(d.Downloading());
        EXPECT_TRUE(d.OKButton->isEnabled());
        EXPECT_TRUE(d.optNew->isChecked());
        EXPECT_TRUE(d.optStart->isEnabled());
    });
    EXPECT_EQ(logger.framesOf(22).size(), 1);
    EXPECT_TRUE(launcher.starts.isEmpty());
}

TEST_F(DownloadWindowTest, AFileThatCannotBeCreatedIsReportedAndNothingIsDone)
{
    openWithSeams();
    const QString nowhere = dir.filePath(QStringLiteral("missing folder/data.txt"));
    dialogs.answers = {nowhere};
    download([&](frmDownload &d) {
        d.OKButton->click();
        EXPECT_TRUE(d.isVisible());
        EXPECT_NE(d.lblProgress->text(), QStringLiteral("Done!"));
        EXPECT_TRUE(d.lblProgress->isVisible());
        EXPECT_TRUE(d.OKButton->isEnabled());
    });
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_EQ(prompts.calls().at(0).kind, RecordingPrompts::Kind::Message);
    EXPECT_EQ(prompts.calls().at(0).title, QStringLiteral("Download"));
    EXPECT_TRUE(prompts.calls().at(0).text.startsWith(QStringLiteral("Error opening file ") +
                                                      nowhere + QStringLiteral("\r\n")));
    EXPECT_GT(prompts.calls().at(0).text.size(),
              (QStringLiteral("Error opening file \r\n") + nowhere).size());
    EXPECT_EQ(logger.framesOf(22).size(), 1);
    EXPECT_TRUE(launcher.starts.isEmpty());
}

TEST_F(DownloadWindowTest, AClosedDialogStopsTheTransferAfterTheBlockInHand)
{
    openWithSeams();
    dialogs.answers = {path};
    download([&](frmDownload &d) {
        d.optStart->setChecked(true);
        // The first time window events run during the transfer, the user closes the
        // dialog: the close is refused and asks the transfer to stop.
        pump.hook = [&] {
            if (!d.Downloading() || logger.framesOf(22).size() < 2)
                return;
            pump.hook = nullptr;
            EXPECT_FALSE(d.close());
            EXPECT_TRUE(d.mCancel);
            EXPECT_TRUE(d.isVisible());
        };
        d.OKButton->click();
        EXPECT_EQ(d.lblProgress->text(), QStringLiteral("Done!"));
    });
    // Block 10 was written; the download position is its last record.
    ASSERT_EQ(logger.framesOf(21).size(), 1);
    EXPECT_EQ(launcher.starts.size(), 1);
}

// A file that takes its headings and then refuses every write, as a full disk does.
class FullDiskFile : public QIODevice
{
public:
    FullDiskFile() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        if (++m_writes > 1) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        return size;
    }

private:
    int m_writes = 0;
};

TEST_F(DownloadWindowTest, AFailedWriteStaysInTheStatusBarAfterTheRead)
{
    openWithSeams();
    window->datasetOpener = [](const QString &, QString &) {
        return std::make_unique<FullDiskFile>();
    };
    dialogs.answers = {path};
    download([&](frmDownload &d) { d.OKButton->click(); });
    EXPECT_EQ(logger.framesOf(21).size(), 0);
    EXPECT_EQ(ui().StatusBar1->currentMessage(),
              QStringLiteral("Download error No space left on device - the logger's download "
                             "position was not moved"));
}

} // namespace
