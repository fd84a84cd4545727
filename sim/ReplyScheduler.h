#pragma once

#include <QByteArray>
#include <QList>

// A piece of a reply and when it reaches the computer, in seconds from now.
struct SimReply
{
    double delay;
    QByteArray bytes;
};

// Faults the simulated instrument can be told to show; they can be changed at any time.
struct SimFaults
{
    bool silent = false; // answers nothing at all
    bool late = false;   // answers lateSeconds later than usual
    double lateSeconds = 1.5;
    bool split = false; // answers in splitChunks pieces spread over splitSeconds
    int splitChunks = 3;
    double splitSeconds = 0.3;
    bool garbage = false;   // sends a few noise bytes before each reply
    bool badPrompt = false; // ends the answer to "R" with a wrong prompt byte
};

// Decides when the bytes of a reply go out: after the instrument's latency, later when
// the reply is late, in pieces when it is split, behind noise when the line is noisy.
class ReplyScheduler
{
public:
    explicit ReplyScheduler(double latencySeconds = 0.005) : m_latency(latencySeconds) {}

    double latencySeconds() const { return m_latency; }
    void setLatencySeconds(double seconds) { m_latency = seconds > 0 ? seconds : 0; }

    QList<SimReply> schedule(const QByteArray &reply, const SimFaults &faults) const;

    // The noise sent before a reply: no CR, no prompt byte, nothing that reads as a prompt.
    static QByteArray noise();

private:
    double m_latency;
};
