// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/DataBlockExchange.h"
#include "link/FrameAssembler.h"
#include "link/LinkTrace.h"
#include "link/ReadingsExchange.h"
#include "link/StatusExchange.h"
#include "link/TestCommandExchange.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The one link to the instrument. It owns the serial port, knows whether an instrument
// answers on it, keeps the instrument's last reported state and performs every exchange:
// the port search and "R" handshake, the text commands ("I", "S", "T", "U", test-mode
// commands) and the framed packets and data blocks of the built-in logger.
//
// Each exchange is a machine without I/O (HandshakeExchange, StatusExchange, ...) that
// the driver (LinkDriver) runs from the event loop, one after the other in the order they
// were asked for; small apply functions turn its outcome into the fields, the status text
// and the counters. Nothing waits: a request's caller hears of its end through a callback,
// with a success flag or the typed reply and, on failure, the reason (also the Status
// text). Requests never throw and never show a message.
class Alarm;
class LinkDriver;
class TerminalSession;

class SensorLink : public QObject
{
    Q_OBJECT

public:
    // Frame buffer size of the packet protocol: at most 254 data bytes in a frame.
    static constexpr int FrameBufferSize = FrameAssembler::Capacity;
    static constexpr char PromptByte = static_cast<char>(0xAF);

    SensorLink(SerialPort &port, Clock &clock, QObject *parent = nullptr);
    // Closes the port (RTS off first) when it is open.
    ~SensorLink() override;

    // Port search, queued: tries ports 1..MaxPort once per run of the program (a 50 ms
    // pause before each, and another after one that opened) and `done` hears the ports
    // that exist ("COM n"). With bConnect, the first port on which an instrument answers
    // the handshake becomes CommDefault; the others hear "R" alone. Later searches hear
    // the same list. StatusMsg tells of each port as it is tried.
    using PortsDone = std::function<void(const QStringList &ports)>;
    void requestPortSearch(bool bConnect, int MaxPort, PortsDone done);
    // The ports the search found (empty before it has run).
    QStringList foundPorts() const { return m_portList.value_or(QStringList()); }
    // The ports the search met but could not open for lack of permission, each with the
    // reason and its remedy.
    const QMap<int, QString> &deniedPorts() const { return m_deniedPorts; }
    SerialPort &Comm() { return m_port; }
    // The open port's number, 0 when no port is open.
    int CommPort() const;
    // Closes the open port and opens port `Port` (0 or less: no port).
    void setCommPort(int Port);
    int CommDefault() const { return m_commDefault; }
    // What the link did in this run of the program (exchanges, time-outs, losses …).
    const LinkCounters &Counters() const { return m_counters; }
    // A caller tries an exchange again after a failure (a download's data error).
    void countRetry();
    QString Status() const { return m_status; }
    bool Connected() const { return m_connected; }
    QString InfoString() const { return m_infoString; }
    QString Version() const { return m_version; }
    QString SerialNumber() const { return m_serialNumber; }
    QString Power() const { return m_power; }
    QString units() const { return m_units; }
    QString LogStatus() const { return m_logStatus; }
    float Total() const { return m_total; }
    float Diffuse() const { return m_diffuse; }
    bool Sun() const { return m_sun; }
    // Whether the readings come from the instrument: false until a reading arrives after
    // a connection, and after a failed one.
    bool hasReadings() const { return m_hasReadings; }
    bool DTR() const { return m_port.dtr(); }
    // Whether DTR is asserted when a port is opened (the terminal window's DTR box sets it).
    bool dtrOnOpen() const { return m_dtrOnOpen; }
    // Sets the DTR line now and for every port opened later.
    void setDtr(bool asserted);

    // A reply its reader could not use (or that did not come): `why` becomes the status
    // text and goes into the trace.
    void noteFailedReply(const QString &why);

    // After the port's device went away: when the same port opens again, opens it as a
    // chosen port is opened (the next handshake finds out whether the instrument is
    // back) and returns true. The user's choice of a port ends the watch.
    bool reopenLostPort();

