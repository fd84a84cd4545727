// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MqttClient.h"

#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");
constexpr int QoS = 1;
// Where libmosquitto finds the system's certificates when no CA file is given.
constexpr const char *SystemCertificates = "/etc/ssl/certs";

void initialiseLibrary()
{
    static const int initialised = mosquitto_lib_init();
    Q_UNUSED(initialised);
}

QString errorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

// CONNACK codes that no new attempt will change: all but "server unavailable" (3), that
// is the protocol version, the client id, the user name or password, the authorisation.
bool isRefusal(int connack)
{
    return connack != 3;
}

bool isTlsFailure(int rc)
{
    return rc == MOSQ_ERR_TLS || rc == MOSQ_ERR_TLS_HANDSHAKE;
}

const QString TlsFailure = QStringLiteral(
    "the TLS handshake with the broker failed (is the broker's certificate signed by the CA "
    "given, and made out to its host name?)");

} // namespace

MqttClient::MqttClient(MqttSettings settings, QObject *parent)
    : QObject(parent), m_settings(std::move(settings))
{
    initialiseLibrary();
    m_miscTimer.setInterval(1000);
    connect(&m_miscTimer, &QTimer::timeout, this, &MqttClient::misc);
    connect(&m_retryTimer, &QTimer::timeout, this, &MqttClient::attempt);
    // The connect timer is stopped by the answer, or by the drop its time-out brings.
    connect(&m_connectTimer, &QTimer::timeout, this,
            [this] { drop(QStringLiteral("the broker did not answer")); });
}

MqttClient::~MqttClient()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

bool MqttClient::start(QString &error)
{
    if (!m_settings.passwordFile.isEmpty()) {
        QFile file(m_settings.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read the password file ") + m_settings.passwordFile +
                    QStringLiteral(": ") + file.errorString();
            return false;
        }
        m_password = file.readLine(4096);
        while (m_password.endsWith('\n') || m_password.endsWith('\r'))
            m_password.chop(1);
        if (m_password.isEmpty()) {
            error = QStringLiteral("the password file ") + m_settings.passwordFile +
                    QStringLiteral(" is empty");
            return false;
        }
    }
    if (!m_settings.caFile.isEmpty() && !QFile::exists(m_settings.caFile)) {
        error =
            QStringLiteral("the CA file ") + m_settings.caFile + QStringLiteral(" is not there");
        return false;
    }
    m_stopping = false;
    m_retryMs = m_settings.firstRetryMs;
    attempt();
    return true;
}

bool MqttClient::configure(QString &error)
{
    const QByteArray id = m_settings.clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq) {
        error = QStringLiteral("cannot make an MQTT client: ") + errorText(MOSQ_ERR_ERRNO);
        return false;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // The owner keeps its own window of messages in flight; libmosquitto queues none.
    mosquitto_max_inflight_messages_set(m_mosq, 0);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::onPublish);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    int rc = MOSQ_ERR_SUCCESS;
    if (!m_settings.user.isEmpty()) {
        const QByteArray user = m_settings.user.toUtf8();
        rc = mosquitto_username_pw_set(m_mosq, user.constData(),
                                       m_password.isEmpty() ? nullptr : m_password.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && !m_settings.statusTopic.isEmpty()) {
        const QByteArray topic = m_settings.statusTopic.toUtf8();
        rc = mosquitto_will_set(m_mosq, topic.constData(), int(Offline.size()), Offline.constData(),
                                QoS, true);
    }
    if (rc == MOSQ_ERR_SUCCESS && m_settings.url.tls) {
        const QByteArray ca = m_settings.caFile.toLocal8Bit();
        rc = mosquitto_tls_set(m_mosq, ca.isEmpty() ? nullptr : ca.constData(),
                               ca.isEmpty() ? SystemCertificates : nullptr, nullptr, nullptr,
                               nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        error = errorText(rc);
        return false;
    }
    return true;
}

void MqttClient::attempt()
{
    m_retryTimer.stop();
    if (m_stopping)
        return;
    QString error;
    if (!configure(error)) {
        drop(error);
        return;
    }
    const QByteArray host = m_settings.url.host.toUtf8();
    const int rc = mosquitto_connect_async(m_mosq, host.constData(), m_settings.url.port,
                                           m_settings.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        drop(isTlsFailure(rc) ? TlsFailure
                              : QStringLiteral("cannot connect to ") + m_settings.url.host +
                                    QStringLiteral(": ") + errorText(rc),
             isTlsFailure(rc));
        return;
    }
    m_connectTimer.start(m_settings.connectTimeoutMs);
    watchSocket();
    afterCall(MOSQ_ERR_SUCCESS);
}

void MqttClient::watchSocket()
{
    const int fd = mosquitto_socket(m_mosq);
    m_readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &MqttClient::readable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &MqttClient::writable);
    m_miscTimer.start();
}

