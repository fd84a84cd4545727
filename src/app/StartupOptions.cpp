// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartupOptions.h"

#include "common/NumericText.h"
#include "platform/ProgramArguments.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

// "/dev/pts/0", "~/data/Log": a path holds "/E", "/L" or "/P" by chance. A word that
// starts like a path and has a part that is not an option ("/E/L" is two options).
bool isPath(const QString &word)
{
    if (!word.startsWith(QLatin1Char('/')) && !word.startsWith(QLatin1Char('.')) &&
        !word.startsWith(QLatin1Char('~')))
        return false;
    const QStringList parts = word.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.size() > 1 && std::any_of(parts.begin(), parts.end(), [](const QString &part) {
               return !QStringLiteral("ELP").contains(part.at(0).toUpper());
           });
}

} // namespace

QString StartupOptions::overflowDescription() const
{
    return QStringLiteral("Overflow: %1 is beyond the port numbers (at most %2)")
        .arg(maxPortOption)
        .arg(std::numeric_limits<qint16>::max());
}

StartupOptions StartupOptions::parse(const QString &commandLine)
{
    QStringList words = commandLine.split(QLatin1Char(' '));
    words.removeIf(isPath);
    const QString upper = words.join(QLatin1Char(' ')).toUpper();
    StartupOptions options;
    options.testMenu = upper.contains(QLatin1String("/E"));
    options.logger = upper.contains(QLatin1String("/L"));

    const auto portOption = upper.indexOf(QLatin1String("/P"));
    if (portOption >= 0) {
        bool tooLarge = false;
        const double value = NumericValue(upper.mid(portOption + 2), &tooLarge);
        const auto rounded = ToInt16(value);
        if (tooLarge || !rounded) {
            options.maxPortOverflow = true;
            // "/P99999", as far as the next option, for the message.
            options.maxPortOption =
                QStringLiteral("/P") +
                ArgumentForMessage(
                    upper.mid(portOption + 2).section(QLatin1Char('/'), 0, 0).trimmed());
        } else
            options.maxPort = *rounded;
    }
    return options;
}
