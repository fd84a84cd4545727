// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LoggerPackets.h"

#include "logger/LoggerBlock.h"

#include "link/Frame.h"
#include "link/SensorLink.h"

#include <utility>

LoggerPackets::LoggerPackets(SensorLink &link) : m_link(link)
{}

ParsedReply<QByteArray> LoggerPackets::refuse(quint8 command, const QString &why)
{
    const QString text = QStringLiteral("Command %1: %2").arg(command).arg(why);
    m_link.noteFailedReply(text);
    return ParsedReply<QByteArray>::refused(text);
}

ParsedReply<QByteArray> LoggerPackets::judge(quint8 command, bool framed, const QString &failure,
                                             quint8 replyCommand, const QByteArray &data,
                                             int replyLength)
{
    if (!framed)
        return refuse(command, QStringLiteral("no reply frame (") + failure + QStringLiteral(")"));
    if (replyCommand != command)
        return refuse(command, QStringLiteral("the reply is for command %1").arg(replyCommand));
    if (data.size() < replyLength)
        return refuse(
            command,
            QStringLiteral("the reply has %1 of %2 data bytes").arg(data.size()).arg(replyLength));
    return ParsedReply<QByteArray>::read(data);
}

void LoggerPackets::afterPause(std::function<void()> send)
{
    if (m_packetDelayMs <= 0) {
        send();
        return;
    }
    m_link.requestPause(m_packetDelayMs,
                        m_lifetime.guard([send = std::move(send)](bool) { send(); }));
}

void LoggerPackets::requestExchange(quint8 command, quint16 address, const QByteArray &data,
                                    int replyLength, Done done)
{
    afterPause([this, command, address, data, replyLength, done = std::move(done)] {
        m_link.requestPacket(command, address, static_cast<quint8>(data.size()), data,
                             m_lifetime.guard([this, command, replyLength,
                                               done](const SensorLink::PacketReply &reply) {
                                 done(judge(command, reply.ok, reply.failure, reply.command,
                                            reply.data, replyLength));
                             }));
    });
}

void LoggerPackets::requestRead(quint8 command, quint16 address, const QByteArray &data,
                                int replyLength, Done done)
{
    requestReadAttempt(command, address, data, replyLength, ReadAttempts, std::move(done));
}

void LoggerPackets::requestReadAttempt(quint8 command, quint16 address, const QByteArray &data,
                                       int replyLength, int attemptsLeft, Done done)
{
    requestExchange(command, address, data, replyLength,
                    [this, command, address, data, replyLength, attemptsLeft,
                     done](const ParsedReply<QByteArray> &reply) {
                        if (reply.ok() || attemptsLeft <= 1) {
                            done(reply);
                            return;
                        }
                        requestReadAttempt(command, address, data, replyLength, attemptsLeft - 1,
                                           done);
                    });
}

void LoggerPackets::requestBlockStart(qint64 block, int count, Done done)
{
    QByteArray request;
    request.append(static_cast<char>(count));
    request.append('\0');
    requestRead(BlockStart, static_cast<quint16>(block), request, count, std::move(done));
}

void LoggerPackets::requestBlock(qint64 block, Done done)
{
    requestBlockAttempt(block, ReadAttempts, std::move(done));
}

void LoggerPackets::requestBlockAttempt(qint64 block, int attemptsLeft, Done done)
{
    afterPause([this, block, attemptsLeft, done = std::move(done)] {
        m_link.requestDataBlock(
            static_cast<quint16>(block), LoggerBlock::Size, false, std::nullopt,
            m_lifetime.guard(
                [this, block, attemptsLeft, done](const SensorLink::BlockReply &reply) {
                    if (reply.ok) {
                        done(ParsedReply<QByteArray>::read(reply.block.left(LoggerBlock::Size)));
                        return;
                    }
                    if (attemptsLeft > 1) {
                        requestBlockAttempt(block, attemptsLeft - 1, done);
                        return;
                    }
                    done(ParsedReply<QByteArray>::refused(reply.failure));
                }));
    });
}
