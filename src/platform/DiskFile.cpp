// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DiskFile.h"

#ifdef Q_OS_WIN
#include <QFileInfo>
#else
#include <sys/stat.h>
#endif

bool DiskFile::stillAtPath() const
{
#ifdef Q_OS_WIN
    // The system gives no inode here: a file the path still finds is taken as this one.
    return QFileInfo::exists(fileName());
#else
    struct stat named = {};
    struct stat open = {};
    if (::stat(QFile::encodeName(fileName()).constData(), &named) != 0 ||
        ::fstat(handle(), &open) != 0)
        return false;
    return named.st_dev == open.st_dev && named.st_ino == open.st_ino;
#endif
}
