// SPDX-License-Identifier: GPL-3.0-or-later
// The link's queued requests: the exchanges of Connect, GetStatus, GetReadings and
// SetUnits, run in turn by the driver from the event loop. Each applies its end as the
// blocking call does, so the link's state and counters mean the same either way.
#include "link/SensorLink.h"

#include "link/HandshakeExchange.h"
#include "link/LinkDriver.h"
#include "link/ReadingsExchange.h"
#include "link/StatusExchange.h"
#include "link/TerminalSession.h"
#include "link/UnitsExchange.h"

#include <memory>
#include <utility>

namespace {

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

void SensorLink::handshakeThen(std::function<void()> next)
{
    m_driver->enqueue(std::make_unique<HandshakeExchange>(),
                      [this, next = std::move(next)](HandshakeExchange &, const ExchangeStep &end) {
                          m_inTestMode = false;
                          if (end.failure == ExchangeStep::Failure::PortClosed)
                              noteClosedPort();
                          else
                              applyHandshake(end);
                          // The driver hands on what followed the prompt itself.
                          m_carried.clear();
                          next();
                      });
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
