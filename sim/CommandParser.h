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
    };
    Kind kind;
    QByteArray text; // the bytes that made up the command
};

// Cuts the byte stream from the computer into commands. Bytes may arrive split or
// merged in any way: a command is handed out once it is complete and unambiguous, and
// an incomplete one waits for more bytes. What a byte means depends on the mode the
// instrument is in when the command begins, so the caller asks for one command at a
// time and acts on it before asking for the next.
class CommandParser
{
public:
    void append(const QByteArray &bytes) { m_pending += bytes; }
    std::optional<SimCommand> next(SimMode mode);
    void clear() { m_pending.clear(); }
    const QByteArray &pending() const { return m_pending; }

private:
    std::optional<SimCommand> nextAtPrompt();
    std::optional<SimCommand> nextInTestMode();
    SimCommand take(SimCommand::Kind kind, int length);

    QByteArray m_pending;
};
