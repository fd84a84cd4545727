#pragma once

// A logger instrument at the far end of a fake serial line, for the logger window's
// tests: answers the handshake, the identification and the logger's packets from plain
// fields a test sets, and can spoil any one reply (silence, a wrong length byte, length
// 255, a bad CRC, a reply for another command, too few data bytes, a truncated block).

#include "common/DateTimeDays.h"
#include "link/Crc.h"
#include "link/Frame.h"
#include "logger/LoggerTimeStamp.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QByteArray>
#include <QList>

#include <cmath>
#include <map>

class FakeLogger
{
public:
    enum class Fault {
        None,
        Silent,
        LengthTooShort, // the length byte one less than the data sent
        LengthTooLong,  // the length byte three more than the data sent
        Length255,
        BadCrc,
        OtherCommand,   // a good frame, but for the next command code
        ShortReply,     // a good frame with a single data byte
        TruncatedBlock, // (command 22) the acknowledgement, then half a block
        BadBlockCrc,    // (command 22) the acknowledgement, then a block with a bad CRC
        OtherAddress,   // (command 22) acknowledges and sends the next block instead
    };

    struct Frame
    {
        quint8 command;
        quint16 address;
        QByteArray data;
        // When its last byte came in (monotonic seconds).
        double at;
    };

    FakeLogger(FakeLine &line, VirtualClock &clock) : m_line(line), m_clock(clock)
    {
        m_line.onWrite = [this](const QByteArray &bytes) { wrote(bytes); };
        program = QByteArray(14, '\0');
        status = QByteArray(24, '\0');
    }

    // Identification lines (version, units, power, serial number, log status).
    QByteArray version = "ZQ5 v3.2";
    QByteArray units = "Units: W.m-2";
    QByteArray power = "3612mV";
    QByteArray serialNumber = "5523";
    QByteArray logStatus = "Logging";

    quint16 memoryBlocks = 1024;
    // The logger's clock runs this many seconds ahead of the computer's.
    double clockOffsetSeconds = 0;
    // Command 10's 14 data bytes and command 14's 24.
    QByteArray program;
    QByteArray status;
    // Memory blocks by number; a block never written reads as all 0xFF.
    std::map<int, QByteArray> blocks;
    // A spoilt reply for a command code.
    std::map<quint8, Fault> faults;
    // Every frame received, in order.
    QList<Frame> frames;

    QList<Frame> framesOf(quint8 command) const
    {
        QList<Frame> found;
        for (const Frame &frame : frames) {
            if (frame.command == command)
                found.append(frame);
        }
        return found;
    }

    QList<quint8> commands() const
    {
        QList<quint8> list;
        for (const Frame &frame : frames)
            list.append(frame.command);
        return list;
    }

    // Program fields: period codes, flags and block positions.
    void setProgram(quint8 readingCode, quint8 averagingCode, quint8 flags, quint16 startBlock,
                    quint16 dwnldBlock, quint16 dwnldAddr, quint16 logTop)
    {
        program.clear();
        program.append(static_cast<char>(readingCode)).append('\0');
        program.append(static_cast<char>(averagingCode)).append('\0');
        program.append('\0').append(static_cast<char>(flags));
        ::Frame::appendLe16(program, startBlock);
        ::Frame::appendLe16(program, dwnldBlock);
        ::Frame::appendLe16(program, dwnldAddr);
        ::Frame::appendLe16(program, logTop);
    }

    // Logging status: two time stamps and the write offset in the top block.
    void setStatus(const LoggerTimeStamp &first, const LoggerTimeStamp &second, quint32 offset)
    {
        status = first.encode() + second.encode();
        ::Frame::appendLe32(status, 0);
        ::Frame::appendLe32(status, offset);
    }

    // A block whose header holds `stamp` and the codes, with `records` filled slots.
    static QByteArray block(const LoggerTimeStamp &stamp, quint8 readingCode, quint8 averagingCode,
                            int records, quint8 unitsCode = 1)
    {
        QByteArray bytes = stamp.encode();
        bytes.append(static_cast<char>(readingCode));
        bytes.append(static_cast<char>(averagingCode));
        bytes.append(static_cast<char>(unitsCode));
        bytes.append('\0');
        for (int slot = 0; slot < 125; ++slot)
            bytes += slot < records ? QByteArray::fromHex("3a5c8007") : QByteArray(4, '\xFF');
        return bytes;
    }

private:
    void wrote(const QByteArray &bytes)
    {
        for (const char byte : bytes)
            take(byte);
    }

