// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

struct CliOptions;

// status --check: the station's health from the facts of `status` and `logger info`
// (JsonContract keys). Each problem is one object: its name, the value found (null when
// it could not be read), the limit and one line for people. A fact that could not be
// read is a problem too: a check that cannot see the battery does not call it good.
class HealthCheck
{
public:
    explicit HealthCheck(const CliOptions &options);

    QJsonArray problems(const QJsonObject &facts) const;

    // The problems' lines, one each.
    static QStringList lines(const QJsonArray &problems);

private:
    int m_batteryMinMv;
    double m_maxDriftSeconds;
    double m_maxMemoryPercent;
    bool m_expectLogging;
};
