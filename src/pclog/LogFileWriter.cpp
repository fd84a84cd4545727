// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogFileWriter.h"

bool LogFileWriter::writeLine(const QString &line, QString &error)
{
    return m_file.write(line.toUtf8() + QByteArrayLiteral("\r\n"), error);
}
