#include "LogFileWriter.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Asks the system to put a file's written bytes on the disk itself.
bool SyncToDisk(QFileDevice &file)
{
    const int handle = file.handle();
    if (handle < 0)
        return true;
#if defined(Q_OS_WIN)
    return ::_commit(handle) == 0;
#elif defined(Q_OS_LINUX)
    return ::fdatasync(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

// A file that cannot be synchronised at all (a pipe, a terminal) has nothing to lose.
bool SyncedOrUnsyncable(QFileDevice &file)
{
    return SyncToDisk(file) || errno == EINVAL;
}

} // namespace

LogFileWriter::LogFileWriter(Opener opener) : m_opener(std::move(opener))
{}

LogFileWriter::~LogFileWriter()
{
    close();
}

std::unique_ptr<QIODevice> LogFileWriter::OpenReplacingFile(const QString &path, QString &error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = file->errorString();
        return nullptr;
    }
    return file;
}

bool LogFileWriter::create(const QString &path, QString &error)
{
    close();
    m_device = m_opener(path, error);
    return m_device != nullptr;
}

bool LogFileWriter::writeLine(const QString &line, QString &error)
{
    if (!m_device) {
        error = QStringLiteral("File not open");
        return false;
    }
    const QByteArray bytes = line.toLocal8Bit() + QByteArrayLiteral("\r\n");
    if (m_device->write(bytes) != bytes.size()) {
        error = m_device->errorString();
        return false;
    }
    if (auto *file = qobject_cast<QFileDevice *>(m_device.get())) {
        if (!file->flush()) {
            error = file->errorString();
            return false;
        }
        if (!SyncedOrUnsyncable(*file)) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
    }
    return true;
}

void LogFileWriter::close()
{
    if (m_device)
        m_device->close();
    m_device.reset();
}
