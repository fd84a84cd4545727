// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>
#include <utility>

// The serial line to the instrument, selected by port number. Every byte the link
// exchanges with the instrument goes through this interface, so tests can put a
// simulated instrument at the far end and a real build a device file.
//
// Errors carry a number and a description, as the link reports them to the user.
class SerialPort
{
public:
    // Error numbers the link tells apart.
    static constexpr int NoError = 0;
    static constexpr int ErrorInvalidPortNumber = 8002;
    static constexpr int ErrorPortAlreadyOpen = 8005;
    static constexpr int ErrorPortNotOpen = 8018;
    static constexpr int ErrorDeviceLost = 8020;
    static constexpr int ErrorPermission = 8021;
    static constexpr int ErrorOpenFailed = 8022;
    static constexpr int ErrorWriteFailed = 8023;
    // The path names a folder, a plain file or a device that is no serial line.
    static constexpr int ErrorNotSerialDevice = 8027;

    // Why a port could not be opened.
    struct OpenFailure
    {
        int number = NoError;
        QString description;
    };

    virtual ~SerialPort() = default;

    // Chooses the port that open() opens. Fails (with ErrorInvalidPortNumber) when no
    // device stands for that number; fails with ErrorPortAlreadyOpen while a port is open.
    virtual bool setPortNumber(int number) = 0;
    virtual int portNumber() const = 0;

    // Opens the chosen port at 9600 baud, 8 data bits, no parity, 2 stop bits, no flow
    // control. On failure errorNumber() tells why (ErrorPortAlreadyOpen when another
    // program holds it).
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Modem lines. Lines a device does not have (a pseudo-terminal) are ignored.
    virtual void setDtr(bool on) = 0;
    virtual bool dtr() const = 0;
    virtual void setRts(bool on) = 0;

    // Bytes received and not yet read.
    virtual int bytesWaiting() = 0;
    // Reads the waiting bytes, at most maxBytes of them when maxBytes > 0.
    virtual QByteArray read(int maxBytes = 0) = 0;
    // Writes all bytes (waiting until they have left the computer's buffer).
    virtual bool write(const QByteArray &bytes) = 0;

    virtual int errorNumber() const = 0;
    virtual QString errorDescription() const = 0;
    virtual void clearError() = 0;

    // Why each port number failed to open the last time it was tried; a port that has
    // opened since is not in it. The owner's window says why no port could be used.
    virtual QMap<int, OpenFailure> openFailures() const { return m_openFailures; }

    // Called from the event loop when the open port's device went away (unplugged, or
    // the far end closed) and the port closed itself: most losses happen between two
    // exchanges, when no call of the owner would see them.
    void setLostHandler(std::function<void()> handler) { m_lostHandler = std::move(handler); }
    // Called from the event loop when new bytes have arrived: the link driver reads in it
    // instead of waiting for them.
    void setReadyReadHandler(std::function<void()> handler)
    {
        m_readyReadHandler = std::move(handler);
    }
    // While held, the notices of new bytes are not passed on: the owner looks at the port
    // when it chooses (a line that brings one byte at a time would wake it for each).
    virtual void holdReadyRead(bool held) { m_readyReadHeld = held; }

protected:
    // Records the outcome of opening port `portNumber`, the failure from errorNumber()
    // and errorDescription().
    void noteOpenOutcome(int portNumber, bool opened)
    {
        if (opened)
            m_openFailures.remove(portNumber);
        else
            m_openFailures.insert(portNumber, {errorNumber(), errorDescription()});
    }

    void notifyLost()
    {
        if (m_lostHandler)
            m_lostHandler();
    }
    bool readyReadHeld() const { return m_readyReadHeld; }
    void notifyReadyRead()
    {
        if (m_readyReadHandler && !m_readyReadHeld)
            m_readyReadHandler();
    }

private:
    std::function<void()> m_lostHandler;
    std::function<void()> m_readyReadHandler;
    bool m_readyReadHeld = false;
    QMap<int, OpenFailure> m_openFailures;
};
