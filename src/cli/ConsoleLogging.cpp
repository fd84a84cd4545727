// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ConsoleLogging.h"

#include "cli/CliOptions.h"
#include "common/NamedFormats.h"

#include <cstdlib>

ConsoleLoggingView::ConsoleLoggingView(const CliOptions &options, QTextStream &out,
                                       QTextStream &err)
    : m_individual(options.individual), m_logToFile(!options.output.isEmpty()),
      m_logPeriod(options.logPeriod), m_avgPeriod(options.avgPeriod), m_isoTimes(options.isoTimes),
      m_verbosity(options.verbosity), m_out(out), m_err(err)
{}

void ConsoleLoggingView::clearLogToFile()
{
    // The file could not be opened: the window logs on without it, a station must not.
    m_logToFile = false;
    m_fileFailed = true;
}

void ConsoleLoggingView::showLinkStatus(const QString &text)
{
    if (m_verbosity > 1 && text != m_lastStatus)
        m_err << text << Qt::endl;
    m_lastStatus = text;
}

void ConsoleLoggingView::showMessage(const QString &text)
{
    if (text.trimmed().isEmpty())
        return;
    m_lastMessage = text;
    if (m_verbosity > 1)
        m_err << text << Qt::endl;
}

void ConsoleLoggingView::appendOutput(const QString &text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_out << lines << Qt::flush;
}

void ConsoleLoggingView::showHeading(const QString &text)
{
    if (m_verbosity > 0)
        m_out << text << Qt::endl;
}

void ConsoleLoggingView::showRunTimeError(const QString &description)
{
    m_err << "quorvel-cli: Error: " << description << Qt::endl;
}

void ConsoleLoggingView::showWriteFailure(const QString &description)
{
    showRunTimeError(description);
    m_fileFailed = true;
}

void ConsoleLoggingView::showClockStep(qint64 stepSeconds, const QTime &at)
{
    if (m_verbosity > 0)
        m_err << "quorvel-cli: the clock was set " << (stepSeconds < 0 ? "back " : "forward ")
              << std::abs(stepSeconds) << " s; the period so far was written, realigned to clock "
              << LongTimeText(at) << Qt::endl;
}

void ConsoleLoggingView::startTimer(int intervalMs)
{
    m_timer.start(intervalMs);
}
