#include "plot/TimeFormatLearner.h"

#include <QHash>

#include <cmath>
#include <cstring>

namespace {

constexpr int PreviewLines = 10;
constexpr int FirstRecordsTried = 64;

bool sameTimes(const QVector<double> &a, const QVector<double> &b)
{
    return std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(double)) == 0;
}

QDateTime utc(double seconds)
{
    return std::isnan(seconds)
               ? QDateTime()
               : QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000)), Qt::UTC);
}

} // namespace

TimeFormatLearner::TimeFormatLearner(const QVector<DateTimeField> &fields,
                                     const QStringList &preferred)
    : m_fields(fields), m_preferred(preferred)
{
    for (const QString &name : preferred) {
        for (int i = 0; i < fields.size(); ++i) {
            if (fields[i].localeNames().contains(name) && !m_order.contains(i))
                m_order << i;
        }
    }
    for (int i = 0; i < fields.size(); ++i) {
        if (!m_order.contains(i))
            m_order << i;
    }
}

void TimeFormatLearner::add(qint64 line, int section, const char *timeBegin, const char *timeEnd,
                            const char *lineEnd)
{
    m_samples.append({line, section, QByteArray(timeBegin, timeEnd - timeBegin)});
    if (m_preview.size() < PreviewLines)
        m_preview << QString::fromUtf8(timeBegin, lineEnd - timeBegin);
}

QVector<double> TimeFormatLearner::times(int field) const
{
    QVector<double> read(m_samples.size(), std::nan(""));
    for (qsizetype i = 0; i < m_samples.size(); ++i) {
        const QByteArray &text = m_samples[i].time;
        m_fields[field].read(text.constData(), text.constData() + text.size(), read[i]);
    }
    return read;
}

TimeFormatLearner::Score TimeFormatLearner::score(const QVector<double> &times) const
{
    Score score;
    qsizetype first = 0;
    while (first < m_samples.size()) {
        // One section's steps: the most common is its period, the others are off it.
        qsizetype last = first;
        while (last < m_samples.size() && m_samples[last].section == m_samples[first].section)
            ++last;
        QHash<qint64, qsizetype> counts;
        qsizetype steps = 0;
        qsizetype mostCommon = 0;
        double previous = std::nan("");
        for (qsizetype i = first; i < last; ++i) {
            if (std::isnan(times[i])) {
                ++score.unread;
                continue;
            }
            if (!std::isnan(previous)) {
                ++steps;
                const qint64 step = std::llround((times[i] - previous) * 1000);
                // A step back or a repeat is never the period.
                if (step > 0)
                    mostCommon = std::max(mostCommon, ++counts[step]);
            }
            previous = times[i];
        }
        score.offPeriod += steps - mostCommon;
        first = last;
    }
    return score;
}

TimeFormatLearner::Outcome TimeFormatLearner::decide()
{
    // The readings of the readers that read any of the first records, each once.
    QVector<int> readers;
    QVector<QVector<double>> readings;
    QVector<Score> scores;
    const qsizetype tried = std::min<qsizetype>(m_samples.size(), FirstRecordsTried);
    for (const int field : std::as_const(m_order)) {
        double seconds = 0;
        bool reads = false;
        for (qsizetype i = 0; i < tried && !reads; ++i) {
            const QByteArray &text = m_samples[i].time;
            reads = m_fields[field].read(text.constData(), text.constData() + text.size(), seconds);
        }
        if (!reads)
            continue;
        const QVector<double> read = times(field);
        bool known = false;
        for (const QVector<double> &other : std::as_const(readings))
            known = known || sameTimes(read, other);
        if (known)
            continue;
        readers << field;
        readings << read;
        scores << score(read);
    }
    m_tied.clear();
    if (readers.isEmpty())
        return Outcome::NoFormat;
    const Score best = *std::min_element(scores.cbegin(), scores.cend());
    for (qsizetype i = 0; i < readers.size(); ++i) {
        if (scores[i] == best)
            m_tied << readers[i];
    }
    if (m_tied.size() > 1)
        return Outcome::Tied;
    m_chosen = m_tied.first();
    return Outcome::Chosen;
}

TimeFormatQuestion TimeFormatLearner::question() const
{
    TimeFormatQuestion question;
    for (qsizetype i = 0; i < m_preview.size(); ++i) {
        question.lineNumbers << m_samples[i].line;
        question.lines << m_preview[i];
    }
    for (const int field : m_tied) {
        // A few of the locales that write it, the preferred first.
        QStringList names = m_fields[field].localeNames();
        for (auto name = m_preferred.crbegin(); name != m_preferred.crend(); ++name) {
            if (names.removeAll(*name) > 0)
                names.prepend(*name);
        }
        TimeFormatCandidate candidate{m_fields[field].pattern(), names.mid(0, 3), {}};
        for (qsizetype i = 0; i < m_preview.size(); ++i) {
            const QByteArray &text = m_samples[i].time;
            double seconds = std::nan("");
            m_fields[field].read(text.constData(), text.constData() + text.size(), seconds);
            candidate.times << utc(seconds);
        }
        question.candidates << candidate;
    }
    return question;
}

QString TimeFormatLearner::noFormatMessage() const
{
    const Sample &first = m_samples.first();
    return QStringLiteral("The times of this file are in no known date and time format: line "
                          "%1 has \"%2\".")
        .arg(first.line)
        .arg(QString::fromUtf8(first.time.left(60)));
}
