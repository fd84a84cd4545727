// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/PlotFile.h"

void RecordTimes::append(double seconds)
{
    if (!m_exact.isEmpty()) {
        m_exact.append(seconds);
        return;
    }
    const qsizetype index = m_offsets.size();
    if ((index >> BlockBits) == m_bases.size())
        m_bases.append(seconds);
    const double offset = seconds - m_bases[index >> BlockBits];
    const auto compact = float(offset);
    if (double(compact) == offset) {
        m_offsets.append(compact);
        return;
    }
    keepExact();
    m_exact.append(seconds);
}

void RecordTimes::keepExact()
{
    m_exact.reserve(m_offsets.size() + 1);
    for (qsizetype i = 0; i < m_offsets.size(); ++i)
        m_exact.append(m_bases[i >> BlockBits] + double(m_offsets[i]));
    m_offsets = {};
    m_bases = {};
}

qsizetype RecordTimes::bytes() const
{
    return m_bases.capacity() * qsizetype(sizeof(double)) +
           m_offsets.capacity() * qsizetype(sizeof(float)) +
           m_exact.capacity() * qsizetype(sizeof(double));
}
