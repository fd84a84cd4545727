// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Which device each port number ("COM n", counted from 1) stands for.
//
// On Windows a port number is the system's own: COM n is "COMn". Elsewhere the table
// numbers the devices itself: first those the user named (--device PATH) and the
// built-in simulator, in the order given, then the serial ports the system reports,
// ordered by path. A device reached through several paths (a /dev/serial/by-id link and
// the device it points to) is listed once.
class PortTable
{
public:
    enum class Numbering {
        // Numbers count the devices listed in the table.
        DeviceList,
        // Number n is the system's port "COMn" (Windows).
        ComNames,
    };

    // A serial device and a human description of it (may be empty).
    struct Device
    {
        QString path;
        QString description;
    };

    explicit PortTable(Numbering numbering = nativeNumbering());

    // The numbering of this operating system.
    static Numbering nativeNumbering();
    // The serial ports the system reports now, each by its /dev/serial/by-id name where
    // it has one.
    static QList<Device> systemPorts();
    // `ports` with each device that a link in `folder` points to named by that link: a
    // USB adapter's by-id name stays its own when it comes back as another ttyUSBn, so a
    // port opened by that name finds it again, and the name says which adapter it is.
    static QList<Device> withStableNames(QList<Device> ports, const QString &folder);

    // Lists a device named by the user or the simulator's device and returns its number;
    // a device already listed keeps its number. Returns 0 for an empty path.
    int addDevice(const QString &path, const QString &description = QString());
    // Lists the ports the system reports after those already listed, ordered by path
    // (ttyS2 before ttyS10), skipping devices already listed (a description the system
    // gives for one of them is kept).
    void addSystemPorts(const QList<Device> &ports);

    // How many numbers stand for a device (1..count()).
    int count() const;
    // The device path of port number `number`, empty when none stands for it.
    QString devicePath(int number) const;
    // The number that stands for the device at `path`, 0 when none does.
    int numberOf(const QString &path) const;
    // "/dev/ttyUSB0 — FTDI USB Serial", or just the path when nothing more is known;
    // empty when no device stands for the number.
    QString describe(int number) const;
    // The description alone ("FTDI USB Serial"), empty when there is none.
    QString description(int number) const;
    // The port as messages name it: "COM 3 (/dev/ttyUSB0)", or "COM 3" when no device
    // stands for the number.
    QString label(int number) const;
    // The map of numbers to devices for the record, one "COM 3 = /dev/ttyUSB0 — FTDI USB
    // Serial" per number that stands for a device.
    QStringList mapLines() const;

    // The highest COM number on Windows.
    static constexpr int MaxComNumber = 255;

private:
    struct Entry
    {
        QString path;
        QString identity;
        QString description;
    };

    // The path with links resolved, so that two paths of one device compare equal.
    static QString identityOf(const QString &path);
    // The number n of "COMn" (also "\\.\COMn"), 0 for any other name.
    static int comNumber(const QString &path);
    int indexOf(const QString &identity) const;

    Numbering m_numbering;
    // The numbered devices (DeviceList).
    QList<Entry> m_entries;
    // What is known of each COM port (ComNames).
    QMap<int, QString> m_comDescriptions;
};
