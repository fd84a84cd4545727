// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LoggerDetailsReader.h"

#include "logger/LoggerBlock.h"
#include "logger/LoggerPackets.h"
#include "logger/LoggerTimeStamp.h"
#include "logger/PeriodCode.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/NumericText.h"
#include "link/Frame.h"
#include "link/SensorLink.h"
#include "platform/Clock.h"

#include <QLocale>

#include <algorithm>
#include <limits>

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString ErrorRetrievingTime = QStringLiteral("Error retrieving time");
const QString ErrorRetrievingProgram = QStringLiteral("Error retrieving program");
const QString NoValidData = QStringLiteral("No valid data");

// Reply sizes: the data bytes each reply must carry for the fields read from it.
constexpr int MemorySizeReply = 2;
constexpr int ProgramReply = 14;
constexpr int LoggingStatusReply = 24;
constexpr int BlockHeaderBytes = 12;

// The "Units: " prefix of the link's units text.
constexpr int UnitsPrefixLength = 7;

double plusSeconds(double days, double seconds)
{
    return days + SecondsToDays(seconds);
}

} // namespace

qint32 RecordsBetween(qint64 from, qint64 to, qint64 offset, qint32 memoryBlocks)
{
    double records = 0;
    if (memoryBlocks > 0) {
        const qint64 blocks = (((to - from) % memoryBlocks) + memoryBlocks) % memoryBlocks;
        records = static_cast<double>(blocks * LoggerBlock::SlotsPerBlock);
    }
    records += LoggerBlock::RecordsThrough(offset);
    const double rounded = RoundHalfEven(records);
    return static_cast<qint32>(
        std::clamp(rounded, 0.0, static_cast<double>(std::numeric_limits<qint32>::max())));
}

QString MemorySizeText(qint32 memoryBlocks)
{
    QString text = QString::number(memoryBlocks / 2);
    if (memoryBlocks % 2 != 0)
        text += QLocale().decimalPoint() + QLatin1Char('5');
    return text + QStringLiteral("kB");
}

LoggerDetailsReader::LoggerDetailsReader(SensorLink &link, const Clock &clock,
                                         LoggerPackets &packets)
    : m_link(link), m_clock(clock), m_packets(packets)
{}

double LoggerDetailsReader::computerSecond() const
{
    const QDateTime now = m_clock.now();
    return DateTimeToDays(now.addMSecs(-now.time().msec()));
}

LoggerDetailsView LoggerDetailsReader::read(LoggerDetails &details)
{
    LoggerDetailsView view;
    LoggerState state;
    readIdentity(view);
    QString unknown = readMemorySize(state, view);
    details.clockOffset = readClock(view);
    if (unknown.isEmpty())
        unknown = readProgram(state);
    view.nextRecordText = ErrorRetrievingProgram;
    if (unknown.isEmpty())
        unknown = readLoggingStatus(state, view);
    if (unknown.isEmpty()) {
        unknown = readDataset(state, view);
    } else {
        view.firstRecordText = ErrorRetrievingProgram;
        view.lastRecordText = QString();
    }
    // A dataset read that failed leaves its counts unknown too: the records not yet
    // downloaded, which the start of logging warns about, would be miscounted.
    details.logger = unknown.isEmpty() ? ParsedReply<LoggerState>::read(state)
                                       : ParsedReply<LoggerState>::refused(unknown);
    // The status bar tells why the details are unknown, or why the clock is, before the
    // link's own state (a handshake after the failure has put that there since).
    view.statusText = !details.known()            ? details.logger.failure
                      : !m_clockFailure.isEmpty() ? m_clockFailure
                                                  : m_link.Status();
    return view;
}

QString LoggerDetailsReader::readDataset(LoggerState &state, LoggerDetailsView &view)
{
    std::optional<qint32> interval;
    QString failure = readFirstRecord(state, view, interval);
    // An empty dataset (no valid first record) has nothing more to read.
    if (!failure.isEmpty() || !interval)
        return failure;
    failure = readTopBlock(state, view, *interval);
    if (failure.isEmpty())
        failure = readRetrieved(state, view, *interval);
    countRecords(state);
    return failure;
}

void LoggerDetailsReader::readIdentity(LoggerDetailsView &view)
{
    // The link's details are shown as they stand, also when the status read failed.
    m_link.GetStatus();
    QString values = m_link.SerialNumber() + CrLf + m_link.Version() + CrLf;
    const QString units = m_link.units();
    if (units.size() > UnitsPrefixLength)
        values += units.mid(UnitsPrefixLength);
    const QString power = m_link.Power();
    if (NumericValue(power) > PowerWarningLimit)
        values += CrLf + power + CrLf;
    else
        values += CrLf + QStringLiteral("!! ") + power + QStringLiteral(" !!") + CrLf;
    view.valuesColumn = values;
    view.namesColumn = QStringLiteral("Serial No.") + CrLf + QStringLiteral("Firmware version") +
                       CrLf + QStringLiteral("Units") + CrLf + QStringLiteral("Power") + CrLf +
                       QStringLiteral("Memory size");
}

