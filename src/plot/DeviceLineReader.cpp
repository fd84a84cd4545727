// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/DeviceLineReader.h"

#include <algorithm>
#include <cstring>

DeviceLineReader::DeviceLineReader(QIODevice &device, qsizetype maxLineLength, qsizetype chunkSize)
    : m_device(device), m_maxLineLength(maxLineLength), m_chunkSize(chunkSize)
{}

bool DeviceLineReader::fill()
{
    // Keep the unread part at the front, then append a chunk after it.
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + m_chunkSize);
    const qint64 got = m_device.read(m_buffer.data() + kept, m_chunkSize);
    m_buffer.resize(kept + qsizetype(std::max<qint64>(got, 0)));
    if (got < 0)
        m_failed = true;
    if (got > 0)
        m_bytesRead += got;
    return got > 0;
}

DeviceLineReader::Status DeviceLineReader::next(const char *&begin, const char *&end)
{
    for (;;) {
        const char *data = m_buffer.constData();
        const qsizetype left = m_buffer.size() - m_pos;
        const auto *lf = static_cast<const char *>(std::memchr(data + m_pos, '\n', size_t(left)));
        if (m_skipping) {
            // The rest of a line already reported as too long.
            m_skipping = !lf;
            m_pos = lf ? lf - data + 1 : m_buffer.size();
            if (lf)
                continue;
        } else if (lf) {
            begin = data + m_pos;
            end = lf;
            m_pos = lf - data + 1;
            if (end != begin && end[-1] == '\r')
                --end;
            ++m_lineNumber;
            return end - begin > m_maxLineLength ? Status::TooLong : Status::Line;
        } else if (left > m_maxLineLength) {
            m_skipping = true;
            m_pos = m_buffer.size();
            ++m_lineNumber;
            return Status::TooLong;
        }
        if (!fill())
            break;
    }
    if (m_failed)
        return Status::Error;
    // The end of the device: a last line without LF is a line too.
    if (m_skipping || m_pos >= m_buffer.size())
        return Status::End;
    begin = m_buffer.constData() + m_pos;
    end = m_buffer.constData() + m_buffer.size();
    m_pos = m_buffer.size();
    if (end != begin && end[-1] == '\r')
        --end;
    ++m_lineNumber;
    return Status::Line;
}
