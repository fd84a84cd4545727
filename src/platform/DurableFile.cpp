// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DurableFile.h"

#include "platform/DiskFile.h"

#include <QBuffer>
#include <QDir>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// A plain file opened for writing without buffering (a failed write is seen at once
// rather than at some later flush), its old bytes kept or not by `mode`.
std::unique_ptr<QIODevice> openUnbuffered(const QString &path, QIODevice::OpenMode mode,
                                          QString &error)
{
    auto file = std::make_unique<DiskFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered | mode)) {
        error = file->errorString();
        return nullptr;
    }
    return file;
}

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
    return openUnbuffered(path, QIODevice::Truncate, error);
}

std::unique_ptr<QIODevice> DurableFile::OpenAppendingFile(const QString &path, QString &error)
{
    return openUnbuffered(path, QIODevice::Append, error);
}

bool DurableFile::open(const Opener &opener, const QString &path, QString &error)
{
    close();
    m_device = opener(path, error);
    m_path = path;
    return m_device != nullptr;
}

bool DurableFile::create(const QString &path, QString &error)
{
    return open(m_opener, path, error);
}

bool DurableFile::write(const QByteArray &bytes, QString &error)
{
    if (!m_device) {
        error = QStringLiteral("File not open");
        return false;
    }
    const qint64 before = m_device->pos();
    if (putOnDisk(bytes, error))
        return true;
    QString cutError;
    if (!cutBack(before, cutError))
        error += QStringLiteral("; the file could not be cut back: ") + cutError;
    return false;
}

bool DurableFile::putOnDisk(const QByteArray &bytes, QString &error)
{
    if (!writeAll(bytes, error))
        return false;
    if (auto *file = qobject_cast<QFileDevice *>(m_device.get())) {
        if (!file->flush()) {
            error = file->errorString();
            return false;
        }
        if (!SyncToDisk(*file)) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
    }
    // Checked after the bytes are on the disk: a file taken away before or during the
    // write is seen here, before the write is reported done.
    return stillAtPath(error);
}

bool DurableFile::stillAtPath(QString &error) const
{
    const auto *file = dynamic_cast<const FileAtPath *>(m_device.get());
    if (!file || file->stillAtPath())
        return true;
    error = QDir::toNativeSeparators(m_path) + QStringLiteral(" is no longer on the disk");
    return false;
}

bool DurableFile::writeAll(const QByteArray &bytes, QString &error)
{
    const qint64 taken = m_device->write(bytes);
    if (taken == bytes.size())
        return true;
    if (taken < 0) {
        error = m_device->errorString();
        return false;
    }
    // A short write says nothing of its cause; the rest written once more either goes in
    // (the write was only interrupted) or fails with the reason (a full disk).
    const qint64 rest = m_device->write(bytes.mid(taken));
    if (rest == bytes.size() - taken)
        return true;
    const bool known = rest < 0 && m_device->errorString() != QIODevice::tr("Unknown error");
    error = known ? m_device->errorString()
                  : QStringLiteral("the disk took only %1 of %2 bytes")
                        .arg(taken + std::max<qint64>(rest, 0))
                        .arg(bytes.size());
    return false;
}

bool DurableFile::cutBack(qint64 length, QString &error)
{
    // A device that only streams (a pipe, /dev/full) keeps nothing to cut.
    if (m_device->isSequential())
        return true;
    if (auto *file = qobject_cast<QFileDevice *>(m_device.get())) {
        if (file->size() > length && !file->resize(length)) {
            error = file->errorString();
            return false;
        }
    } else if (auto *buffer = qobject_cast<QBuffer *>(m_device.get())) {
        buffer->buffer().truncate(length);
    }
    if (!m_device->seek(length)) {
        error = m_device->errorString();
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
