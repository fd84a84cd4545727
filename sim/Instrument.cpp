// SPDX-License-Identifier: GPL-3.0-or-later
#include "Instrument.h"

#include "link/Frame.h"

#include <algorithm>

namespace {

// The frame and block as they reach the computer when spoilt in the way `how` names.
SimPacketAnswer spoilt(SimPacketAnswer answer, SpoiltFrame how)
{
    QByteArray &frame = answer.frame;
    if (frame.isEmpty())
        return answer;
    const quint8 command = Frame::byteAt(frame, 1);
    const quint16 address = Frame::readLe16(frame, 2);
    const quint8 length = Frame::byteAt(frame, 4);
    const QByteArray data = frame.mid(Frame::HeaderSize, length);
    switch (how) {
    case SpoiltFrame::None:
    case SpoiltFrame::OtherAddress: // asked of the logger for the next address already
        break;
    case SpoiltFrame::Silent:
        return SimPacketAnswer{};
    case SpoiltFrame::LengthTooShort:
        frame[4] = static_cast<char>(length - 1);
        break;
    case SpoiltFrame::LengthTooLong:
        frame[4] = static_cast<char>(length + 3);
        break;
    case SpoiltFrame::Length255:
        frame[4] = static_cast<char>(255);
        break;
    case SpoiltFrame::BadCrc:
        frame[frame.size() - 1] = static_cast<char>(frame.at(frame.size() - 1) ^ 0x5A);
        break;
    case SpoiltFrame::OtherCommand:
        frame = Frame::build(static_cast<quint8>(command + 1), address, length, data);
        answer.block.clear();
        break;
    case SpoiltFrame::ShortReply:
        frame = Frame::build(command, address, 1, data);
        break;
    case SpoiltFrame::TruncatedBlock:
        answer.block = answer.block.left(300);
        break;
    case SpoiltFrame::NoiseFirst:
        frame.prepend(ReplyScheduler::noise());
        break;
    }
    return answer;
}

// The same request for the next address.
QByteArray nextAddress(const QByteArray &request)
{
    const int length = Frame::byteAt(request, 4);
    return Frame::build(Frame::byteAt(request, 1),
                        static_cast<quint16>(Frame::readLe16(request, 2) + 1),
                        static_cast<quint8>(length), request.mid(Frame::HeaderSize, length));
}

} // namespace

Instrument::Instrument(const Clock &clock, const InstrumentOptions &options)
    : m_clock(clock),
      m_state(options.model,
              options.identity.value_or(InstrumentIdentity::defaultFor(options.model))),
      m_sky(options.skyOffsetSeconds), m_scheduler(options.latencySeconds), m_replies(m_state),
      m_faults(options.faults), m_blockLatency(std::max(0.0, options.blockLatencySeconds)),
      m_logger(clock, m_sky, m_state, options.logger), m_randomFaults(options.faults.faultSeed)
{
    m_state.setLogging(m_logger.logging());
}

void Instrument::setFaults(const SimFaults &faults)
{
    m_faults = faults;
    m_lostAcknowledgements.reset();
    m_corruptBlocks.reset();
    m_lateBlocks.reset();
    m_garbageFrames.reset();
    m_randomFaults.seed(faults.faultSeed);
}

SkyReading Instrument::readingNow() const
{
    return m_sky.at(m_clock.now());
}

QList<SimReply> Instrument::receive(const QByteArray &bytes)
{
    // A silent instrument is a dead one: it does not even listen.
    if (m_faults.silent)
        return {};
    m_parser.append(bytes, m_clock.monotonicSeconds());
    QList<SimReply> out;
    QByteArray text;
    while (const auto command = m_parser.next(m_state.mode())) {
        if (command->kind != SimCommand::Kind::Packet) {
            text += execute(*command);
            continue;
        }
        const QByteArray &frame = command->text;
        if (m_noteHeardFrames)
            m_heardFrames.append({Frame::byteAt(frame, 1), Frame::readLe16(frame, 2),
                                  frame.mid(Frame::HeaderSize, Frame::byteAt(frame, 4)),
                                  m_clock.monotonicSeconds()});
        // Text answered so far goes out ahead of the packet's answer.
        out += m_scheduler.schedule(text, m_faults);
        text.clear();
        out += answerPacket(command->text);
    }
    out += m_scheduler.schedule(text, m_faults);
    return out;
}

