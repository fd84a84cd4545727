// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTitle.h"

QString TitleWithFile(const QString &fileName, int room,
                      const std::function<int(const QString &)> &widthOf)
{
    if (widthOf(fileName) <= room)
        return QStringLiteral("Vantlog ") + fileName;
    qsizetype length = fileName.size() - 1;
    while (length > 1 && widthOf(fileName.right(length)) > room)
        --length;
    return QStringLiteral("Vantlog ...") + fileName.right(length);
}
