// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/DatasetViewer.h"

#include "platform/ProgramLauncher.h"

#include <QDir>
#include <QFileInfo>

namespace DatasetViewer {

QString GraphingProgramName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("vantplot.exe");
#else
    return QStringLiteral("vantplot");
#endif
}

bool Show(ProgramLauncher &launcher, const QString &programFolder, const QString &path,
          QString &error)
{
    const QFileInfo graphing(QDir(programFolder).filePath(GraphingProgramName()));
    if (!programFolder.isEmpty() && graphing.isFile())
        return launcher.startProgram(graphing.absoluteFilePath(), {path}, error);
    return launcher.openFile(path, error);
}

} // namespace DatasetViewer