    void take(char byte)
    {
        if (m_pending.isEmpty() && byte != ::Frame::StartByte) {
            text(byte);
            return;
        }
        m_pending.append(byte);
        if (m_pending.size() < ::Frame::HeaderSize)
            return;
        const int length = static_cast<quint8>(m_pending.at(4));
        if (m_pending.size() < length + ::Frame::Overhead)
            return;
        const QByteArray frame = m_pending;
        m_pending.clear();
        if (CalcCrc(frame) != 0)
            return;
        packet({static_cast<quint8>(frame.at(1)), ::Frame::readLe16(frame, 2),
                frame.mid(::Frame::HeaderSize, length), m_clock.monotonicSeconds()});
    }

    void text(char command)
    {
        if (command == 'R') {
            m_line.deliver("\r\n\xAF", 0.002);
        } else if (command == 'I') {
            m_line.deliver("I" + version + "\r" + units + "\r" + power + "\r" + serialNumber +
                               "\r" + logStatus + "\r",
                           0.01);
        }
    }

    QByteArray blockBytes(int number) const
    {
        const auto it = blocks.find(number);
        return it == blocks.end() ? QByteArray(512, '\xFF') : it->second.left(512);
    }

    void packet(const Frame &request)
    {
        frames.append(request);
        QByteArray data;
        switch (request.command) {
        case 15:
            ::Frame::appendLe16(data, memoryBlocks);
            break;
        case 12:
            // The logger's clock counts whole seconds.
            data = LoggerTimeStamp::fromDays(
                       SecondsToDays(std::floor(DaysToSeconds(DateTimeToDays(m_clock.now())) +
                                                clockOffsetSeconds)))
                       .encode();
            break;
        case 10:
            data = program;
            break;
        case 14:
            data = status;
            break;
        case 18:
            data = blockBytes(request.address)
                       .left(static_cast<quint8>(::Frame::byteAt(request.data, 0)));
            break;
        case 22:
            data = request.data;
            break;
        default:
            return;
        }
        reply(request, data);
    }

    void reply(const Frame &request, const QByteArray &data)
    {
        const auto found = faults.find(request.command);
        const Fault fault = found == faults.end() ? Fault::None : found->second;
        const auto n = static_cast<quint8>(data.size());
        QByteArray frame = ::Frame::build(request.command, request.address, n, data);
        switch (fault) {
        case Fault::Silent:
            return;
        case Fault::LengthTooShort:
            frame[4] = static_cast<char>(n - 1);
            break;
        case Fault::LengthTooLong:
            frame[4] = static_cast<char>(n + 3);
            break;
        case Fault::Length255:
            frame[4] = static_cast<char>(255);
            break;
        case Fault::BadCrc:
            frame[frame.size() - 1] = static_cast<char>(frame.at(frame.size() - 1) ^ 0x5A);
            break;
        case Fault::OtherCommand:
            frame =
                ::Frame::build(static_cast<quint8>(request.command + 1), request.address, n, data);
            break;
        case Fault::ShortReply:
            frame = ::Frame::build(request.command, request.address, 1, data);
            break;
        case Fault::OtherAddress:
            frame =
                ::Frame::build(request.command, static_cast<quint16>(request.address + 1), n, data);
            break;
        default:
            break;
        }
        m_line.deliver(frame, 0.005);
        if (request.command != 22 || frame.at(1) != 22)
            return;

        QByteArray block = blockBytes(::Frame::readLe16(frame, 2));
        ::Frame::appendLe16(block, CalcCrc(block));
        if (fault == Fault::TruncatedBlock)
            block = block.left(300);
        if (fault == Fault::BadBlockCrc)
            block[100] = static_cast<char>(block.at(100) ^ 0x01);
        m_line.deliver(block, 0.6);
    }

    FakeLine &m_line;
    VirtualClock &m_clock;
    QByteArray m_pending;
};
