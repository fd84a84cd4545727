// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/JournalReader.h"

#include <charconv>
#include <cmath>

namespace {

const QByteArray BadReadings = QByteArrayLiteral("bad readings");
constexpr int Sensors = 8;

QString excerpt(const QByteArray &line)
{
    QString text = QString::fromUtf8(line.left(60));
    for (QChar &c : text) {
        if (!c.isPrint())
            c = QLatin1Char('?');
    }
    return line.size() > 60 ? text + QStringLiteral("...") : text;
}

} // namespace

std::optional<double> JournalNumber(const QByteArray &field)
{
    QByteArray text = field.trimmed();
    text.replace(',', '.');
    double value = 0;
    const char *end = text.constData() + text.size();
    const auto [ptr, ec] = std::from_chars(text.constData(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString IsoTimeWithOffset(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

JournalReader::Line JournalReader::refuse(const QByteArray &line)
{
    m_error = QStringLiteral("not a PC log or dataset file: \"") + excerpt(line) +
              QStringLiteral("\" where its header was expected");
    return Line::Refused;
}

void JournalReader::startSection(const QByteArray &line)
{
    // "Reading Units: W.m-2", with a ZQ3's individual sensors a note after a separator.
    QString units = QString::fromUtf8(line.mid(8));
    for (qsizetype i = 0; i < units.size(); ++i) {
        if (units.at(i) == QLatin1Char('\t') || units.at(i) == QLatin1Char(','))
            units.truncate(i);
    }
    if (units.startsWith(QLatin1String("Units:")))
        units.remove(0, 6);
    m_units = units.trimmed();
    m_previousTime.reset();
}

bool JournalReader::readColumns(const QByteArray &line)
{
    if (!line.startsWith("Time"))
        return false;
    m_separator = line.size() > 4 && line.at(4) == ',' ? ',' : '\t';
    m_columns = QString::fromUtf8(line).split(QLatin1Char(m_separator)).mid(1);
    return m_columns.size() >= 3;
}

JournalReader::Line JournalReader::read(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    m_error.clear();
    switch (m_expect) {
    case Expect::FirstLine: {
        const qsizetype kind = line.left(40).indexOf("Data file ");
        if (kind < 0)
            return refuse(line);
        m_kind = kind >= 7 && line.mid(kind - 7, 7) == "Logger " ? Kind::PcLog : Kind::Dataset;
        m_firstLine = QString::fromUtf8(line);
        m_expect = Expect::SecondLine;
        return Line::Header;
    }
    case Expect::SecondLine: {
        const qsizetype at = line.indexOf(" Ser No: ");
        if (at < 0)
            return refuse(line);
        m_serial = QString::fromUtf8(line.mid(at + 9)).trimmed();
        m_model = QString::fromUtf8(line.left(at)).section(QLatin1Char(' '), 0, 0);
        m_expect = Expect::Units;
        return Line::Header;
    }
    case Expect::Units:
        if (!line.startsWith("Reading "))
            return refuse(line);
        startSection(line);
        m_expect = m_kind == Kind::PcLog ? Expect::CalibrationOrColumns : Expect::Columns;
        return Line::Header;
    case Expect::CalibrationOrColumns:
        if (line.startsWith("Calibration values:")) {
            m_expect = Expect::Columns;
            return Line::Header;
        }
        Q_FALLTHROUGH();
    case Expect::Columns:
        if (!readColumns(line))
            return refuse(line);
        m_expect = Expect::Records;
        return Line::Header;
    case Expect::Records:
        if (m_kind == Kind::Dataset && line.startsWith("Reading ")) {
            startSection(line);
            m_expect = Expect::Columns;
            return Line::Header;
        }
        return readRecord(line);
    }
    return Line::Header;
}

bool JournalReader::readTime(const QByteArray &field, QDateTime &time)
{
    if (m_candidates.isEmpty())
        m_candidates = DateTimeField::AllWritten();
    double seconds = 0;
    const char *begin = field.constData();
    const char *end = begin + field.size();
    bool ok = m_chosen >= 0 && m_candidates[m_chosen].read(begin, end, seconds);
    for (int i = 0; !ok && i < m_candidates.size(); ++i) {
        if (m_candidates[i].read(begin, end, seconds)) {
            m_chosen = i;
            ok = true;
        }
    }
    if (!ok)
        return false;
    // The field is the wall-clock time as written (read as if it were UTC); this computer's
    // time zone gives it its offset, as it gave the writer.
    const QDateTime written =
        QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000)), Qt::UTC);
    const QDateTime local(written.date(), written.time(), Qt::LocalTime);
    time = local.toOffsetFromUtc(local.offsetFromUtc());
    return true;
}

JournalReader::Line JournalReader::readRecord(const QByteArray &line)
{
    const QList<QByteArray> fields = line.split(m_separator);
    JournalRecord record;
    if (!readTime(fields.first(), record.time)) {
        m_error = QStringLiteral("time not read in \"") + excerpt(line) + QLatin1Char('"');
        return Line::Bad;
    }
    if (fields.size() == 2 && fields.at(1) == BadReadings) {
        record.badReadings = true;
    } else {
        // The chip temperature may follow the last named column, without a heading.
        if (fields.size() - 1 < m_columns.size() || fields.size() - 1 > m_columns.size() + 1) {
            m_error = QStringLiteral("%1 fields where %2 were expected in \"%3\"")
                          .arg(fields.size())
                          .arg(m_columns.size() + 1)
                          .arg(excerpt(line));
            return Line::Bad;
        }
        for (int i = 0; i < m_columns.size(); ++i) {
            const QByteArray &field = fields.at(i + 1);
            const QString &name = m_columns.at(i);
            const std::optional<double> value = JournalNumber(field);
            // Only the temperature may be left empty (none read in the period).
            const bool mayBeEmpty = name == QLatin1String("Temp") && field.trimmed().isEmpty();
            if (!value && !mayBeEmpty) {
                m_error =
                    name + QStringLiteral(" not read in \"") + excerpt(line) + QLatin1Char('"');
                return Line::Bad;
            }
            if (name == QLatin1String("Total"))
                record.total = value;
            else if (name == QLatin1String("Diffuse"))
                record.diffuse = value;
            else if (name == QLatin1String("Sun"))
                record.sun = value;
            else if (name == QLatin1String("Temp"))
                record.temperature = value;
            else if (name.startsWith(QLatin1Char('P')))
                record.sensors.append(value);
        }
        if (record.sensors.size() != 0 && record.sensors.size() != Sensors) {
            m_error = QStringLiteral("the sensor columns are not P0 to P7");
            return Line::Bad;
        }
    }
    if (m_previousTime && *m_previousTime < record.time)
        record.stepSeconds = double(m_previousTime->secsTo(record.time));
    m_previousTime = record.time;
    m_record = record;
    return Line::Record;
}
