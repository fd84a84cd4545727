// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkTrace.h"

#include <QFile>
#include <QTextStream>

#include <memory>

Q_LOGGING_CATEGORY(lcLink, "quorvel.link", QtWarningMsg)

namespace {
// The category's name, compared as text: the filter runs while categories are being
// registered, where creating lcLink itself is not allowed.
constexpr char LinkCategoryName[] = "quorvel.link";
} // namespace

namespace {

constexpr char FirstPrintable = 0x20;
constexpr char LastPrintable = 0x7E;

std::unique_ptr<QFile> traceFile;
QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;

// Turns the link's category on for the trace; the rules before decide the others.
void traceFilter(QLoggingCategory *category)
{
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), LinkCategoryName) == 0) {
        category->setEnabled(QtDebugMsg, true);
        category->setEnabled(QtInfoMsg, true);
    }
}

void traceHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (traceFile && context.category && qstrcmp(context.category, LinkCategoryName) == 0) {
        traceFile->write(message.toUtf8() + '\n');
        traceFile->flush();
        return;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

QString LinkCounters::text() const
{
    return QStringLiteral("Exchanges %1, time-outs %2, CRC failures %3, retries %4, "
                          "port losses %5, reconnects %6, unasked bytes dropped %7")
        .arg(exchanges)
        .arg(timeouts)
        .arg(crcFailures)
        .arg(retries)
        .arg(portLosses)
        .arg(reconnects)
        .arg(unaskedBytes);
}

QString TraceBytes(const QByteArray &bytes)
{
    QByteArray printable = bytes;
    for (char &byte : printable) {
        if (byte < FirstPrintable || byte > LastPrintable)
            byte = '.';
    }
    return QString::fromLatin1(printable) + QStringLiteral(" | ") +
           QString::fromLatin1(bytes.toHex(' ').toUpper());
}

bool StartLinkTrace(const QString &path, QString &error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = file->errorString();
        return false;
    }
    StopLinkTrace();
    traceFile = std::move(file);
    previousHandler = qInstallMessageHandler(traceHandler);
    previousFilter = QLoggingCategory::installFilter(traceFilter);
    return true;
}

void StopLinkTrace()
{
    if (!traceFile)
        return;
    QLoggingCategory::installFilter(previousFilter);
    previousFilter = nullptr;
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
    traceFile.reset();
}