QString LoggerDetailsReader::readMemorySize(LoggerState &state, LoggerDetailsView &view)
{
    const auto reply = m_packets.read(LoggerPackets::MemorySize, 0, {}, MemorySizeReply);
    if (!reply.ok()) {
        view.valuesColumn += QStringLiteral("unknown");
        return reply.failure;
    }
    state.MemoryBlocks = Frame::readLe16(*reply.value, 0);
    // A memory of no blocks holds nothing to count: its size is as good as unread.
    if (state.MemoryBlocks <= 0) {
        view.valuesColumn += QStringLiteral("unknown");
        return m_packets
            .refuse(LoggerPackets::MemorySize, QStringLiteral("the logger reports no memory"))
            .failure;
    }
    view.valuesColumn += MemorySizeText(state.MemoryBlocks);
    return QString();
}

std::optional<double> LoggerDetailsReader::readClock(LoggerDetailsView &view)
{
    const auto reply = m_packets.read(LoggerPackets::Clock, 0, {}, LoggerTimeStamp::Size);
    const LoggerTimeStamp stamp =
        reply.ok() ? LoggerTimeStamp::decode(*reply.value) : LoggerTimeStamp();
    // A clock reply that is no date and time is as good as none: showing it, or the
    // computer's clock shifted by it, would look like a real logger time.
    view.loggerTimeText = ErrorRetrievingTime;
    view.clockRead = false;
    m_clockFailure = reply.failure;
    if (!reply.ok())
        return std::nullopt;
    if (!stamp.passesDetailsCheck()) {
        m_clockFailure = m_packets
                             .refuse(LoggerPackets::Clock,
                                     QStringLiteral("the logger's clock is no date and time"))
                             .failure;
        return std::nullopt;
    }
    const double loggerTime = stamp.toDays();
    view.loggerTimeText = FormatLoggerTime(loggerTime, true);
    view.clockRead = true;
    // The logger's clock counts whole seconds: it is set against the computer's whole
    // second, so that the read's milliseconds do not put the logger's schedule early.
    const double offset = loggerTime - computerSecond();
    view.clockAlarm = ClockAlarmFor(offset);
    return offset;
}

QString LoggerDetailsReader::readProgram(LoggerState &state)
{
    const auto reply = m_packets.read(LoggerPackets::Program, 0, {}, ProgramReply);
    if (!reply.ok())
        return reply.failure;
    const QByteArray &program = *reply.value;
    state.LogPeriod = PeriodFromCode(Frame::byteAt(program, 0));
    state.AvgPeriod = std::max(PeriodFromCode(Frame::byteAt(program, 2)), state.LogPeriod);
    state.SunFS = Frame::byteAt(program, 4);
    state.Flags = Frame::byteAt(program, 5);
    state.StartBlock = Frame::readLe16(program, 6);
    state.DwnldBlock = Frame::readLe16(program, 8);
    state.DwnldAddr = static_cast<qint16>(Frame::readLe16(program, 10) & 0x7FFF);
    state.LogTop = Frame::readLe16(program, 12);
    // Blocks are numbered from 0 to the memory size less one: a program that names
    // another is no program of this logger (a garbled reply, another firmware).
    const std::pair<const char *, qint64> blocks[] = {
        {"StartBlock", state.StartBlock},
        {"DwnldBlock", state.DwnldBlock},
        {"LogTop", state.LogTop},
    };
    for (const auto &[name, block] : blocks) {
        if (block >= state.MemoryBlocks)
            return m_packets
                .refuse(LoggerPackets::Program,
                        QStringLiteral("%1 %2 is beyond the memory of %3 blocks")
                            .arg(QLatin1String(name))
                            .arg(block)
                            .arg(state.MemoryBlocks))
                .failure;
    }
    return QString();
}

QString LoggerDetailsReader::readLoggingStatus(LoggerState &state, LoggerDetailsView &view)
{
    const auto reply = m_packets.read(LoggerPackets::LoggingStatus, 0, {}, LoggingStatusReply);
    if (!reply.ok()) {
        view.nextRecordText = ErrorRetrievingTime;
        return reply.failure;
    }
    const QByteArray &status = *reply.value;
    const auto first = LoggerTimeStamp::decode(status, 0);
    const auto second = LoggerTimeStamp::decode(status, LoggerTimeStamp::Size);
    const double firstTime = first.passesDetailsCheck() ? first.toDays() : 0.0;
    const double secondTime = second.passesDetailsCheck() ? second.toDays() : 0.0;
    if (second.year >= 1 && state.logging()) {
        state.NextRecordTime = secondTime > firstTime ? secondTime : firstTime;
        view.nextRecordText = FormatLoggerTime(state.NextRecordTime, true);
        state.TopFill = Frame::readLe32(status, 20);
    } else {
        view.nextRecordText = QStringLiteral("Not Logging");
    }
    return QString();
}

