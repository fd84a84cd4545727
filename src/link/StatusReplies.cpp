// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/StatusReplies.h"

#include "common/NumericText.h"
#include "link/InstrumentText.h"

#include <QList>

#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr int StatusLineCount = 5;
constexpr int ReadingFieldCount = 3;

QString fromBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray withoutEcho(const QByteArray &reply, char command)
{
    return reply.startsWith(command) ? reply.mid(1) : reply;
}

// Where the echoed "I" of a status reply stands: the last "I" before the fifth CR from the
// end; -1 when there are fewer than five CRs or no "I" before them.
qsizetype statusEcho(const QByteArray &reply)
{
    qsizetype cr = reply.size();
    for (int found = 0; found < StatusLineCount; ++found) {
        cr = cr > 0 ? reply.lastIndexOf('\r', cr - 1) : -1;
        if (cr < 0)
            return -1;
    }
    return reply.lastIndexOf('I', cr);
}

// A reading field as a float; empty when it is no number or lies outside a float's range.
std::optional<float> readingField(const QByteArray &field)
{
    const std::optional<double> value = WholeNumericValue(fromBytes(field));
    if (!value || std::abs(*value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(*value);
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
    const qsizetype echo = statusEcho(reply);
    const QByteArray text = echo >= 0 ? reply.mid(echo + 1) : withoutEcho(reply, 'I');
    return CutToWidth(fromBytes(text), MaxStatusInfoLength);
}

ParsedReply<StatusLines> ParseStatusReply(const QByteArray &reply)
{
    const auto crCount = reply.count('\r');
    if (crCount < StatusLineCount)
        return ParsedReply<StatusLines>::refused(QStringLiteral("%1 of the 5 lines").arg(crCount));

    const qsizetype echo = statusEcho(reply);
    if (echo < 0)
        return ParsedReply<StatusLines>::refused(QStringLiteral("no \"I\" echo"));
    QByteArray rest = reply.mid(echo + 1);
    QString texts[StatusLineCount];
    for (QString &text : texts) {
        const QByteArray line = takeLine(rest);
        if (IsLineNoise(line))
            return ParsedReply<StatusLines>::refused(QStringLiteral("a line of noise"));
        text = InstrumentText(line);
    }
    // The model is the version's first word, whatever blanks a tab or a stray byte left
    // before it.
    texts[0] = texts[0].trimmed();
    const auto mv = texts[2].indexOf(QLatin1String("mV"));
    if (mv >= 1)
        texts[2] = texts[2].left(mv + 2);
    const auto line = [&](int i) { return CutToWidth(texts[i], MaxStatusLineLength); };
    return ParsedReply<StatusLines>::read({line(0), line(1), line(2), line(3), line(4)});
}

ParsedReply<PlainReadings> ParseReadingsReply(const QByteArray &reply)
{
    if (!reply.endsWith('\r'))
        return ParsedReply<PlainReadings>::refused(QStringLiteral("no CR at the end"));

    const qsizetype echo = reply.lastIndexOf('S');
    if (echo < 0)
        return ParsedReply<PlainReadings>::refused(QStringLiteral("no \"S\" echo"));
    const QByteArray line = reply.mid(echo + 1).chopped(1);
    const QList<QByteArray> fields = line.split(',');
    if (fields.size() != ReadingFieldCount || line.contains('\r'))
        return ParsedReply<PlainReadings>::refused(QStringLiteral("not total,diffuse,sun"));
    const std::optional<float> total = readingField(fields[0]);
    const std::optional<float> diffuse = readingField(fields[1]);
    const QByteArray sun = fields[2].trimmed();
    if (!total || !diffuse)
        return ParsedReply<PlainReadings>::refused(
            QStringLiteral("a reading that is no number in range"));
    if (sun != "0" && sun != "1")
        return ParsedReply<PlainReadings>::refused(QStringLiteral("sun neither 0 nor 1"));
    return ParsedReply<PlainReadings>::read({*total, *diffuse, sun == "1"});
}
