// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/PlotFileReader.h"

#include "plot/DateTimeField.h"
#include "plot/DeviceLineReader.h"
#include "plot/FieldText.h"
#include "plot/TimeFormatLearner.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace {

constexpr int ProgressEveryLines = 1 << 15;
// The records after which the time format is learnt, if the data can tell by then: the
// first count, then each four times the last, up to the most.
constexpr qsizetype FirstLearning = 1024;
constexpr qsizetype MostLearning = 1 << 18;
constexpr qsizetype MaxSections = 10000;
constexpr qsizetype BatchRows = 4096;
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

// A number field as FormatNumber writes it: blanks around it allowed, a minus, digits with
// at most one decimal point, or comma (or U+066B, with the locale's own digits), "NaN",
// "Infinity" or "-Infinity". `decimals` is the count of digits after the point.
bool readNumber(const char *begin, const char *end, float &value, int &decimals)
{
    constexpr qsizetype Longest = 64;
    char copy[Longest];
    if (!IsAsciiField(begin, end)) {
        qsizetype length = 0;
        if (!NormaliseField(begin, end, copy, Longest, length))
            return false;
        begin = copy;
        end = copy + length;
    }
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    const QLatin1String text(begin, end);
    decimals = 0;
    if (text == QLatin1String("NaN") || text.endsWith(QLatin1String("Infinity"))) {
        const bool negative = text == QLatin1String("-Infinity");
        value = text == QLatin1String("NaN") ? std::numeric_limits<float>::quiet_NaN()
                : negative                   ? -std::numeric_limits<float>::infinity()
                                             : std::numeric_limits<float>::infinity();
        return negative || text.size() == 8 || text.size() == 3;
    }
    const char *p = begin;
    const bool negative = text.startsWith(QLatin1Char('-'));
    p += negative ? 1 : 0;
    double mantissa = 0;
    int digits = 0;
    int afterPoint = -1; // no point yet
    for (; p < end; ++p) {
        if (*p >= '0' && *p <= '9') {
            mantissa = mantissa * 10 + (*p - '0');
            ++digits;
            afterPoint += afterPoint >= 0 ? 1 : 0;
        } else if ((*p == '.' || *p == ',') && afterPoint < 0) {
            afterPoint = 0;
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    decimals = std::max(afterPoint, 0);
    const double magnitude = mantissa / std::pow(10.0, decimals);
    value = float(negative ? -magnitude : magnitude);
    return true;
}

// The most common step between records, from the first steps of the section.
double commonStep(const RecordTimes &time)
{
    QHash<qint64, int> counts;
    const qsizetype steps = std::min<qsizetype>(time.size() - 1, PeriodSampleSteps);
    qint64 best = 0;
    int bestCount = 0;
    for (qsizetype i = 1; i <= steps; ++i) {
        const auto ms = qint64(std::llround((time.at(i) - time.at(i - 1)) * 1000.0));
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
    Parser(PlotFile &file, TimeFormatChooser &chooser) : m_file(file), m_chooser(chooser) {}

    // m_file.error says why when the file is not one of the two formats.
    void line(qint64 number, const char *begin, const char *end);
    void tooLong(qint64 number);
    void finish();

private:
    enum class Expect { FirstLine, SecondLine, Units, CalibrationOrColumns, Columns, Records };

    void structure(qint64 number, const char *begin, const char *end);
    void refuse(qint64 number, const char *begin, const char *end);
    void bad(qint64 number, const QString &reason);
    void startSection(qint64 number, const char *begin, const char *end);
    bool readColumns(const char *begin, const char *end);
    void record(qint64 number, const char *begin, const char *end);
    const char *fieldEnd(const char *from, const char *end) const;
    void flushRows();
    void hold(qint64 number, const char *begin, const char *end);
    void learn(bool last);
    void replay();

    PlotFile &m_file;
    TimeFormatChooser &m_chooser;
    Expect m_expect = Expect::FirstLine;
    char m_separator = '\t';
    bool m_formatKnown = false; // the first column line has been read
    const DateTimeField *m_time = nullptr;
    double m_lastTime = 0; // of the last record of the last section
    // Until the time format is learnt, the lines after the first column line wait here.
    std::unique_ptr<TimeFormatLearner> m_learner;
    QByteArray m_held;
    QVector<std::pair<qint64, qsizetype>> m_heldLines; // number and end in m_held
    int m_heldSection = 0;
    bool m_heldExpectsColumns = false;
    qsizetype m_nextLearning = FirstLearning;
    // Values of the last section's latest records, row by row, added to its series a batch
    // at a time: one append per value costs more than the reading.
    std::vector<float> m_batch;
    qsizetype m_rows = 0;
};

void Parser::refuse(qint64 number, const char *begin, const char *end)
{
    m_file.error = QStringLiteral("This is not a dataset or log file: line %1 could not be "
                                  "read (\"%2\").")
                       .arg(number)
                       .arg(excerpt(begin, end));
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
    if (m_time)
        bad(number, QStringLiteral("line too long"));
    else
        hold(number, nullptr, nullptr);
}

void Parser::startSection(qint64 number, const char *begin, const char *end)
{
    PlotSection section;
    section.headingLine = number;
    section.unitsLine = QString::fromUtf8(begin, end - begin);
    // "Reading Units: W.m-2", and with ZQ3 individual sensors a note after a separator.
    QString units = section.unitsLine.section(QRegularExpression(QStringLiteral("[\t,]")), 0, 0);
    units.remove(0, int(std::strlen("Reading ")));
    if (units.startsWith(QLatin1String("Units:")))
        units.remove(0, 6);
    section.units = units.trimmed();
    flushRows();
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
    section.decimals.fill(0, section.columns.size());
    return !section.columns.isEmpty();
}

const char *Parser::fieldEnd(const char *from, const char *end) const
{
    // Fields are short: a plain loop is quicker than memchr's call.
    while (from < end && *from != m_separator)
        ++from;
    return from;
}

void Parser::flushRows()
{
    if (m_rows == 0)
        return;
    PlotSection &section = m_file.sections.last();
    const qsizetype columns = section.values.size();
    for (qsizetype c = 0; c < columns; ++c) {
        QVector<float> &series = section.values[c];
        const qsizetype from = series.size();
        series.resize(from + m_rows);
        float *to = series.data() + from;
        for (qsizetype r = 0; r < m_rows; ++r)
            to[r] = m_batch[size_t(r * columns + c)];
    }
    m_batch.clear();
    m_rows = 0;
}

void Parser::line(qint64 number, const char *begin, const char *end)
{
    if (m_formatKnown && !m_time)
        hold(number, begin, end);
    else
        structure(number, begin, end);
}

// Keeps a line until the time format is known, giving the learner the records' times.
void Parser::hold(qint64 number, const char *begin, const char *end)
{
    if (begin) {
        m_held.append(begin, end - begin);
        m_heldLines.append({number, m_held.size()});
    } else {
        m_heldLines.append({-number, m_held.size()}); // too long: only its number
        return;
    }
    if (begin == end)
        return;
    if (m_file.kind == PlotFileKind::Dataset && startsWith(begin, end, "Reading ")) {
        ++m_heldSection;
        m_heldExpectsColumns = true;
        return;
    }
    if (m_heldExpectsColumns) {
        m_heldExpectsColumns = false;
        return;
    }
    if (!m_learner) {
        QStringList preferred{QLocale().name(), QLocale::system().name()};
        m_learner = std::make_unique<TimeFormatLearner>(DateTimeField::AllWritten(), preferred);
    }
    m_learner->add(number, m_heldSection, begin, fieldEnd(begin, end), end);
    if (m_learner->size() == m_nextLearning)
        learn(m_nextLearning == MostLearning);
}

// Learns the time format from the records held; `last` when no more will come. Then reads
// the held lines with it.
void Parser::learn(bool last)
{
    m_nextLearning *= 4;
    switch (m_learner->decide()) {
    case TimeFormatLearner::Outcome::NoFormat:
        m_file.error = m_learner->noFormatMessage();
        return;
    case TimeFormatLearner::Outcome::Tied: {
        if (!last)
            return;
        const TimeFormatQuestion question = m_learner->question();
        const int chosen = m_chooser.choose(question);
        if (chosen < 0 || chosen >= question.candidates.size()) {
            m_file.error = QStringLiteral("The times of this file can be read in more than one "
                                          "way, and none was chosen. ") +
                           question.describe();
            m_file.cancelled = true;
            return;
        }
        m_learner->choose(chosen);
        break;
    }
    case TimeFormatLearner::Outcome::Chosen:
        break;
    }
    m_time = &m_learner->chosen();
    m_file.timePattern = m_time->pattern();
    replay();
}

// Reads the lines held while the time format was learnt.
void Parser::replay()
{
    const QByteArray held = std::exchange(m_held, {});
    const auto lines = std::exchange(m_heldLines, {});
    qsizetype from = 0;
    for (const auto &[number, to] : lines) {
        if (number < 0)
            bad(-number, QStringLiteral("line too long"));
        else
            structure(number, held.constData() + from, held.constData() + to);
        from = to;
    }
}

void Parser::structure(qint64 number, const char *begin, const char *end)
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
        return;
    }
    case Expect::SecondLine:
        if (!find(begin, end, " Ser No: "))
            return refuse(number, begin, end);
        m_file.header << QString::fromUtf8(begin, end - begin);
        m_expect = Expect::Units;
        return;
    case Expect::Units:
        if (!startsWith(begin, end, "Reading "))
            return refuse(number, begin, end);
        startSection(number, begin, end);
        if (m_file.kind == PlotFileKind::PcLog)
            m_file.header << m_file.sections.last().unitsLine;
        m_expect =
            m_file.kind == PlotFileKind::PcLog ? Expect::CalibrationOrColumns : Expect::Columns;
        return;
    case Expect::CalibrationOrColumns:
        if (startsWith(begin, end, "Calibration values:")) {
            m_file.header << QString::fromUtf8(begin, end - begin);
            m_expect = Expect::Columns;
            return;
        }
        Q_FALLTHROUGH();
    case Expect::Columns:
        if (!readColumns(begin, end)) {
            if (!m_formatKnown)
                return refuse(number, begin, end);
            bad(number, QStringLiteral("column heading expected"));
            m_file.sections.removeLast();
            m_expect = Expect::Records;
            return;
        }
        m_formatKnown = true;
        m_expect = Expect::Records;
        return;
    case Expect::Records:
        if (begin == end)
            return;
        if (m_file.kind == PlotFileKind::Dataset && startsWith(begin, end, "Reading ")) {
            startSection(number, begin, end);
            m_expect = Expect::Columns;
            return;
        }
        if (m_file.sections.isEmpty())
            bad(number, QStringLiteral("record outside a section"));
        else
            record(number, begin, end);
        return;
    }
}

