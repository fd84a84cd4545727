// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/FileTail.h"

#include "plot/PlotFileReader.h"

#include <QBuffer>
#include <QFile>

namespace {

constexpr qint64 HeadBytes = 4096;
constexpr qint64 Chunk = 1 << 20;

// The column line's separator: what follows "Time" in it.
char Separator(const QList<QByteArray> &lines)
{
    for (const QByteArray &line : lines) {
        if (line.startsWith("Time") && line.size() > 4)
            return line.at(4);
    }
    return '\t';
}

} // namespace

int KnownTimeFormatChooser::choose(const TimeFormatQuestion &question)
{
    for (int i = 0; i < question.candidates.size(); ++i) {
        if (question.candidates.at(i).pattern == m_pattern)
            return i;
    }
    return -1;
}

FileTail::FileTail(const QString &path) : m_path(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_head = file.read(HeadBytes);
    // Every complete line the file has now counts as read.
    file.seek(0);
    qint64 position = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(Chunk);
        if (chunk.isEmpty())
            break;
        const qsizetype lastEnd = chunk.lastIndexOf('\n');
        m_lines += chunk.count('\n');
        if (lastEnd >= 0)
            m_offset = position + lastEnd + 1;
        position += chunk.size();
    }
}

// The file's header lines (its first two, or a log's lines down to its column line), then
// the last section's units and column lines.
QByteArray FileTail::prefix(const PlotFile &known, const QByteArray &head) const
{
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    const PlotSection &last = known.sections.last();
    const char separator = Separator(lines);
    QByteArray text;
    if (known.kind == PlotFileKind::PcLog) {
        for (const QByteArray &line : std::as_const(lines)) {
            text += line + "\r\n";
            if (line.startsWith("Time"))
                return text;
        }
        return QByteArray();
    }
    if (lines.size() < 3)
        return QByteArray();
    text = lines.at(0) + "\r\n" + lines.at(1) + "\r\n" + last.unitsLine.toUtf8() + "\r\n";
    return text + "Time" + separator + last.columns.join(QLatin1Char(separator)).toUtf8() + "\r\n";
}

FileTail::Result FileTail::read(const PlotFile &known, PlotFile &added, QString &error)
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return Result::Failed;
    }
    const QByteArray head = file.read(HeadBytes);
    if (file.size() < m_offset || !head.startsWith(m_head) || known.sections.isEmpty())
        return Result::Replaced;
    if (file.size() == m_offset)
        return Result::Nothing;
    file.seek(m_offset);
    QByteArray tail = file.readAll();
    const qsizetype lastEnd = tail.lastIndexOf('\n');
    if (lastEnd < 0)
        return Result::Nothing;
    tail.truncate(lastEnd + 1);
    const QByteArray lead = prefix(known, head);
    if (lead.isEmpty())
        return Result::Replaced;
    QByteArray text = lead + tail;
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    KnownTimeFormatChooser chooser(known.timePattern);
    added = PlotFileReader::read(buffer, text.size(), {}, &chooser);
    if (!added.ok()) {
        error = added.error;
        return Result::Failed;
    }
    const qint64 leadLines = lead.count('\n');
    for (BadLine &bad : added.badLines)
        bad.line += m_lines - leadLines;
    if (!added.firstTimeBack.isNull())
        added.firstTimeBack.line += m_lines - leadLines;
    m_offset += tail.size();
    m_lines += tail.count('\n');
    return Result::Added;
}
