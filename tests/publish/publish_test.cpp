// SPDX-License-Identifier: GPL-3.0-or-later
// Publishing: the journal lines read back as the writers write them, the messages built
// from them, and delivery to a real mosquitto broker through outages and restarts.
#include "Broker.h"
#include "LocaleGuard.h"
#include "pclog/LogFileHeader.h"
#include "pclog/PeriodLines.h"
#include "publish/BrokerUrl.h"
#include "publish/HomeAssistantDiscovery.h"
#include "publish/JournalPublisher.h"
#include "publish/JournalReader.h"
#include "publish/JournalState.h"
#include "publish/MqttClient.h"
#include "publish/ReadingMessage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

const QDateTime Start(QDate(2026, 6, 1), QTime(10, 0, 0));

// The header of a ZQ5's PC log file, as the logging run writes it.
QByteArray logHeader(QChar separator, bool individual = false)
{
    LogFileInfo info{QStringLiteral("ZQ5 v1.03"),
                     QStringLiteral("1234"),
                     QStringLiteral("Units: W.m-2"),
                     individual,
                     {}};
    return LogFileHeader(info, Start, separator).join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

// The line of one period ending `seconds` after Start, with readings that tell the lines
// apart.
QByteArray logLine(int seconds, QChar separator = QLatin1Char('\t'), bool individual = false)
{
    ReadingSums sums;
    sums.ReadingCount = 2;
    sums.TotalSum = 2 * (100.5f + float(seconds));
    sums.DiffuseSum = 2 * 40.25f;
    sums.SunCount = 1;
    sums.ThermSum = 2 * 21.5f;
    sums.TempCount = 2;
    for (size_t i = 0; i < 8; ++i)
        sums.IndividualSums[i] = float(2 * i);
    LineSettings settings;
    settings.individual = individual;
    settings.temperatureModel = true;
    const QDateTime end = Start.addSecs(seconds);
    return FileLine(sums, end, settings, separator).toUtf8() + "\r\n";
}

void append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(bytes);
}

// Runs the event loop until `done` or `ms` have passed.
template <typename Done> bool waitFor(Done done, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QJsonObject json(const QByteArray &payload)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << payload.toStdString();
    return document.object();
}

MqttSettings settingsFor(const Broker &broker, const char *scheme = "mqtt")
{
    MqttSettings settings;
    settings.url = ParseBrokerUrl(broker.url(scheme)).url;
    settings.clientId = QStringLiteral("quorvel-test");
    settings.statusTopic = settings.url.topic(QStringLiteral("1234"), QStringLiteral("status"));
    settings.firstRetryMs = 100;
    settings.lastRetryMs = 400;
    return settings;
}

// The distinct readings that arrived, first arrival first, as seconds after Start; and
// how many arrived more than once.
QList<int> arrivedSeconds(Subscriber &subscriber, int *repeats = nullptr)
{
    QList<int> seconds;
    int again = 0;
    for (const QByteArray &payload : subscriber.payloads(QStringLiteral("/reading"))) {
        const QDateTime time =
            QDateTime::fromString(json(payload).value("time").toString(), Qt::ISODate);
        const int s = int(Start.secsTo(time));
        if (seconds.contains(s))
            ++again;
        else
            seconds << s;
    }
    if (repeats)
        *repeats = again;
    return seconds;
}

QList<int> range(int from, int to)
{
    QList<int> list;
    for (int i = from; i <= to; ++i)
        list << i;
    return list;
}

} // namespace

