// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandParser.h"

#include "link/Crc.h"
#include "link/Frame.h"

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

bool isNoise(char byte)
{
    const auto value = static_cast<quint8>(byte);
    return (value < 0x20 || value >= 0x7F) && byte != CR && byte != LF;
}

} // namespace

void CommandParser::append(const QByteArray &bytes, double receivedAt)
{
    if (bytes.isEmpty())
        return;
    // Only an unfinished frame can be left at the front once the caller has taken every
    // command; a pause in the middle of it means it will never be finished.
    if (!m_pending.isEmpty() && m_pending.at(0) == Frame::StartByte &&
        receivedAt - m_lastByteAt > FrameGapSeconds)
        m_pending.clear();
    m_pending += bytes;
    m_lastByteAt = receivedAt;
}

std::optional<SimCommand> CommandParser::next(SimMode mode)
{
    for (;;) {
        if (m_pending.isEmpty())
            return std::nullopt;
        if (m_pending.at(0) != Frame::StartByte) {
            auto command = mode == SimMode::Prompt ? nextAtPrompt() : nextInTestMode();
            // Text parsing stops short of a frame's start byte.
            if (command || m_pending.isEmpty() || m_pending.at(0) != Frame::StartByte)
                return command;
            continue;
        }
        std::optional<SimCommand> command;
        switch (frameAtFront(command)) {
        case Step::Command:
            return command;
        case Step::Wait:
            return std::nullopt;
        case Step::Again:
            break;
        }
    }
}

bool CommandParser::goodFrameAt(qsizetype at) const
{
    if (m_pending.size() - at < Frame::HeaderSize)
        return false;
    const int length = Frame::byteAt(m_pending, static_cast<int>(at) + 4) + Frame::Overhead;
    return m_pending.size() - at >= length && CalcCrc(m_pending.constData() + at, length) == 0;
}

CommandParser::Step CommandParser::frameAtFront(std::optional<SimCommand> &command)
{
    if (m_pending.size() < Frame::HeaderSize)
        return Step::Wait;
    const int length = Frame::byteAt(m_pending, 4) + Frame::Overhead;
    if (m_pending.size() < length)
        return Step::Wait;
    if (goodFrameAt(0)) {
        command = take(SimCommand::Kind::Packet, length);
        return Step::Command;
    }
    // A damaged frame, or a stray start byte: the whole frame goes, unless a good frame
    // begins inside it (the start byte in front of it was noise).
    ++m_rejectedFrames;
    qsizetype drop = length;
    for (qsizetype at = 1; at < length; ++at) {
        if (m_pending.at(at) == Frame::StartByte && goodFrameAt(at)) {
            drop = at;
            break;
        }
    }
    m_pending.remove(0, drop);
    return Step::Again;
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
    // terminal, noise on the line) is passed over, up to the start of a frame.
    while (!m_pending.isEmpty() && m_pending.at(0) != Frame::StartByte) {
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
    while (!m_pending.isEmpty() && m_pending.at(0) != Frame::StartByte &&
           (isLineSpace(m_pending.at(0)) || isNoise(m_pending.at(0))))
        m_pending.remove(0, 1);
    if (m_pending.isEmpty() || m_pending.at(0) == Frame::StartByte)
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
