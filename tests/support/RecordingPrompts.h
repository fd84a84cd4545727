// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UserPrompts.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

// Prompts for tests: records every box that would have been shown and answers questions
// and confirmations from a queue (then with `defaultAnswer` once the queue is empty).
// A box the test never looked at (through calls() or texts()) fails the test: a window
// must not show a box nobody expected.
class RecordingPrompts : public UserPrompts
{
public:
    RecordingPrompts() = default;
    RecordingPrompts(const RecordingPrompts &) = delete;
    RecordingPrompts &operator=(const RecordingPrompts &) = delete;
    ~RecordingPrompts() override
    {
        for (qsizetype i = m_seen; i < m_calls.size(); ++i)
            ADD_FAILURE() << "unexpected box \"" << m_calls[i].title.toStdString()
                          << "\": " << m_calls[i].text.toStdString();
    }

    enum class Kind { Message, Question, Confirm };

    struct Call
    {
        Kind kind;
        QString title;
        QString text;
    };

    void message(const QString &title, const QString &text) override
    {
        show({Kind::Message, title, text});
    }
    bool question(const QString &title, const QString &text) override
    {
        show({Kind::Question, title, text});
        return nextAnswer();
    }
    bool confirm(const QString &title, const QString &text) override
    {
        show({Kind::Confirm, title, text});
        return nextAnswer();
    }

    // The boxes shown so far, in order; the test has now seen them.
    const QList<Call> &calls() const
    {
        m_seen = m_calls.size();
        return m_calls;
    }

    // Forgets the boxes shown so far (a table-driven test starting its next case).
    void clear()
    {
        m_calls.clear();
        m_seen = 0;
    }

    // The texts shown so far, in order, of every kind.
    QStringList texts() const
    {
        QStringList all;
        for (const Call &call : calls())
            all.append(call.text);
        return all;
    }

    std::deque<bool> answers;
    bool defaultAnswer = false;
    // Runs while a box is open, before it is answered: the time a user takes, during
    // which the window's timers still run (a modal box runs the event loop).
    std::function<void()> whileOpen;

private:
    QList<Call> m_calls;
    mutable qsizetype m_seen = 0;

    void show(const Call &call)
    {
        m_calls.append(call);
        if (whileOpen)
            whileOpen();
    }

    bool nextAnswer()
    {
        if (answers.empty())
            return defaultAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