    // True while the instrument is known to sit in its test mode.
    bool inTestMode() const { return m_inTestMode; }

    // The handshake ("R", the prompt), the status ("I": version, units, power, serial
    // number, logging state), the readings ("S") and a units change ("T", "U<n>"), each
    // after a handshake. One made while another runs waits for it. `done` hears whether
    // the request succeeded, once the link's state is updated; it is never called inside
    // the request itself.
    using Reply = std::function<void(bool ok)>;
    void requestConnect(Reply done);
    void requestStatus(Reply done);
    void requestReadings(Reply done);
    void requestUnits(int unitsCode, Reply done);
    // A test-mode command: the handshake and "T" go first unless the instrument sits in
    // test mode when the request's turn comes; the command goes out 50 ms after "TEST:" and
    // its reply must end with "TEST:" within `timeoutMs` (one beginning with "B" is taken
    // as it is when the time is up). `done` hears the reply's
    // text, empty when it failed (the status text says why).
    using TextReply = std::function<void(const QString &text)>;
    void requestTestCommand(const QString &command, int timeoutMs, TextReply done);
    // A pause of `ms` milliseconds on the line: nothing else runs meanwhile.
    void requestPause(int ms, Reply done);

    // A reply frame of the packet protocol, or why none came.
    struct PacketReply
    {
        bool ok = false;
        quint8 command = 0;
        quint32 address = 0;
        // The frame's data bytes (its length byte's worth).
        QByteArray data;
        QString failure;
    };
    using PacketDone = std::function<void(const PacketReply &reply)>;
    // A packet and its reply frame: the handshake and a 10 ms pause go first when the link
    // is not connected; the reply's header within a second of the request and the rest
    // within a second of the header. A reply that is not a whole, valid frame ends the
    // connection.
    void requestPacket(quint8 command, quint32 address, quint8 n, const QByteArray &data,
                       PacketDone done);

    // A data block of the built-in logger and its CRC, or why it did not come.
    struct BlockReply
    {
        bool ok = false;
        // The n data bytes and the two CRC bytes.
        QByteArray block;
        QString failure;
    };
    using BlockDone = std::function<void(const BlockReply &reply)>;
    // The stages of a block exchange: a block requested ahead by the one before it
    // starts at its acknowledgement (`requestedAhead`); with `nextAddress` the next block's
    // request goes out as soon as this one's acknowledgement is in. A request from the
    // start connects first when the link is not connected.
    void requestDataBlock(quint32 address, int length, bool requestedAhead,
                          std::optional<quint32> nextAddress, BlockDone done);

    // The terminal window's hold on the line, queued like a request: from its opening
    // until it is closed every byte that arrives goes to `onReceived` and the bytes sent
    // go out as they are.
    void openTerminal(std::function<void(const QByteArray &)> onReceived);
    void terminalSend(const QByteArray &bytes);
    void closeTerminal();