TEST(PublishText, UrlsLinesAndMessages)
{
    const struct
    {
        QString url;
        QString error; // empty: good
        bool tls;
        QString host;
        int port;
        QString topic; // of serial "12/3" and leaf "reading"
    } urls[] = {
        {"mqtt://broker.lan/sun", "", false, "broker.lan", 1883, "sun/12_3/reading"},
        {"mqtts://broker:8884/a/b/", "", true, "broker", 8884, "a/b/12_3/reading"},
        {"mqtt://[::1]:99", "", false, "::1", 99, "12_3/reading"},
        {"mqtts://h", "", true, "h", 8883, "12_3/reading"},
        {"mqtt://h:1", "", false, "h", 1, "12_3/reading"},
        {"mqtt://h:65535/p", "", false, "h", 65535, "p/12_3/reading"},
        {"http://h/x", "must start with mqtt:// or mqtts://", false, "", 0, ""},
        {"mqtt://h:0/x", "the port must be 1 to 65535", false, "", 0, ""},
        {"mqtt://h:70000", "the port must be 1 to 65535", false, "", 0, ""},
        {"mqtt://h:+5", "the port must be 1 to 65535", false, "", 0, ""},
        {"mqtt://h:/x", "no port after the colon", false, "", 0, ""},
        {"mqtt://[::1/x", "closing ]", false, "", 0, ""},
        {"mqtt://[::1]x", "unexpected text", false, "", 0, ""},
        {"mqtt:///x", "no host", false, "", 0, ""},
        {"mqtt://u:p@h/x", "--mqtt-password-file", false, "", 0, ""},
        {"mqtt://h/a/#", "may not hold + or #", false, "", 0, ""},
    };
    for (const auto &c : urls) {
        const BrokerUrlResult result = ParseBrokerUrl(c.url);
        EXPECT_TRUE(c.error.isEmpty() ? result.error.isEmpty() : result.error.contains(c.error))
            << c.url.toStdString() << " -> " << result.error.toStdString();
        if (!c.error.isEmpty())
            continue;
        EXPECT_EQ(result.url.tls, c.tls) << c.url.toStdString();
        EXPECT_EQ(result.url.host, c.host) << c.url.toStdString();
        EXPECT_EQ(result.url.port, c.port) << c.url.toStdString();
        EXPECT_EQ(result.url.topic("12/3", "reading"), c.topic) << c.url.toStdString();
    }

    const QByteArray header = logHeader('\t');
    const struct
    {
        QByteArray file;  // the header and one more line, CR LF ended
        QString expected; // the message, or the start of the reader's error
        QString locale = "en_GB";
    } lines[] = {
        {header + logLine(60),
         R"({"time":"2026-06-01T10:01:00+01:00","serial":"1234","total":160.5,)"
         R"("diffuse":40.3,"sun":0.5,"units":"W.m-2","sensors":[],)"
         R"("temperature":21.5,"period_s":null,"readings":null})"},
        {logHeader(',', true) + logLine(0, ',', true),
         R"({"time":"2026-06-01T10:00:00+01:00","serial":"1234","total":100.5,"diffuse":40.3,)"
         R"("sun":0.5,"units":"W.m-2","sensors":[0,1,2,3,4,5,6,7],"temperature":21.5,)"
         R"("period_s":null,"readings":null})"},
        {header + "01.06.26 10:00:00\t512,3\t87,0\t1,0\t\r\n",
         R"({"time":"2026-06-01T10:00:00+01:00","serial":"1234","total":512.3,"diffuse":87,"sun":1,)"
         R"("units":"W.m-2","sensors":[],"temperature":null,"period_s":null,"readings":null})",
         "de_DE"},
        {header + "01/06/2026 10:00:00\tbad readings\r\n",
         R"({"time":"2026-06-01T10:00:00+01:00","serial":"1234","total":null,"diffuse":null,)"
         R"("sun":null,"units":"W.m-2","sensors":[],"temperature":null,"period_s":null,"readings":0})"},
        {header + "01/06/2026 10:00:00\t1.0\t2.0\t0.0\t21.5\t30.1\r\n",
         R"({"time":"2026-06-01T10:00:00+01:00","serial":"1234","total":1,"diffuse":2,"sun":0,)"
         R"("units":"W.m-2","sensors":[],"temperature":21.5,"period_s":null,"readings":null})"},
        {"ZQ5 Data file 01/12/2026 10:00:00\r\nZQ5 v1.03 Ser No: 7 \"x\r\nReading Units: klux\r\n"
         "Time,Total,Diffuse,Sun\r\n01/12/2026 09:00:00,1.25,0.50,0.7\r\n"
         "01/12/2026 09:10:00,1.50,0.75,0.0\r\n",
         R"({"time":"2026-12-01T09:10:00+00:00","serial":"7 \"x","total":1.5,"diffuse":0.75,"sun":0,)"
         R"("units":"klux","sensors":[],"temperature":null,"period_s":600,"readings":null})"},
        {"ZQ5 Logger Data file x\r\n Ser No: 12\r\nReading Units: "
         "W.m-2\r\nTime\tTotal\tDiffuse\tSun\r\n"
         "01/06/2026 10:00:00\t1.0\t2.0\t0.0\r\n",
         R"({"time":"2026-06-01T10:00:00+01:00","serial":"12","total":1,"diffuse":2,"sun":0,)"},
        {header + "01/06/2026 10:00:00\t1.0\tx\t0.0\t21.5\r\n", "Diffuse not read"},
        {header + "01/06/2026 10:00:00\t1.0\t2.0\r\n", "3 fields where 5 were expected"},
        {header + "31/31/2026 10:00:00\t1.0\t2.0\t0.0\t21.5\r\n", "time not read"},
        {"Sunshine report\r\n", "not a PC log or dataset file: \"Sunshine report\""},
        {"ZQ5 Logger Data file x\r\nZQ5 v1.03\r\n", "not a PC log or dataset file: \"ZQ5 v1.03\""},
        {"ZQ5 Logger Data file x\r\nZQ5 v1.03 Ser No: 1\r\nUnits\r\n", "not a PC log"},
        {"ZQ5 Logger Data file x\r\nZQ5 v1.03 Ser No: 1\r\nReading Units: klux\r\nTotal\r\n",
         "not a PC log"},
    };
    for (const auto &c : lines) {
        LocaleGuard locale{QLocale(c.locale)};
        JournalReader reader;
        QString outcome;
        for (const QByteArray &line : c.file.split('\n')) {
            if (line.isEmpty())
                continue;
            const JournalReader::Line kind = reader.read(line);
            if (kind == JournalReader::Line::Record)
                outcome =
                    ReadingJson(reader.record(),
                                {reader.serial(), reader.units(), reader.record().stepSeconds, {}});
            else if (kind != JournalReader::Line::Header)
                outcome = reader.error();
        }
        EXPECT_TRUE(outcome.startsWith(c.expected))
            << c.file.toStdString() << "\n -> " << outcome.toStdString();
        json(outcome.startsWith('{') ? outcome.toUtf8() : QByteArray("{}"));
    }
    JournalReader reader;
    for (const QByteArray &line : logHeader(',').split('\n'))
        reader.read(line);
    EXPECT_EQ(reader.firstLine(), "ZQ5 Logger Data file 01/06/2026 10:00:00");
    EXPECT_EQ(reader.model(), "ZQ5");
    EXPECT_TRUE(reader.headerRead() && reader.hasTemperature());
    JournalRecord west;
    west.time = Start.toOffsetFromUtc(-5 * 3600 - 1800);
    west.total = 1.5;
    EXPECT_EQ(ReadingJson(west, {"1", "klux", 60.0, 6}).toStdString(),
              R"({"time":"2026-06-01T03:30:00-05:30","serial":"1","total":1.5,"diffuse":null,)"
              R"("sun":null,"units":"klux","sensors":[],"temperature":null,"period_s":60,)"
              R"("readings":6})");
    EXPECT_EQ(JournalNumber(" 1e3 "), 1000.0);

    // The state file: a position only when it holds both its parts, rightly typed.
    QTemporaryDir folder;
    const struct
    {
        QByteArray text; // empty: no file
        qint64 offset;   // -1: no position
        QString error;
    } states[] = {
        {"", -1, ""},
        {"{", -1, "it holds no position"},
        {R"({"offset":-5,"first_line":"x"})", -1, "it holds no position"},
        {R"({"offset":5})", -1, "it holds no position"},
        {R"({"offset":"5","first_line":"x"})", -1, "it holds no position"},
        {R"({"offset":5,"first_line":"x"})", 5, ""},
    };
    for (const auto &c : states) {
        const QString statePath = folder.filePath("state");
        QFile::remove(statePath);
        if (!c.text.isEmpty())
            append(statePath, c.text);
        QString error;
        const auto position = ReadJournalPosition(statePath, error);
        EXPECT_EQ(position ? position->offset : -1, c.offset) << c.text.toStdString();
        EXPECT_EQ(error, c.error) << c.text.toStdString();
    }
    EXPECT_FALSE(JournalNumber("inf") || JournalNumber("1.5x") || JournalNumber(""));

    // Home Assistant: the four sensors, W.m-2 as an irradiance, each on the reading topic.
    const auto discovery = HomeAssistantDiscovery(
        "homeassistant", ParseBrokerUrl("mqtt://h/sun").url, {"1234", "ZQ5", "W.m-2", true});
    ASSERT_EQ(discovery.size(), 4);
    const QJsonObject total = json(discovery[0].payload);
    EXPECT_EQ(discovery[0].topic, "homeassistant/sensor/quorvel_1234_total/config");
    EXPECT_EQ(total.value("device_class"), "irradiance");
    EXPECT_EQ(total.value("unit_of_measurement"), "W/m²");
    EXPECT_EQ(total.value("state_topic"), "sun/1234/reading");
    EXPECT_EQ(total.value("availability_topic"), "sun/1234/status");
    EXPECT_EQ(json(discovery[2].payload).value("unit_of_measurement"), "%");
    EXPECT_EQ(json(discovery[3].payload).value("device_class"), "temperature");
    const auto klux = HomeAssistantDiscovery("ha", {}, {"1", "ZQ5", "klux", false});
    EXPECT_EQ(klux.size(), 3);
    EXPECT_EQ(json(klux[1].payload).value("device_class"), "illuminance");
    EXPECT_TRUE(json(klux[1].payload).value("value_template").toString().contains("* 1000"));
}

