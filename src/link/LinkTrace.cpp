// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkTrace.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimeZone>

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

// Stands between two runs appended to one file.
const QByteArray RunRule = QByteArray(72, '-');

std::unique_ptr<QFile> traceFile;
const Clock *traceClock = nullptr;
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
        const QByteArray stamp = (traceClock ? traceClock->now().time() : QTime::currentTime())
                                     .toString(QStringLiteral("HH:mm:ss.zzz "))
                                     .toLatin1();
        // A message of several lines gets the stamp on each, so every line can be read
        // on its own.
        for (const QString &line : message.split(QLatin1Char('\n')))
            traceFile->write(stamp + line.toUtf8() + '\n');
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

bool StartLinkTrace(const QString &path, QString &error, const Clock *clock)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = file->errorString();
        return false;
    }
    StopLinkTrace();
    if (file->size() > 0)
        file->write('\n' + RunRule + '\n');
    traceFile = std::move(file);
    traceClock = clock;
    previousHandler = qInstallMessageHandler(traceHandler);
    previousFilter = QLoggingCategory::installFilter(traceFilter);
    for (const QString &line : TraceHeader(TraceRun::current(clock)))
        qCInfo(lcLink, "%s", qUtf8Printable(line));
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
    traceClock = nullptr;
}

TraceRun TraceRun::current(const Clock *clock)
{
    TraceRun run;
    run.program = QCoreApplication::applicationName();
    if (!QCoreApplication::applicationVersion().isEmpty())
        run.program += QLatin1Char(' ') + QCoreApplication::applicationVersion();
    if (QCoreApplication::instance())
        run.arguments = QCoreApplication::arguments();
    run.started = clock ? clock->now() : QDateTime::currentDateTime();
    return run;
}

QStringList TraceHeader(const TraceRun &run)
{
    QStringList words;
    for (const QString &argument : run.arguments) {
        const bool quoted = argument.isEmpty() || argument.contains(QLatin1Char(' '));
        words.append(quoted ? QLatin1Char('"') + argument + QLatin1Char('"') : argument);
    }
    const int offset = run.started.offsetFromUtc();
    const QString zone = QStringLiteral("%1 (UTC%2%3:%4)")
                             .arg(QString::fromLatin1(QTimeZone::systemTimeZoneId()),
                                  offset < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                             .arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
                             .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
    return {
        QStringLiteral("trace of ") + run.program,
        QStringLiteral("command line: ") + words.join(QLatin1Char(' ')),
        QStringLiteral("started: ") + run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
            QStringLiteral(", time zone ") + zone,
    };
}

void TracePorts(const QStringList &ports)
{
    if (ports.isEmpty())
        TraceNote(QStringLiteral("ports"), QStringLiteral("none"));
    for (const QString &port : ports)
        TraceNote(QStringLiteral("port"), port);
}

void TraceNote(const QString &kind, const QString &text)
{
    if (!lcLink().isInfoEnabled())
        return;
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1String("\\r"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    qCInfo(lcLink, "%s: %s", qUtf8Printable(kind), qUtf8Printable(line));
}