void MqttClient::readable()
{
    if (m_mosq)
        afterCall(mosquitto_loop_read(m_mosq, 1));
}

void MqttClient::writable()
{
    if (m_mosq)
        afterCall(mosquitto_loop_write(m_mosq, 1));
}

void MqttClient::misc()
{
    if (!m_mosq)
        return;
    // Keep-alive: a ping when due, and the end of a connection whose broker stopped
    // answering (MOSQ_ERR_NO_CONN once its socket is closed).
    afterCall(mosquitto_loop_misc(m_mosq));
}

void MqttClient::afterCall(int rc)
{
    // A refused CONNACK is dropped by dispatch(), with the broker's reason from the
    // callback; any other failure here ends the connection.
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_CONN_REFUSED && m_mosq) {
        const bool tls = isTlsFailure(rc);
        m_events.clear();
        drop(tls ? TlsFailure : QStringLiteral("connection to the broker lost: ") + errorText(rc),
             tls);
        return;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_mosq && mosquitto_want_write(m_mosq));
    dispatch();
}

void MqttClient::dispatch()
{
    // Events are handed on outside libmosquitto's calls, one at a time, so that a handler
    // may publish or drop the connection.
    if (m_dispatching)
        return;
    m_dispatching = true;
    while (!m_events.empty()) {
        const Event event = m_events.front();
        m_events.erase(m_events.begin());
        if (event.kind == Event::Connack) {
            if (event.value != 0) {
                m_events.clear();
                drop(QStringLiteral("the broker refused the connection: ") +
                         QString::fromUtf8(mosquitto_connack_string(event.value)),
                     isRefusal(event.value));
                break;
            }
            m_connectTimer.stop();
            m_connected = true;
            m_retryMs = m_settings.firstRetryMs;
            if (!m_settings.statusTopic.isEmpty())
                publish(m_settings.statusTopic, Online, true);
            emit connected();
        } else if (event.kind == Event::Published) {
            m_unacknowledged = std::max<qsizetype>(0, m_unacknowledged - 1);
            emit acknowledged(event.value);
        } else if (m_connected || m_mosq) {
            m_events.clear();
            drop(QStringLiteral("the broker closed the connection: ") + errorText(event.value));
            break;
        }
    }
    m_dispatching = false;
}

void MqttClient::drop(const QString &reason, bool refusal)
{
    m_connectTimer.stop();
    m_miscTimer.stop();
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_mosq) {
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
    }
    m_connected = false;
    m_unacknowledged = 0;
    if (refusal) {
        m_retryMs = m_settings.lastRetryMs;
        emit refused(reason);
    }
    emit connectionLost(reason);
    retryLater();
}

void MqttClient::retryLater()
{
    if (m_stopping)
        return;
    m_retryTimer.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, m_settings.lastRetryMs);
}

int MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!m_connected || !m_mosq)
        return -1;
    const QByteArray name = topic.toUtf8();
    int mid = -1;
    const int rc = mosquitto_publish(m_mosq, &mid, name.constData(), int(payload.size()),
                                     payload.constData(), QoS, retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        afterCall(rc);
        return -1;
    }
    ++m_unacknowledged;
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
    return mid;
}

void MqttClient::stop(int waitMs)
{
    m_retryTimer.stop();
    if (m_connected) {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        const auto check = [&] {
            if (m_unacknowledged == 0 || !m_connected)
                loop.quit();
        };
        connect(this, &MqttClient::acknowledged, &loop, check);
        connect(this, &MqttClient::connectionLost, &loop, &QEventLoop::quit);
        limit.start(waitMs);
        if (m_unacknowledged > 0)
            loop.exec();
        // The status goes "offline" before the clean goodbye; the last will is for an
        // end without one.
        if (m_connected && !m_settings.statusTopic.isEmpty() &&
            publish(m_settings.statusTopic, Offline, true) >= 0) {
            limit.start(std::min(waitMs, 2000));
            loop.exec();
        }
    }
    m_stopping = true;
    m_retryTimer.stop();
    if (m_mosq && m_connected) {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_write(m_mosq, 1);
    }
    m_connectTimer.stop();
    m_miscTimer.stop();
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
    m_connected = false;
}

void MqttClient::onConnect(mosquitto *, void *self, int rc)
{
    static_cast<MqttClient *>(self)->m_events.push_back({Event::Connack, rc});
}

void MqttClient::onPublish(mosquitto *, void *self, int mid)
{
    static_cast<MqttClient *>(self)->m_events.push_back({Event::Published, mid});
}

void MqttClient::onDisconnect(mosquitto *, void *self, int rc)
{
    static_cast<MqttClient *>(self)->m_events.push_back({Event::Disconnected, rc});
}
