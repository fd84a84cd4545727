#pragma once

// A pseudo-terminal for tests of the real serial port: the port opens the slave device
// as it would a serial adapter, and the test plays the far end on the master.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        const char *name = ::ptsname(m_master);
        if (!name)
            return;
        m_slavePath = QString::fromLocal8Bit(name);
        // Held open for the whole test, in raw mode, as the simulator holds its own.
        m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios settings{};
        if (m_slave < 0 || ::tcgetattr(m_slave, &settings) != 0)
            return;
        ::cfmakeraw(&settings);
        ::tcsetattr(m_slave, TCSANOW, &settings);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal()
    {
        closeMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isReady() const { return m_master >= 0 && m_slave >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }
    int slave() const { return m_slave; }

    // Hangs up the line, as an unplugged adapter or a simulator that ended.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    // Bytes sent by the far end towards the computer.
    bool send(const QByteArray &bytes)
    {
        return ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())) ==
               bytes.size();
    }

    // Blocks until the computer's side holds input (without taking it) or the time is up.
    bool waitForInputAtComputer(int timeoutMs) const
    {
        pollfd pfd{m_slave, POLLIN, 0};
        return ::poll(&pfd, 1, timeoutMs) == 1;
    }

    // What the computer wrote, once `count` bytes have come or the time is up.
    QByteArray receive(int count, int timeoutMs)
    {
        QByteArray got;
        QElapsedTimer elapsed;
        elapsed.start();
        while (got.size() < count) {
            const int remaining = timeoutMs - static_cast<int>(elapsed.elapsed());
            pollfd pfd{m_master, POLLIN, 0};
            if (remaining <= 0 || ::poll(&pfd, 1, remaining) != 1)
                break;
            char buffer[4096];
            const auto n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<int>(n));
        }
        return got;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// Processor time used by the whole process so far, in seconds.
inline double processCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
