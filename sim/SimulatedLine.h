// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Instrument.h"
#include "LinePacer.h"

#include "platform/FakeSerialPort.h"

// Puts a simulated instrument at the far end of a fake serial cable: every write of the
// computer goes to the instrument, and its reply pieces arrive at their due (virtual)
// time. With pacing, bytes take their 9600-baud time in both directions and a piece
// arrives when its last byte is in.
class SimulatedLine
{
public:
    SimulatedLine(Instrument &instrument, FakeLine &line, bool paced = false);
    ~SimulatedLine();
    SimulatedLine(const SimulatedLine &) = delete;
    SimulatedLine &operator=(const SimulatedLine &) = delete;

    Instrument &instrument() { return m_instrument; }

private:
    void computerWrote(const QByteArray &bytes);

    Instrument &m_instrument;
    FakeLine &m_line;
    LinePacer m_pacer;
};
