#include "plot/PlotFileReader.h"

#include "plot/DateTimeField.h"
#include "plot/DeviceLineReader.h"

#include <QFile>
#include <QHash>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int ProgressEveryLines = 1 << 15;
constexpr int PeriodSampleSteps = 10000;
const QByteArray BadReadings = QByteArrayLiteral("bad readings");

QString excerpt(const char *begin, const char *end)
{
    constexpr qsizetype Longest = 60;
    const qsizetype size = end - begin;
    QString text = QString::fromUtf8(begin, std::min(size, Longest));
    for (QChar &c : text) {
        if (!c.isPrint())
            c = QLatin1Char('?');
    }
    if (size > Longest)
        text += QStringLiteral("...");
    return text;
}

bool startsWith(const char *begin, const char *end, const char *prefix)
{
    const size_t length = std::strlen(prefix);
    return size_t(end - begin) >= length && std::memcmp(begin, prefix, length) == 0;
}

const char *find(const char *begin, const char *end, const char *text)
{
    const size_t length = std::strlen(text);
    for (const char *p = begin; size_t(end - p) >= length; ++p) {
        if (std::memcmp(p, text, length) == 0)
            return p;
    }
    return nullptr;
}

// A number field: blanks around it allowed, a decimal comma taken as a point.
bool readNumber(const char *begin, const char *end, double &value)
{
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    if (begin == end || end - begin > 64)
        return false;
    char copy[64];
    const char *from = begin;
    if (std::memchr(begin, ',', size_t(end - begin))) {
        for (qsizetype i = 0; i < end - begin; ++i)
            copy[i] = begin[i] == ',' ? '.' : begin[i];
        from = copy;
    }
    const char *last = from + (end - begin);
    const auto [ptr, ec] = std::from_chars(from, last, value);
    return ec == std::errc() && ptr == last;
}

// The most common step between records, from the first steps of the section.
double commonStep(const QVector<double> &time)
{
    QHash<qint64, int> counts;
    const qsizetype steps = std::min<qsizetype>(time.size() - 1, PeriodSampleSteps);
    qint64 best = 0;
    int bestCount = 0;
    for (qsizetype i = 0; i < steps; ++i) {
        const auto ms = qint64(std::llround((time[i + 1] - time[i]) * 1000.0));
        if (ms <= 0)
            continue;
        const int count = ++counts[ms];
        if (count > bestCount || (count == bestCount && ms < best)) {
            best = ms;
            bestCount = count;
        }
    }
    return double(best) / 1000.0;
}

class Parser
{
public:
    Parser(PlotFile &file) : m_file(file) {}

    // False when the file is not one of the two formats (m_file.error says where).
    bool line(qint64 number, const char *begin, const char *end);
    void tooLong(qint64 number);
    void finish();

private:
    enum class Expect { FirstLine, SecondLine, Units, CalibrationOrColumns, Columns, Records };

    bool refuse(qint64 number, const char *begin, const char *end);
    void bad(qint64 number, const QString &reason);
    void startSection(qint64 number, const char *begin, const char *end);
    bool readColumns(const char *begin, const char *end);
    void record(qint64 number, const char *begin, const char *end);
    bool readTime(const char *begin, const char *end, double &seconds);

    PlotFile &m_file;
    Expect m_expect = Expect::FirstLine;
    char m_separator = '\t';
    bool m_formatKnown = false; // the first column line has been read
    QVector<DateTimeField> m_candidates;
    int m_chosen = -1;
};

bool Parser::refuse(qint64 number, const char *begin, const char *end)
{
    m_file.error = QStringLiteral("This is not a dataset or log file: line %1 could not be "
                                  "read (\"%2\").")
                       .arg(number)
                       .arg(excerpt(begin, end));
    return false;
}

void Parser::bad(qint64 number, const QString &reason)
{
    ++m_file.badLineCount;
    if (m_file.badLines.size() < PlotFile::MaxBadLinesKept)
        m_file.badLines.append({number, reason});
}

void Parser::tooLong(qint64 number)
{
    if (!m_formatKnown) {
        m_file.error = QStringLiteral("This is not a dataset or log file: line %1 is too long "
                                      "to be read.")
                           .arg(number);
        return;
    }
    bad(number, QStringLiteral("line too long"));
}

