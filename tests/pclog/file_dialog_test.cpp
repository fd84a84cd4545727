// The save dialog on the windowing system: set up as asked, answered with the chosen
// path, cancelled with empty text. The dialog is answered by a timer armed before it
// opens.
#include "QtPrinters.h"

#include "platform/ui/GuiFileDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString Filter =
    QStringLiteral("ZQ3 tab separated file (*.txt);;ZQ3 comma separated file (*.csv)");

// Runs `answer` on the save dialog once it is open.
void WhenOpen(const std::function<void(QFileDialog &)> &answer)
{
    QTimer::singleShot(0, [answer] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QFileDialog *>(top); dialog && dialog->isVisible()) {
                answer(*dialog);
                return;
            }
        }
        ADD_FAILURE() << "no file dialog open";
    });
}

TEST(FileDialogTest, SetUpAsAskedAndAnsweredWithTheFullPath)
{
    QTemporaryDir folder;
    GuiFileDialogs dialogs;
    QString title;
    QStringList filters;
    QString suffix;
    QString directory;
    bool saving = false;
    WhenOpen([&](QFileDialog &dialog) {
        title = dialog.windowTitle();
        filters = dialog.nameFilters();
        suffix = dialog.defaultSuffix();
        directory = dialog.directory().absolutePath();
        saving = dialog.acceptMode() == QFileDialog::AcceptSave;
        dialog.selectFile(QStringLiteral("roof"));
        static_cast<QDialog &>(dialog).accept();
    });
    const QString chosen = dialogs.saveFileName(QStringLiteral("Record to file"), folder.path(),
                                                QString(), Filter, QStringLiteral("txt"));
    EXPECT_EQ(title, QStringLiteral("Record to file"));
    EXPECT_EQ(filters,
              QStringList({"ZQ3 tab separated file (*.txt)", "ZQ3 comma separated file (*.csv)"}));
    EXPECT_EQ(suffix, QStringLiteral("txt"));
    EXPECT_EQ(directory, QDir(folder.path()).absolutePath());
    EXPECT_TRUE(saving);
    EXPECT_EQ(chosen, QDir::toNativeSeparators(folder.filePath(QStringLiteral("roof.txt"))))
        << "a name without extension gets the default one";
}

TEST(FileDialogTest, TheLastFileIsOfferedInItsOwnFolder)
{
    QTemporaryDir documents;
    QTemporaryDir elsewhere;
    const QString last = elsewhere.filePath(QStringLiteral("last.csv"));
    GuiFileDialogs dialogs;
    QString directory;
    QString filter;
    WhenOpen([&](QFileDialog &dialog) {
        directory = dialog.directory().absolutePath();
        filter = dialog.selectedNameFilter();
        static_cast<QDialog &>(dialog).accept();
    });
    const QString chosen = dialogs.saveFileName(QStringLiteral("Record to file"), documents.path(),
                                                last, Filter, QStringLiteral("txt"));
    EXPECT_EQ(directory, QDir(elsewhere.path()).absolutePath());
    EXPECT_EQ(filter, QStringLiteral("ZQ3 comma separated file (*.csv)"));
    EXPECT_EQ(chosen, QDir::toNativeSeparators(last));
}

TEST(FileDialogTest, CancelGivesEmptyText)
{
    GuiFileDialogs dialogs;
    WhenOpen([](QFileDialog &dialog) { dialog.reject(); });
    EXPECT_TRUE(dialogs
                    .saveFileName(QStringLiteral("Record to file"), QString(), QString(), Filter,
                                  QStringLiteral("txt"))
                    .isEmpty());
}

} // namespace
