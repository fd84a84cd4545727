// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PortLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace {

QString lockFileName(const QString &devicePath)
{
    QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

} // namespace

const QStringList &PortLock::systemFolders()
{
    static const QStringList folders = {QStringLiteral("/var/lock"),
                                        QStringLiteral("/etc/locks"),
                                        QStringLiteral("/var/spool/locks"),
                                        QStringLiteral("/var/spool/uucp"),
                                        QStringLiteral("/tmp"),
                                        QStringLiteral("/var/tmp"),
                                        QStringLiteral("/var/lock/lockdev"),
                                        QStringLiteral("/run/lock")};
    return folders;
}

QString PortLock::lockFilePath(const QString &devicePath) const
{
    const QString name = lockFileName(devicePath);
    for (const QString &folder : m_folders) {
        const QFileInfo info(folder);
        const QString path = folder + QLatin1Char('/') + name;
        if (info.isReadable() && (QFile::exists(path) || info.isWritable()))
            return path;
    }
    return QString();
}

qint64 PortLock::lockOwner(const QString &lockFile)
{
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> lines = file.read(4096).split('\n');
    bool ok = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
    // Qt's lock files name the computer on their third line.
    const QByteArray host = lines.value(2).trimmed();
    if (!host.isEmpty() && host != QSysInfo::machineHostName().toUtf8())
        return 0;
    return ok && pid > 0 ? pid : 0;
}

bool PortLock::processAlive(qint64 pid)
{
#ifdef Q_OS_UNIX
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
#else
    return pid > 0;
#endif
}

QString PortLock::processLabel(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name =
        comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll()).trimmed() : QString();
    const QString number = QStringLiteral("PID %1").arg(pid);
    return name.isEmpty() ? number : name + QStringLiteral(" (") + number + QLatin1Char(')');
}

QStringList PortLock::holders(const QString &devicePath) const
{
    QStringList found;
    const QString device = QFileInfo(devicePath).canonicalFilePath();
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList processes =
        QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &process : processes) {
        const qint64 pid = process.toLongLong();
        if (pid == self || device.isEmpty())
            continue;
        const QDir fds(QStringLiteral("/proc/") + process + QStringLiteral("/fd"));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == device) {
                found.append(processLabel(pid));
                break;
            }
        }
    }
    const qint64 owner = lockOwner(lockFilePath(devicePath));
    if (owner != self && processAlive(owner) && !found.contains(processLabel(owner)))
        found.append(processLabel(owner));
    return found;
}

PortLock::Stale PortLock::clearStale(const QString &devicePath, QString &notice) const
{
    const QString path = lockFilePath(devicePath);
    if (path.isEmpty() || !QFile::exists(path))
        return Stale::None;
    const qint64 owner = lockOwner(path);
    if (owner == 0 || processAlive(owner))
        return Stale::None;
    const bool removed = QFile::remove(path);
    notice = QStringLiteral("ignoring the stale lock %1 of PID %2, which no longer runs")
                 .arg(path)
                 .arg(owner) +
             (removed ? QStringLiteral(" (removed)") : QStringLiteral(" (it may not be removed)"));
    return removed ? Stale::Removed : Stale::Stuck;
}
