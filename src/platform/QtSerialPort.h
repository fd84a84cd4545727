// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PortTable.h"
#include "platform/SerialPort.h"

#include <QSerialPort>
#include <QTemporaryDir>

#include <memory>
#include <utility>

// The serial port on a real device (a serial adapter, a pseudo-terminal of the
// simulator), chosen by its number in the port table.
//
// QSerialPort moves bytes only inside its waits or the event loop, and the link reads
// without an event loop; so counting and reading first take in what the system already
// holds, writing waits until the bytes have left, and waiting blocks in the port. The
// port's signals only note a hang-up and tell the link driver, from the event loop, that
// bytes have come: nothing here reads in a slot, so the bytes stay where the link looks.
class QtSerialPort : public SerialPort
{
public:
    explicit QtSerialPort(const PortTable &table);
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort &) = delete;
    QtSerialPort &operator=(const QtSerialPort &) = delete;

    bool setPortNumber(int number) override;
    int portNumber() const override { return m_portNumber; }
    bool open() override;
    void close() override;
    bool isOpen() const override;
    void setDtr(bool on) override;
    bool dtr() const override { return m_dtr; }
    void setRts(bool on) override;
    int bytesWaiting() override;
    QByteArray read(int maxBytes = 0) override;
    bool write(const QByteArray &bytes) override;
    // The port's own watch on the device rests too while the notices are held.
    void holdReadyRead(bool held) override;
    int errorNumber() const override { return m_error; }
    QString errorDescription() const override { return m_errorText; }
    void clearError() override;

    // What the last open found worth telling (a stale lock it stepped round), once.
    QString takeNotice() { return std::exchange(m_notice, QString()); }

private:
    enum class ModemLine { Dtr, Rts };

    // The stale lock of a dead process and another program's live lock: the path to open
    // the device by (the device's own, or a name that steps round a stale lock that may
    // not be removed), empty when a live lock holds it.
    QString pathPastLocks(const QString &path);
    // open() once no port is open: the device of the chosen number.
    bool openChosenDevice();
    // "/dev/ttyUSB0 is in use by minicom (PID 812)".
    static QString busyText(const QString &path);
    bool openDevice(const QString &path);
    // Locks the opened file itself, so that a program holding the same device under
    // another name (a by-id link) is seen too.
    bool lockDevice(const QString &path);
    bool applyLineSettings(const QString &path);
    void applyModemLine(ModemLine line, bool on);
    // Takes in, without blocking, the bytes the system holds for the port.
    void takeInWaitingBytes();
    // Called for every error the port raises; notes a hang-up.
    void noticeError(QSerialPort::SerialPortError error);
    // Closes the port after a hang-up was noticed. True when it did.
    bool closeIfHungUp();
    void closeDevice();
    void fail(int number, const QString &text);

    const PortTable &m_table;
    QSerialPort m_port;
    int m_portNumber = 1;
    bool m_dtr = false;
    bool m_rts = false;
    // The device hung up (unplugged, or the far end of a pseudo-terminal closed): the
    // port counts as closed and is closed at the next chance.
    bool m_hungUp = false;
    bool m_closing = false;
    // A notice of new bytes waits in the event loop.
    bool m_noticeQueued = false;
    int m_error = NoError;
    QString m_errorText;
    QString m_notice;
    // The folder of the other name a device is opened by past a stale lock.
    std::unique_ptr<QTemporaryDir> m_aliasFolder;
};
