#pragma once

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

// Writes the log file line by line. Every line ends with CR LF and reaches the disk as
// it is written, so a crash or a power cut loses at most the line being written; a
// failed write leaves every earlier line in place.
class LogFileWriter
{
public:
    // Creates (or replaces) the file at `path` and returns it open for writing; on
    // failure returns nothing and says why in `error`.
    using Opener = std::function<std::unique_ptr<QIODevice>(const QString &path, QString &error)>;

    explicit LogFileWriter(Opener opener = OpenReplacingFile);
    ~LogFileWriter();
    LogFileWriter(const LogFileWriter &) = delete;
    LogFileWriter &operator=(const LogFileWriter &) = delete;

    // Closes any file still open, then creates `path`.
    bool create(const QString &path, QString &error);
    // Writes `line` and CR LF in the system's 8-bit code page and pushes it to the disk.
    bool writeLine(const QString &line, QString &error);
    // Closes the file; nothing happens when none is open.
    void close();
    bool isOpen() const { return m_device != nullptr; }

    // The opener of real files: a plain file, truncated, written without buffering.
    static std::unique_ptr<QIODevice> OpenReplacingFile(const QString &path, QString &error);

private:
    Opener m_opener;
    std::unique_ptr<QIODevice> m_device;
};
