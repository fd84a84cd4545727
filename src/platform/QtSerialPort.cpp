// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtSerialPort.h"

#include "platform/PortLock.h"
#include "platform/SerialOpenFailure.h"

#include <QCoreApplication>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <climits>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

// Budget for bytes to leave the computer: at 9600 baud with 2 stop bits a byte takes
// about 1.15 ms on the line.
int writeBudgetMs(qsizetype bytes)
{
    return 1000 + static_cast<int>(std::min<qsizetype>(bytes, 1000000) * 2);
}

// Reads into the port's buffer at most this many times per call: each read takes up to
// Qt's whole chunk, so a second one is rare.
constexpr int MaxReadsPerTakeIn = 4;

// The most the port holds for the link: far more than the longest reply (a 512-byte data
// block), and a bound on what a device that talks unasked can make the program keep while
// nothing reads (the logger window between its clock ticks). What does not fit stays in
// the system's small buffer, and the next exchange discards it.
constexpr qint64 ReadBufferBytes = 64 * 1024;

// Whether the device behind the open descriptor has hung up (a pseudo-terminal whose far
// end closed, an adapter unplugged).
bool hungUp(QSerialPort &port)
{
#ifdef Q_OS_UNIX
    pollfd watched{static_cast<int>(port.handle()), POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return true;
#endif
}

bool accessDenied(const QString &path)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(path);
    return false;
#endif
}

} // namespace

QtSerialPort::QtSerialPort(const PortTable &table) : m_table(table)
{
    m_port.setReadBufferSize(ReadBufferBytes);
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { noticeError(error); });
    // Queued: the port also signals inside the reads that take in what the system holds,
    // and a handler that reads must never run inside a read. One notice waits at a time,
    // and none while the owner holds them.
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] {
        if (readyReadHeld() || m_noticeQueued)
            return;
        m_noticeQueued = true;
        QMetaObject::invokeMethod(
            &m_port,
            [this] {
                m_noticeQueued = false;
                notifyReadyRead();
            },
            Qt::QueuedConnection);
    });
}

void QtSerialPort::holdReadyRead(bool held)
{
    SerialPort::holdReadyRead(held);
    // Qt reads each byte as it comes; held, the bytes wait in the system for the owner's
    // read instead (which takes them in itself).
    for (QSocketNotifier *notifier : m_port.findChildren<QSocketNotifier *>()) {
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(!held);
    }
}

