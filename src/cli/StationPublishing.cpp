// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StationPublishing.h"

#include "pclog/LogPeriods.h"
#include "publish/JournalPublisher.h"
#include "publish/MqttClient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

// The first answer of the broker is awaited this long before logging starts.
constexpr int FirstAnswerMs = 5000;

} // namespace

StationPublishing::StationPublishing(Console &console) : m_console(console)
{}

StationPublishing::~StationPublishing() = default;

std::unique_ptr<StationPublishing> StationPublishing::Start(const CliOptions &options,
                                                            const QString &serial, Console &console,
                                                            QString &error)
{
    if (!options.mqtt.enabled())
        return nullptr;
    MqttSettings settings;
    settings.url = ParseBrokerUrl(options.mqtt.url).url;
    settings.user = options.mqtt.user;
    settings.passwordFile = options.mqtt.passwordFile;
    settings.caFile = options.mqtt.caFile;
    settings.clientId = options.mqtt.clientId.isEmpty()
                            ? QStringLiteral("quorvel-%1-%2")
                                  .arg(TopicLevel(serial))
                                  .arg(QCoreApplication::applicationPid())
                            : options.mqtt.clientId;
    settings.statusTopic = settings.url.topic(serial, QStringLiteral("status"));

    JournalPublishing publishing;
    publishing.discoveryPrefix = options.mqtt.discoveryPrefix;
    if (options.command == QLatin1String("log")) {
        const auto logSeconds = UsablePeriodSeconds(options.logPeriod);
        const auto avgSeconds = UsablePeriodSeconds(options.avgPeriod);
        if (avgSeconds)
            publishing.periodSeconds = *avgSeconds;
        if (logSeconds && avgSeconds)
            publishing.readingsPerPeriod = *avgSeconds / *logSeconds;
    }

    std::unique_ptr<StationPublishing> station(new StationPublishing(console));
    station->m_client = std::make_unique<MqttClient>(settings);
    station->m_publisher =
        std::make_unique<JournalPublisher>(*station->m_client, settings.url, publishing);
    StationPublishing *self = station.get();
    QObject::connect(
        station->m_publisher.get(), &JournalPublisher::problem,
        [&console](const QString &text) { console.err << "quorvel-cli: " << text << Qt::endl; });
    if (!station->m_client->start(error))
        return nullptr;

    QString refusal;
    QEventLoop loop;
    QTimer limit;
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(station->m_client.get(), &MqttClient::connected, &loop, &QEventLoop::quit);
    QString firstLoss;
    QObject::connect(station->m_client.get(), &MqttClient::connectionLost, &loop,
                     [&](const QString &reason) {
                         firstLoss = reason;
                         loop.quit();
                     });
    QObject::connect(station->m_client.get(), &MqttClient::refused, &loop,
                     [&](const QString &reason) { refusal = reason; });
    limit.start(FirstAnswerMs);
    loop.exec();
    if (!refusal.isEmpty()) {
        error = refusal;
        return nullptr;
    }
    // From now on the connection's news are shown; the first answer's is the caller's.
    station->m_verbose = options.verbosity > 0;
    QObject::connect(station->m_client.get(), &MqttClient::connectionLost,
                     [self](const QString &reason) { self->reportLoss(reason); });
    QObject::connect(station->m_client.get(), &MqttClient::connected,
                     [self, &console, host = settings.url.host] {
                         if (self->m_verbose && !self->m_lastLoss.isEmpty())
                             console.err << "quorvel-cli: MQTT: connected to " << host << Qt::endl;
                         self->m_lastLoss.clear();
                     });
    if (!station->m_client->isConnected())
        self->reportLoss(firstLoss.isEmpty() ? QStringLiteral("no answer from the broker yet")
                                             : firstLoss);
    return station;
}

void StationPublishing::reportLoss(const QString &reason)
{
    // Once for each kind of failure, not at every new attempt.
    if (m_verbose && reason != m_lastLoss)
        m_console.err << "quorvel-cli: MQTT: " << reason
                      << " (lines are kept in the file and sent when the broker is back)"
                      << Qt::endl;
    m_lastLoss = reason;
}

void StationPublishing::follow(const QString &path)
{
    m_publisher->follow(path);
}

void StationPublishing::poll()
{
    m_publisher->poll();
}

bool StationPublishing::finish(int waitMs)
{
    const bool done = m_publisher->finish(waitMs);
    m_client->stop(std::min(waitMs, 2000));
    if (!done)
        m_console.err << "quorvel-cli: MQTT: not every line reached the broker; the next run "
                         "with --mqtt sends the rest"
                      << Qt::endl;
    return done;
}
