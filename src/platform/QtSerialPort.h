#pragma once

#include "platform/PortTable.h"
#include "platform/SerialPort.h"

#include <QSerialPort>

// The serial port on a real device (a serial adapter, a pseudo-terminal of the
// simulator), chosen by its number in the port table.
//
// QSerialPort moves bytes only inside its waits or the event loop, and the link reads
// without an event loop; so counting and reading first take in what the system already
// holds, writing waits until the bytes have left, and waiting blocks in the port. Only a
// hang-up watch is connected to the port's signals: nothing here reads in a slot, so
// the bytes stay where the link looks for them.
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
    bool waitForReadyRead(int msecs) override;
    int errorNumber() const override { return m_error; }
    QString errorDescription() const override { return m_errorText; }
    void clearError() override;

private:
    enum class ModemLine { Dtr, Rts };

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
    int m_error = NoError;
    QString m_errorText;
};
