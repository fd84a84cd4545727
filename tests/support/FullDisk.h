#pragma once

#include <QBuffer>

// A file for tests that takes `writes` writes into `data` and then fails every one, as a
// full disk does.
class FullDisk : public QBuffer
{
public:
    explicit FullDisk(int writes, QByteArray *data = nullptr)
        : QBuffer(data ? data : &m_data), m_writesLeft(writes)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 writeData(const char *bytes, qint64 length) override
    {
        if (m_writesLeft-- > 0)
            return QBuffer::writeData(bytes, length);
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }

private:
    QByteArray m_data;
    int m_writesLeft;
};
