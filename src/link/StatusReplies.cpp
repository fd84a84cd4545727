#include "link/StatusReplies.h"

#include "common/NumericText.h"

namespace {

constexpr int StatusLineCount = 5;

QString fromBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray withoutEcho(const QByteArray &reply, char command)
{
    return reply.startsWith(command) ? reply.mid(1) : reply;
}

// The first CR-terminated line of `rest`, which loses that line and its CR.
QByteArray takeLine(QByteArray &rest)
{
    const auto cr = rest.indexOf('\r');
    if (cr < 0) {
        QByteArray line = rest;
        rest.clear();
        return line;
    }
    QByteArray line = rest.left(cr);
    rest.remove(0, cr + 1);
    return line;
}

} // namespace

QString StatusInfoText(const QByteArray &reply)
{
    return fromBytes(withoutEcho(reply, 'I'));
}

ParsedReply<StatusLines> ParseStatusReply(const QByteArray &reply)
{
    const auto crCount = reply.count('\r');
    if (crCount < StatusLineCount)
        return ParsedReply<StatusLines>::refused(QStringLiteral("%1 of the 5 lines").arg(crCount));

    QByteArray rest = withoutEcho(reply, 'I');
    StatusLines lines;
    lines.version = fromBytes(takeLine(rest));
    lines.units = fromBytes(takeLine(rest));
    const QByteArray power = takeLine(rest);
    const auto mv = power.indexOf("mV");
    lines.power = fromBytes(mv >= 1 ? power.left(mv + 2) : power);
    lines.serialNumber = fromBytes(takeLine(rest));
    lines.logStatus = fromBytes(takeLine(rest));
    return ParsedReply<StatusLines>::read(lines);
}

ParsedReply<PlainReadings> ParseReadingsReply(const QByteArray &reply)
{
    if (!reply.endsWith('\r'))
        return ParsedReply<PlainReadings>::refused(QStringLiteral("no CR at the end"));

    QString line = fromBytes(withoutEcho(reply, 'S').chopped(1));
    PlainReadings readings;
    readings.total = static_cast<float>(NumericValue(line));
    const auto comma = line.indexOf(QLatin1Char(','));
    if (comma >= 0)
        line.remove(0, comma + 1);
    readings.diffuse = static_cast<float>(NumericValue(line));
    readings.sun = line.endsWith(QLatin1Char('1'));
    return ParsedReply<PlainReadings>::read(readings);
}
