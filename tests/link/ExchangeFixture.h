// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the exchange tests and the fuzz test share: the link on a fake port on virtual
// time, and frames, blocks and replies cut into timed chunks.

#include "Bytes.h"
#include "QtPrinters.h"
#include "ScriptedLine.h"
#include "SettledLink.h"
#include "link/Crc.h"
#include "link/Frame.h"
#include "link/SensorLink.h"

#include <gtest/gtest.h>

#include <cmath>

using Chunks = QList<ScriptedLine::Chunk>;

// Bytes arriving at given delays: chunks(0.1, "ab", 0.3, "cd").
inline Chunks chunks()
{
    return {};
}
template <typename... More> Chunks chunks(double delay, const QByteArray &bytes, More... more)
{
    return Chunks{{delay, bytes}} + chunks(more...);
}

inline QByteArray frame(quint8 command, quint16 address = 0, const QByteArray &data = {})
{
    return Frame::build(command, address, static_cast<quint8>(data.size()), data);
}

// A data block: n bytes and their CRC.
inline QByteArray dataBlock(int n)
{
    QByteArray block(n, 'Z');
    Frame::appendLe16(block, CalcCrc(block));
    return block;
}

// The link on port 3; the far end answers "R" with the prompt and "T" with the test
// prompt.
class ExchangeTest : public ::testing::Test
{
protected:
    ExchangeTest() : line(port.addLine(3)), far(line)
    {
        far.on("R", Prompt);
        far.on("T", "\r\nTEST:");
        link.setCommPort(3);
    }

    // Connects, then lets 5 s pass so that late bytes go and the limits fall on exact
    // ticks; returns the time.
    double connectAgain()
    {
        EXPECT_TRUE(calls.connect());
        clock.advanceTo(std::ceil(clock.monotonicSeconds()) + 5);
        line.discardAll();
        line.clearWritten();
        return clock.monotonicSeconds();
    }

    VirtualClock clock;
    FakeSerialPort port{clock};
    SensorLink link{port, clock};
    FakeLine &line;
    ScriptedLine far;
    SettledLink calls{link, clock, port};
};