void Parser::startSection(qint64 number, const char *begin, const char *end)
{
    PlotSection section;
    section.headingLine = number;
    section.unitsLine = QString::fromUtf8(begin, end - begin);
    // "Reading Units: W.m-2", and with ZQ3 individual sensors a note after a separator.
    const char *unitsEnd = begin;
    while (unitsEnd < end && *unitsEnd != '\t' && *unitsEnd != ',')
        ++unitsEnd;
    QString units = QString::fromUtf8(begin, unitsEnd - begin);
    units.remove(0, int(std::strlen("Reading ")));
    if (units.startsWith(QLatin1String("Units:")))
        units.remove(0, 6);
    section.units = units.trimmed();
    m_file.sections.append(section);
}

bool Parser::readColumns(const char *begin, const char *end)
{
    if (!startsWith(begin, end, "Time"))
        return false;
    m_separator = (end - begin > 4 && begin[4] == ',') ? ',' : '\t';
    const QStringList names = QString::fromUtf8(begin, end - begin).split(QLatin1Char(m_separator));
    PlotSection &section = m_file.sections.last();
    section.columns = names.mid(1);
    section.values.resize(section.columns.size());
    return !section.columns.isEmpty();
}

bool Parser::line(qint64 number, const char *begin, const char *end)
{
    switch (m_expect) {
    case Expect::FirstLine: {
        // The model word ("ZQ5 ", "ZQ3&4 "), then the kind of file.
        const char *kind = find(begin, std::min(end, begin + 32), "Data file ");
        if (!kind)
            return refuse(number, begin, end);
        m_file.kind = (kind - begin >= 7 && std::memcmp(kind - 7, "Logger ", 7) == 0)
                          ? PlotFileKind::PcLog
                          : PlotFileKind::Dataset;
        m_file.header << QString::fromUtf8(begin, end - begin);
        m_expect = Expect::SecondLine;
        return true;
    }
    case Expect::SecondLine:
        if (!find(begin, end, " Ser No: "))
            return refuse(number, begin, end);
        m_file.header << QString::fromUtf8(begin, end - begin);
        m_expect = Expect::Units;
        return true;
    case Expect::Units:
        if (!startsWith(begin, end, "Reading "))
            return refuse(number, begin, end);
        startSection(number, begin, end);
        if (m_file.kind == PlotFileKind::PcLog)
            m_file.header << m_file.sections.last().unitsLine;
        m_expect =
            m_file.kind == PlotFileKind::PcLog ? Expect::CalibrationOrColumns : Expect::Columns;
        return true;
    case Expect::CalibrationOrColumns:
        if (startsWith(begin, end, "Calibration values:")) {
            m_file.header << QString::fromUtf8(begin, end - begin);
            m_expect = Expect::Columns;
            return true;
        }
        Q_FALLTHROUGH();
    case Expect::Columns:
        if (!readColumns(begin, end)) {
            if (!m_formatKnown)
                return refuse(number, begin, end);
            bad(number, QStringLiteral("column heading expected"));
            m_file.sections.removeLast();
            m_expect = Expect::Records;
            return true;
        }
        m_formatKnown = true;
        m_expect = Expect::Records;
        return true;
    case Expect::Records:
        if (begin == end)
            return true;
        if (m_file.kind == PlotFileKind::Dataset && startsWith(begin, end, "Reading ")) {
            startSection(number, begin, end);
            m_expect = Expect::Columns;
            return true;
        }
        if (m_file.sections.isEmpty())
            bad(number, QStringLiteral("record outside a section"));
        else
            record(number, begin, end);
        return true;
    }
    return true;
}

bool Parser::readTime(const char *begin, const char *end, double &seconds)
{
    if (m_chosen >= 0)
        return m_candidates[m_chosen].read(begin, end, seconds);
    if (m_candidates.isEmpty())
        m_candidates = DateTimeField::Candidates();
    for (int i = 0; i < m_candidates.size(); ++i) {
        if (m_candidates[i].read(begin, end, seconds)) {
            m_chosen = i;
            return true;
        }
    }
    return false;
}

