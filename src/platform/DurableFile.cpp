#include "platform/DurableFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Asks the system to put the file's written bytes on the disk itself. A device that
// cannot be synchronised at all (a pipe, a terminal) has nothing to keep.
bool SyncToDisk(QFileDevice &file)
{
    const int handle = file.handle();
    if (handle < 0)
        return true;
#if defined(Q_OS_WIN)
    const bool synced = ::_commit(handle) == 0;
#elif defined(Q_OS_LINUX)
    const bool synced = ::fdatasync(handle) == 0;
#else
    const bool synced = ::fsync(handle) == 0;
#endif
    return synced || errno == EINVAL;
}

} // namespace

DurableFile::DurableFile(Opener opener) : m_opener(std::move(opener))
{}

DurableFile::~DurableFile()
{
    close();
}

std::unique_ptr<QIODevice> DurableFile::OpenReplacingFile(const QString &path, QString &error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = file->errorString();
        return nullptr;
    }
    return file;
}

bool DurableFile::create(const QString &path, QString &error)
{
    close();
    m_device = m_opener(path, error);
    return m_device != nullptr;
}

bool DurableFile::write(const QByteArray &bytes, QString &error)
{
    if (!m_device) {
        error = QStringLiteral("File not open");
        return false;
    }
    if (!bytes.isEmpty() && m_device->write(bytes) != bytes.size()) {
        error = m_device->errorString();
        return false;
    }
    auto *file = qobject_cast<QFileDevice *>(m_device.get());
    if (!file)
        return true;
    if (!file->flush()) {
        error = file->errorString();
        return false;
    }
    if (!SyncToDisk(*file)) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void DurableFile::close()
{
    if (m_device)
        m_device->close();
    m_device.reset();
}
