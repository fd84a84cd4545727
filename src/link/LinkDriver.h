// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Exchange.h"
#include "link/LinkTrace.h"

#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class Alarm;
class Clock;
class SerialPort;

// Runs the link's exchanges one after the other from the event loop: bytes are fed to the
// exchange in progress when the port says they have come, and its time limit is an alarm,
// so nothing waits, sleeps or runs a nested event loop. Requests queue in the order they
// are made; each caller hears of its own exchange's end through its callback, and applies
// what it means (failures, time-outs and the bytes it dropped are counted there). The
// driver counts what it sees itself: the exchanges that wrote, and the bytes that waited
// with nothing asked.
class LinkDriver
{
    // Keeps a callback's parameter out of template deduction, so a lambda converts to it.
    template <typename T> struct NotDeduced
    {
        using type = T;
    };

public:
    template <typename E> using Done = std::function<void(E &exchange, const ExchangeStep &end)>;

    // The driver takes over the port's ready-read notice and the alarm's handler.
    LinkDriver(SerialPort &port, Clock &clock, Alarm &alarm, LinkCounters &counters);
    ~LinkDriver();
    LinkDriver(const LinkDriver &) = delete;
    LinkDriver &operator=(const LinkDriver &) = delete;

    // Queues `exchange`: it starts when those before it have ended, and `done` is called
    // with it and its last step when it ends. A callback may queue further exchanges.
    template <typename E>
    void enqueue(std::unique_ptr<E> exchange, typename NotDeduced<Done<E>>::type done)
    {
        E &typed = *exchange;
        enqueueJob(std::move(exchange), typedDone(typed, std::move(done)), false);
    }
    // Called from an exchange's callback: queues `exchange` to run right after it, before
    // everything else that waits, as the next step of the same request (the status read
    // that must follow its handshake with nothing in between).
    template <typename E>
    void enqueueNext(std::unique_ptr<E> exchange, typename NotDeduced<Done<E>>::type done)
    {
        E &typed = *exchange;
        enqueueJob(std::move(exchange), typedDone(typed, std::move(done)), true);
    }

    // Runs `call` once no exchange is in progress or waiting: at once when none is, else
    // after the last one's callback.
    void whenIdle(std::function<void()> call);

    // No exchange in progress or waiting.
    bool idle() const { return !m_current && m_queue.empty(); }
    // An exchange's callback is running: what it queues starts when it returns.
    bool inCallback() const { return m_finishing; }
    // Exchanges in progress or waiting.
    int pending() const;

    // Hears of the bytes dropped between exchanges, instead of counting them all as
    // unasked: the link knows when they answer a block it asked for ahead.
    void setDropHandler(std::function<void(int count)> handler)
    {
        m_dropHandler = std::move(handler);
    }

    // Feeds `exchange` no bytes now, when it is the one in progress, so that it can write
    // what it was given since its last step (the terminal's keys).
    void poke(const Exchange &exchange);

    // The event loop's entry points (the port's and the alarm's handlers call them).
    void bytesArrived();
    void alarmRang();
    // The port closed under the exchange in progress (its device went away): it fails now,
    // and each one waiting fails in turn.
    void portClosed();

private:
    struct Job
    {
        std::unique_ptr<Exchange> exchange;
        std::function<void(const ExchangeStep &)> done;
    };

    template <typename E>
    static std::function<void(const ExchangeStep &)> typedDone(E &typed, Done<E> done)
    {
        return [&typed, done = std::move(done)](const ExchangeStep &end) {
            if (done)
                done(typed, end);
        };
    }
    void enqueueJob(std::unique_ptr<Exchange> exchange,
                    std::function<void(const ExchangeStep &)> done, bool first);
    // Starts the next job when none runs; `carried` are bytes that followed the last reply.
    void startNext(QByteArray carried);
    // Writes what the step asks for and either arms the alarm (true: the job goes on) or
    // ends the job.
    // `bytesCame`: the step is the exchange's answer to bytes read.
    bool follow(const ExchangeStep &step, bool bytesCame = false);
    void finish(const ExchangeStep &end);
    bool write(const QList<QByteArray> &chunks);
    // Bytes dropped between exchanges.
    void dropped(int count);
    // The port is open, or the exchange in progress does without it.
    bool portServes() const;
    double now() const;

    SerialPort &m_port;
    Clock &m_clock;
    Alarm &m_alarm;
    LinkCounters &m_counters;
    std::deque<Job> m_queue;
    std::unique_ptr<Job> m_current;
    std::vector<std::function<void()>> m_idleCalls;
    std::function<void(int)> m_dropHandler;
    // An end that came at once (the port closed before anything was written): delivered
    // from the event loop, never inside enqueue.
    std::unique_ptr<ExchangeStep> m_endDue;
    // A job's callback runs: a job it queues waits until the callback has returned.
    bool m_finishing = false;
    // Bytes the exchange in progress dropped in the steps before its last.
    int m_droppedInExchange = 0;
};