// A logging run of five minutes at one line a second, on a virtual clock: the lines are
// written into the journal as the run would write them, a minute at a time, while the
// publisher follows it. The broker goes away for the second and third minutes (the
// lines go on into the file) and comes back; then the publisher is restarted and resumes
// from its state file. Every line arrives, in order, as valid JSON.
TEST(PublishBroker, EveryLineArrivesInOrderThroughAnOutageAndARestart)
{
    SKIP_WITHOUT_MOSQUITTO();
    Broker broker;
    Subscriber subscriber(broker.port(), "station/#");
    QTemporaryDir folder;
    const QString path = folder.filePath("log.txt");
    append(path, logHeader('\t'));
    const MqttSettings settings = settingsFor(broker);
    auto client = std::make_unique<MqttClient>(settings);
    JournalPublishing publishing;
    publishing.periodSeconds = 1;
    publishing.readingsPerPeriod = 2;
    publishing.pollMs = 50;
    publishing.saveMs = 50;
    publishing.window = 8;
    auto publisher = std::make_unique<JournalPublisher>(*client, settings.url, publishing);
    QStringList problems;
    QObject::connect(publisher.get(), &JournalPublisher::problem,
                     [&](const QString &text) { problems << text; });
    QString error;
    ASSERT_TRUE(client->start(error)) << error.toStdString();
    publisher->follow(path);
    const auto minute = [&](int m) {
        QByteArray lines;
        for (int s = m * 60; s < (m + 1) * 60; ++s)
            lines += logLine(s);
        append(path, lines);
    };
    minute(0);
    ASSERT_TRUE(waitFor([&] { return arrivedSeconds(subscriber).size() == 60; }));
    // Everything acknowledged, so that what follows can be told apart: a line the outage
    // caught in flight would be sent again, at least once being the promise.
    ASSERT_TRUE(waitFor([&] { return publisher->caughtUp(); }));

    broker.stop();
    minute(1);
    ASSERT_TRUE(waitFor([&] { return !client->isConnected(); }));
    minute(2);
    broker.start();
    ASSERT_TRUE(waitFor([&] { return arrivedSeconds(subscriber).size() == 180; }, 20000));
    minute(3);
    EXPECT_FALSE(publisher->caughtUp());
    ASSERT_TRUE(waitFor([&] { return publisher->caughtUp(); }));
    // Nothing left to wait for: neither end waits.
    QElapsedTimer ending;
    ending.start();
    EXPECT_TRUE(publisher->finish(10000));
    client->stop(10000);
    EXPECT_LT(ending.elapsed(), 1800);
    EXPECT_FALSE(client->isConnected());
    publisher.reset();
    client.reset();

    // A restart: only what came after the state file's position is sent.
    minute(4);
    client = std::make_unique<MqttClient>(settings);
    publisher = std::make_unique<JournalPublisher>(*client, settings.url, publishing);
    ASSERT_TRUE(client->start(error));
    publisher->follow(path);
    ASSERT_TRUE(
        waitFor([&] { return publisher->caughtUp() && publisher->acknowledgedLines() == 60; }));
    EXPECT_TRUE(waitFor([&] { return arrivedSeconds(subscriber).size() == 300; }));
    int repeats = 0;
    EXPECT_EQ(arrivedSeconds(subscriber, &repeats), range(0, 299));
    // At least once: the outage may repeat what it caught in flight (to the broker, or from
    // the broker to the subscriber), never the minute acknowledged before it; the restart
    // sent only the new minute (counted above).
    EXPECT_LT(repeats, 60);
    const QJsonObject first = json(subscriber.payloads("/reading").first());
    EXPECT_EQ(first.value("period_s"), 1);
    EXPECT_EQ(first.value("readings"), 2);
    EXPECT_EQ(first.value("serial"), "1234");
    EXPECT_EQ(first.value("total"), 100.5);
    EXPECT_EQ(problems, QStringList());
    publisher->finish(1000);
    QString stateError;
    EXPECT_EQ(ReadJournalPosition(JournalStatePath(path), stateError)->offset,
              QFileInfo(path).size());
}

