// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DownloadTarget.h"

#include "platform/DurableFile.h"

#include <QFile>
#include <QSet>

namespace {

const QByteArray LineEnd = QByteArrayLiteral("\r\n");
const QString DataFile = QStringLiteral("Data file");

// The whole lines of a file; a last line cut short (a run killed while writing) is not
// one of them. `length` is where the whole lines end.
QStringList wholeLines(const QString &path, qint64 &length, bool &readable)
{
    QFile file(path);
    readable = file.open(QIODevice::ReadOnly);
    const QByteArray bytes = readable ? file.readAll() : QByteArray();
    const qsizetype end = bytes.lastIndexOf(LineEnd);
    length = end < 0 ? 0 : end + LineEnd.size();
    QStringList lines = QString::fromUtf8(bytes.left(length)).split(QString::fromLatin1(LineEnd));
    lines.removeLast();
    return lines;
}

// Heading and section lines ("Reading Units: W.m-2", "Time<tab>Total...") are not records.
bool isRecord(const QString &line)
{
    return !line.startsWith(QLatin1String("Reading ")) && !line.startsWith(QLatin1String("Time"));
}

QString headingStart(const QString &firstLine)
{
    const qsizetype at = firstLine.indexOf(DataFile);
    return at < 0 ? firstLine : firstLine.left(at + DataFile.size());
}

} // namespace

DownloadTarget::DownloadTarget(const QString &path) : m_path(path)
{}

QString DownloadTarget::transferPath() const
{
    return m_continues ? partPath() + QStringLiteral(".new") : partPath();
}

bool DownloadTarget::check(const QString &firstLine, const QString &secondLine, QString &error)
{
    m_continues = QFile::exists(partPath());
    for (const QString &path : {m_path, partPath()}) {
        if (!QFile::exists(path))
            continue;
        qint64 length = 0;
        bool readable = false;
        const QStringList lines = wholeLines(path, length, readable);
        if (!readable) {
            error = path + QStringLiteral(" exists but cannot be read: nothing was downloaded");
            return false;
        }
        if (lines.size() < 2 || headingStart(lines.at(0)) != headingStart(firstLine) ||
            lines.at(1) != secondLine) {
            error = path + QStringLiteral(" exists and is not a dataset of this instrument (") +
                    secondLine + QStringLiteral("): nothing was downloaded");
            return false;
        }
    }
    return true;
}

bool DownloadTarget::appendRecords(const QString &from, const QString &to, int &added, int &skipped,
                                   QString &error)
{
    qint64 sourceLength = 0, targetLength = 0;
    bool readable = false;
    const QStringList source = wholeLines(from, sourceLength, readable).mid(2);
    const QStringList target = wholeLines(to, targetLength, readable);
    QSet<QString> known;
    for (const QString &line : target) {
        if (isRecord(line))
            known.insert(line);
    }
    QByteArray bytes;
    QStringList section;
    bool adding = false;
    for (const QString &line : source) {
        if (!isRecord(line) && !adding) {
            section.append(line);
            continue;
        }
        if (!adding && known.contains(line)) {
            // Already there: the section it belongs to is the target's last one.
            ++skipped;
            section.clear();
            continue;
        }
        if (!adding) {
            adding = true;
            for (const QString &heading : std::as_const(section))
                bytes += heading.toUtf8() + LineEnd;
        }
        bytes += line.toUtf8() + LineEnd;
        if (isRecord(line))
            ++added;
    }
    // A line cut short at the end of the target goes before the new ones come.
    if (QFile(to).size() > targetLength && !QFile::resize(to, targetLength)) {
        error = QStringLiteral("cannot mend the end of ") + to;
        return false;
    }
    if (bytes.isEmpty())
        return true;
    DurableFile file;
    const bool written =
        file.open(DurableFile::OpenAppendingFile, to, error) && file.write(bytes, error);
    file.close();
    return written;
}

bool DownloadTarget::mergeTransfer(int &skipped, QString &error)
{
    const QString transfer = transferPath();
    int added = 0;
    if (!appendRecords(transfer, partPath(), added, skipped, error))
        return false;
    QFile::remove(transfer);
    m_continues = false;
    return true;
}

bool DownloadTarget::keep(int &skipped, QString &error)
{
    return !m_continues || mergeTransfer(skipped, error);
}

bool DownloadTarget::finish(int &skipped, QString &error)
{
    if (!keep(skipped, error))
        return false;
    int added = 0;
    if (QFile::exists(m_path)) {
        if (!appendRecords(partPath(), m_path, added, skipped, error))
            return false;
        QFile::remove(partPath());
        return true;
    }
    if (QFile::rename(partPath(), m_path))
        return true;
    error = QStringLiteral("cannot rename ") + partPath() + QStringLiteral(" to ") + m_path;
    return false;
}