QtSerialPort::~QtSerialPort()
{
    QObject::disconnect(&m_port, nullptr, nullptr, nullptr);
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialPort::setPortNumber(int number)
{
    closeIfHungUp();
    if (m_port.isOpen()) {
        fail(ErrorPortAlreadyOpen, QStringLiteral("Port already open"));
        return false;
    }
    if (m_table.devicePath(number).isEmpty()) {
        fail(ErrorInvalidPortNumber,
             QStringLiteral("Invalid port number: no device stands for COM %1").arg(number));
        return false;
    }
    m_portNumber = number;
    return true;
}

bool QtSerialPort::open()
{
    closeIfHungUp();
    if (m_port.isOpen()) {
        fail(ErrorPortAlreadyOpen, QStringLiteral("Port already open"));
        return false;
    }
    const bool opened = openChosenDevice();
    noteOpenOutcome(m_portNumber, opened);
    return opened;
}

bool QtSerialPort::openChosenDevice()
{
    const QString path = m_table.devicePath(m_portNumber);
    if (path.isEmpty()) {
        fail(ErrorInvalidPortNumber,
             QStringLiteral("Invalid port number: no device stands for COM %1").arg(m_portNumber));
        return false;
    }
    const QString openPath = pathPastLocks(path);
    if (openPath.isEmpty() || !openDevice(openPath))
        return false;
    if (!lockDevice(path) || !applyLineSettings(path)) {
        closeDevice();
        return false;
    }
    // Bytes that came before the port was opened belong to nobody's exchange.
    m_port.clear(QSerialPort::Input);
    applyModemLine(ModemLine::Dtr, m_dtr);
    applyModemLine(ModemLine::Rts, m_rts);
    return !closeIfHungUp();
}

QString QtSerialPort::pathPastLocks(const QString &path)
{
    const PortLock locks;
    const qint64 owner = PortLock::lockOwner(locks.lockFilePath(path));
    if (owner != 0 && owner != QCoreApplication::applicationPid() &&
        PortLock::processAlive(owner)) {
        fail(ErrorPortAlreadyOpen, busyText(path));
        return QString();
    }
    if (locks.clearStale(path, m_notice) != PortLock::Stale::Stuck)
        return path;
    // Qt's serial port names its lock file after the name the device is opened by.
    if (!m_aliasFolder)
        m_aliasFolder = std::make_unique<QTemporaryDir>();
    const QString alias = m_aliasFolder->filePath(QFileInfo(path).fileName());
    QFile::remove(alias);
    return m_aliasFolder->isValid() && QFile::link(path, alias) ? alias : path;
}

QString QtSerialPort::busyText(const QString &path)
{
    const QStringList holders = PortLock().holders(path);
    return QStringLiteral("%1 is in use by %2")
        .arg(path, holders.isEmpty() ? QStringLiteral("another program")
                                     : holders.join(QStringLiteral(", ")));
}

bool QtSerialPort::openDevice(const QString &path)
{
    m_port.setPortName(path);
    m_hungUp = false;
    if (m_port.open(QIODevice::ReadWrite))
        return true;
    OpenFailureFacts facts;
    facts.error = m_port.error();
    facts.errorText = m_port.errorString();
    facts.path = path;
    facts.accessDenied = facts.error == QSerialPort::PermissionError && accessDenied(path);
    facts.deviceGroup = QFileInfo(path).group();
    facts.pathKind = PathKindOf(path);
    const SerialFailure failure = DescribeOpenFailure(facts);
    // Busy: name who holds it.
    fail(failure.number,
         failure.number == ErrorPortAlreadyOpen ? busyText(path) : failure.description);
    return false;
}

bool QtSerialPort::lockDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    if (::flock(static_cast<int>(m_port.handle()), LOCK_EX | LOCK_NB) != 0 &&
        errno == EWOULDBLOCK) {
        fail(ErrorPortAlreadyOpen, busyText(path));
        return false;
    }
    // Other failures (a file system without locks) leave the device usable unlocked.
#else
    Q_UNUSED(path);
#endif
    return true;
}

bool QtSerialPort::applyLineSettings(const QString &path)
{
    // 9600,n,8,2 without handshaking.
    const bool ok =
        m_port.setBaudRate(QSerialPort::Baud9600) && m_port.setDataBits(QSerialPort::Data8) &&
        m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::TwoStop) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok)
        fail(SerialErrorNumber(m_port.error()),
             QStringLiteral("Cannot set 9600,n,8,2 on %1: %2").arg(path, m_port.errorString()));
    return ok;
}

void QtSerialPort::applyModemLine(ModemLine line, bool on)
{
    if (!m_port.isOpen())
        return;
    // A pseudo-terminal has no modem lines (UnsupportedOperationError): the line is
    // simply not there, which must not stop the port from working.
    if (line == ModemLine::Dtr)
        m_port.setDataTerminalReady(on);
    else
        m_port.setRequestToSend(on);
    m_port.clearError();
}

void QtSerialPort::close()
{
    m_hungUp = false;
    closeDevice();
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen() && !m_hungUp;
}

void QtSerialPort::setDtr(bool on)
{
    m_dtr = on;
    applyModemLine(ModemLine::Dtr, on);
    closeIfHungUp();
}

void QtSerialPort::setRts(bool on)
{
    m_rts = on;
    applyModemLine(ModemLine::Rts, on);
    closeIfHungUp();
}

int QtSerialPort::bytesWaiting()
{
    if (closeIfHungUp() || !m_port.isOpen())
        return 0;
    takeInWaitingBytes();
    if (closeIfHungUp())
        return 0;
    return static_cast<int>(std::min<qint64>(m_port.bytesAvailable(), INT_MAX));
}

