#include "app/DemoSimulator.h"

#include "SkyModel.h"

#include <QDateTime>
#include <QMetaObject>

namespace {

constexpr double LateMorningHour = 11.0;

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
    return options;
}
