// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

// A file that can tell whether the path it was opened by still leads to it. While it is
// open the disk under it can be taken away (unmounted) or its name given to another
// file; what is written after that reaches no file anyone will find, so a write counts
// as done only while the path still names the file.
class FileAtPath
{
public:
    virtual ~FileAtPath() = default;
    // True while the path names this very file.
    virtual bool stillAtPath() const = 0;

protected:
    FileAtPath() = default;
    FileAtPath(const FileAtPath &) = default;
    FileAtPath &operator=(const FileAtPath &) = default;
};

// A file on the computer's disk: the path still names it while the system finds, at that
// path, the same file (device and inode) as the one open.
class DiskFile : public QFile, public FileAtPath
{
public:
    explicit DiskFile(const QString &path) : QFile(path) {}

    bool stillAtPath() const override;
};
