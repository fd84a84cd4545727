// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real mosquitto broker for the tests, on a free loopback port with a generated
// configuration (anonymous, or a password file; plain or TLS with a CA and server
// certificate made here with openssl), and a subscriber that records what arrives.
#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <mosquitto.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

inline QString MosquittoProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                           QStringLiteral("/usr/local/sbin")});
}

#define SKIP_WITHOUT_MOSQUITTO()                                                                   \
    if (MosquittoProgram().isEmpty())                                                              \
    GTEST_SKIP() << "mosquitto is not installed (Debian package mosquitto): broker tests skipped"

inline int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool Accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class Broker
{
public:
    struct Options
    {
        QString user; // with a password: a password file and no anonymous clients
        QString password;
        bool tls = false; // a TLS listener with a certificate for 127.0.0.1 signed by ca()
    };

    Broker() : Broker(Options()) {}
    explicit Broker(const Options &options) : m_port(FreeLoopbackPort())
    {
        QStringList config{
            QStringLiteral("listener %1 127.0.0.1").arg(m_port), QStringLiteral("persistence true"),
            QStringLiteral("persistence_location ") + m_dir.path() + '/',
            QStringLiteral("max_queued_messages 1000000"),
            // Run as root, mosquitto would drop to its own user, which cannot
            // read this folder.
            QStringLiteral("user ") + QString::fromLocal8Bit(getpwuid(getuid())->pw_name),
            QStringLiteral("log_dest none")};
        if (options.user.isEmpty()) {
            config << QStringLiteral("allow_anonymous true");
        } else {
            const QString file = m_dir.filePath(QStringLiteral("passwords"));
            QProcess::execute(
                QStringLiteral("mosquitto_passwd"),
                {QStringLiteral("-b"), QStringLiteral("-c"), file, options.user, options.password});
            config << QStringLiteral("allow_anonymous false")
                   << QStringLiteral("password_file ") + file;
        }
        if (options.tls) {
            makeCertificates();
            config << QStringLiteral("cafile ") + ca()
                   << QStringLiteral("certfile ") + path("server.crt")
                   << QStringLiteral("keyfile ") + path("server.key");
        }
        QFile file(path("mosquitto.conf"));
        file.open(QIODevice::WriteOnly);
        file.write(config.join('\n').toUtf8() + '\n');
        file.close();
        start();
    }
    ~Broker() { stop(); }

    int port() const { return m_port; }
    QString ca() const { return path("ca.crt"); }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString url(const char *scheme = "mqtt") const
    {
        return QStringLiteral("%1://127.0.0.1:%2/station").arg(QLatin1String(scheme)).arg(m_port);
    }

    void start()
    {
        m_process.setProgram(MosquittoProgram());
        m_process.setArguments({QStringLiteral("-c"), path("mosquitto.conf")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        for (int i = 0; i < 250 && !Accepts(m_port); ++i)
            QThread::msleep(20);
        if (!Accepts(m_port))
            ADD_FAILURE() << "mosquitto did not start on port " << m_port;
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

private:
    void makeCertificates()
    {
        const auto run = [this](const QStringList &args) {
            QProcess openssl;
            openssl.setWorkingDirectory(m_dir.path());
            openssl.start(QStringLiteral("openssl"), args);
            openssl.waitForFinished(30000);
        };
        run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
             "/CN=Quorvel test CA", "-keyout", "ca.key", "-out", "ca.crt"});
        run({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
             "server.key", "-out", "server.csr"});
        QFile extensions(path("server.ext"));
        extensions.open(QIODevice::WriteOnly);
        extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n");
        extensions.close();
        run({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
             "-CAcreateserial", "-days", "2", "-extfile", "server.ext", "-out", "server.crt"});
    }

    QTemporaryDir m_dir;
    int m_port;
    QProcess m_process;
};

// A second client, on libmosquitto's own thread, with a lasting session (QoS 1), so that
// what is published while it is away from a restarted broker still reaches it.
class Subscriber
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained;
    };

    Subscriber(int port, const char *topic, const char *user = nullptr,
               const char *password = nullptr, const char *id = "quorvel-test-subscriber")
    {
        mosquitto_lib_init();
        m_mosq = mosquitto_new(id, false, this);
        mosquitto_username_pw_set(m_mosq, user, password);
        mosquitto_message_callback_set(
            m_mosq, [](mosquitto *, void *self, const mosquitto_message *m) {
                auto *me = static_cast<Subscriber *>(self);
                std::lock_guard<std::mutex> lock(me->m_mutex);
                me->m_messages.push_back(
                    {QString::fromUtf8(m->topic),
                     QByteArray(static_cast<const char *>(m->payload), m->payloadlen), m->retain});
            });
        m_topic = topic;
        mosquitto_connect_callback_set(m_mosq, [](mosquitto *mosq, void *self, int) {
            mosquitto_subscribe(mosq, nullptr, static_cast<Subscriber *>(self)->m_topic.constData(),
                                1);
        });
        mosquitto_subscribe_callback_set(m_mosq,
                                         [](mosquitto *, void *self, int, int, const int *) {
                                             static_cast<Subscriber *>(self)->m_subscribed = true;
                                         });
        mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
        mosquitto_connect(m_mosq, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_mosq);
        for (int i = 0; i < 250 && !m_subscribed; ++i)
            QThread::msleep(20);
    }
    ~Subscriber()
    {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, true);
        mosquitto_destroy(m_mosq);
    }
    std::vector<Message> messages()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    // The payloads on topics ending in `leaf`.
    QList<QByteArray> payloads(const QString &leaf)
    {
        QList<QByteArray> list;
        for (const Message &m : messages()) {
            if (m.topic.endsWith(leaf))
                list << m.payload;
        }
        return list;
    }

private:
    mosquitto *m_mosq;
    QByteArray m_topic;
    std::atomic<bool> m_subscribed{false};
    std::mutex m_mutex;
    std::vector<Message> m_messages;
};