QByteArray Instrument::withTrailingGarbage(const QByteArray &bytes)
{
    if (bytes.isEmpty() || !m_garbageFrames.strikes(m_faults.garbageBetweenFrames))
        return bytes;
    return bytes + ReplyScheduler::noise();
}

QList<SimReply> Instrument::answerPacket(const QByteArray &frame)
{
    if (!m_state.traits().hasLogger)
        return {};
    const quint8 command = Frame::byteAt(frame, 1);
    const SpoiltFrame how = m_faults.spoiltFrameFor(command);
    SimPacketAnswer answer =
        m_logger.answer(how == SpoiltFrame::OtherAddress ? nextAddress(frame) : frame);
    m_state.setLogging(m_logger.logging());
    const auto data = m_faults.replyData.find(command);
    if (data != m_faults.replyData.end() && !answer.frame.isEmpty())
        answer.frame = Frame::build(command, Frame::readLe16(answer.frame, 2),
                                    static_cast<quint8>(data->second.size()), data->second);
    answer = spoilt(answer, how);
    if (m_faults.lostReplyChance > 0 || m_faults.noisyReplyChance > 0) {
        const double draw = m_randomFaults.generateDouble();
        if (draw < m_faults.lostReplyChance)
            return {};
        if (draw < m_faults.lostReplyChance + m_faults.noisyReplyChance && !answer.frame.isEmpty())
            answer.frame.prepend(ReplyScheduler::noise());
    }
    if (!answer.isBlockRequest)
        return m_scheduler.schedule(withTrailingGarbage(answer.frame), m_faults);

    QByteArray acknowledgement = answer.frame;
    if (m_lostAcknowledgements.strikes(m_faults.lostAcknowledgement))
        acknowledgement.clear();
    QByteArray block = answer.block;
    if (m_corruptBlocks.strikes(m_faults.corruptBlock) && !block.isEmpty()) {
        // A byte in the middle of the data (the CRC itself when there is no data).
        const auto at = block.size() > 2 ? (block.size() - 2) / 2 : 0;
        block[at] = static_cast<char>(block.at(at) ^ 0x5A);
    }
    double blockDelay = m_blockLatency;
    if (m_lateBlocks.strikes(m_faults.lateBlock))
        blockDelay += std::max(0.0, m_faults.lateBlockSeconds);

    QList<SimReply> out =
        m_scheduler.schedule(withTrailingGarbage(acknowledgement), m_faults, m_blockLatency);
    out += m_scheduler.schedule(withTrailingGarbage(block), m_faults, blockDelay);
    return out;
}

QByteArray Instrument::selectUnits(const QByteArray &command)
{
    // Records made before the change keep the units they were measured in.
    m_logger.update();
    const int code = command.at(1) - '0';
    return m_replies.unitsAnswer(command, m_state.selectUnits(code));
}

QByteArray Instrument::execute(const SimCommand &command)
{
    using Kind = SimCommand::Kind;
    switch (command.kind) {
    case Kind::Return:
        m_state.setMode(SimMode::Prompt);
        return m_replies.prompt(m_faults.badPrompt);
    case Kind::Identify:
        m_state.setLogging(m_logger.logging());
        return m_replies.identification();
    case Kind::Readings:
        return m_replies.readings(readingNow());
    case Kind::EnterTest:
        m_state.setMode(SimMode::Test);
        return m_replies.testModeEntered();
    case Kind::SelectUnits:
        return selectUnits(command.text);
    case Kind::SensorCounts:
        return m_replies.sensorCounts(readingNow());
    case Kind::Temperatures:
        return m_replies.temperatures(readingNow());
    case Kind::CalibrationDump:
        return m_replies.calibrationDump();
    case Kind::Details:
        return m_replies.details();
    case Kind::SunshineRatio:
        return m_replies.sunshineRatio();
    case Kind::Unknown:
        return m_replies.unknown(command.text);
    case Kind::Packet:
        break;
    }
    return QByteArray();
}
