// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/DateTimeField.h"
#include "plot/TimeFormatChooser.h"

#include <QByteArray>
#include <QVector>

// Learns how a file writes its times from its first records, once per file.
//
// Of the readers given, those that read any of the first records are tried on all of them;
// readers that give the same times are one reading. Of different readings the one the data
// prefers wins: the fewest times it cannot read, then the fewest steps within a section that
// are not the section's period (the most common step). So 01/02/26 23:59:30 followed by
// 02/02/26 00:00:00 is read day first: month first, it would jump a month. When the best
// readings tie, only the user can tell (question()).
class TimeFormatLearner
{
public:
    enum class Outcome { Chosen, Tied, NoFormat };

    // `fields` outlives the learner. Those of `preferred` locale names are tried first, so
    // that of equal readings theirs is named.
    TimeFormatLearner(const QVector<DateTimeField> &fields, const QStringList &preferred);

    // A record's time text, the section it is in (counted from 0) and its whole line.
    void add(qint64 line, int section, const char *timeBegin, const char *timeEnd,
             const char *lineEnd);
    qsizetype size() const { return m_samples.size(); }

    Outcome decide();
    // After Chosen, or after choose(): the reader to use.
    const DateTimeField &chosen() const { return m_fields[m_chosen]; }
    // After Tied: the preview and the tied readings, in the order choose() takes.
    TimeFormatQuestion question() const;
    void choose(int candidate) { m_chosen = m_tied.at(candidate); }
    // After NoFormat: the first record's line and time text.
    QString noFormatMessage() const;

private:
    struct Sample
    {
        qint64 line;
        int section;
        QByteArray time;
    };
    struct Score
    {
        qsizetype unread = 0;
        qsizetype offPeriod = 0;
        bool operator<(const Score &other) const
        {
            return unread != other.unread ? unread < other.unread : offPeriod < other.offPeriod;
        }
        bool operator==(const Score &other) const
        {
            return unread == other.unread && offPeriod == other.offPeriod;
        }
    };

    bool read(int field, const Sample &sample, double &seconds) const;
    QVector<double> times(int field) const; // NaN where unread
    Score score(const QVector<double> &times) const;

    const QVector<DateTimeField> &m_fields;
    QStringList m_preferred;
    QVector<int> m_order; // indices of m_fields, preferred first
    QVector<Sample> m_samples;
    QStringList m_preview; // the first lines whole
    QVector<int> m_tied;
    int m_chosen = -1;
};
