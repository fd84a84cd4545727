// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// quorvel-sim run as a program of its own on a pseudo-terminal, for the tests and
// benchmarks that drive the real serial port against it. The simulator prints its
// device path on its first line and stops when its standard input closes.
class SimulatorProcess
{
public:
    // The simulator's program: `given` when not empty, else quorvel-sim in the folder
    // above the running program (benchmarks and tests sit one folder below it), else
    // the QUORVEL_SIM environment variable; empty when none of them is a program.
    static QString find(const QString &given = QString());

    SimulatorProcess() = default;
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;
    ~SimulatorProcess();

    // Starts the simulator and returns its device path, empty when it did not come up.
    QString start(const QString &program, const QStringList &arguments);
    // Ends the simulator by closing its input; true when it ended by itself.
    bool stop();

private:
    QProcess m_process;
};
