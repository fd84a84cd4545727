// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoSimulator.h"

#include "SkyModel.h"
#include "platform/PortTable.h"

#include <QDateTime>
#include <QMetaObject>

namespace {

constexpr double LateMorningHour = 11.0;
// A logger with some days of data that is still logging, so the logger window and the
// download have something to show.
constexpr int DemoRecords = 3000;

} // namespace

DemoSimulator::DemoSimulator(const PtyServerOptions &options)
{
    m_thread.setObjectName(QStringLiteral("demo simulator"));
    m_thread.start();
    m_server = new PtyServer(options);
    m_server->moveToThread(&m_thread);
    // The server's notifiers and timer belong to its own thread: start it there.
    QMetaObject::invokeMethod(
        m_server,
        [this] {
            m_path = m_server->start();
            m_error = m_server->errorString();
        },
        Qt::BlockingQueuedConnection);
}

DemoSimulator::~DemoSimulator()
{
    QMetaObject::invokeMethod(
        m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

PtyServerOptions DemoSimulator::demoOptions(SimModel model)
{
    PtyServerOptions options(model);
    options.instrument.skyOffsetSeconds =
        SkyModel::offsetForHour(QDateTime::currentDateTime(), LateMorningHour);
    options.instrument.logger.prefill.records = DemoRecords;
    options.instrument.logger.prefill.logging = true;
    return options;
}

std::unique_ptr<DemoSimulator> DemoSimulator::startInTable(SimModel model, PortTable &table,
                                                           int &portNumber, QString &error)
{
    auto simulator = std::make_unique<DemoSimulator>(demoOptions(model));
    if (simulator->devicePath().isEmpty()) {
        error = QStringLiteral("cannot start the built-in simulator: ") + simulator->errorString();
        return nullptr;
    }
    portNumber = table.addDevice(simulator->devicePath(),
                                 QStringLiteral("built-in simulator ") + modelName(model));
    return simulator;
}
