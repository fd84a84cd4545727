// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PtyServer.h"

#include <QString>
#include <QThread>

#include <memory>

class PortTable;

// The built-in simulator of --demo: a simulated instrument on a pseudo-terminal,
// answering from a thread of its own so that the window's blocking exchanges with it
// cannot stall it. Started at construction, stopped cleanly at destruction.
class DemoSimulator
{
public:
    explicit DemoSimulator(const PtyServerOptions &options);
    ~DemoSimulator();
    DemoSimulator(const DemoSimulator &) = delete;
    DemoSimulator &operator=(const DemoSimulator &) = delete;

    // The device to open, empty when the simulator could not start.
    QString devicePath() const { return m_path; }
    QString errorString() const { return m_error; }

    // The options of a demo instrument of `model`, with the sky at late morning now, so
    // that the readings are lively at any hour.
    static PtyServerOptions demoOptions(SimModel model);

    // Starts the demo instrument of `model` and lists its device in `table` as "built-in
    // simulator ZQ5", setting `portNumber` to its place there; nothing, with the reason in
    // `error`, when it could not start.
    static std::unique_ptr<DemoSimulator> startInTable(SimModel model, PortTable &table,
                                                       int &portNumber, QString &error);

private:
    QThread m_thread;
    PtyServer *m_server = nullptr;
    QString m_path;
    QString m_error;
};
