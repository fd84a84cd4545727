// SPDX-License-Identifier: GPL-3.0-or-later
// The link's requests: each queues its exchanges with the driver, which runs them in turn
// from the event loop, and applies their end to the link's state and counters.
#include "link/SensorLink.h"

#include "link/DataBlockExchange.h"
#include "link/Frame.h"
#include "link/HandshakeExchange.h"
#include "link/LinkDriver.h"
#include "link/PacketExchange.h"
#include "link/PauseExchange.h"
#include "link/ReadingsExchange.h"
#include "link/StatusExchange.h"
#include "link/TerminalSession.h"
#include "link/TestCommandExchange.h"
#include "link/UnitsExchange.h"

#include <memory>
#include <utility>

namespace {

// The port search's rest before it opens a port, and after it used one.
constexpr double SearchPauseSeconds = 0.05;

void tell(const SensorLink::Reply &done, bool ok)
{
    if (done)
        done(ok);
}

} // namespace

bool SensorLink::requestsIdle() const
{
    return m_driver->idle();
}

void SensorLink::whenRequestsIdle(std::function<void()> call)
{
    m_driver->whenIdle(std::move(call));
}

void SensorLink::requestConnect(Reply done)
{
    handshakeThen([this, done = std::move(done)] { tell(done, m_connected); });
}

void SensorLink::handshakeThen(std::function<void()> next, bool first)
{
    auto handshake = std::make_unique<HandshakeExchange>();
    LinkDriver::Done<HandshakeExchange> applied =
        [this, next = std::move(next)](HandshakeExchange &, const ExchangeStep &end) {
            m_inTestMode = false;
            if (end.failure == ExchangeStep::Failure::PortClosed)
                noteClosedPort();
            else
                applyHandshake(end);
            next();
        };
    if (first)
        m_driver->enqueueNext(std::move(handshake), std::move(applied));
    else
        m_driver->enqueue(std::move(handshake), std::move(applied));
}

void SensorLink::onTurn(std::function<void()> next)
{
    m_driver->enqueue(std::make_unique<PauseExchange>(0),
                      [next = std::move(next)](PauseExchange &, const ExchangeStep &) { next(); });
}

void SensorLink::pauseThen(double seconds, std::function<void()> next)
{
    m_driver->enqueueNext(
        std::make_unique<PauseExchange>(seconds),
        [next = std::move(next)](PauseExchange &, const ExchangeStep &) { next(); });
}

void SensorLink::requestPortSearch(bool bConnect, int MaxPort, PortsDone done)
{
    onTurn([this, bConnect, MaxPort, done = std::move(done)] {
        if (m_portList)
            done(*m_portList);
        else
            searchPortsFrom(1, bConnect, MaxPort, std::make_shared<QStringList>(), done);
    });
}

void SensorLink::searchPortsFrom(int number, bool bConnect, int maxPort,
                                 std::shared_ptr<QStringList> ports, PortsDone done)
{
    for (;; ++number) {
        if (number > maxPort) {
            m_portList = *ports;
            done(*ports);
            return;
        }
        m_port.clearError();
        if (m_port.setPortNumber(number))
            break;
    }
    const auto nextPort = [this, number, bConnect, maxPort, ports, done] {
        if (m_port.isOpen())
            m_port.close();
        searchPortsFrom(number + 1, bConnect, maxPort, ports, done);
    };
    pauseThen(SearchPauseSeconds, [this, number, bConnect, ports, nextPort] {
        const bool opened = m_port.open();
        const int error = opened ? SerialPort::NoError : m_port.errorNumber();
        if (error == SerialPort::ErrorPermission)
            m_deniedPorts.insert(number, m_port.errorDescription());
        if (opened || error == SerialPort::ErrorPortAlreadyOpen ||
            error == SerialPort::ErrorPermission)
            ports->append(QStringLiteral("COM ") + QString::number(number));
        emit StatusMsg(QStringLiteral("Checking serial ports COM") + QString::number(number));
        if (!m_port.isOpen() || error != SerialPort::NoError) {
            nextPort();
            return;
        }
        // Whatever the port hears, the search rests on it before closing it.
        const auto rest = [this, nextPort] {
            m_port.setDtr(false);
            pauseThen(SearchPauseSeconds, nextPort);
        };
        if (!bConnect || m_commDefault != 0) {
            writeCommand(QByteArrayLiteral("R"));
            rest();
            return;
        }
        if (m_dtrOnOpen)
            m_port.setDtr(true);
        handshakeThen(
            [this, ports, rest] {
                if (m_connected)
                    m_commDefault = static_cast<int>(ports->size());
                rest();
            },
            true);
    });
}