// A state file left by another file of the same name starts from the beginning; one that
// cannot be read says so; a file that is no journal is refused with its reason.
TEST(PublishBroker, AStateFileOfAnotherFileIsNotApplied)
{
    SKIP_WITHOUT_MOSQUITTO();
    Broker broker;
    Subscriber subscriber(broker.port(), "station/#");
    QTemporaryDir folder;
    const QString path = folder.filePath("log.txt");
    append(path, logHeader('\t') + logLine(0) + logLine(1));
    QString error;
    // Inside the first record: the file was changed behind the state's back.
    WriteJournalPosition(JournalStatePath(path),
                         {logHeader('\t').size() + 3, "ZQ5 Logger Data file 01/06/2026 10:00:00"},
                         error);
    const QString dataset = folder.filePath("logger.csv");
    const QByteArray records = "ZQ5 Data file 01/12/2026 10:00:00\r\nZQ5 v1.03 Ser No: 1234\r\n"
                               "Reading Units: W.m-2\r\nTime,Total,Diffuse,Sun\r\n"
                               "01/12/2026 09:00:00,1.0,2.0,0.5\r\n"
                               "01/12/2026 09:10:00,1.5,2.5,0.0\r\n";
    append(dataset, records);
    // Left by an earlier file of the same name, after its first record: this one is all new.
    WriteJournalPosition(JournalStatePath(dataset),
                         {records.indexOf("01/12/2026 09:10"), "ZQ5 Data file 30/11/2026 10:00:00"},
                         error);
    const QString notJournal = folder.filePath("notes.txt");
    append(notJournal, "shopping list\r\n");
    append(JournalStatePath(notJournal), "{");
    MqttSettings settings = settingsFor(broker);
    settings.clientId.clear(); // libmosquitto makes one up
    MqttClient client(settings);
    JournalPublisher publisher(client, settings.url, {});
    QStringList problems;
    QObject::connect(&publisher, &JournalPublisher::problem,
                     [&](const QString &text) { problems << text; });
    ASSERT_TRUE(client.start(error));
    const QString missing = folder.filePath("missing.txt");
    publisher.follow(missing);
    publisher.follow(path);
    publisher.follow(dataset);
    publisher.follow(notJournal);
    ASSERT_TRUE(waitFor([&] { return subscriber.payloads("/record").size() == 2; }));
    EXPECT_EQ(arrivedSeconds(subscriber), range(0, 1));
    EXPECT_EQ(json(subscriber.payloads("/record")[1]).value("period_s"), 600);
    ASSERT_TRUE(waitFor([&] { return problems.size() == 4; }));
    EXPECT_EQ(problems.takeFirst(),
              "cannot read " + missing + " to publish it: No such file or directory");
    EXPECT_TRUE(problems[0].endsWith("log.txt.mqtt does not fit " + path +
                                     " (cut short or changed): publishing it from its start"))
        << problems[0].toStdString();
    EXPECT_TRUE(problems[1].contains("notes.txt.mqtt (it holds no position)"));
    EXPECT_TRUE(problems[2].endsWith("notes.txt is not published: not a PC log or dataset file: "
                                     "\"shopping list\" where its header was expected"));
    EXPECT_TRUE(publisher.finish(1000));
    QFile refusedState(JournalStatePath(notJournal));
    refusedState.open(QIODevice::ReadOnly);
    EXPECT_EQ(refusedState.readAll(), "{"); // a refused journal's state is left alone
    for (const QString &journal : {path, dataset})
        EXPECT_EQ(ReadJournalPosition(JournalStatePath(journal), error)->offset,
                  QFileInfo(journal).size());
}

