#include "platform/FileDialogs.h"

#include <QStandardPaths>

QString DocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
