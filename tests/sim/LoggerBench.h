#pragma once

#include "SimBench.h"

#include "link/Crc.h"
#include "link/Frame.h"

#include <QByteArray>
#include <QString>

#include <optional>

#include <gtest/gtest.h>

// Packet helpers for tests that talk to the simulated logger as the computer would.
namespace LoggerBench {

// A reply frame taken apart.
struct Reply
{
    quint8 command = 0;
    quint16 address = 0;
    QByteArray data;
};

inline QByteArray request(quint8 command, quint16 address = 0, const QByteArray &data = {})
{
    return Frame::build(command, address, static_cast<quint8>(data.size()), data);
}

// The frame at the start of `bytes`, when it is whole and its CRC holds.
inline std::optional<Reply> parse(const QByteArray &bytes)
{
    if (bytes.size() < Frame::Overhead || bytes.at(0) != Frame::StartByte)
        return std::nullopt;
    const int length = Frame::byteAt(bytes, 4) + Frame::Overhead;
    if (bytes.size() < length || CalcCrc(bytes.constData(), length) != 0)
        return std::nullopt;
    return Reply{Frame::byteAt(bytes, 1), Frame::readLe16(bytes, 2),
                 bytes.mid(Frame::HeaderSize, length - Frame::Overhead)};
}

inline QByteArray le16(int value)
{
    QByteArray out;
    Frame::appendLe16(out, static_cast<quint16>(value));
    return out;
}

inline QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper();
}

// Sends a request frame and returns what arrives within `seconds`.
inline QByteArray ask(SimBench &bench, quint8 command, quint16 address = 0,
                      const QByteArray &data = {}, double seconds = 0.1)
{
    return bench.exchange(request(command, address, data), seconds);
}

// The data of the reply to a request; fails the test when no good frame comes back.
inline QByteArray askData(SimBench &bench, quint8 command, quint16 address = 0,
                          const QByteArray &data = {})
{
    const QByteArray bytes = ask(bench, command, address, data);
    const auto reply = parse(bytes);
    if (!reply) {
        ADD_FAILURE() << "no reply frame to command " << int(command) << ": "
                      << hex(bytes).toStdString();
        return {};
    }
    EXPECT_EQ(reply->command, command);
    EXPECT_EQ(reply->address, address);
    return reply->data;
}

// The 14-byte start-logging data: periods, flags and the start time.
inline QByteArray startData(quint8 readingCode, quint8 averagingCode, bool overwrite,
                            const QByteArray &startStamp)
{
    QByteArray data;
    data.append(static_cast<char>(readingCode));
    data.append('\0');
    data.append(static_cast<char>(averagingCode));
    data.append('\0');
    data.append('\0');
    data.append(static_cast<char>(2 | (overwrite ? 1 : 0)));
    data += startStamp;
    return data;
}

} // namespace LoggerBench
