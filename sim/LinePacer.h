// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The time bytes take on a serial line: 9600 baud with a start bit, 8 data bits and 2 stop
// bits carries one byte in 11 / 9600 s. Each direction is a line of its own; a byte
// cannot start before the one ahead of it has gone. A pacer with 0 s per byte moves
// bytes in no time but still keeps them in order.
class LinePacer
{
public:
    static constexpr double SecondsPerByteAt9600 = 11.0 / 9600.0;

    explicit LinePacer(double secondsPerByte = 0)
        : m_perByte(secondsPerByte > 0 ? secondsPerByte : 0)
    {}

    double secondsPerByte() const { return m_perByte; }

    // When count bytes that the computer started sending at `now` have all reached the
    // instrument.
    double receive(double now, int count);

    // The computer-bound line: a chunk ready at `ready` starts when the line is free
    // and ends count bytes later.
    struct Span
    {
        double start;
        double end;
    };
    Span send(double ready, int count);

private:
    double m_perByte;
    double m_inboundFreeAt = 0;
    double m_outboundFreeAt = 0;
};
