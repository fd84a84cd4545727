// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "VirtualLinkEvents.h"
#include "link/SensorLink.h"

#include <QEventLoop>

#include <functional>
#include <optional>
#include <utility>

// The link's queued requests, each run to its end before the call returns: on virtual time
// with the fake port, or in an event loop with a real one. For tests that set the scene
// with a request or look at one request's outcome.
class SettledLink
{
public:
    SettledLink(SensorLink &link, VirtualClock &clock, FakeSerialPort &port)
        : m_link(link), m_settle([&link, &clock, &port] {
              runLinkEvents(clock, port, [&link] { return link.requestsIdle(); });
          })
    {}
    // Runs the event loop: a real port on the system's clock.
    explicit SettledLink(SensorLink &link)
        : m_link(link), m_settle([&link] {
              if (link.requestsIdle())
                  return;
              QEventLoop loop;
              link.whenRequestsIdle([&loop] { loop.quit(); });
              loop.exec();
          })
    {}

    bool connect()
    {
        return ok([this](SensorLink::Reply done) { m_link.requestConnect(done); });
    }
    bool status()
    {
        return ok([this](SensorLink::Reply done) { m_link.requestStatus(done); });
    }
    bool readings()
    {
        return ok([this](SensorLink::Reply done) { m_link.requestReadings(done); });
    }
    bool units(int code)
    {
        return ok([this, code](SensorLink::Reply done) { m_link.requestUnits(code, done); });
    }
    QString testCommand(const QString &command, int timeoutMs)
    {
        QString text;
        m_link.requestTestCommand(command, timeoutMs, [&text](const QString &t) { text = t; });
        m_settle();
        return text;
    }
    SensorLink::PacketReply packet(quint8 command, quint32 address, const QByteArray &data)
    {
        SensorLink::PacketReply reply;
        m_link.requestPacket(command, address, static_cast<quint8>(data.size()), data,
                             [&reply](const SensorLink::PacketReply &r) { reply = r; });
        m_settle();
        return reply;
    }
    SensorLink::BlockReply block(quint32 address, int length, bool requestedAhead = false,
                                 std::optional<quint32> nextAddress = std::nullopt)
    {
        SensorLink::BlockReply reply;
        m_link.requestDataBlock(address, length, requestedAhead, nextAddress,
                                [&reply](const SensorLink::BlockReply &r) { reply = r; });
        m_settle();
        return reply;
    }
    void settle() { m_settle(); }

private:
    bool ok(const std::function<void(SensorLink::Reply)> &request)
    {
        bool succeeded = false;
        request([&succeeded](bool result) { succeeded = result; });
        m_settle();
        return succeeded;
    }

    SensorLink &m_link;
    std::function<void()> m_settle;
};
