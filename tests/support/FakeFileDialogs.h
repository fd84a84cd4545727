// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileDialogs.h"

#include <QList>
#include <QString>

#include <deque>

// File dialogs for tests: record how each dialog was set up and answer with the next
// queued path (empty text: the user cancelled; an empty queue cancels too) and the next
// queued file type (none queued: the filter's first, where the dialog starts).
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

    QList<Request> requests;
    std::deque<QString> answers;
    std::deque<QString> types;

protected:
    SaveChoice askSaveFile(const QString &title, const QString &folder, const QString &fileName,
                           const QString &filter, const QString &defaultSuffix) override
    {
        requests.append({title, folder, fileName, filter, defaultSuffix});
        SaveChoice choice{QString(), filter.section(QStringLiteral(";;"), 0, 0)};
        if (!types.empty()) {
            choice.type = types.front();
            types.pop_front();
        }
        if (!answers.empty()) {
            choice.path = answers.front();
            answers.pop_front();
        }
        return choice;
    }
};