// Who may publish: a password file and TLS with the test's own CA work; a wrong password
// or an unknown CA is refused with a clear reason, and the status is retained "online",
// then "offline" when the client goes.
TEST(PublishBroker, PasswordFileTlsAndRefusals)
{
    SKIP_WITHOUT_MOSQUITTO();
    Broker broker({"station", "s3cret", true});
    QTemporaryDir folder;
    const auto write = [&](const char *name, const QByteArray &text) {
        append(folder.filePath(name), text);
        return folder.filePath(name);
    };
    const QString good = write("good", "s3cret\n");
    const QString bad = write("bad", "guess\n");
    const struct
    {
        const char *scheme;
        QString password;
        QString ca;
        QString refusal; // empty: connects
    } cases[] = {
        {"mqtts", good, broker.ca(), ""},
        {"mqtts", bad, broker.ca(),
         "the broker refused the connection: Connection Refused: not authorised."},
        {"mqtts", good, write("other-ca", ""), "the TLS handshake with the broker failed"},
        {"mqtts", good, "", "the TLS handshake with the broker failed"},
    };
    for (const auto &c : cases) {
        MqttSettings settings = settingsFor(broker, c.scheme);
        settings.user = QStringLiteral("station");
        settings.passwordFile = c.password;
        settings.caFile = c.ca;
        MqttClient client(settings);
        QString refusal;
        QObject::connect(&client, &MqttClient::refused, [&](const QString &why) { refusal = why; });
        QString lost;
        QObject::connect(&client, &MqttClient::connectionLost,
                         [&](const QString &why) { lost = why; });
        QString error;
        ASSERT_TRUE(client.start(error)) << error.toStdString();
        EXPECT_TRUE(waitFor([&] { return client.isConnected() || !refusal.isEmpty(); }, 5000))
            << c.ca.toStdString() << " " << lost.toStdString();
        EXPECT_TRUE(c.refusal.isEmpty() ? refusal.isEmpty() : refusal.startsWith(c.refusal))
            << refusal.toStdString();
        client.stop(1000);
    }
    MqttSettings settings = settingsFor(broker, "mqtts");
    settings.passwordFile = folder.filePath("missing");
    QString error;
    EXPECT_FALSE(MqttClient(settings).start(error));
    EXPECT_TRUE(error.startsWith("cannot read the password file ")) << error.toStdString();
    settings.passwordFile = write("empty", "\n");
    EXPECT_FALSE(MqttClient(settings).start(error));
    EXPECT_TRUE(error.endsWith("is empty")) << error.toStdString();
}

