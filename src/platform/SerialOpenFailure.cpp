// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SerialOpenFailure.h"

#include "platform/SerialPort.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

// Groups whose members may use serial devices on common systems.
bool isSerialGroup(const QString &group)
{
    return group == QLatin1String("dialout") || group == QLatin1String("uucp") ||
           group == QLatin1String("tty") || group == QLatin1String("plugdev");
}

QString permissionDenied(const OpenFailureFacts &facts)
{
    QString text = QStringLiteral("Permission denied on %1").arg(facts.path);
    // The remedy in full: the command, and the new login that the group takes effect at.
    if (isSerialGroup(facts.deviceGroup))
        return text + QStringLiteral(": add your user to the %1 group (sudo usermod -aG %1 "
                                     "$USER) and log in again")
                          .arg(facts.deviceGroup);
    return text + QStringLiteral(": your user may not read and write it");
}

QString notSerial(const QString &path, const QString &what)
{
    return QStringLiteral("%1 is %2, not a serial device: name the instrument's device with "
                          "--device, such as /dev/ttyUSB0")
        .arg(path, what);
}

} // namespace

PathKind PathKindOf(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return PathKind::Folder;
    return info.isFile() ? PathKind::PlainFile : PathKind::Other;
}

int SerialErrorNumber(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return SerialPort::NoError;
    case QSerialPort::DeviceNotFoundError:
        return SerialPort::ErrorOpenFailed;
    case QSerialPort::PermissionError:
        return SerialPort::ErrorPermission;
    case QSerialPort::OpenError:
        return SerialPort::ErrorPortAlreadyOpen;
    case QSerialPort::NotOpenError:
        return SerialPort::ErrorPortNotOpen;
    case QSerialPort::WriteError:
        return SerialPort::ErrorWriteFailed;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
        return SerialPort::ErrorDeviceLost;
    case QSerialPort::UnsupportedOperationError:
        return SerialErrorNumbers::UnsupportedOperation;
    case QSerialPort::TimeoutError:
        return SerialErrorNumbers::Timeout;
    case QSerialPort::UnknownError:
        break;
    }
    return SerialErrorNumbers::Unknown;
}

SerialFailure DescribeOpenFailure(const OpenFailureFacts &facts)
{
    const QString detail =
        facts.errorText.isEmpty() ? QStringLiteral("unknown error") : facts.errorText;
    // The system's reasons for these read like a fault of the program ("Inappropriate
    // ioctl for device"); the path is simply not a serial line.
    if (facts.pathKind == PathKind::Folder)
        return {SerialPort::ErrorNotSerialDevice,
                notSerial(facts.path, QStringLiteral("a folder"))};
    if (facts.pathKind == PathKind::PlainFile)
        return {SerialPort::ErrorNotSerialDevice,
                notSerial(facts.path, QStringLiteral("a plain file"))};
    if (facts.errorText == QString::fromLocal8Bit(std::strerror(ENOTTY)))
        return {SerialPort::ErrorNotSerialDevice,
                notSerial(facts.path, QStringLiteral("a device of another kind"))};
    if (facts.error == QSerialPort::PermissionError) {
        if (facts.accessDenied)
            return {SerialPort::ErrorPermission, permissionDenied(facts)};
        // QSerialPort's own lock file (LCK..name) belongs to a running program.
        if (facts.errorText == QSerialPort::tr("Permission error while locking the device"))
            return {SerialPort::ErrorPortAlreadyOpen,
                    QStringLiteral("%1 is locked by another program").arg(facts.path)};
        // The device was opened exclusively (TIOCEXCL) by another program.
        if (facts.errorText == QString::fromLocal8Bit(std::strerror(EBUSY)))
            return {SerialPort::ErrorPortAlreadyOpen,
                    QStringLiteral("%1 is in use by another program").arg(facts.path)};
        if (facts.errorText == QSerialPort::tr("Permission error while creating lock file"))
            return {SerialPort::ErrorPermission,
                    QStringLiteral("Cannot lock %1: no lock folder (/var/lock, /tmp) may be "
                                   "written")
                        .arg(facts.path)};
        return {SerialPort::ErrorPermission,
                QStringLiteral("Cannot open %1: %2").arg(facts.path, detail)};
    }
    if (facts.error == QSerialPort::DeviceNotFoundError)
        return {SerialPort::ErrorOpenFailed,
                QStringLiteral("No device at %1: %2").arg(facts.path, detail)};
    return {SerialErrorNumber(facts.error),
            QStringLiteral("Cannot open %1: %2").arg(facts.path, detail)};
}
