// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/OutputFileDialogs.h"

#include <QFileInfo>

FileDialogs::SaveChoice OutputFileDialogs::askSaveFile(const QString &, const QString &,
                                                       const QString &, const QString &filter,
                                                       const QString &)
{
    const QStringList types = filter.split(QStringLiteral(";;"));
    const QString suffix = QFileInfo(m_path).suffix();
    for (const QString &type : types) {
        if (!suffix.isEmpty() && FileTypeSuffix(type) == suffix)
            return {m_path, type};
    }
    return {m_path, types.value(0)};
}
