// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DiskFile.h"

#include <QStringList>

#include <memory>

// A log file continued rather than replaced (--append). A new or empty file takes the
// header as usual. An existing file keeps its own: the header lines the run writes are
// compared with it and dropped when the layout is the same (the same model, version and
// serial number, units, factors and columns; the time the file was made may differ),
// and refused, with the line that differs, when it is not, so that no file ever holds
// two layouts.
class AppendingLogFile : public DiskFile
{
public:
    // The opener of the log file for --append (a DurableFile::Opener).
    static std::unique_ptr<QIODevice> Open(const QString &path, QString &error);

protected:
    qint64 writeData(const char *data, qint64 length) override;

private:
    explicit AppendingLogFile(const QString &path) : DiskFile(path) {}

    // The existing header's lines still to be met, first line first.
    QStringList m_header;
    bool m_firstLine = true;
};
