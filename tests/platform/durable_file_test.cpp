// The durable file on the real disk: a write counts as done only while the path still
// names the file it went into.
#include "platform/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <tuple>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

TEST(DurableFileTest, AWriteAfterThePathLostItsFileFailsAndSaysWhichFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run/log.txt");
    const auto write = [](const QString &to, const QByteArray &bytes) {
        QFile other(to);
        return other.open(QIODevice::WriteOnly) && other.write(bytes) == bytes.size();
    };
    const QString gone = QDir::toNativeSeparators(path) + " is no longer on the disk";
    // What happens to the path after the first line; the second write's error; what the
    // path then holds.
    const std::tuple<const char *, std::function<void()>, QString, QByteArray> cases[] = {
        {"kept", [] {}, "", "one\r\ntwo\r\n"},
        {"removed", [&] { QFile::remove(path); }, gone, "(none)"},
        // Another file renamed over it, as an editor or a sync tool saves.
        {"replaced",
         [&] {
             write(path + "~", "other\n");
             std::rename(qPrintable(path + "~"), qPrintable(path));
         },
         gone, "other\n"},
        {"made anew",
         [&] {
             QFile::remove(path);
             write(path, "x");
         },
         gone, "x"},
        {"its folder moved", [&] { QDir(dir.path()).rename("run", "old"); }, gone, "(none)"},
    };
    for (const auto &opener : {DurableFile::OpenReplacingFile, DurableFile::OpenAppendingFile}) {
        for (const auto &[what, change, error, after] : cases) {
            SCOPED_TRACE(what);
            QDir(dir.path()).removeRecursively();
            ASSERT_TRUE(QDir().mkpath(dir.filePath("run")));
            DurableFile file;
            QString failure;
            ASSERT_TRUE(file.open(opener, path, failure)) << failure.toStdString();
            ASSERT_TRUE(file.write("one\r\n", failure)) << failure.toStdString();
            change();
            EXPECT_EQ(file.write("two\r\n", failure), error.isEmpty());
            EXPECT_EQ(failure, error);
            file.close();
            EXPECT_EQ(contents(path), after);
        }
    }
}

} // namespace
