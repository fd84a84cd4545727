// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinePacer.h"

#include <algorithm>

double LinePacer::receive(double now, int count)
{
    m_inboundFreeAt = std::max(now, m_inboundFreeAt) + m_perByte * std::max(0, count);
    return m_inboundFreeAt;
}

LinePacer::Span LinePacer::send(double ready, int count)
{
    const double start = std::max(ready, m_outboundFreeAt);
    m_outboundFreeAt = start + m_perByte * std::max(0, count);
    return {start, m_outboundFreeAt};
}
