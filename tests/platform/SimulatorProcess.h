#pragma once

// quorvel-sim run as a separate program on a pseudo-terminal, for tests that drive the
// real serial port against it. The simulator prints its device path on the first line
// and stops when its standard input closes.

#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

class SimulatorProcess
{
public:
    // The simulator's program, from QUORVEL_SIM; empty when it is not there.
    static QString program()
    {
        const QString path = qEnvironmentVariable("QUORVEL_SIM");
        return QFileInfo(path).isExecutable() ? path : QString();
    }

    ~SimulatorProcess() { stop(); }

    // Starts the simulator and returns its device path, empty when it did not come up.
    QString start(const QStringList &arguments)
    {
        m_process.setProgram(program());
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return QString();
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(5000))
                return QString();
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    // Ends the simulator by closing its input, as a harness does; true when it ended.
    bool stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return true;
        m_process.closeWriteChannel();
        if (m_process.waitForFinished(5000))
            return true;
        m_process.kill();
        m_process.waitForFinished(5000);
        return false;
    }

private:
    QProcess m_process;
};
