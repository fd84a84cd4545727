// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatorProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr int WaitMs = 5000;

} // namespace

QString SimulatorProcess::find(const QString &given)
{
    const QString beside = QDir(QCoreApplication::applicationDirPath())
                               .absoluteFilePath(QStringLiteral("../quorvel-sim"));
    for (const QString &candidate : {given, beside, qEnvironmentVariable("QUORVEL_SIM")}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
        if (!given.isEmpty())
            return QString(); // a program named by the caller and not there
    }
    return QString();
}

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

QString SimulatorProcess::start(const QString &program, const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(WaitMs))
        return QString();
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(WaitMs))
            return QString();
    }
    return QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

bool SimulatorProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.closeWriteChannel();
    if (m_process.waitForFinished(WaitMs))
        return true;
    m_process.kill();
    m_process.waitForFinished(WaitMs);
    return false;
}
