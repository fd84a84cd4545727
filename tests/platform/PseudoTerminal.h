// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A pseudo-terminal for tests of the real serial port: the port opens the slave device
// as it would a serial adapter, and the test plays the far end on the master.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <ctime>
#include <utility>

struct PseudoTerminal
{
    PseudoTerminal()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        slavePath = QString::fromLocal8Bit(::ptsname(master));
        // Held open for the whole test, in raw mode, as the simulator holds its own.
        slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios settings{};
        ::tcgetattr(slave, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(slave, TCSANOW, &settings);
    }
    ~PseudoTerminal() { closeMaster(), ::close(slave); }

    // Hangs up the line, as an unplugged adapter or a simulator that ended.
    void closeMaster() { ::close(std::exchange(master, -1)); }

    // Bytes sent by the far end towards the computer.
    bool send(const QByteArray &bytes)
    {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Blocks until the computer's side holds input (without taking it) or the time is up.
    bool waitForInputAtComputer(int timeoutMs) const
    {
        pollfd pfd{slave, POLLIN, 0};
        return ::poll(&pfd, 1, timeoutMs) == 1;
    }

    // What the computer wrote, once `count` bytes have come or nothing more came within
    // the time.
    QByteArray receive(int count, int timeoutMs)
    {
        QByteArray got;
        char buffer[4096];
        ssize_t n = 0;
        for (pollfd pfd{master, POLLIN, 0}; got.size() < count && ::poll(&pfd, 1, timeoutMs) == 1 &&
                                            (n = ::read(master, buffer, sizeof buffer)) > 0;)
            got.append(buffer, int(n));
        return got;
    }

    int master = -1;
    int slave = -1;
    QString slavePath;
};

// Processor time used by the whole process so far, in seconds.
inline double processCpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}