QByteArray QtSerialPort::read(int maxBytes)
{
    if (closeIfHungUp() || !m_port.isOpen())
        return QByteArray();
    takeInWaitingBytes();
    if (closeIfHungUp())
        return QByteArray();
    return maxBytes > 0 ? m_port.read(maxBytes) : m_port.readAll();
}

bool QtSerialPort::write(const QByteArray &bytes)
{
    if (closeIfHungUp() || !m_port.isOpen()) {
        if (m_error != ErrorDeviceLost)
            fail(ErrorPortNotOpen, QStringLiteral("Operation valid only when the port is open"));
        return false;
    }
    if (bytes.isEmpty())
        return true;
    const auto written = m_port.write(bytes);
    QElapsedTimer elapsed;
    elapsed.start();
    const int budget = writeBudgetMs(bytes.size());
    bool sent = written == bytes.size();
    while (sent && m_port.bytesToWrite() > 0) {
        const int remaining = budget - static_cast<int>(elapsed.elapsed());
        if (remaining <= 0) {
            sent = false;
            break;
        }
        if (!m_port.waitForBytesWritten(remaining) && m_port.error() != QSerialPort::TimeoutError)
            sent = false;
    }
    if (closeIfHungUp())
        return false;
    if (!sent) {
        // Bytes that could not go now must not go out later, in the middle of another
        // exchange.
        const QString reason =
            m_port.error() == QSerialPort::NoError || m_port.error() == QSerialPort::TimeoutError
                ? QStringLiteral("the bytes did not leave in time")
                : m_port.errorString();
        m_port.clear(QSerialPort::Output);
        m_port.clearError();
        fail(ErrorWriteFailed,
             QStringLiteral("Cannot write to %1: %2").arg(m_table.label(m_portNumber), reason));
        return false;
    }
    return true;
}

void QtSerialPort::clearError()
{
    m_error = NoError;
    m_errorText.clear();
}

void QtSerialPort::takeInWaitingBytes()
{
    for (int i = 0; i < MaxReadsPerTakeIn && m_port.waitForReadyRead(0); ++i) {
    }
    if (!m_hungUp)
        m_port.clearError();
}

void QtSerialPort::noticeError(QSerialPort::SerialPortError error)
{
    // Qt reports a device that hung up as a read or resource error, again and again
    // while the port stays open: the event loop would spin at full speed. The first
    // such error ends the port.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (m_closing || m_hungUp || !m_port.isOpen())
        return;
    // The port's read notice can come after a read in the same turn of the event loop
    // has taken the bytes it was for (a read inside a write's or a count's wait): the read
    // then finds none, which Qt reports as a read or resource error, as it reports a
    // hang-up, and Qt stops watching the device after it. A device that is still there is
    // no loss, and is watched again unless the owner holds its notices.
    if (!hungUp(m_port)) {
        m_port.clearError();
        QTimer::singleShot(0, &m_port, [this] {
            if (m_port.isOpen() && !readyReadHeld())
                m_port.setReadBufferSize(ReadBufferBytes);
        });
        return;
    }
    m_hungUp = true;
    fail(ErrorDeviceLost,
         QStringLiteral("%1 has gone: the device was disconnected or its far end closed")
             .arg(m_table.devicePath(m_portNumber)));
    // Raised inside the event loop, the port closes as soon as control returns there;
    // raised inside one of this class's calls, that call closes it. Either way the owner
    // hears of it from the event loop, unless another device was opened meanwhile.
    QTimer::singleShot(0, &m_port, [this] {
        if (closeIfHungUp())
            notifyLost();
    });
}

bool QtSerialPort::closeIfHungUp()
{
    if (!m_hungUp)
        return false;
    closeDevice();
    return true;
}

void QtSerialPort::closeDevice()
{
    if (!m_port.isOpen())
        return;
    // Closing a device that hung up fails to put its settings back: that error is no
    // news.
    m_closing = true;
    m_port.close();
    m_port.clearError();
    m_closing = false;
}

void QtSerialPort::fail(int number, const QString &text)
{
    m_error = number;
    m_errorText = text;
}
