// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyServer.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Bytes kept for a computer that does not read: beyond this the line drops them, as a
// real line does when nobody listens.
constexpr qsizetype MaxUnwritten = 64 * 1024;

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

PtyServer::PtyServer(const PtyServerOptions &options, QObject *parent)
    : QObject(parent), m_instrument(m_clock, options.instrument),
      m_pacer(options.pace ? LinePacer::SecondsPerByteAt9600 : 0.0)
{}

PtyServer::~PtyServer()
{
    stop();
}

QString PtyServer::fail(const QString &reason)
{
    m_error = reason;
    stop();
    return QString();
}

QString PtyServer::start()
{
    if (isRunning())
        return m_path;
    if (thread() != QThread::currentThread())
        return fail(QStringLiteral("start() must be called in the server's own thread"));
    m_error.clear();

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail(systemError("posix_openpt"));
    if (::grantpt(m_master) != 0)
        return fail(systemError("grantpt"));
    if (::unlockpt(m_master) != 0)
        return fail(systemError("unlockpt"));
    char name[256] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail(systemError("ptsname_r"));

    // Hold the slave open for the whole run: a master whose slave is closed reads as
    // ready and fails with EIO, which would end the server when a program closes the
    // port. Raw mode first, so that nobody who opens the path sees a cooked line.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        return fail(systemError("open slave"));
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return fail(systemError("tcgetattr"));
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    settings.c_cflag |= CSTOPB | CLOCAL | CREAD;
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0)
        return fail(systemError("tcsetattr"));
    if (!setNonBlocking(m_master))
        return fail(systemError("fcntl"));

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyServer::readFromComputer);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyServer::flushOutput);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &PtyServer::sendDueBytes);

    m_path = QString::fromLocal8Bit(name);
    return m_path;
}

void PtyServer::stop()
{
    // stop() may run inside a notifier's own signal: let the event loop delete them.
    for (QSocketNotifier *notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
    }
    m_timer = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
    m_queue.clear();
    m_unwritten.clear();
}

void PtyServer::setFaults(const SimFaults &faults)
{
    QMetaObject::invokeMethod(
        this, [this, faults] { m_instrument.setFaults(faults); }, Qt::AutoConnection);
}

void PtyServer::stopWithError(const QString &reason)
{
    m_error = reason;
    stop();
    emit failed(reason);
}

void PtyServer::readFromComputer()
{
    QByteArray received;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count > 0) {
            received.append(buffer, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        stopWithError(count == 0 ? QStringLiteral("The pseudo-terminal was closed")
                                 : systemError("read"));
        return;
    }
    if (received.isEmpty())
        return;

    const double now = m_clock.monotonicSeconds();
    const double heard = m_pacer.receive(now, static_cast<int>(received.size()));
    for (const SimReply &reply : m_instrument.receive(received)) {
        const auto span = m_pacer.send(heard + reply.delay, static_cast<int>(reply.bytes.size()));
        m_queue.push_back({span.start, reply.bytes});
    }
    sendDueBytes();
}

void PtyServer::sendDueBytes()
{
    if (!isRunning())
        return;
    const double now = m_clock.monotonicSeconds();
    const double perByte = m_pacer.secondsPerByte();
    while (!m_queue.empty()) {
        Outgoing &front = m_queue.front();
        if (front.start > now)
            break;
        // Without pacing the whole piece is due; with pacing, the bytes whose time on
        // the line has passed.
        int due = static_cast<int>(front.bytes.size());
        if (perByte > 0)
            due = std::min(due, static_cast<int>(std::floor((now - front.start) / perByte)) + 1);
        if (due > front.sent) {
            queueForWriting(front.bytes.mid(front.sent, due - front.sent));
            front.sent = due;
        }
        if (front.sent < front.bytes.size())
            break;
        m_queue.pop_front();
    }
    flushOutput();
    armTimer();
}

void PtyServer::armTimer()
{
    if (!m_timer || m_queue.empty())
        return;
    const Outgoing &front = m_queue.front();
    const double next = front.start + m_pacer.secondsPerByte() * front.sent;
    const double wait = next - m_clock.monotonicSeconds();
    m_timer->start(wait > 0 ? static_cast<int>(std::ceil(wait * 1000.0)) : 0);
}

void PtyServer::queueForWriting(const QByteArray &bytes)
{
    m_unwritten += bytes;
    if (m_unwritten.size() > MaxUnwritten)
        m_unwritten.remove(0, m_unwritten.size() - MaxUnwritten);
}

void PtyServer::flushOutput()
{
    while (isRunning() && !m_unwritten.isEmpty()) {
        const ssize_t count =
            ::write(m_master, m_unwritten.constData(), static_cast<size_t>(m_unwritten.size()));
        if (count > 0) {
            m_unwritten.remove(0, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        stopWithError(systemError("write"));
        return;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_unwritten.isEmpty());
}
