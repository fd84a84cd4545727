// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AppendingLogFile.h"

namespace {

// The first header line without the time the file was made: "ZQ5 Logger Data file".
QString withoutDate(const QString &line)
{
    return line.section(QLatin1Char(' '), 0, 3);
}

} // namespace

std::unique_ptr<QIODevice> AppendingLogFile::Open(const QString &path, QString &error)
{
    std::unique_ptr<AppendingLogFile> file(new AppendingLogFile(path));
    if (file->open(QIODevice::ReadOnly)) {
        // The header ends with the column names, which start with "Time".
        while (!file->atEnd() && file->m_header.size() < 8) {
            const QString line = QString::fromUtf8(file->readLine()).trimmed();
            file->m_header.append(line);
            if (line.startsWith(QLatin1String("Time")))
                break;
        }
        file->close();
    }
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error = file->errorString();
        return nullptr;
    }
    return file;
}

qint64 AppendingLogFile::writeData(const char *data, qint64 length)
{
    if (m_header.isEmpty())
        return QFile::writeData(data, length);
    const QString line = QString::fromUtf8(data, static_cast<int>(length)).trimmed();
    const QString expected = m_header.takeFirst();
    const bool same = m_firstLine ? withoutDate(line) == withoutDate(expected) : line == expected;
    m_firstLine = false;
    if (same)
        return length;
    m_header.clear();
    setErrorString(QStringLiteral("the file's header differs: it has \"") + expected +
                   QStringLiteral("\" where this run writes \"") + line + QStringLiteral("\""));
    return -1;
}
