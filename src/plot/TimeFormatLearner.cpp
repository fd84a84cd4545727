// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/TimeFormatLearner.h"

#include <QHash>

#include <algorithm>
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

bool TimeFormatLearner::read(int field, const Sample &sample, double &seconds) const
{
    return m_fields[field].read(sample.time.constData(),
                                sample.time.constData() + sample.time.size(), seconds);
}

QVector<double> TimeFormatLearner::times(int field) const
{
    QVector<double> read;
    read.reserve(m_samples.size());
    for (const Sample &sample : m_samples) {
        double seconds = std::nan("");
        this->read(field, sample, seconds);
        read << seconds;
    }
    return read;
}

TimeFormatLearner::Score TimeFormatLearner::score(const QVector<double> &times) const
{
    // Each section's steps: the most common is its period, the others are off it.
    Score score;
    QHash<qint64, qsizetype> counts;
    qsizetype steps = 0;
    qsizetype mostCommon = 0;
    double previous = std::nan("");
    const auto endSection = [&] {
        score.offPeriod += steps - mostCommon;
        counts.clear();
        steps = 0;
        mostCommon = 0;
        previous = std::nan("");
    };
    int section = -1;
    auto time = times.cbegin();
    for (const Sample &sample : m_samples) {
        const double seconds = *time++;
        if (sample.section != section) {
            endSection();
            section = sample.section;
        }
        if (std::isnan(seconds)) {
            ++score.unread;
            continue;
        }
        if (!std::isnan(previous)) {
            ++steps;
            const qint64 step = std::llround((seconds - previous) * 1000);
            // A step back or a repeat is never the period.
            if (step > 0)
                mostCommon = std::max(mostCommon, ++counts[step]);
        }
        previous = seconds;
    }
    endSection();
    return score;
}

TimeFormatLearner::Outcome TimeFormatLearner::decide()
{
    // The readings of the readers that read any of the first records, each once.
    struct Reading
    {
        int field;
        QVector<double> times;
        Score score;
    };
    QVector<Reading> readings;
    const auto tried =
        m_samples.cbegin() + std::min<qsizetype>(m_samples.size(), FirstRecordsTried);
    for (const int field : std::as_const(m_order)) {
        double seconds = 0;
        if (!std::any_of(m_samples.cbegin(), tried,
                         [&](const Sample &sample) { return read(field, sample, seconds); }))
            continue;
        const QVector<double> read = times(field);
        if (std::none_of(readings.cbegin(), readings.cend(),
                         [&read](const Reading &other) { return sameTimes(read, other.times); }))
            readings.append({field, read, score(read)});
    }
    m_tied.clear();
    if (readings.isEmpty())
        return Outcome::NoFormat;
    Score best = readings.first().score;
    for (const Reading &reading : std::as_const(readings))
        best = std::min(best, reading.score);
    for (const Reading &reading : std::as_const(readings)) {
        if (reading.score == best)
            m_tied << reading.field;
    }
    if (m_tied.size() > 1)
        return Outcome::Tied;
    m_chosen = m_tied.first();
    return Outcome::Chosen;
}

TimeFormatQuestion TimeFormatLearner::question() const
{
    TimeFormatQuestion question;
    const QVector<Sample> preview = m_samples.mid(0, m_preview.size());
    for (const Sample &sample : preview)
        question.lineNumbers << sample.line;
    question.lines = m_preview;
    for (const int field : m_tied) {
        // A few of the locales that write it, the preferred first.
        QStringList names = m_fields[field].localeNames();
        for (auto name = m_preferred.crbegin(); name != m_preferred.crend(); ++name) {
            if (names.removeAll(*name) > 0)
                names.prepend(*name);
        }
        TimeFormatCandidate candidate{m_fields[field].pattern(), names.mid(0, 3), {}};
        for (const Sample &sample : preview) {
            double seconds = std::nan("");
            read(field, sample, seconds);
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
