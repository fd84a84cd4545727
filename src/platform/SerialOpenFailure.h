// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>
#include <QString>

// Error numbers for the QSerialPort errors that the link does not tell apart by number
// (the others map onto the numbers of SerialPort).
namespace SerialErrorNumbers {
constexpr int UnsupportedOperation = 8024;
constexpr int Timeout = 8025;
constexpr int Unknown = 8026;
} // namespace SerialErrorNumbers

// The fixed error number reported for an error of QSerialPort.
int SerialErrorNumber(QSerialPort::SerialPortError error);

// What a path names, as far as a serial port cares.
enum class PathKind {
    // A device, or nothing at all (the open says which).
    Other,
    Folder,
    PlainFile,
};

// What `path` names now.
PathKind PathKindOf(const QString &path);

// What is known after QSerialPort failed to open a device.
struct OpenFailureFacts
{
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    // The port's errorString().
    QString errorText;
    QString path;
    // access() refused read and write access to the device file.
    bool accessDenied = false;
    // The group that owns the device file ("dialout"), empty when unknown.
    QString deviceGroup;
    PathKind pathKind = PathKind::Other;
};

struct SerialFailure
{
    int number = 0;
    QString description;
};

// Tells apart the reasons behind a failed open. QSerialPort reports a lock held by
// another program, a device opened exclusively by another program and a user without
// access rights all as PermissionError; the first two are "already open" (8005), the
// last gets its own number and a message that says how to fix it. A folder, a plain
// file or a device that is no terminal (/dev/null) is ErrorNotSerialDevice.
SerialFailure DescribeOpenFailure(const OpenFailureFacts &facts);
