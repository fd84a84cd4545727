#pragma once

#include "platform/UserPrompts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>

// Prompts for tests: records every box that would have been shown and answers questions
// and confirmations from a queue (then with `defaultAnswer` once the queue is empty).
class RecordingPrompts : public UserPrompts
{
public:
    enum class Kind { Message, Question, Confirm };

    struct Call
    {
        Kind kind;
        QString title;
        QString text;
    };

    void message(const QString &title, const QString &text) override
    {
        calls.append({Kind::Message, title, text});
    }
    bool question(const QString &title, const QString &text) override
    {
        calls.append({Kind::Question, title, text});
        return nextAnswer();
    }
    bool confirm(const QString &title, const QString &text) override
    {
        calls.append({Kind::Confirm, title, text});
        return nextAnswer();
    }

    // The texts shown so far, in order, of every kind.
    QStringList texts() const
    {
        QStringList all;
        for (const Call &call : calls)
            all.append(call.text);
        return all;
    }

    QList<Call> calls;
    std::deque<bool> answers;
    bool defaultAnswer = false;

private:
    bool nextAnswer()
    {
        if (answers.empty())
            return defaultAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
