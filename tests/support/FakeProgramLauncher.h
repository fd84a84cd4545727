// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ProgramLauncher.h"

#include <QList>
#include <QString>
#include <QStringList>

// A program launcher for tests: records what would have been started or opened and
// answers with success, or with `failure` as the reason when that is set.
class FakeProgramLauncher : public ProgramLauncher
{
public:
    struct Start
    {
        QString program; // empty for a file opened with the desktop's default program
        QStringList arguments;
    };

    bool startProgram(const QString &program, const QStringList &arguments, QString &error) override
    {
        starts.append({program, arguments});
        return answer(error);
    }

    bool openFile(const QString &path, QString &error) override
    {
        starts.append({QString(), {path}});
        return answer(error);
    }

    QList<Start> starts;
    QString failure;

private:
    bool answer(QString &error) const
    {
        error = failure;
        return failure.isEmpty();
    }
};
