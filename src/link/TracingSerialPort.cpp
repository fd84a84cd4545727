// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TracingSerialPort.h"

#include "link/LinkTrace.h"

namespace {

// The messages are only built while the trace is on: off, the port costs next to nothing.
bool tracing()
{
    return lcLink().isInfoEnabled();
}

void trace(const QString &message)
{
    qCInfo(lcLink, "%s", qUtf8Printable(message));
}

} // namespace

TracingSerialPort::TracingSerialPort(SerialPort &inner) : m_inner(inner)
{
    m_inner.setLostHandler([this] {
        if (tracing())
            trace(prefix() + QStringLiteral("lost: ") + m_inner.errorDescription());
        notifyLost();
    });
    m_inner.setReadyReadHandler([this] { notifyReadyRead(); });
}

QString TracingSerialPort::prefix() const
{
    return QStringLiteral("COM %1 ").arg(m_inner.portNumber());
}

QString TracingSerialPort::failure() const
{
    return QStringLiteral("failed: %1 %2")
        .arg(m_inner.errorNumber())
        .arg(m_inner.errorDescription());
}

bool TracingSerialPort::open()
{
    const bool opened = m_inner.open();
    if (tracing())
        trace(prefix() + QStringLiteral("open ") + (opened ? QStringLiteral("ok") : failure()));
    return opened;
}

void TracingSerialPort::close()
{
    const bool wasOpen = m_inner.isOpen();
    m_inner.close();
    if (wasOpen && tracing())
        trace(prefix() + QStringLiteral("close"));
}

QByteArray TracingSerialPort::read(int maxBytes)
{
    const QByteArray bytes = m_inner.read(maxBytes);
    if (!tracing())
        return bytes;
    if (!bytes.isEmpty())
        trace(prefix() + QStringLiteral("<< ") + TraceBytes(bytes));
    else if (m_inner.errorNumber() != NoError)
        trace(prefix() + QStringLiteral("read ") + failure());
    return bytes;
}

bool TracingSerialPort::write(const QByteArray &bytes)
{
    const bool written = m_inner.write(bytes);
    if (tracing())
        trace(prefix() + QStringLiteral(">> ") + TraceBytes(bytes) +
              (written ? QString() : QStringLiteral(" ") + failure()));
    return written;
}