void Parser::record(qint64 number, const char *begin, const char *end)
{
    const char *p = begin;
    const char *stop = fieldEnd(p, end);
    double seconds = 0;
    if (!m_time->read(p, stop, seconds)) {
        bad(number, QStringLiteral("time not read"));
        return;
    }
    const qsizetype columns = m_file.sections.last().columns.size();
    // Values into a row first, so that a bad line leaves the series as they were.
    constexpr qsizetype RowMax = 32;
    float row[RowMax];
    int decimals[RowMax]; // not cleared in full: a call to memset costs more than a line
    if (columns > RowMax) {
        bad(number, QStringLiteral("too many columns"));
        return;
    }
    qsizetype got = 0;
    while (got < columns && stop < end) {
        p = stop + 1;
        stop = fieldEnd(p, end);
        if (got == 0 && stop - p == BadReadings.size() &&
            std::memcmp(p, BadReadings.constData(), size_t(BadReadings.size())) == 0) {
            std::fill(row, row + columns, std::numeric_limits<float>::quiet_NaN());
            std::fill(decimals, decimals + columns, 0);
            got = columns;
            break;
        }
        // An empty field is a value that was not measured (no temperature read in the
        // period): a gap in its series, not a bad line.
        if (p == stop) {
            decimals[got] = 0;
            row[got++] = std::numeric_limits<float>::quiet_NaN();
            continue;
        }
        if (!readNumber(p, stop, row[got], decimals[got])) {
            bad(number, QStringLiteral("%1 not read").arg(m_file.sections.last().columns[got]));
            return;
        }
        ++got;
    }
    if (got < columns) {
        bad(number, QStringLiteral("%1 missing").arg(m_file.sections.last().columns[got]));
        return;
    }
    if (!m_file.sections.last().time.isEmpty() && seconds <= m_lastTime) {
        // Time repeated or went back: the records from here on are a section of their own,
        // up to a number of sections; a clock stuck on one time would make one per record.
        if (m_file.sections.size() >= MaxSections) {
            bad(number, QStringLiteral("time repeated or went back"));
            return;
        }
        if (m_file.firstTimeBack.isNull())
            m_file.firstTimeBack = {
                number, excerpt(begin, end).replace(QLatin1Char('?'), QLatin1Char(' '))};
        PlotSection next;
        const PlotSection &section = m_file.sections.last();
        next.headingLine = section.headingLine;
        next.unitsLine = section.unitsLine;
        next.units = section.units;
        next.columns = section.columns;
        next.values.resize(columns);
        next.decimals.fill(0, columns);
        flushRows();
        m_file.sections.append(next);
    }
    PlotSection &section = m_file.sections.last();
    section.time.append(seconds);
    m_lastTime = seconds;
    for (qsizetype i = 0; i < columns; ++i) {
        m_batch.push_back(row[i]);
        section.decimals[i] = std::max(section.decimals[i], decimals[i]);
    }
    if (++m_rows == BatchRows)
        flushRows();
}

