// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

// A serial port that passes every call on to another one and writes what happened on the
// line to the link's trace (LinkTrace.h): opens and closes with their outcome, every write
// and every read that brought bytes with the bytes, and every wait that failed. Each
// message starts with the port ("COM 3 "); the trace adds the time of day. With the trace
// off it only passes the calls on.
class TracingSerialPort : public SerialPort
{
public:
    // Takes over the inner port's loss notice: traced, then passed on to this port's owner.
    explicit TracingSerialPort(SerialPort &inner);

    bool setPortNumber(int number) override { return m_inner.setPortNumber(number); }
    int portNumber() const override { return m_inner.portNumber(); }
    bool open() override;
    void close() override;
    bool isOpen() const override { return m_inner.isOpen(); }
    void setDtr(bool on) override { m_inner.setDtr(on); }
    bool dtr() const override { return m_inner.dtr(); }
    void setRts(bool on) override { m_inner.setRts(on); }
    int bytesWaiting() override { return m_inner.bytesWaiting(); }
    QByteArray read(int maxBytes = 0) override;
    bool write(const QByteArray &bytes) override;
    // The inner port holds its notices too (a real port then lets its device rest).
    void holdReadyRead(bool held) override
    {
        SerialPort::holdReadyRead(held);
        m_inner.holdReadyRead(held);
    }
    int errorNumber() const override { return m_inner.errorNumber(); }
    QString errorDescription() const override { return m_inner.errorDescription(); }
    void clearError() override { m_inner.clearError(); }
    QMap<int, OpenFailure> openFailures() const override { return m_inner.openFailures(); }

private:
    // "COM 3 ": the start of every message.
    QString prefix() const;
    QString failure() const;

    SerialPort &m_inner;
};