// quorvel-cli as a station runs it: `log --mqtt` publishes the status, the discovery and
// the readings; killed with SIGKILL, its status turns "offline" through the last will.
// A wrong password ends it at once with exit code 1 and the broker's reason.
TEST(PublishBroker, QuorvelCliLogsPublishesAndIsSeenGoing)
{
    SKIP_WITHOUT_MOSQUITTO();
    Broker broker({"station", "s3cret", false});
    QTemporaryDir folder;
    append(folder.filePath("password"), "s3cret\n");
    append(folder.filePath("wrong"), "guess\n");
    const QString program = QCoreApplication::applicationDirPath() + "/../quorvel-cli";
    const QStringList args{"log",     "--demo",           "--log-period",
                           "1s",      "--output",         folder.filePath("log.csv"),
                           "--mqtt",  broker.url(),       "--mqtt-user",
                           "station", "--mqtt-discovery", "--mqtt-password-file"};

    QProcess refused;
    refused.start(program, args + QStringList{folder.filePath("wrong")});
    ASSERT_TRUE(refused.waitForFinished(20000));
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_EQ(refused.readAllStandardError().trimmed().toStdString(),
              "quorvel-cli: the broker refused the connection: Connection Refused: not "
              "authorised.");

    Subscriber subscriber(broker.port(), "#", "station", "s3cret");
    QProcess station;
    station.start(program, args + QStringList{folder.filePath("password")});
    ASSERT_TRUE(station.waitForStarted());
    const auto statuses = [&] {
        QList<QByteArray> list = subscriber.payloads("/status");
        return list.isEmpty() ? QByteArray() : list.last();
    };
    ASSERT_TRUE(waitFor([&] { return subscriber.payloads("/reading").size() >= 2; }, 20000))
        << station.readAllStandardError().toStdString();
    EXPECT_EQ(statuses(), "online");
    // What a subscriber that comes later still finds: the status and the discovery.
    const auto retained = [&](const char *topic, const char *id, int count = 1) {
        Subscriber late(broker.port(), topic, "station", "s3cret", id);
        waitFor([&] { return int(late.messages().size()) >= count; }, 2000);
        QByteArray payloads;
        for (const auto &message : late.messages())
            payloads += message.retained ? message.payload.left(7) : QByteArray("live");
        return payloads;
    };
    EXPECT_EQ(retained("station/+/status", "late-1"), "online");
    EXPECT_EQ(retained("homeassistant/#", "late-2", 4), QByteArray("{\"avail").repeated(4));
    EXPECT_EQ(subscriber.payloads("/config").size(), 4);
    const QJsonObject reading = json(subscriber.payloads("/reading").first());
    EXPECT_TRUE(reading.value("total").isDouble() && reading.value("temperature").isDouble());
    EXPECT_EQ(reading.value("period_s"), 1);
    EXPECT_EQ(reading.value("readings"), 1);
    station.kill();
    station.waitForFinished();
    EXPECT_TRUE(waitFor([&] { return statuses() == "offline"; }, 5000));
    EXPECT_EQ(retained("station/+/status", "late-3"), "offline");
}