QString LoggerDetailsReader::readFirstRecord(LoggerState &state, LoggerDetailsView &view,
                                             std::optional<qint32> &interval)
{
    view.lastRecordText = QString();
    view.retrievedText.clear();
    const auto reply = m_packets.blockStart(state.StartBlock, BlockHeaderBytes);
    if (!reply.ok()) {
        view.firstRecordText = QStringLiteral("Error retrieving data");
        return reply.failure;
    }
    const auto header = LoggerBlock::decodeHeader(*reply.value);
    if (!header || !header->stamp.passesDetailsCheck() || header->stamp.isZero()) {
        // An empty dataset: its first record is the next one; the last would have been
        // one period before it, which is where the memory starts to fill.
        view.firstRecordText = NoValidData;
        state.FirstRecordTime = state.NextRecordTime;
        state.LastRecordTime = plusSeconds(state.NextRecordTime, -state.AvgPeriod);
        return QString();
    }
    state.FirstRecordTime = header->stamp.toDays();
    interval = header->intervalSeconds();
    view.firstRecordText = FormatLoggerTime(state.FirstRecordTime, true);
    return QString();
}

QString LoggerDetailsReader::readTopBlock(LoggerState &state, LoggerDetailsView &view,
                                          qint32 interval)
{
    state.TopFill = 0;
    if (!m_packets.readBlock(state.LogTop))
        return m_packets
            .refuse(LoggerPackets::LargeDataBlock,
                    QStringLiteral("block %1, the logger's top block, did not come whole (%2)")
                        .arg(state.LogTop)
                        .arg(m_link.lastPacketFailure().isEmpty()
                                 ? QStringLiteral("CRC check failed")
                                 : m_link.lastPacketFailure()))
            .failure;
    const QByteArray block = m_packets.BlockBuffer().left(LoggerBlock::Size);
    const auto header = LoggerBlock::decodeHeader(block);
    if (!header || !header->stamp.passesDetailsCheck())
        return m_packets
            .refuse(LoggerPackets::LargeDataBlock,
                    QStringLiteral("block %1, the logger's top block, has no valid time stamp")
                        .arg(state.LogTop))
            .failure;
    const LoggerBlock::SlotScan scan = LoggerBlock::scanSlots(block);
    state.TopFill = scan.lastFilledOffset;
    // The record before the first empty slot; one interval before the block's own time
    // when the block is still empty. The block's own periods date its records (a block
    // holds records of one program), the dataset's first block's when they are unusable.
    const qint32 blockInterval = header->intervalSeconds();
    const int lastSlot = LoggerBlock::LastRecordSlot(scan.firstEmptyOffset);
    state.LastRecordTime = plusSeconds(header->stamp.toDays(),
                                       lastSlot * (blockInterval > 0 ? blockInterval : interval));
    view.lastRecordText = FormatLoggerTime(state.LastRecordTime, true);
    return QString();
}

QString LoggerDetailsReader::readRetrieved(LoggerState &state, LoggerDetailsView &view,
                                           qint32 interval)
{
    state.RecordsRetrieved =
        RecordsBetween(state.StartBlock, state.DwnldBlock, state.DwnldAddr, state.MemoryBlocks);
    view.retrievedText.clear();
    if (state.RecordsRetrieved <= 0)
        return QString();
    // The whole header, so that the block's own periods date the record.
    const auto reply = m_packets.blockStart(state.DwnldBlock, BlockHeaderBytes);
    if (!reply.ok())
        return reply.failure;
    const auto header = LoggerBlock::decodeHeader(*reply.value);
    if (!header || !header->stamp.passesDetailsCheck())
        return m_packets
            .refuse(LoggerPackets::BlockStart,
                    QStringLiteral("block %1, the last downloaded, has no valid time stamp")
                        .arg(state.DwnldBlock))
            .failure;
    const qint32 blockInterval = header->intervalSeconds();
    const double step = blockInterval > 0 ? blockInterval : interval;
    state.RetrievedTime = header->stamp.toDays();
    if (state.DwnldAddr > LoggerBlock::FirstSlotOffset)
        state.RetrievedTime = plusSeconds(
            state.RetrievedTime, (state.DwnldAddr - LoggerBlock::FirstSlotOffset) / 4.0 * step);
    view.retrievedText = FormatLoggerTime(state.RetrievedTime, true);
    return QString();
}

void LoggerDetailsReader::countRecords(LoggerState &state)
{
    state.RecordsLogged =
        RecordsBetween(state.StartBlock, state.LogTop, state.TopFill, state.MemoryBlocks);
}