void Parser::finish()
{
    if (m_file.ok() && !m_formatKnown) {
        m_file.error = m_file.header.isEmpty()
                           ? QStringLiteral("The file is empty.")
                           : QStringLiteral("This is not a dataset or log file: it ends "
                                            "before its column heading.");
    }
    if (m_file.ok() && m_formatKnown && !m_time) {
        if (m_learner) {
            learn(true);
        } else {
            // No records came, only headings.
            m_time = &DateTimeField::AllWritten().constLast();
            replay();
        }
    }
    flushRows();
    // A units line and its columns without records leave nothing to show.
    m_file.sections.removeIf([](const PlotSection &section) { return section.time.isEmpty(); });
    for (PlotSection &section : m_file.sections)
        section.periodSeconds = commonStep(section.time);
}

} // namespace

PlotFile PlotFileReader::read(const QString &path, const Progress &progress,
                              TimeFormatChooser *chooser)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        PlotFile refused;
        refused.error = QStringLiteral("%1 could not be opened: %2").arg(path, file.errorString());
        return refused;
    }
    return read(file, file.size(), progress, chooser);
}

PlotFile PlotFileReader::read(QIODevice &device, qint64 totalBytes, const Progress &progress,
                              TimeFormatChooser *chooser)
{
    PlotFile file;
    if (totalBytes > MaxFileSize) {
        file.error = QStringLiteral("The file is too large to be shown (%1 MiB; at most %2 MiB).")
                         .arg(totalBytes >> 20)
                         .arg(MaxFileSize >> 20);
        return file;
    }
    RefusingTimeFormatChooser refusing;
    DeviceLineReader lines(device, MaxLineLength);
    Parser parser(file, chooser ? *chooser : refusing);
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