void SensorLink::connectedThen(std::function<void()> next, std::function<void()> failed)
{
    if (m_connected) {
        next();
        return;
    }
    handshakeThen(
        [this, next = std::move(next), failed = std::move(failed)] {
            if (!m_connected) {
                failed();
                return;
            }
            // The instrument rests 10 ms after its prompt before a packet.
            m_driver->enqueueNext(std::make_unique<PauseExchange>(0.01),
                                  [next](PauseExchange &, const ExchangeStep &) { next(); });
        },
        true);
}

void SensorLink::noteClosedPort()
{
    m_connected = false;
    // A port closed by its device going away is a loss (counted once, however many
    // exchanges meet it); one the user closed is none.
    if (m_port.errorNumber() == SerialPort::ErrorDeviceLost)
        noteLostPort();
}

template <typename E>
void SensorLink::commandAfterHandshake(std::function<void()> clearOld,
                                       std::function<std::unique_ptr<E>()> make,
                                       std::function<bool(E &, const ExchangeStep &)> apply,
                                       Reply done)
{
    handshakeThen([this, clearOld = std::move(clearOld), make = std::move(make),
                   apply = std::move(apply), done = std::move(done)] {
        clearOld();
        if (!m_connected) {
            tell(done, false);
            return;
        }
        m_driver->enqueueNext(make(), [apply, done](E &exchange, const ExchangeStep &end) {
            tell(done, apply(exchange, end));
        });
    });
}

void SensorLink::requestStatus(Reply done)
{
    commandAfterHandshake<StatusExchange>(
        [this] { clearStatusFields(); }, [] { return std::make_unique<StatusExchange>(); },
        [this](StatusExchange &exchange, const ExchangeStep &end) {
            return applyStatus(exchange, end);
        },
        std::move(done));
}

void SensorLink::requestReadings(Reply done)
{
    commandAfterHandshake<ReadingsExchange>(
        [this] { clearReadings(); }, [] { return std::make_unique<ReadingsExchange>(); },
        [this](ReadingsExchange &exchange, const ExchangeStep &end) {
            return applyReadings(exchange, end);
        },
        std::move(done));
}

void SensorLink::requestUnits(int unitsCode, Reply done)
{
    commandAfterHandshake<UnitsExchange>(
        [] {}, [unitsCode] { return std::make_unique<UnitsExchange>(unitsCode); },
        [this](UnitsExchange &, const ExchangeStep &end) { return applyUnits(end); },
        std::move(done));
}

void SensorLink::requestTestCommand(const QString &command, int timeoutMs, TextReply done)
{
    const QByteArray bytes = command.toLatin1();
    const double seconds = timeoutMs / 1000.0;
    auto answered = [done](const QString &text) {
        if (done)
            done(text);
    };
    onTurn([this, bytes, seconds, answered] {
        auto send = [this, bytes, seconds, answered](bool entersTestMode) {
            m_driver->enqueueNext(
                std::make_unique<TestCommandExchange>(bytes, seconds, entersTestMode),
                [this, answered](TestCommandExchange &exchange, const ExchangeStep &end) {
                    answered(applyTestCommand(exchange, end));
                });
        };
        if (m_inTestMode) {
            send(false);
            return;
        }
        handshakeThen(
            [this, send, answered] {
                if (m_connected)
                    send(true);
                else
                    answered({});
            },
            true);
    });
}

void SensorLink::requestPause(int ms, Reply done)
{
    m_driver->enqueue(std::make_unique<PauseExchange>(ms / 1000.0),
                      [done = std::move(done)](PauseExchange &, const ExchangeStep &end) {
                          tell(done, end.state == ExchangeStep::State::Done);
                      });
}

