// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/DatasetFile.h"

#include "common/DataFileText.h"
#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/NumberFormat.h"
#include "link/InstrumentModel.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

const QByteArray LineEnd = QByteArrayLiteral("\r\n");

} // namespace

QString DatasetFile::RecordLine(QChar separator, double time, const DatasetRecord::Values &values,
                                const QString &numberFormat, bool isoTimes)
{
    const QStringList fields{
        isoTimes ? IsoLocalTimeText(DaysToDateTime(time)) : FormatLoggerTime(time, false),
        FormatNumber(values.total, numberFormat), FormatNumber(values.diffuse, numberFormat),
        FormatNumber(values.sun, QStringLiteral("0.0"))};
    QStringList written;
    for (const QString &field : fields)
        written.append(DataFileField(field, separator));
    return written.join(separator);
}

bool DatasetFile::create(const QString &path, const QString &version, const QString &serialNumber,
                         const QDateTime &now, QString &error)
{
    close();
    m_separator = DataFileSeparator(m_layoutName.isEmpty() ? path : m_layoutName);
    const bool existed = QFileInfo::exists(path);
    if (!m_file.create(path, error))
        return false;
    add(DataFileFirstLine(LogFileModelWord(version), QStringLiteral("Data file "), now));
    add(DataFileSecondLine(version, serialNumber));
    if (flush(error))
        return true;
    close();
    // A file without its heading is no dataset file: the one made here goes again. One
    // that was there before is the user's and stays.
    if (!existed)
        QFile::remove(path);
    return false;
}

bool DatasetFile::reopen(const QString &path, QString &error)
{
    close();
    m_separator = DataFileSeparator(m_layoutName.isEmpty() ? path : m_layoutName);
    return m_file.open(DurableFile::OpenAppendingFile, path, error);
}

void DatasetFile::writeSection(const QString &unitsText)
{
    add(DataFileUnitsLine(unitsText));
    add(DataFileColumns().join(m_separator));
}

void DatasetFile::writeRecord(double time, const DatasetRecord::Values &values,
                              const QString &numberFormat)
{
    add(RecordLine(m_separator, time, values, numberFormat, m_isoTimes));
}

void DatasetFile::add(const QString &line)
{
    m_pending += line.toUtf8();
    m_pending += LineEnd;
}

bool DatasetFile::flush(QString &error)
{
    const QByteArray bytes = m_pending;
    m_pending.clear();
    return m_file.write(bytes, error);
}

void DatasetFile::close()
{
    m_pending.clear();
    m_file.close();
}
