// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkDriver.h"

#include "platform/Alarm.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <utility>

namespace {

// A byte's time on the line at 9600 baud: a start bit, eight data bits and two stop bits.
constexpr double LineSecondsPerByte = 11.0 / 9600.0;

ExchangeStep portClosedStep()
{
    ExchangeStep step;
    step.state = ExchangeStep::State::Failed;
    step.failure = ExchangeStep::Failure::PortClosed;
    step.reason = QStringLiteral("the serial port is closed");
    return step;
}

} // namespace

LinkDriver::LinkDriver(SerialPort &port, Clock &clock, Alarm &alarm, LinkCounters &counters)
    : m_port(port), m_clock(clock), m_alarm(alarm), m_counters(counters)
{
    m_port.setReadyReadHandler([this] { bytesArrived(); });
    m_alarm.setHandler([this] { alarmRang(); });
}

LinkDriver::~LinkDriver()
{
    m_port.setReadyReadHandler({});
    m_port.holdReadyRead(false);
    m_alarm.setHandler({});
    m_alarm.cancel();
}

void LinkDriver::whenIdle(std::function<void()> call)
{
    if (idle())
        call();
    else
        m_idleCalls.push_back(std::move(call));
}

int LinkDriver::pending() const
{
    return static_cast<int>(m_queue.size()) + (m_current ? 1 : 0);
}

double LinkDriver::now() const
{
    return m_clock.monotonicSeconds();
}

void LinkDriver::enqueueJob(std::unique_ptr<Exchange> exchange,
                            std::function<void(const ExchangeStep &)> done, bool first)
{
    if (first)
        m_queue.push_front({std::move(exchange), std::move(done)});
    else
        m_queue.push_back({std::move(exchange), std::move(done)});
    // A job queued from a callback starts when that callback's job has been cleared.
    if (!m_current && !m_finishing)
        startNext({});
}

void LinkDriver::startNext(QByteArray carried)
{
    if (m_current)
        return;
    if (m_queue.empty()) {
        // Bytes that followed the last reply and no exchange asked for.
        dropped(static_cast<int>(carried.size()));
        return;
    }
    m_current = std::make_unique<Job>(std::move(m_queue.front()));
    m_queue.pop_front();
    if (!portServes()) {
        // Told from the event loop, so a caller never hears of the end inside its own
        // request.
        m_endDue = std::make_unique<ExchangeStep>(portClosedStep());
        m_alarm.setAt(now());
        return;
    }
    Exchange &exchange = *m_current->exchange;
    if (!exchange.takesWaitingBytes()) {
        // Nothing asked these bytes: they answer no exchange of this run.
        const int dropped =
            static_cast<int>(carried.size()) + (m_port.isOpen() && m_port.bytesWaiting() > 0
                                                    ? static_cast<int>(m_port.read(0).size())
                                                    : 0);
        carried.clear();
        this->dropped(dropped);
    }
    if (!follow(exchange.start(now())))
        return;
    if (!carried.isEmpty() && !follow(exchange.feed(carried, now()), true))
        return;
    // Bytes already waiting for an exchange that takes them (asked for ahead).
    if (exchange.takesWaitingBytes() && m_port.isOpen() && m_port.bytesWaiting() > 0)
        bytesArrived();
}

void LinkDriver::bytesArrived()
{
    // Between exchanges the bytes stay where they are: the next exchange drops them, or
    // takes them when it asked for them ahead.
    if (!m_current || m_endDue)
        return;
    if (!portServes()) {
        finish(portClosedStep());
        return;
    }
    const QByteArray bytes = m_port.isOpen() ? m_port.read(0) : QByteArray();
    if (!bytes.isEmpty())
        follow(m_current->exchange->feed(bytes, now()), true);
}

void LinkDriver::alarmRang()
{
    if (!m_current)
        return;
    if (m_endDue) {
        const ExchangeStep end = *m_endDue;
        m_endDue.reset();
        finish(end);
        return;
    }
    if (!portServes()) {
        finish(portClosedStep());
        return;
    }
    // Bytes that came with the time limit are looked at before the limit is applied.
    const QByteArray bytes = m_port.isOpen() ? m_port.read(0) : QByteArray();
    follow(m_current->exchange->feed(bytes, now()), !bytes.isEmpty());
}

void LinkDriver::poke(const Exchange &exchange)
{
    if (m_current && m_current->exchange.get() == &exchange && !m_endDue)
        follow(m_current->exchange->feed({}, now()));
}

void LinkDriver::portClosed()
{
    if (m_current && !m_endDue)
        finish(portClosedStep());
}

void LinkDriver::dropped(int count)
{
    if (count <= 0)
        return;
    if (m_dropHandler) {
        m_dropHandler(count);
        return;
    }
    m_counters.unaskedBytes += count;
    qCInfo(lcLink, "dropped %d unasked bytes", count);
}

bool LinkDriver::portServes() const
{
    return m_port.isOpen() || !m_current->exchange->needsOpenPort();
}

bool LinkDriver::follow(const ExchangeStep &step, bool bytesCame)
{
    if (!write(step.send)) {
        finish(portClosedStep());
        return false;
    }
    if (step.state == ExchangeStep::State::NeedMore) {
        m_droppedInExchange += step.unaskedBytes;
        // A reply that still misses bytes after some came is looked at again when they can
        // have crossed the line, as the blocking runner does: a notice for each byte of a
        // data block would wake the program hundreds of times a second.
        const double crossed = now() + step.awaiting * LineSecondsPerByte;
        const bool quiet = bytesCame && step.awaiting > 1 && crossed < step.deadline;
        m_port.holdReadyRead(quiet);
        m_alarm.setAt(quiet ? crossed : step.deadline);
        return true;
    }
    finish(step);
    return false;
}

bool LinkDriver::write(const QList<QByteArray> &chunks)
{
    if (!chunks.isEmpty())
        ++m_counters.exchanges;
    for (const QByteArray &chunk : chunks) {
        if (!m_port.isOpen() || !m_port.write(chunk))
            return false;
    }
    return true;
}

void LinkDriver::finish(const ExchangeStep &end)
{
    m_alarm.cancel();
    m_port.holdReadyRead(false);
    // The caller hears of every byte the exchange dropped, in all its steps.
    ExchangeStep last = end;
    last.unaskedBytes += std::exchange(m_droppedInExchange, 0);
    const std::unique_ptr<Job> job = std::move(m_current);
    m_finishing = true;
    job->done(last);
    m_finishing = false;
    // The bytes that followed the reply go to the next exchange when it asked for them
    // ahead.
    startNext(end.surplus);
    if (idle()) {
        // A call may queue exchanges again: those it finds are run at the next idle time.
        for (const auto &call : std::exchange(m_idleCalls, {}))
            call();
    }
}
