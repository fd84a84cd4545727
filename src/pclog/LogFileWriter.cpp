#include "LogFileWriter.h"

bool LogFileWriter::writeLine(const QString &line, QString &error)
{
    return m_file.write(line.toLocal8Bit() + QByteArrayLiteral("\r\n"), error);
}
