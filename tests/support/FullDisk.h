// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DiskFile.h"

#include <QBuffer>

#include <utility>

// A file for tests that takes `writes` writes into `data` and then fills up as a disk
// does: the next write takes only its first `part` bytes (none: it fails outright) and
// every write after that fails with "No space left on device".
class FullDisk : public QBuffer
{
public:
    explicit FullDisk(int writes, QByteArray *data = nullptr, qint64 part = 0)
        : QBuffer(data ? data : &m_data), m_writesLeft(writes), m_part(part)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 writeData(const char *bytes, qint64 length) override
    {
        if (m_writesLeft-- > 0)
            return QBuffer::writeData(bytes, length);
        if (m_part > 0 && m_part < length)
            return QBuffer::writeData(bytes, std::exchange(m_part, 0));
        m_part = 0;
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }

private:
    QByteArray m_data;
    int m_writesLeft;
    qint64 m_part;
};

// A file for tests whose path leads to it for `writes` writes, each kept in `data`; from
// the next write on the path is gone (its disk taken away, or the name given to another
// file), as the write finds out once its bytes are in.
class VanishingFile : public QBuffer, public FileAtPath
{
public:
    explicit VanishingFile(int writes, QByteArray *data = nullptr)
        : QBuffer(data ? data : &m_data), m_writesLeft(writes)
    {
        open(QIODevice::WriteOnly);
    }
    bool stillAtPath() const override { return m_writesLeft >= 0; }

protected:
    qint64 writeData(const char *bytes, qint64 length) override
    {
        --m_writesLeft;
        return QBuffer::writeData(bytes, length);
    }

private:
    QByteArray m_data;
    int m_writesLeft;
};
