// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/DataBlockExchange.h"
#include "link/FrameAssembler.h"
#include "link/LinkTrace.h"
#include "link/ReadingsExchange.h"
#include "link/StatusExchange.h"
#include "link/TestCommandExchange.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
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
// one runner drives on the port; small apply functions turn its outcome into the fields,
// the status text and the counters.
//
// Exchanges return a success flag (or empty text) and leave a Status text; they never
// throw and never show a message. The busy flag Active() turns away an exchange that
// starts while another is in progress (a timer firing while a packet wait lets window
// events run); there is no queue. Every exchange but Connect and GetDataBlock is turned
// away (WaitDataBlock also when not connected). The flag is held by:
//   Connect            the handshake, giving back the state it found
//   GetStatus          from "I" until the reply is in (its handshake holds it too)
//   GetReadings        from "S" until the reply is in
//   SetUnits           from "T" until the reply to "U" is in (and its "R" after a failure)
//   TestCommand        from "T" to the end, only when it enters test mode itself
//   SendPacket2, RequestDataBlock, WaitDataBlock   throughout, handshake included
// SendPacket and GetDataBlock never hold it: a poll may run inside their waits.
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

    SensorLink(SerialPort &port, Clock &clock, EventPump &pump, QObject *parent = nullptr);
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
    bool Active() const { return m_active; }
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

    bool GetStatus();
    bool GetReadings();
    bool SetUnits(int unitsCode);
    QString TestCommand(const QString &command, int timeoutMs);

    QByteArray SendPacket(quint8 command, quint32 address, quint8 n, const QByteArray &data);
    bool SendPacket2(quint8 &command, quint32 &address, quint8 &n, QByteArray &data);
    bool RequestDataBlock(quint32 address, int length);
    bool WaitDataBlock(quint32 address);
    // Reads a data block of n bytes and its CRC into data, which must be sized by the
    // caller (data.size() - 1 is the upper bound: it needs at least n + 3 elements).
    bool GetDataBlock(int n, QByteArray &data);
    // Why the last SendPacket2 got no reply frame; empty after one that did.
    QString lastPacketFailure() const { return m_lastPacketFailure; }
    // A reply its reader could not use (or that did not come): `why` becomes the status
    // text and goes into the trace.
    void noteFailedReply(const QString &why);

    bool Connect();

    // After the port's device went away: when the same port opens again, opens it as a
    // chosen port is opened (the next handshake finds out whether the instrument is
    // back) and returns true. The user's choice of a port ends the watch.
    bool reopenLostPort();

    // Waits ms milliseconds on the millisecond counter without letting window events run.
    void DelayMs(float ms);

    // True while the instrument is known to sit in its test mode.
    bool inTestMode() const { return m_inTestMode; }

    // Queued requests: the exchanges of Connect, GetStatus, GetReadings and SetUnits, run in
    // turn from the event loop, so that none blocks the window and one made while another
    // runs waits for it instead of failing. `done` hears whether the request succeeded,
    // once the link's state is updated as the blocking call updates it; it is never
    // called inside the request itself.
    using Reply = std::function<void(bool ok)>;
    void requestConnect(Reply done);
    void requestStatus(Reply done);
    void requestReadings(Reply done);
    void requestUnits(int unitsCode, Reply done);
    // A test-mode command, as TestCommand: the handshake and "T" go first unless the
    // instrument sits in test mode when the request's turn comes. `done` hears the reply's
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
    // A packet and its reply, as SendPacket2: the handshake and a 10 ms pause go first
    // when the link is not connected; each part of the reply within a second.
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

    // No queued request runs or waits: the blocking calls may use the port.
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
    // The event-driven driver runs the same exchanges and applies their outcome
    // with the same functions.
    friend class LinkDriver;

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
    // The blocking calls refuse to run while a queued request uses the port.
    bool busy() const;

    void clearInstrumentFields();
    QString portDigits() const;
    QString connectedStatus() const;
    void noteLostPort();
    // A loss met in an exchange that has just ended: says so. True when the port closed.
    bool notedIfLost();
    void openChosenPort();
    double now() const { return m_clock.monotonicSeconds(); }

    // Reads whatever is waiting.
    QByteArray readChunk();
    // Drops what came between exchanges, when nothing was asked; counted and traced.
    void discardInput();
    // The link drops what came and forgets the data blocks it requested: the dropped bytes
    // are counted and traced as unasked unless such a block was outstanding.
    void startAfresh(int dropped);
    // Blocks until new bytes arrive or `deadline` (monotonic seconds) passes; with
    // letEventsRun the wait is cut into short slices and window events run after each.
    void waitForBytes(double deadline, bool letEventsRun = false);
    // Letting window events run for a reply that still misses `step.awaiting` bytes after
    // some came, the runner does not look again before they can have crossed the line at
    // 9600 baud: sleeps that long unless it lies at or past the deadline. True when it slept.
    bool sleptForMissingBytes(const ExchangeStep &step, bool letEventsRun, bool bytesCameLast);
    bool writeBytes(const QByteArray &bytes);
    // Writes a command (a text command, the handshake) and counts the exchange.
    bool writeCommand(const QByteArray &bytes);
    // Writes what a step says, each element one write; a non-empty list counts one
    // exchange.
    void writeSteps(const QList<QByteArray> &writes);

    // Runs an exchange to its end: writes what each step says, feeds it the bytes carried
    // over from the exchange before and then every chunk read, or nothing when its
    // deadline passes. Window events run between the reads with letEventsRun. The step
    // returned is the last one, with the unasked bytes of all steps; a port that closed
    // ends the exchange as failed.
    ExchangeStep run(Exchange &exchange, bool letEventsRun = false);
    // The counters for a failed exchange: time-outs and bad checks.
    void applyFailure(const ExchangeStep &step);
    void applyHandshake(const ExchangeStep &step);
    bool applyStatus(const StatusExchange &exchange, const ExchangeStep &step);
    bool applyReadings(const ReadingsExchange &exchange, const ExchangeStep &step);
    bool applyUnits(const ExchangeStep &step);
    QString applyTestCommand(const TestCommandExchange &exchange, const ExchangeStep &step);
    // A packet exchange that ended: a reply that is not a whole, valid frame clears
    // Connected. Bytes after the reply are kept for the exchange that follows.
    bool applyPacket(const ExchangeStep &step);
    // An acknowledgement of another block keeps the connection; one that did not come
    // whole and checked ends it.
    bool applyAcknowledgement(const ExchangeStep &step);
    // Copies the block and its CRC into the caller's array, which needs n + 3 elements.
    bool applyBlock(const DataBlockExchange &exchange, const ExchangeStep &step, int n,
                    QByteArray &data);
    // A queued block exchange that ended: as the acknowledgement and the block apply.
    BlockReply applyQueuedBlock(const DataBlockExchange &exchange, const ExchangeStep &end);

    bool connectForPacket();

    SerialPort &m_port;
    Clock &m_clock;
    EventPump &m_pump;
    std::unique_ptr<Alarm> m_alarm;
    std::unique_ptr<LinkDriver> m_driver;
    // The terminal's session while it is queued or open (the driver owns it).
    TerminalSession *m_terminal = nullptr;

    QString m_status;
    bool m_connected = false;
    int m_commDefault = 0;
    bool m_active = false;
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
    // Bytes read after an exchange's reply ended: the start of what the link asked for
    // next (a data block behind its acknowledgement, the next acknowledgement behind a
    // block requested ahead). The next exchange gets them first; discardInput drops them.
    QByteArray m_carried;
    // Data blocks requested and not yet read: bytes dropped meanwhile answer them.
    int m_blocksAsked = 0;
    QString m_lastPacketFailure;
};
