// SPDX-License-Identifier: GPL-3.0-or-later
// The durable file on the real disk: a write counts as done only while the path still
// names the file it went into.
#include "platform/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

TEST(DurableFileTest, AWriteAfterThePathLostItsFileFailsAndSaysWhichFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run/log.txt");
    const QString gone = QDir::toNativeSeparators(path) + " is no longer on the disk";
    // What happens to the path after the first line, and the second write's error.
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] {}, ""},
        {[&] { QFile::remove(path); }, gone},
        // Another file renamed over it, as an editor or a sync tool saves.
        {[&] {
             QFile(path + "~").open(QIODevice::WriteOnly);
             std::rename(qPrintable(path + "~"), qPrintable(path));
         },
         gone},
        {[&] { QDir(dir.path()).rename("run", "old"); }, gone},
    };
    for (const auto &opener : {DurableFile::OpenReplacingFile, DurableFile::OpenAppendingFile}) {
        for (const auto &[change, error] : cases) {
            QDir(dir.path()).removeRecursively();
            ASSERT_TRUE(QDir().mkpath(dir.filePath("run")));
            DurableFile file;
            QString failure;
            ASSERT_TRUE(file.open(opener, path, failure) && file.write("one\r\n", failure));
            change();
            EXPECT_EQ(file.write("two\r\n", failure), error.isEmpty());
            EXPECT_EQ(failure, error);
            file.close();
            QFile written(path);
            EXPECT_EQ(written.open(QIODevice::ReadOnly) ? written.readAll() : "-",
                      error.isEmpty()    ? "one\r\ntwo\r\n"
                      : written.exists() ? ""
                                         : "-");
        }
    }
}
