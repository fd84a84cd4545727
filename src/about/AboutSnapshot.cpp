#include "about/AboutSnapshot.h"

#include "common/NamedFormats.h"
#include "link/InstrumentModel.h"
#include "link/SensorLink.h"
#include "version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace {

constexpr int DetailsTimeoutMs = 500;
constexpr int RatioTimeoutMs = 2000;
const QLatin1String CrLf("\r\n");

bool isOlderModel(const SensorLink &link)
{
    return !HasDetailsCommands(link.Version());
}

// Field k of the reply to "X": the line that starts with the digit k and ":", without
// the digit, the colon and the blank after them. The last line of a reply has no CR of
// its own (the link takes the line end before the test prompt away), so a field also
// ends at the end of the reply. Empty when the reply has no such line.
QString detailField(const QString &reply, int k)
{
    const auto start = reply.indexOf(QString::number(k) + QLatin1Char(':'));
    if (start < 0)
        return QString();
    auto end = reply.indexOf(QLatin1Char('\r'), start);
    if (end < 0)
        end = reply.size();
    const auto first = start + 3;
    return end > first ? reply.mid(first, end - first) : QString();
}

} // namespace

ProgramFacts ProgramFacts::current()
{
    ProgramFacts facts;
    facts.title = QStringLiteral(QUORVEL_TITLE);
    facts.major = QUORVEL_VERSION_MAJOR;
    facts.minor = QUORVEL_VERSION_MINOR;
    facts.revision = QUORVEL_VERSION_PATCH;
    facts.filePath = QCoreApplication::applicationFilePath();
    return facts;
}

QString VersionLine(const ProgramFacts &facts)
{
    QString line =
        QStringLiteral("Version %1.%2.%3  ").arg(facts.major).arg(facts.minor).arg(facts.revision);
    if (facts.filePath.isEmpty())
        return line;
    const QFileInfo file(facts.filePath);
    const QDateTime modified = file.exists() ? file.lastModified() : QDateTime();
    if (modified.isValid())
        line += LongDateText(modified.date());
    return line;
}

QString ReadSensorDetails(SensorLink &link)
{
    if (isOlderModel(link))
        return QString();
    const QString reply = link.TestCommand(QStringLiteral("X\r"), DetailsTimeoutMs);
    if (reply.size() < 5)
        return QString();
    return CrLf + QStringLiteral("Serial No: ") + detailField(reply, 0) + CrLf +
           QStringLiteral("Calibrated: ") + detailField(reply, 1);
}

QString ReadSunshineRatio(SensorLink &link)
{
    if (isOlderModel(link))
        return QString();
    const QString reply = link.TestCommand(QStringLiteral("T\r\n"), RatioTimeoutMs);
    const auto found = reply.indexOf(QLatin1String("ratio"));
    if (found < 0)
        return QString();
    return CrLf + QStringLiteral("Sunshine ratio: ") + reply.mid(found + 5, 5);
}

QString SensorSnapshot(SensorLink &link, const QDateTime &now)
{
    // The status is the one the box found; the commands below may leave another.
    const QString status = link.Status();
    // The details and the ratio each begin with their own line break, so they join the
    // version line directly.
    const QString details = ReadSensorDetails(link);
    const QString ratio = ReadSunshineRatio(link);
    const QStringList lines{
        LongDateText(now.date()) + QStringLiteral("  ") + ShortTimeText(now.time()),
        status,
        QString(),
        QStringLiteral("Version: ") + link.Version() + details + ratio,
        link.units(),
        QStringLiteral("Battery: ") + link.Power(),
    };
    return lines.join(CrLf);
}
