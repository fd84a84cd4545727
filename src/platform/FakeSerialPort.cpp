// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FakeSerialPort.h"

#include <QTimer>

#include <cmath>

void FakeLine::deliver(const QByteArray &bytes, double delaySeconds)
{
    double due = m_clock.monotonicSeconds() + std::max(0.0, delaySeconds);
    if (!m_incoming.empty())
        due = std::max(due, m_incoming.back().due);
    m_incoming.push_back({due, bytes});
}

void FakeLine::computerWrote(const QByteArray &bytes)
{
    m_written += bytes;
    m_writes.append(bytes);
    if (onWrite)
        onWrite(bytes);
}

int FakeLine::bytesArrived() const
{
    const double now = m_clock.monotonicSeconds();
    int count = 0;
    for (const auto &chunk : m_incoming) {
        if (chunk.due > now)
            break;
        count += static_cast<int>(chunk.bytes.size());
    }
    return count;
}

QByteArray FakeLine::take(int maxBytes)
{
    const double now = m_clock.monotonicSeconds();
    QByteArray out;
    while (!m_incoming.empty() && m_incoming.front().due <= now) {
        auto &front = m_incoming.front();
        if (maxBytes > 0 && out.size() + front.bytes.size() > maxBytes) {
            const auto room = maxBytes - out.size();
            out += front.bytes.left(room);
            front.bytes.remove(0, room);
            break;
        }
        out += front.bytes;
        m_incoming.pop_front();
    }
    return out;
}

double FakeLine::nextArrival() const
{
    const double now = m_clock.monotonicSeconds();
    for (const auto &chunk : m_incoming) {
        if (chunk.due > now)
            return chunk.due;
    }
    return -1.0;
}

FakeLine &FakeSerialPort::addLine(int number)
{
    auto &slot = m_lines[number];
    slot = std::make_unique<FakeLine>(m_clock);
    return *slot;
}

FakeLine *FakeSerialPort::line(int number)
{
    const auto it = m_lines.find(number);
    return it == m_lines.end() ? nullptr : it->second.get();
}

void FakeSerialPort::unplug()
{
    if (FakeLine *cable = line(m_portNumber))
        cable->unplugged = true;
    QTimer::singleShot(0, &m_noticeContext, [this] {
        if (m_isOpen && !openCable())
            notifyLost();
    });
}

void FakeSerialPort::replug(int number)
{
    if (FakeLine *cable = line(number))
        cable->unplugged = false;
}

FakeLine *FakeSerialPort::openCable()
{
    FakeLine *cable = m_isOpen ? line(m_portNumber) : nullptr;
    if (cable && cable->unplugged) {
        // The device has gone: the port closes itself, as the real one does on a hang-up.
        m_isOpen = false;
        fail(ErrorDeviceLost, QStringLiteral("The device has been disconnected"));
        return nullptr;
    }
    return cable;
}

bool FakeSerialPort::setPortNumber(int number)
{
    if (m_isOpen) {
        fail(ErrorPortAlreadyOpen, QStringLiteral("Port already open"));
        return false;
    }
    if (number < 1 || number > maxPortNumber) {
        fail(ErrorInvalidPortNumber, QStringLiteral("Invalid port number"));
        return false;
    }
    m_portNumber = number;
    return true;
}

bool FakeSerialPort::open()
{
    ++openAttempts;
    if (m_isOpen) {
        fail(ErrorPortAlreadyOpen, QStringLiteral("Port already open"));
        return false;
    }
    FakeLine *cable = line(m_portNumber);
    if (!cable || cable->unplugged) {
        fail(ErrorOpenFailed, QStringLiteral("No such device"));
    } else if (cable->openError != NoError) {
        fail(cable->openError, !cable->openErrorText.isEmpty() ? cable->openErrorText
                               : cable->openError == ErrorPortAlreadyOpen
                                   ? QStringLiteral("Port already open")
                                   : QStringLiteral("Device cannot be opened"));
    } else {
        ++cable->openCount;
        m_isOpen = true;
    }
    noteOpenOutcome(m_portNumber, m_isOpen);
    return m_isOpen;
}

void FakeSerialPort::close()
{
    m_isOpen = false;
}

void FakeSerialPort::setDtr(bool on)
{
    m_dtr = on;
    if (FakeLine *cable = openCable())
        cable->dtr = on;
}

void FakeSerialPort::setRts(bool on)
{
    if (FakeLine *cable = openCable())
        cable->rts = on;
}

int FakeSerialPort::bytesWaiting()
{
    ++looks;
    FakeLine *cable = openCable();
    return cable ? cable->bytesArrived() : 0;
}

QByteArray FakeSerialPort::read(int maxBytes)
{
    FakeLine *cable = openCable();
    return cable ? cable->take(maxBytes) : QByteArray();
}

bool FakeSerialPort::write(const QByteArray &bytes)
{
    FakeLine *cable = openCable();
    if (!cable) {
        if (m_error != ErrorDeviceLost)
            fail(ErrorPortNotOpen, QStringLiteral("Operation valid only when the port is open"));
        return false;
    }
    cable->computerWrote(bytes);
    return true;
}

bool FakeSerialPort::announceArrivals()
{
    FakeLine *cable = openCable();
    if (!cable || cable->bytesArrived() == 0)
        return false;
    notifyReadyRead();
    return true;
}

double FakeSerialPort::nextArrival()
{
    FakeLine *cable = openCable();
    return cable ? cable->nextArrival() : -1.0;
}

void FakeSerialPort::clearError()
{
    m_error = NoError;
    m_errorText.clear();
}

void FakeSerialPort::fail(int number, const QString &text)
{
    m_error = number;
    m_errorText = text;
}
