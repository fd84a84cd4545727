// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/AboutSnapshot.h"

#include "common/NamedFormats.h"
#include "link/InstrumentModel.h"
#include "link/SensorLink.h"
#include "link/TestModeReplies.h"
#include "source_date.h"
#include "version.h"

#include <QDateTime>
#include <QStringList>

namespace {

constexpr int DetailsTimeoutMs = 500;
constexpr int RatioTimeoutMs = 2000;
const QLatin1String CrLf("\r\n");

bool isOlderModel(const SensorLink &link)
{
    return !HasDetailsCommands(link.Version());
}

} // namespace

ProgramFacts ProgramFacts::current()
{
    ProgramFacts facts;
    facts.title = QStringLiteral(QUORVEL_TITLE);
    facts.major = QUORVEL_VERSION_MAJOR;
    facts.minor = QUORVEL_VERSION_MINOR;
    facts.revision = QUORVEL_VERSION_PATCH;
    if (QUORVEL_SOURCE_EPOCH >= 0)
        facts.sourceDate = QDateTime::fromSecsSinceEpoch(QUORVEL_SOURCE_EPOCH, Qt::UTC).date();
    return facts;
}

QString VersionLine(const ProgramFacts &facts)
{
    QString line =
        QStringLiteral("Version %1.%2.%3  ").arg(facts.major).arg(facts.minor).arg(facts.revision);
    if (facts.sourceDate.isValid())
        line += LongDateText(facts.sourceDate);
    return line;
}

QString SensorDetailsLines(const QString &reply)
{
    const ParsedReply<SensorDetails> details = ParseDetailsReply(reply);
    if (!details.ok())
        return QString();
    return CrLf + QStringLiteral("Serial No: ") + details.value->serialNumber + CrLf +
           QStringLiteral("Calibrated: ") + details.value->calibrationDate;
}

QString SunshineRatioLine(const QString &reply)
{
    const ParsedReply<QString> ratio = ParseRatioReply(reply);
    if (!ratio.ok())
        return QString();
    return CrLf + QStringLiteral("Sunshine ratio: ") + *ratio.value;
}

InstrumentReadout InstrumentReadout::found(const SensorLink &link)
{
    InstrumentReadout readout;
    readout.version = link.Version();
    readout.serialNumber = link.SerialNumber();
    readout.statusFound = link.Status();
    readout.statusLeft = link.Status();
    return readout;
}

void InstrumentReadout::request(SensorLink &link,
                                std::function<void(const InstrumentReadout &)> done)
{
    InstrumentReadout readout = found(link);
    if (isOlderModel(link)) {
        done(readout);
        return;
    }
    link.requestTestCommand(
        QStringLiteral("X\r"), DetailsTimeoutMs,
        [&link, readout, done = std::move(done)](const QString &details) mutable {
            readout.details = SensorDetailsLines(details);
            link.requestTestCommand(QStringLiteral("T\r\n"), RatioTimeoutMs,
                                    [&link, readout, done](const QString &ratio) mutable {
                                        readout.ratio = SunshineRatioLine(ratio);
                                        readout.statusLeft = link.Status();
                                        done(readout);
                                    });
        });
}

QString SnapshotText(const SensorLink &link, const InstrumentReadout &readout, const QDateTime &now)
{
    // What the box's own commands left is no news: the status it found stands until the
    // link has another.
    const QString status =
        link.Status() == readout.statusLeft ? readout.statusFound : link.Status();
    // The details and the ratio belong to the instrument they were read from; each begins
    // with its own line break, so they join the version line directly.
    const bool sameInstrument =
        link.Version() == readout.version && link.SerialNumber() == readout.serialNumber;
    const QStringList lines{
        LongDateText(now.date()) + QStringLiteral("  ") + ShortTimeText(now.time()),
        status,
        QString(),
        QStringLiteral("Version: ") + link.Version() +
            (sameInstrument ? readout.details + readout.ratio : QString()),
        link.units(),
        QStringLiteral("Battery: ") + link.Power(),
        QString(),
        // What the line has been like in this run, for field support.
        link.Counters().text(),
    };
    return lines.join(CrLf);
}
