// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The lock files serial programs leave for a device ("LCK..ttyUSB0" in /var/lock, the
// UUCP custom that Qt's serial port follows) and the processes that hold a device.
//
// A lock file names the process that made it. When that process is gone (killed, a power
// cut) the file is stale: it is removed when it may be; when it may not (another user's
// file in a sticky lock folder, such as root's in /run/lock seen by a service user), the
// device is opened under another name, so that the stale file is not in the way. The
// device itself is locked while open (flock), so two programs still never share it.
class PortLock
{
public:
    // The folders Qt's serial port looks in, in its order.
    static const QStringList &systemFolders();

    explicit PortLock(QStringList folders = systemFolders()) : m_folders(std::move(folders)) {}

    // The lock file for the device: "LCK.." and its name under /dev ("/" as "_") in the
    // first readable folder where the file is, or that may be written; empty when none.
    QString lockFilePath(const QString &devicePath) const;

    // The process a lock file names: its first line, a decimal PID; 0 when it names none
    // or another computer (a third line that is not this computer's name).
    static qint64 lockOwner(const QString &lockFile);

    // The process runs (also when it is another user's).
    static bool processAlive(qint64 pid);

    // "minicom (PID 812)", or "PID 812" when its name cannot be read.
    static QString processLabel(qint64 pid);

    // The processes other than this one that have the device open (as far as this user
    // may see), then the one that names it in a live lock file; as processLabel texts.
    QStringList holders(const QString &devicePath) const;

    enum class Stale {
        None,    // no lock file, or one of a running process
        Removed, // a dead process's file, removed
        Stuck,   // a dead process's file that may not be removed
    };
    // Looks for a stale lock of the device and removes it when it may. `notice` says what
    // was found, for the user, when it was stale.
    Stale clearStale(const QString &devicePath, QString &notice) const;

private:
    QStringList m_folders;
};