    // No request runs or waits.
    bool requestsIdle() const;
    // Runs `call` when no queued request runs or waits (at once when none does): a window
    // that takes the instrument over waits so for the poll it interrupts.
    void whenRequestsIdle(std::function<void()> call);

signals:
    // Status texts raised during the port search, for the owner's status bar.
    void StatusMsg(const QString &strStatus);
    // The terminal window was closed by the user.
    void HideTerminal();
    // Choosing a port failed; the owner shows `text` in a box titled "Select serial port".
    void portSelectionFailed(const QString &text);
    // The port's device went away between two exchanges; Status() says so.
    void portLost();

private:
    // Queues the handshake; `next` runs when it has been applied (Connected() tells how
    // it went), and may queue the request's next step with the driver's enqueueNext.
    // With `first` the handshake itself is the next step of a request under way.
    void handshakeThen(std::function<void()> next, bool first = false);
    // Runs `next` from the event loop when the request's turn comes, so that it looks at
    // the link's state then (test mode, connected), not when the request was made; `next`
    // queues the request's steps with enqueueNext.
    void onTurn(std::function<void()> next);
    // The port search from port `number` on, adding to `ports`; each port's steps run as
    // the next steps of the search.
    void searchPortsFrom(int number, bool bConnect, int maxPort, std::shared_ptr<QStringList> ports,
                         PortsDone done);
    // Queues a pause as the next step of a request under way; `next` follows it.
    void pauseThen(double seconds, std::function<void()> next);
    // Runs `next` at once when the link is connected, else after a handshake that
    // connected and a 10 ms pause; `failed` when the handshake did not connect.
    void connectedThen(std::function<void()> next, std::function<void()> failed);
    // A request's command after its handshake: when the handshake ends, `clearOld` drops
    // what the command will read anew; when it connected, the command made by `make` runs
    // next, before anything else queued, and `apply` makes the link's state from its end.
    template <typename E>
    void commandAfterHandshake(std::function<void()> clearOld,
                               std::function<std::unique_ptr<E>()> make,
                               std::function<bool(E &, const ExchangeStep &)> apply, Reply done);
    // A queued exchange found the port closed.
    void noteClosedPort();
    // Sets the status text, and writes it into the trace when it changes.
    void setStatus(const QString &text);
    void clearStatusFields();
    void clearReadings();

    void clearInstrumentFields();
    QString portDigits() const;
    QString connectedStatus() const;
    void noteLostPort();
    // A loss met in an exchange that has just ended: says so. True when the port closed.
    bool notedIfLost();
    void openChosenPort();
    double now() const { return m_clock.monotonicSeconds(); }

    // Writes a command outside an exchange (the port search's "R") and counts it.
    bool writeCommand(const QByteArray &bytes);
    // The link drops what came, and forgets the data block it asked for ahead: the dropped
    // bytes are counted and traced as unasked unless such a block was on its way.
    void startAfresh(int dropped);

    // The counters for a failed exchange: time-outs and bad checks.
    void applyFailure(const ExchangeStep &step);
    void applyHandshake(const ExchangeStep &step);
    bool applyStatus(const StatusExchange &exchange, const ExchangeStep &step);
    bool applyReadings(const ReadingsExchange &exchange, const ExchangeStep &step);
    bool applyUnits(const ExchangeStep &step);
    QString applyTestCommand(const TestCommandExchange &exchange, const ExchangeStep &step);
    // A packet exchange that ended: a reply that is not a whole, valid frame clears
    // Connected.
    bool applyPacket(const ExchangeStep &step);
    // A block exchange that ended: an acknowledgement of another block keeps the
    // connection; one that did not come whole and checked ends it, as does a block that
    // failed.
    BlockReply applyQueuedBlock(const DataBlockExchange &exchange, const ExchangeStep &end);

    SerialPort &m_port;
    Clock &m_clock;
    std::unique_ptr<Alarm> m_alarm;
    std::unique_ptr<LinkDriver> m_driver;
    // The terminal's session while it is queued or open (the driver owns it).
    TerminalSession *m_terminal = nullptr;

    QString m_status;
    bool m_connected = false;
    int m_commDefault = 0;
    QString m_infoString;
    QString m_version;
    QString m_serialNumber;
    QString m_power;
    QString m_units;
    QString m_logStatus;
    float m_total = 0;
    float m_diffuse = 0;
    bool m_sun = false;
    bool m_hasReadings = false;
    bool m_dtrOnOpen = false;

    std::optional<QStringList> m_portList;
    QMap<int, QString> m_deniedPorts;
    bool m_inTestMode = false;
    // The port whose device went away, watched for its return (0: none).
    int m_lostPort = 0;
    LinkCounters m_counters;
    // A loss was counted and no handshake has succeeded since: the next one reconnects.
    bool m_lostSinceConnect = false;
    // A data block asked for ahead and not read: bytes dropped meanwhile are its own.
    int m_blocksAsked = 0;
};