void SensorLink::requestPacket(quint8 command, quint32 address, quint8 n, const QByteArray &data,
                               PacketDone done)
{
    auto answered = [done](const PacketReply &reply) {
        if (done)
            done(reply);
    };
    onTurn([this, command, address, n, data, answered] {
        connectedThen(
            [this, command, address, n, data, answered] {
                m_driver->enqueueNext(
                    std::make_unique<PacketExchange>(command, address, n, data,
                                                     PacketExchange::Timing::EachPartWithinASecond),
                    [this, answered](PacketExchange &exchange, const ExchangeStep &end) {
                        PacketReply reply;
                        reply.ok = applyPacket(end);
                        if (!reply.ok) {
                            reply.failure = end.reason;
                        } else {
                            const QByteArray &frame = exchange.frame();
                            reply.command = Frame::byteAt(frame, 1);
                            reply.address = Frame::readLe16(frame, 2);
                            reply.data = frame.mid(Frame::HeaderSize, Frame::byteAt(frame, 4));
                        }
                        answered(reply);
                    });
            },
            [answered] {
                PacketReply reply;
                reply.failure = QStringLiteral("no answer to the handshake");
                answered(reply);
            });
    });
}

void SensorLink::requestDataBlock(quint32 address, int length, bool requestedAhead,
                                  std::optional<quint32> nextAddress, BlockDone done)
{
    auto answered = [done](const BlockReply &reply) {
        if (done)
            done(reply);
    };
    auto failedWith = [answered](const QString &why) {
        BlockReply reply;
        reply.failure = why;
        answered(reply);
    };
    auto read = [this, address, length, requestedAhead, nextAddress, answered] {
        using Stage = DataBlockExchange::Stage;
        const DataBlockExchange::Plan plan{requestedAhead ? Stage::Acknowledgement : Stage::Request,
                                           Stage::Block, nextAddress};
        m_driver->enqueueNext(
            std::make_unique<DataBlockExchange>(address, length, plan),
            [this, answered](DataBlockExchange &exchange, const ExchangeStep &end) {
                answered(applyQueuedBlock(exchange, end));
            });
    };
    // Asked for from the callback of the block before it, a block requested ahead runs
    // next and takes what followed that block: the turn's look at the link would drop
    // those bytes (its acknowledgement) as unasked.
    if (requestedAhead && m_connected && m_driver->inCallback()) {
        read();
        return;
    }
    onTurn([this, requestedAhead, read, failedWith] {
        if (!requestedAhead) {
            connectedThen(
                read, [failedWith] { failedWith(QStringLiteral("no answer to the handshake")); });
        } else if (m_connected) {
            read();
        } else {
            // The exchange before it failed: the block asked for ahead is not coming.
            failedWith(QStringLiteral("the link is not connected"));
        }
    });
}

SensorLink::BlockReply SensorLink::applyQueuedBlock(const DataBlockExchange &exchange,
                                                    const ExchangeStep &end)
{
    BlockReply reply;
    // Whether the next block, asked for ahead, is on its way: until a handshake starts
    // afresh, the bytes dropped are its own.
    m_blocksAsked = exchange.askedAhead() ? 1 : 0;
    if (notedIfLost()) {
        m_connected = false;
        reply.failure = m_status;
        return reply;
    }
    applyFailure(end);
    if (end.state != ExchangeStep::State::Done) {
        // An acknowledgement of another block is a whole frame: the link stays connected.
        if (end.failure != ExchangeStep::Failure::Refused)
            m_connected = false;
        reply.failure = end.reason;
        return reply;
    }
    reply.ok = true;
    reply.block = exchange.block();
    return reply;
}

void SensorLink::openTerminal(std::function<void(const QByteArray &)> onReceived)
{
    if (m_terminal)
        return;
    auto session = std::make_unique<TerminalSession>(std::move(onReceived));
    m_terminal = session.get();
    m_driver->enqueue(std::move(session),
                      [this](TerminalSession &, const ExchangeStep &) { m_terminal = nullptr; });
}

void SensorLink::terminalSend(const QByteArray &bytes)
{
    if (!m_terminal)
        return;
    m_terminal->send(bytes);
    m_driver->poke(*m_terminal);
}

void SensorLink::closeTerminal()
{
    if (!m_terminal)
        return;
    m_terminal->close();
    m_driver->poke(*m_terminal);
}
