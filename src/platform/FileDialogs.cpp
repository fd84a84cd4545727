// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileDialogs.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

QString FileDialogs::saveFileName(const QString &title, const QString &folder,
                                  const QString &fileName, const QString &filter,
                                  const QString &defaultSuffix)
{
    const SaveChoice choice = askSaveFile(title, folder, fileName, filter, defaultSuffix);
    if (choice.path.isEmpty())
        return QString();
    const QString suffix = FileTypeSuffix(choice.type);
    return WithSuffix(choice.path, suffix.isEmpty() ? defaultSuffix : suffix);
}

QString FileTypeSuffix(const QString &type)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    return pattern.match(type).captured(1);
}

QString WithSuffix(const QString &path, const QString &suffix)
{
    const QFileInfo typed(path);
    if (suffix.isEmpty() || typed.fileName().contains(QLatin1Char('.')) || typed.exists())
        return path;
    return path + QLatin1Char('.') + suffix;
}

QString DocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
