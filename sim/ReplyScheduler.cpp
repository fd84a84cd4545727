// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReplyScheduler.h"

#include <algorithm>

QByteArray ReplyScheduler::noise()
{
    return QByteArray("\x00\xE5\x7E\x13\xFF", 5);
}

QList<SimReply> ReplyScheduler::schedule(const QByteArray &reply, const SimFaults &faults,
                                         double extraDelay) const
{
    if (faults.silent || reply.isEmpty())
        return {};
    const double start = m_latency + std::max(0.0, extraDelay) +
                         (faults.late ? std::max(0.0, faults.lateSeconds) : 0.0);
    const QByteArray bytes = faults.garbage ? noise() + reply : reply;

    const auto size = static_cast<int>(bytes.size());
    const int pieces = faults.split ? std::clamp(faults.splitChunks, 1, size) : 1;
    if (pieces == 1)
        return {{start, bytes}};

    QList<SimReply> out;
    const double step = std::max(0.0, faults.splitSeconds) / (pieces - 1);
    int from = 0;
    for (int piece = 0; piece < pieces; ++piece) {
        const int to = static_cast<int>(static_cast<qint64>(size) * (piece + 1) / pieces);
        out.append({start + step * piece, bytes.mid(from, to - from)});
        from = to;
    }
    return out;
}
