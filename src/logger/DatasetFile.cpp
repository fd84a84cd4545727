#include "logger/DatasetFile.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/NumberFormat.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const QString Tab = QStringLiteral("\t");
const QString Comma = QStringLiteral(",");
const QByteArray LineEnd = QByteArrayLiteral("\r\n");
const QString UnknownModel = QStringLiteral("ZQ3&4 ");

// Asks the system to put the file's written bytes on the disk itself. A device that
// cannot be synchronised (a pipe, a terminal) has nothing to keep.
bool SyncToDisk(QFileDevice &file)
{
    const int handle = file.handle();
    if (handle < 0)
        return true;
#if defined(Q_OS_WIN)
    const bool synced = ::_commit(handle) == 0;
#elif defined(Q_OS_LINUX)
    const bool synced = ::fdatasync(handle) == 0;
#else
    const bool synced = ::fsync(handle) == 0;
#endif
    return synced || errno == EINVAL;
}

QString Field(const QString &text, const QString &separator)
{
    if (separator != Comma)
        return text;
    QString field = text;
    return field.replace(Comma, QStringLiteral("."));
}

} // namespace

DatasetFile::DatasetFile(Opener opener) : m_opener(std::move(opener))
{}

DatasetFile::~DatasetFile()
{
    close();
}

std::unique_ptr<QIODevice> DatasetFile::OpenReplacingFile(const QString &path, QString &error)
{
    auto file = std::make_unique<QFile>(path);
    // Unbuffered: each block's lines go to the system in one write, and a failed write
    // is seen at once rather than at some later flush.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = file->errorString();
        return nullptr;
    }
    return file;
}

QString DatasetFile::SeparatorFor(const QString &path)
{
    return path.endsWith(QStringLiteral("csv"), Qt::CaseSensitive) ? Comma : Tab;
}

QString DatasetFile::ModelText(const QString &version)
{
    const auto blank = version.indexOf(QLatin1Char(' '));
    if (blank == 3 || blank == 4)
        return version.left(blank + 1);
    return UnknownModel;
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
    m_device = m_opener(path, error);
    if (!m_device)
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
    if (!m_device) {
        error = QStringLiteral("File not open");
        return false;
    }
    if (!bytes.isEmpty() && m_device->write(bytes) != bytes.size()) {
        error = m_device->errorString();
        return false;
    }
    auto *file = qobject_cast<QFileDevice *>(m_device.get());
    if (!file)
        return true;
    if (!file->flush()) {
        error = file->errorString();
        return false;
    }
    if (!SyncToDisk(*file)) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void DatasetFile::close()
{
    m_pending.clear();
    if (m_device)
        m_device->close();
    m_device.reset();
}
