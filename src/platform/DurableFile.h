// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

// A file the program writes data into that must survive a crash or a power cut: it is
// created afresh (replacing an older file of that name), and every write is pushed
// through to the disk before it counts as done, so what was written stays written. A
// write counts as done only while the path still names the open file (a device that is a
// FileAtPath): a file whose disk was taken away or whose name went to another file is
// written no more.
class DurableFile
{
public:
    // Creates (or replaces) the file at `path` and returns it open for writing; on
    // failure returns nothing and says why in `error`. Tests give other devices.
    using Opener = std::function<std::unique_ptr<QIODevice>(const QString &path, QString &error)>;

    explicit DurableFile(Opener opener = OpenReplacingFile);
    ~DurableFile();
    DurableFile(const DurableFile &) = delete;
    DurableFile &operator=(const DurableFile &) = delete;

    // The opener of real files: a plain file (a DiskFile), truncated, written without
    // buffering (a failed write is seen at once rather than at some later flush).
    static std::unique_ptr<QIODevice> OpenReplacingFile(const QString &path, QString &error);

    // The opener of a file to be continued: an existing file opened (or a new one made)
    // for writing at its end, without buffering.
    static std::unique_ptr<QIODevice> OpenAppendingFile(const QString &path, QString &error);

    // Closes any file still open, then creates `path`.
    bool create(const QString &path, QString &error);
    // Closes any file still open, then opens `path` with `opener` (to continue it).
    bool open(const Opener &opener, const QString &path, QString &error);
    // Writes `bytes` (none is fine) and pushes everything written to the disk. A write
    // that fails, wholly or in part, is cut off again: the file ends as it did before
    // the call, and `error` names the cause ("No space left on device", or "<path> is
    // no longer on the disk" when the path no longer names the file). Callers write whole
    // lines (or blocks of them) at a time, so no line is ever left torn.
    bool write(const QByteArray &bytes, QString &error);
    // Closes the file; nothing happens when none is open.
    void close();
    bool isOpen() const { return m_device != nullptr; }

private:
    bool putOnDisk(const QByteArray &bytes, QString &error);
    // Whether the path the file was opened by still leads to it; `error` says when not.
    bool stillAtPath(QString &error) const;
    bool writeAll(const QByteArray &bytes, QString &error);
    // Cuts the file (a real one, or a memory buffer in tests) back to `length` bytes.
    bool cutBack(qint64 length, QString &error);

    Opener m_opener;
    std::unique_ptr<QIODevice> m_device;
    QString m_path;
};
