// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DurableFile.h"

#include <QString>

// Writes the log file line by line. Every line ends with CR LF and reaches the disk as
// it is written, so a crash or a power cut loses at most the line being written; a
// failed write leaves every earlier line in place.
class LogFileWriter
{
public:
    using Opener = DurableFile::Opener;
    static constexpr auto &OpenReplacingFile = DurableFile::OpenReplacingFile;

    explicit LogFileWriter(Opener opener = OpenReplacingFile) : m_file(std::move(opener)) {}

    // Closes any file still open, then creates `path`.
    bool create(const QString &path, QString &error) { return m_file.create(path, error); }
    // Writes `line` and CR LF in UTF-8 and pushes it to the disk, in one write: a write
    // that fails leaves none of the line behind.
    bool writeLine(const QString &line, QString &error);
    // Closes the file; nothing happens when none is open.
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }

private:
    DurableFile m_file;
};
