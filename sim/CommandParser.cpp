#include "CommandParser.h"

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';

bool isLineSpace(char byte)
{
    return byte == CR || byte == LF || byte == ' ';
}

bool isDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

} // namespace

std::optional<SimCommand> CommandParser::next(SimMode mode)
{
    return mode == SimMode::Prompt ? nextAtPrompt() : nextInTestMode();
}

SimCommand CommandParser::take(SimCommand::Kind kind, int length)
{
    SimCommand command{kind, m_pending.left(length)};
    m_pending.remove(0, length);
    return command;
}

std::optional<SimCommand> CommandParser::nextAtPrompt()
{
    // At the prompt every command is one letter; anything else (line ends typed at a
    // terminal, noise on the line) is passed over.
    while (!m_pending.isEmpty()) {
        switch (m_pending.at(0)) {
        case 'R':
            return take(SimCommand::Kind::Return, 1);
        case 'I':
            return take(SimCommand::Kind::Identify, 1);
        case 'S':
            return take(SimCommand::Kind::Readings, 1);
        case 'T':
            return take(SimCommand::Kind::EnterTest, 1);
        default:
            m_pending.remove(0, 1);
        }
    }
    return std::nullopt;
}

std::optional<SimCommand> CommandParser::nextInTestMode()
{
    while (!m_pending.isEmpty() && isLineSpace(m_pending.at(0)))
        m_pending.remove(0, 1);
    if (m_pending.isEmpty())
        return std::nullopt;

    const char first = m_pending.at(0);
    switch (first) {
    case 'R':
        return take(SimCommand::Kind::Return, 1);
    case 'S':
        return take(SimCommand::Kind::SensorCounts, 1);
    case 'I':
        return take(SimCommand::Kind::Temperatures, 1);
    case 'E':
        return take(SimCommand::Kind::CalibrationDump, 1);
    case 'U':
    case 'X':
    case 'T': {
        // Two-byte commands: wait for the second byte before deciding.
        if (m_pending.size() < 2)
            return std::nullopt;
        const char second = m_pending.at(1);
        if (first == 'U' && isDigit(second))
            return take(SimCommand::Kind::SelectUnits, 2);
        if (first == 'X' && second == CR)
            return take(SimCommand::Kind::Details, 2);
        if (first == 'T' && second == CR) {
            // The line feed that follows is part of the command when it is there already;
            // one that comes later is passed over as a line end.
            const bool withLineFeed = m_pending.size() >= 3 && m_pending.at(2) == LF;
            return take(SimCommand::Kind::SunshineRatio, withLineFeed ? 3 : 2);
        }
        // Not the expected second byte: the letter stands alone and the byte after it
        // starts the next command.
        return take(SimCommand::Kind::Unknown, 1);
    }
    default:
        return take(SimCommand::Kind::Unknown, 1);
    }
}
