#include "app/StartupOptions.h"

#include "common/NumericText.h"

StartupOptions StartupOptions::parse(const QString &commandLine)
{
    const QString upper = commandLine.toUpper();
    StartupOptions options;
    options.testMenu = upper.contains(QLatin1String("/E"));
    options.logger = upper.contains(QLatin1String("/L"));

    const auto portOption = upper.indexOf(QLatin1String("/P"));
    if (portOption >= 0) {
        bool tooLarge = false;
        const double value = NumericValue(upper.mid(portOption + 2), &tooLarge);
        const auto rounded = ToInt16(value);
        if (tooLarge || !rounded)
            options.maxPortOverflow = true;
        else
            options.maxPort = *rounded;
    }
    return options;
}
