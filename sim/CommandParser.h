// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InstrumentState.h"

#include <QByteArray>

#include <optional>

// One command as the instrument understood it.
struct SimCommand
{
    enum class Kind {
        Return,          // "R": back to the prompt, from anywhere
        Identify,        // "I" at the prompt
        Readings,        // "S" at the prompt
        EnterTest,       // "T" at the prompt
        SelectUnits,     // "U" and a digit, in test mode
        SensorCounts,    // "S" in test mode
        Temperatures,    // "I" in test mode
        CalibrationDump, // "E" in test mode
        Details,         // "X" CR in test mode
        SunshineRatio,   // "T" CR (LF) in test mode
        Unknown,         // anything else in test mode
        Packet,          // a frame with a good CRC, in any mode
    };
    Kind kind;
    QByteArray text; // the bytes that made up the command
};

// Cuts the byte stream from the computer into commands. Bytes may arrive split or
// merged in any way: a command is handed out once it is complete and unambiguous, and
// an incomplete one waits for more bytes. What a byte means depends on the mode the
// instrument is in when the command begins, so the caller asks for one command at a
// time and acts on it before asking for the next.
//
// A packet frame (start byte 0x0F, command, address, length n, n data bytes, CRC) is
// recognised in either mode. A frame whose CRC is wrong gets no answer and its bytes are
// dropped, unless a good frame starts inside them, so a stray 0x0F in front of a good
// frame costs nothing. A frame left unfinished for FrameGapSeconds is forgotten when the next
// bytes come, as the firmware's receiver starts afresh after a pause. In test mode, bytes
// that are neither printable nor line ends are line noise and passed over.
class CommandParser
{
public:
    static constexpr double FrameGapSeconds = 0.2;

    // `receivedAt` is the time the bytes came, in seconds on any steady clock.
    void append(const QByteArray &bytes, double receivedAt = 0);
    std::optional<SimCommand> next(SimMode mode);
    void clear() { m_pending.clear(); }
    const QByteArray &pending() const { return m_pending; }
    // Frames dropped for a wrong CRC so far.
    int rejectedFrames() const { return m_rejectedFrames; }

private:
    enum class Step { Command, Wait, Again };
    Step frameAtFront(std::optional<SimCommand> &command);
    bool goodFrameAt(qsizetype at) const;
    std::optional<SimCommand> nextAtPrompt();
    std::optional<SimCommand> nextInTestMode();
    SimCommand take(SimCommand::Kind kind, int length);

    QByteArray m_pending;
    double m_lastByteAt = 0;
    int m_rejectedFrames = 0;
};
