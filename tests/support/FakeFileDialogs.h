#pragma once

#include "platform/FileDialogs.h"

#include <QList>
#include <QString>

#include <deque>

// File dialogs for tests: record how each dialog was set up and answer with the next
// queued path (empty text: the user cancelled; an empty queue cancels too).
class FakeFileDialogs : public FileDialogs
{
public:
    struct Request
    {
        QString title;
        QString folder;
        QString fileName;
        QString filter;
        QString defaultSuffix;
    };

    QString saveFileName(const QString &title, const QString &folder, const QString &fileName,
                         const QString &filter, const QString &defaultSuffix) override
    {
        requests.append({title, folder, fileName, filter, defaultSuffix});
        if (answers.empty())
            return QString();
        const QString answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QList<Request> requests;
    std::deque<QString> answers;
};
