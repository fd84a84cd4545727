// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedLine.h"

SimulatedLine::SimulatedLine(Instrument &instrument, FakeLine &line, bool paced)
    : m_instrument(instrument), m_line(line), m_pacer(paced ? LinePacer::SecondsPerByteAt9600 : 0.0)
{
    m_line.onWrite = [this](const QByteArray &bytes) { computerWrote(bytes); };
}

SimulatedLine::~SimulatedLine()
{
    m_line.onWrite = nullptr;
}

void SimulatedLine::computerWrote(const QByteArray &bytes)
{
    const double now = m_instrument.clock().monotonicSeconds();
    const double heard = m_pacer.receive(now, static_cast<int>(bytes.size()));
    for (const SimReply &reply : m_instrument.receive(bytes)) {
        const auto span = m_pacer.send(heard + reply.delay, static_cast<int>(reply.bytes.size()));
        m_line.deliver(reply.bytes, span.end - now);
    }
}
