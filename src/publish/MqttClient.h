// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/BrokerUrl.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

struct mosquitto;
class QSocketNotifier;

// How to reach the broker and who we are there.
struct MqttSettings
{
    BrokerUrl url;
    QString clientId;
    QString user;         // empty: no user name
    QString passwordFile; // the password is the file's first line; empty: no password
    QString caFile;       // mqtts: the CA that signed the broker's certificate; empty: the
                          // system's certificates
    // Retained "online" after each connection, "offline" as the last will and on stop;
    // empty: no status.
    QString statusTopic;
    int keepAliveSeconds = 30;
    // The pause before a new attempt after a failed or lost connection doubles from the
    // first to the last.
    int firstRetryMs = 1000;
    int lastRetryMs = 60000;
    // An attempt that brings no answer in this time is given up and tried again.
    int connectTimeoutMs = 10000;
};

// One connection to an MQTT broker through libmosquitto (MQTT 3.1.1, TLS for mqtts://),
// driven by the Qt event loop of the thread it lives in: its socket through
// QSocketNotifier, its keep-alive through a QTimer; no thread of its own. It connects,
// and connects again with a growing pause whenever the connection fails or is lost;
// each connection starts clean (a fresh libmosquitto handle), so nothing unacknowledged
// is sent again behind the owner's back: the owner hears of the loss and resends from
// its journal. Messages go out with QoS 1 and `acknowledged` reports each PUBACK.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    explicit MqttClient(MqttSettings settings, QObject *parent = nullptr);
    ~MqttClient() override;

    // Reads the password file and begins the first attempt; false with the reason when
    // the settings cannot work (no password file, a bad CA file).
    bool start(QString &error);
    bool isConnected() const { return m_connected; }
    // The message's id, whose acknowledgement will follow; -1 when not connected or the
    // message was not taken (the connection is then dropped and tried again).
    int publish(const QString &topic, const QByteArray &payload, bool retain = false);
    // Waits at most `waitMs` for the acknowledgements still missing, then marks the
    // status "offline" and disconnects cleanly (so the broker sends no last will).
    void stop(int waitMs);
    int unacknowledged() const { return int(m_unacknowledged); }

signals:
    void connected();
    // The connection failed or was lost; messages not yet acknowledged may not have
    // arrived.
    void connectionLost(const QString &reason);
    void acknowledged(int messageId);
    // The broker refused us for good: wrong user name or password, not authorised, or a
    // certificate that does not check out. Attempts go on, with the longest pause.
    void refused(const QString &reason);

private:
    struct Event
    {
        enum Kind { Connack, Published, Disconnected } kind;
        int value;
    };
    static void onConnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onDisconnect(mosquitto *, void *self, int rc);

    void attempt();
    bool configure(QString &error);
    void watchSocket();
    void readable();
    void writable();
    void misc();
    // After each call into libmosquitto: a failure drops the connection, the socket's
    // write watch follows what libmosquitto has to send, and the callbacks' events are
    // handed on.
    void afterCall(int rc);
    void dispatch();
    void drop(const QString &reason, bool refusal = false);
    void retryLater();

    MqttSettings m_settings;
    QByteArray m_password;
    mosquitto *m_mosq = nullptr;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_miscTimer;
    QTimer m_retryTimer;
    QTimer m_connectTimer;
    int m_retryMs = 0;
    bool m_connected = false;
    bool m_stopping = false;
    bool m_dispatching = false;
    qsizetype m_unacknowledged = 0;
    std::vector<Event> m_events;
};
