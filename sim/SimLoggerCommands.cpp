// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimLoggerCommands.h"

#include "SimTimeStamp.h"

#include "link/Crc.h"
#include "link/Frame.h"

#include <algorithm>

namespace {

QByteArray stampOrZero(const std::optional<qint64> &seconds)
{
    return seconds ? SimTimeStamp::fromSeconds(*seconds).bytes()
                   : QByteArray(SimTimeStamp::Size, '\0');
}

} // namespace

SimPacketAnswer SimLoggerCommands::answer(const QByteArray &frame)
{
    const quint8 command = Frame::byteAt(frame, 1);
    const quint16 address = Frame::readLe16(frame, 2);
    const int length = Frame::byteAt(frame, 4);
    const QByteArray data = frame.mid(Frame::HeaderSize, length);

    // Whatever is asked, the logger first stores the records that have come due.
    m_recorder.catchUp();

    auto reply = [&](const QByteArray &replyData) {
        SimPacketAnswer answer;
        answer.frame =
            Frame::build(command, address, static_cast<quint8>(replyData.size()), replyData);
        return answer;
    };
    auto needs = [&data](int count) { return data.size() >= count; };

    switch (command) {
    case MemorySize: {
        QByteArray out;
        Frame::appendLe16(out, static_cast<quint16>(m_memory.blockCount()));
        return reply(out);
    }
    case Clock:
        return reply(SimTimeStamp::fromSeconds(m_clock.nowSeconds()).bytes());
    case Program:
        return reply(program());
    case Status:
        return reply(status());
    case BlockStart: {
        if (!needs(2))
            break;
        const int count = std::min<int>(Frame::readLe16(data, 0), Frame::MaxDataLength);
        return reply(m_memory.block(address).left(count));
    }
    case LargeDataBlock: {
        if (!needs(2))
            break;
        const int count = std::min<int>(Frame::readLe16(data, 0), MaxBlockBytes);
        SimPacketAnswer answer = reply(data.left(2));
        answer.block = m_memory.read(address, count);
        Frame::appendLe16(answer.block, CalcCrc(answer.block));
        answer.isBlockRequest = true;
        return answer;
    }
    case StartStop:
        if (!needs(14))
            break;
        startOrStop(data);
        return reply(QByteArray());
    case SetClock:
        if (!needs(SimTimeStamp::Size))
            break;
        setClock(data);
        return reply(QByteArray());
    case SetDownloadPointer:
        if (!needs(4))
            break;
        m_recorder.setDownloadPointer(Frame::readLe16(data, 0), Frame::readLe16(data, 2));
        return reply(QByteArray());
    default:
        break;
    }
    return SimPacketAnswer{};
}

QByteArray SimLoggerCommands::program() const
{
    const SimProgram &program = m_recorder.program();
    const SimDatasetPointers &p = m_recorder.pointers();
    QByteArray out;
    out.append(static_cast<char>(program.readingCode));
    out.append('\0');
    out.append(static_cast<char>(program.averagingCode));
    out.append('\0');
    out.append(static_cast<char>(program.sunFs));
    out.append(static_cast<char>(program.flags));
    Frame::appendLe16(out, static_cast<quint16>(p.startBlock));
    Frame::appendLe16(out, static_cast<quint16>(p.downloadBlock));
    Frame::appendLe16(out, static_cast<quint16>(p.downloadAddress));
    Frame::appendLe16(out, static_cast<quint16>(p.logTop));
    return out;
}

QByteArray SimLoggerCommands::status() const
{
    QByteArray out = stampOrZero(m_recorder.program().start);
    out += stampOrZero(m_recorder.nextRecordTime());
    Frame::appendLe32(out, static_cast<quint32>(std::max(0, m_state.identity().powerMillivolts)));
    Frame::appendLe32(out, static_cast<quint32>(m_recorder.pointers().topFill()));
    return out;
}

void SimLoggerCommands::startOrStop(const QByteArray &data)
{
    SimProgram program = m_recorder.program();
    const auto flags = static_cast<quint8>(data.at(5));
    if ((flags & SimProgram::LoggingFlag) == 0) {
        m_recorder.stop();
        return;
    }
    program.readingCode = static_cast<quint8>(data.at(0));
    program.averagingCode = static_cast<quint8>(data.at(2));
    program.sunFs = static_cast<quint8>(data.at(4));
    program.flags = flags;
    // A start time no calendar holds means "now".
    program.start = SimTimeStamp::read(data, 6).toSeconds();
    m_recorder.start(program);
}

void SimLoggerCommands::setClock(const QByteArray &data)
{
    // A time stamp no calendar holds leaves the clock alone.
    const auto seconds = SimTimeStamp::read(data, 0).toSeconds();
    if (!seconds)
        return;
    m_recorder.catchUp();
    m_clock.setTo(*seconds);
    m_recorder.clockWasSet();
}
