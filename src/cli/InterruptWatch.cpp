// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InterruptWatch.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
}

void handle(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

} // namespace

InterruptWatch::InterruptWatch()
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this] { readPipe(); });
    handle(SIGINT, onSignal);
    handle(SIGTERM, onSignal);
}

InterruptWatch::~InterruptWatch()
{
    handle(SIGINT, SIG_DFL);
    handle(SIGTERM, SIG_DFL);
    delete m_notifier;
    for (int &end : pipeEnds) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void InterruptWatch::readPipe()
{
    char bytes[16];
    while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
    }
    interrupt();
}

void InterruptWatch::interrupt()
{
    m_interrupted = true;
    emit interruptedNow();
}

bool InterruptWatch::sleep(double seconds)
{
    if (m_interrupted)
        return false;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    const auto watch =
        QObject::connect(this, &InterruptWatch::interruptedNow, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(watch);
    return !m_interrupted;
}
