#include "logger/DatasetFile.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/NumberFormat.h"
#include "link/InstrumentModel.h"

#include <QStringList>

namespace {

const QString Tab = QStringLiteral("\t");
const QString Comma = QStringLiteral(",");
const QByteArray LineEnd = QByteArrayLiteral("\r\n");

QString Field(const QString &text, const QString &separator)
{
    if (separator != Comma)
        return text;
    QString field = text;
    return field.replace(Comma, QStringLiteral("."));
}

} // namespace

QString DatasetFile::SeparatorFor(const QString &path)
{
    return path.endsWith(QStringLiteral("csv"), Qt::CaseSensitive) ? Comma : Tab;
}

QString DatasetFile::ModelText(const QString &version)
{
    return LogFileModelWord(version);
}

QString DatasetFile::FirstHeading(const QString &version, const QDateTime &now)
{
    return ModelText(version) + QStringLiteral("Data file ") +
           FormatNamed(now, NamedFormat::ShortDate) + QLatin1Char(' ') +
           FormatNamed(now, NamedFormat::LongTime);
}

QString DatasetFile::SecondHeading(const QString &version, const QString &serialNumber)
{
    return version + QStringLiteral(" Ser No: ") + serialNumber;
}

QString DatasetFile::UnitsLine(const QString &unitsText)
{
    return QStringLiteral("Reading ") + unitsText;
}

QString DatasetFile::ColumnLine(const QString &separator)
{
    return QStringList{QStringLiteral("Time"), QStringLiteral("Total"), QStringLiteral("Diffuse"),
                       QStringLiteral("Sun")}
        .join(separator);
}

QString DatasetFile::RecordLine(const QString &separator, double time,
                                const DatasetRecord::Values &values, const QString &numberFormat)
{
    const QStringList fields{FormatLoggerTime(time, false),
                             FormatNumber(values.total, numberFormat),
                             FormatNumber(values.diffuse, numberFormat),
                             FormatNumber(values.sun, QStringLiteral("0.0"))};
    QStringList written;
    for (const QString &field : fields)
        written.append(Field(field, separator));
    return written.join(separator);
}

bool DatasetFile::create(const QString &path, const QString &version, const QString &serialNumber,
                         const QDateTime &now, QString &error)
{
    close();
    m_separator = SeparatorFor(path);
    if (!m_file.create(path, error))
        return false;
    add(FirstHeading(version, now));
    add(SecondHeading(version, serialNumber));
    if (flush(error))
        return true;
    close();
    return false;
}

void DatasetFile::writeSection(const QString &unitsText)
{
    add(UnitsLine(unitsText));
    add(ColumnLine(m_separator));
}

void DatasetFile::writeRecord(double time, const DatasetRecord::Values &values,
                              const QString &numberFormat)
{
    add(RecordLine(m_separator, time, values, numberFormat));
}

void DatasetFile::add(const QString &line)
{
    m_pending += line.toLatin1();
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
