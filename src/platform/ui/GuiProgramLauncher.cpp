// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/GuiProgramLauncher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

bool GuiProgramLauncher::startProgram(const QString &program, const QStringList &arguments,
                                      QString &error)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (process.startDetached())
        return true;
    error = process.errorString();
    return false;
}

bool GuiProgramLauncher::openFile(const QString &path, QString &error)
{
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    error = QStringLiteral("No program could be started to show ") + path;
    return false;
}