void Parser::record(qint64 number, const char *begin, const char *end)
{
    PlotSection &section = m_file.sections.last();
    const char sep = m_separator;
    const auto fieldEnd = [end, sep](const char *from) {
        const auto *found = static_cast<const char *>(std::memchr(from, sep, size_t(end - from)));
        return found ? found : end;
    };
    const char *p = begin;
    const char *stop = fieldEnd(p);
    double seconds = 0;
    if (!readTime(p, stop, seconds)) {
        bad(number, QStringLiteral("time not read"));
        return;
    }
    const qsizetype columns = section.columns.size();
    // Values into a row first, so that a bad line leaves the series as they were.
    constexpr qsizetype RowMax = 32;
    double row[RowMax];
    if (columns > RowMax) {
        bad(number, QStringLiteral("too many columns"));
        return;
    }
    qsizetype got = 0;
    while (got < columns && stop < end) {
        p = stop + 1;
        stop = fieldEnd(p);
        if (got == 0 && stop - p == BadReadings.size() &&
            std::memcmp(p, BadReadings.constData(), size_t(BadReadings.size())) == 0) {
            std::fill(row, row + columns, std::numeric_limits<double>::quiet_NaN());
            got = columns;
            break;
        }
        if (!readNumber(p, stop, row[got])) {
            bad(number, QStringLiteral("%1 not read").arg(section.columns[got]));
            return;
        }
        ++got;
    }
    if (got < columns) {
        bad(number, QStringLiteral("%1 missing").arg(section.columns[got]));
        return;
    }
    section.time.append(seconds);
    for (qsizetype i = 0; i < columns; ++i)
        section.values[i].append(row[i]);
}

void Parser::finish()
{
    if (m_file.ok() && !m_formatKnown) {
        m_file.error = m_file.header.isEmpty()
                           ? QStringLiteral("The file is empty.")
                           : QStringLiteral("This is not a dataset or log file: it ends "
                                            "before its column heading.");
    }
    // A units line and its columns without records leave nothing to show.
    m_file.sections.removeIf([](const PlotSection &section) { return section.time.isEmpty(); });
    for (PlotSection &section : m_file.sections) {
        section.periodSeconds = commonStep(section.time);
        section.time.squeeze();
        for (QVector<double> &series : section.values)
            series.squeeze();
    }
}

} // namespace

PlotFile PlotFileReader::read(const QString &path, const Progress &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        PlotFile refused;
        refused.error = QStringLiteral("%1 could not be opened: %2").arg(path, file.errorString());
        return refused;
    }
    return read(file, file.size(), progress);
}

PlotFile PlotFileReader::read(QIODevice &device, qint64 totalBytes, const Progress &progress)
{
    PlotFile file;
    if (totalBytes > MaxFileSize) {
        file.error = QStringLiteral("The file is too large to be shown (%1 MiB; at most %2 MiB).")
                         .arg(totalBytes >> 20)
                         .arg(MaxFileSize >> 20);
        return file;
    }
    DeviceLineReader lines(device, MaxLineLength);
    Parser parser(file);
    const char *begin = nullptr;
    const char *end = nullptr;
    for (;;) {
        const DeviceLineReader::Status status = lines.next(begin, end);
        if (status == DeviceLineReader::Status::End)
            break;
        if (status == DeviceLineReader::Status::Error) {
            file.error = QStringLiteral("Reading stopped after line %1: %2")
                             .arg(lines.lineNumber())
                             .arg(device.errorString());
            return file;
        }
        if (status == DeviceLineReader::Status::TooLong)
            parser.tooLong(lines.lineNumber());
        else
            parser.line(lines.lineNumber(), begin, end);
        if (!file.ok())
            return file;
        if (lines.bytesRead() > MaxFileSize) {
            file.error = QStringLiteral("The file is too large to be shown (over %1 MiB).")
                             .arg(MaxFileSize >> 20);
            return file;
        }
        if (progress && lines.lineNumber() % ProgressEveryLines == 0 &&
            !progress(lines.bytesRead(), totalBytes)) {
            file.error = QStringLiteral("Reading was cancelled.");
            file.cancelled = true;
            return file;
        }
    }
    parser.finish();
    if (progress)
        progress(lines.bytesRead(), totalBytes);
    return file;
}
