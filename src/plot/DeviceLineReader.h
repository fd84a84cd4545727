// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>

// Reads a device line by line in large chunks, for files of any size and content: a line
// ends at LF (a CR before it is dropped), and a line longer than the limit is skipped
// whole and reported as too long without ever being held in memory.
class DeviceLineReader
{
public:
    enum class Status { Line, TooLong, End, Error };

    DeviceLineReader(QIODevice &device, qsizetype maxLineLength, qsizetype chunkSize = 1 << 20);

    // The next line in [begin, end), valid until the next call. Error: the device failed
    // (its errorString() says why).
    Status next(const char *&begin, const char *&end);
    qint64 lineNumber() const { return m_lineNumber; }
    qint64 bytesRead() const { return m_bytesRead; }

private:
    bool fill(); // false at the end of the device or on an error

    QIODevice &m_device;
    qsizetype m_maxLineLength;
    qsizetype m_chunkSize;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_lineNumber = 0;
    qint64 m_bytesRead = 0;
    bool m_skipping = false; // inside a line already found too long
    bool m_failed = false;
};
