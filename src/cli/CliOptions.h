// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/MqttOptions.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// What the command line of quorvel-cli asks for, checked before any port is touched.
struct CliOptions
{
    // "ports", "status", "read", "units", "log", "logger"; empty with --help or --version
    // alone.
    QString command;
    // logger: "info", "set-clock", "start", "stop" or "download".
    QString subcommand;

    // Where the instrument is: a device path, a number of the port table, or the
    // built-in simulator (with its model, empty for the default).
    QString device;
    int port = 0;
    bool demo = false;
    QString demoModel;
    QString traceFile;
    bool json = false;
    // 0 with -q, 1 normally, 2 with -v.
    int verbosity = 1;
    bool help = false;
    bool version = false;

    // ports --probe
    bool probe = false;
    // read --watch [SECONDS]
    bool watch = false;
    int watchSeconds = 2;
    // units: the main window's option index (0 molar, 1 energy, 2 illuminance).
    int unitsIndex = -1;

    // log: the logging window's choices.
    QString logPeriod = QStringLiteral("10s");
    QString avgPeriod;
    bool individual = false;
    QString output;
    // Seconds to log for, 0 until stopped.
    qint64 durationSeconds = 0;
    // Continue an existing file of the same layout instead of replacing it.
    bool append = false;
    // Wait for the port to appear (and, while logging, to come back after an unplug), at
    // most waitForDeviceSeconds (0: as long as it takes).
    bool waitForDevice = false;
    qint64 waitForDeviceSeconds = 0;
    // How long to wait for a port another program holds before giving up (0: not at all).
    qint64 waitBusySeconds = 0;
    // log, logger download: times written as ISO 8601 with the UTC offset.
    bool isoTimes = false;

    // status --check and its limits.
    bool check = false;
    int batteryMinMv = 1600;
    qint64 maxDriftSeconds = 10;
    double maxMemoryPercent = 90;
    bool expectLogging = false;

    // logger set-clock --time, logger start --at (invalid: the window's default).
    QDateTime time;
    QDateTime at;
    // logger start: the logger window's period lists (empty: the logger's own program).
    QString readingPeriod;
    bool overwrite = false;
    // logger download --from: "new", "start" or "all".
    QString from = QStringLiteral("new");
    // logger start / set-clock: go on although the logger window would ask first.
    bool force = false;
    // logger set-clock --if-drift: set only when the clock is off by more (seconds; -1:
    // always).
    qint64 ifDriftSeconds = -1;
    // logger download --retry: how many times opening the device, the details read or an
    // abandoned transfer starts again.
    int retries = 0;
    // The pause before each retry, in seconds.
    double retryWaitSeconds = 10;

    // log and logger download: publishing to an MQTT broker.
    MqttOptions mqtt;
};

struct CliParseResult
{
    CliOptions options;
    // One line naming what was wrong; empty when the command line is good.
    QString error;
};

// Reads the arguments (without the program name).
CliParseResult ParseCliArguments(const QStringList &args);

// A duration as "90", "90s", "10m", "2h" or "1d", in seconds; -1 when it is none.
qint64 DurationSeconds(const QString &text);

// The entry of `entries` ("1s", "10m", "60m", "1h"...) that lasts as long as `text` in any
// spelling ("3600", "3600s", "60m" or "1h"); empty when none does.
QString CanonicalPeriod(const QString &text, const QStringList &entries);

// The --output path for `date`: %Y, %m and %d replaced by its year, month and day
// (%% by %), so that a pattern names one file a day.
QString DatedPath(const QString &pattern, const QDate &date);
