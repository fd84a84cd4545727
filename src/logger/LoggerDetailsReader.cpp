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

struct LoggerDetailsReader::Read
{
    LoggerDetailsView view;
    LoggerState state;
    LoggerDetails details;
    // Why the logger's details are unknown; empty while they are known.
    QString unknown;
    // Why the clock read failed; empty when it did not.
    QString clockFailure;
    // The dataset's first block's record interval; empty when it holds no valid record.
    std::optional<qint32> interval;
    Done done;
};

void LoggerDetailsReader::read(Done done)
{
    auto read = std::make_shared<Read>();
    read->done = std::move(done);
    readIdentity(read);
}

void LoggerDetailsReader::finish(const Step &read)
{
    LoggerDetails &details = read->details;
    // A dataset read that failed leaves its counts unknown too: the records not yet
    // downloaded, which the start of logging warns about, would be miscounted.
    details.logger = read->unknown.isEmpty() ? ParsedReply<LoggerState>::read(read->state)
                                             : ParsedReply<LoggerState>::refused(read->unknown);
    // The status bar tells why the details are unknown, or why the clock is, before the
    // link's own state (a handshake after the failure has put that there since).
    read->view.statusText = !details.known()                ? details.logger.failure
                            : !read->clockFailure.isEmpty() ? read->clockFailure
                                                            : m_link.Status();
    read->done(read->view, details);
}

void LoggerDetailsReader::readIdentity(const Step &read)
{
    // The link's details are shown as they stand, also when the status read failed.
    m_link.requestStatus(m_lifetime.guard([this, read](bool) {
        QString values = m_link.SerialNumber() + CrLf + m_link.Version() + CrLf;
        const QString units = m_link.units();
        if (units.size() > UnitsPrefixLength)
            values += units.mid(UnitsPrefixLength);
        const QString power = m_link.Power();
        if (NumericValue(power) > PowerWarningLimit)
            values += CrLf + power + CrLf;
        else
            values += CrLf + QStringLiteral("!! ") + power + QStringLiteral(" !!") + CrLf;
        read->view.valuesColumn = values;
        read->view.namesColumn = QStringLiteral("Serial No.") + CrLf +
                                 QStringLiteral("Firmware version") + CrLf +
                                 QStringLiteral("Units") + CrLf + QStringLiteral("Power") + CrLf +
                                 QStringLiteral("Memory size");
        readMemorySize(read);
    }));
}

void LoggerDetailsReader::readMemorySize(const Step &read)
{
    m_packets.requestRead(LoggerPackets::MemorySize, 0, {}, MemorySizeReply,
                          m_lifetime.guard([this, read](const ParsedReply<QByteArray> &reply) {
                              read->unknown = memorySizeFrom(*read, reply);
                              readClock(read);
                          }));
}

QString LoggerDetailsReader::memorySizeFrom(Read &read, const ParsedReply<QByteArray> &reply)
{
    if (!reply.ok()) {
        read.view.valuesColumn += QStringLiteral("unknown");
        return reply.failure;
    }
    read.state.MemoryBlocks = Frame::readLe16(*reply.value, 0);
    // A memory of no blocks holds nothing to count: its size is as good as unread.
    if (read.state.MemoryBlocks <= 0) {
        read.view.valuesColumn += QStringLiteral("unknown");
        return m_packets
            .refuse(LoggerPackets::MemorySize, QStringLiteral("the logger reports no memory"))
            .failure;
    }
    read.view.valuesColumn += MemorySizeText(read.state.MemoryBlocks);
    return QString();
}

void LoggerDetailsReader::readClock(const Step &read)
{
    m_packets.requestRead(LoggerPackets::Clock, 0, {}, LoggerTimeStamp::Size,
                          m_lifetime.guard([this, read](const ParsedReply<QByteArray> &reply) {
                              read->clockFailure = clockFrom(*read, reply);
                              if (read->unknown.isEmpty())
                                  readProgram(read);
                              else
                                  afterProgram(read);
                          }));
}

QString LoggerDetailsReader::clockFrom(Read &read, const ParsedReply<QByteArray> &reply)
{
    LoggerDetailsView &view = read.view;
    // A clock reply that is no date and time is as good as none: showing it, or the
    // computer's clock shifted by it, would look like a real logger time.
    view.loggerTimeText = ErrorRetrievingTime;
    view.clockRead = false;
    if (!reply.ok())
        return reply.failure;
    const LoggerTimeStamp stamp = LoggerTimeStamp::decode(*reply.value);
    if (!stamp.passesDetailsCheck())
        return m_packets
            .refuse(LoggerPackets::Clock, QStringLiteral("the logger's clock is no date and time"))
            .failure;
    const double loggerTime = stamp.toDays();
    view.loggerTimeText = FormatLoggerTime(loggerTime, true);
    view.clockRead = true;
    // The logger's clock counts whole seconds: it is set against the computer's whole
    // second, so that the read's milliseconds do not put the logger's schedule early.
    const double offset = loggerTime - computerSecond();
    view.clockAlarm = ClockAlarmFor(offset);
    read.details.clockOffset = offset;
    return QString();
}

void LoggerDetailsReader::readProgram(const Step &read)
{
    m_packets.requestRead(LoggerPackets::Program, 0, {}, ProgramReply,
                          m_lifetime.guard([this, read](const ParsedReply<QByteArray> &reply) {
                              read->unknown = programFrom(*read, reply);
                              afterProgram(read);
                          }));
}

QString LoggerDetailsReader::programFrom(Read &read, const ParsedReply<QByteArray> &reply)
{
    if (!reply.ok())
        return reply.failure;
    LoggerState &state = read.state;
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

void LoggerDetailsReader::afterProgram(const Step &read)
{
    read->view.nextRecordText = ErrorRetrievingProgram;
    if (read->unknown.isEmpty())
        readLoggingStatus(read);
    else
        afterStatus(read);
}

void LoggerDetailsReader::readLoggingStatus(const Step &read)
{
    m_packets.requestRead(LoggerPackets::LoggingStatus, 0, {}, LoggingStatusReply,
                          m_lifetime.guard([this, read](const ParsedReply<QByteArray> &reply) {
                              read->unknown = loggingStatusFrom(*read, reply);
                              afterStatus(read);
                          }));
}

QString LoggerDetailsReader::loggingStatusFrom(Read &read, const ParsedReply<QByteArray> &reply)
{
    if (!reply.ok()) {
        read.view.nextRecordText = ErrorRetrievingTime;
        return reply.failure;
    }
    LoggerState &state = read.state;
    const QByteArray &status = *reply.value;
    const auto first = LoggerTimeStamp::decode(status, 0);
    const auto second = LoggerTimeStamp::decode(status, LoggerTimeStamp::Size);
    const double firstTime = first.passesDetailsCheck() ? first.toDays() : 0.0;
    const double secondTime = second.passesDetailsCheck() ? second.toDays() : 0.0;
    if (second.year >= 1 && state.logging()) {
        state.NextRecordTime = secondTime > firstTime ? secondTime : firstTime;
        read.view.nextRecordText = FormatLoggerTime(state.NextRecordTime, true);
        state.TopFill = Frame::readLe32(status, 20);
    } else {
        read.view.nextRecordText = QStringLiteral("Not Logging");
    }
    return QString();
}

void LoggerDetailsReader::afterStatus(const Step &read)
{
    if (read->unknown.isEmpty()) {
        readFirstRecord(read);
        return;
    }
    read->view.firstRecordText = ErrorRetrievingProgram;
    read->view.lastRecordText = QString();
    finish(read);
}

void LoggerDetailsReader::readFirstRecord(const Step &read)
{
    read->view.lastRecordText = QString();
    read->view.retrievedText.clear();
    m_packets.requestBlockStart(
        read->state.StartBlock, BlockHeaderBytes,
        m_lifetime.guard([this, read](const ParsedReply<QByteArray> &reply) {
            read->unknown = firstRecordFrom(*read, reply);
            // An empty dataset (no valid first record) has nothing more to read.
            if (!read->unknown.isEmpty() || !read->interval)
                finish(read);
            else
                readTopBlock(read);
        }));
}

QString LoggerDetailsReader::firstRecordFrom(Read &read, const ParsedReply<QByteArray> &reply)
{
    LoggerState &state = read.state;
    if (!reply.ok()) {
        read.view.firstRecordText = QStringLiteral("Error retrieving data");
        return reply.failure;
    }
    const auto header = LoggerBlock::decodeHeader(*reply.value);
    if (!header || !header->stamp.passesDetailsCheck() || header->stamp.isZero()) {
        // An empty dataset: its first record is the next one; the last would have been
        // one period before it, which is where the memory starts to fill.
        read.view.firstRecordText = NoValidData;
        state.FirstRecordTime = state.NextRecordTime;
        state.LastRecordTime = plusSeconds(state.NextRecordTime, -state.AvgPeriod);
        return QString();
    }
    state.FirstRecordTime = header->stamp.toDays();
    read.interval = header->intervalSeconds();
    read.view.firstRecordText = FormatLoggerTime(state.FirstRecordTime, true);
    return QString();
}

void LoggerDetailsReader::readTopBlock(const Step &read)
{
    read->state.TopFill = 0;
    m_packets.requestBlock(read->state.LogTop,
                           m_lifetime.guard([this, read](const ParsedReply<QByteArray> &reply) {
                               read->unknown = topBlockFrom(*read, reply);
                               if (read->unknown.isEmpty()) {
                                   readRetrieved(read);
                                   return;
                               }
                               countRecords(read->state);
                               finish(read);
                           }));
}

QString LoggerDetailsReader::topBlockFrom(Read &read, const ParsedReply<QByteArray> &reply)
{
    LoggerState &state = read.state;
    if (!reply.ok())
        return m_packets
            .refuse(LoggerPackets::LargeDataBlock,
                    QStringLiteral("block %1, the logger's top block, did not come whole (%2)")
                        .arg(state.LogTop)
                        .arg(reply.failure))
            .failure;
    const QByteArray &block = *reply.value;
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
    state.LastRecordTime = plusSeconds(
        header->stamp.toDays(), lastSlot * (blockInterval > 0 ? blockInterval : *read.interval));
    read.view.lastRecordText = FormatLoggerTime(state.LastRecordTime, true);
    return QString();
}

void LoggerDetailsReader::readRetrieved(const Step &read)
{
    LoggerState &state = read->state;
    state.RecordsRetrieved =
        RecordsBetween(state.StartBlock, state.DwnldBlock, state.DwnldAddr, state.MemoryBlocks);
    read->view.retrievedText.clear();
    if (state.RecordsRetrieved <= 0) {
        countRecords(state);
        finish(read);
        return;
    }
    // The whole header, so that the block's own periods date the record.
    m_packets.requestBlockStart(
        state.DwnldBlock, BlockHeaderBytes,
        m_lifetime.guard([this, read](const ParsedReply<QByteArray> &reply) {
            read->unknown = retrievedFrom(*read, reply);
            countRecords(read->state);
            finish(read);
        }));
}

QString LoggerDetailsReader::retrievedFrom(Read &read, const ParsedReply<QByteArray> &reply)
{
    LoggerState &state = read.state;
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
    const double step = blockInterval > 0 ? blockInterval : *read.interval;
    state.RetrievedTime = header->stamp.toDays();
    if (state.DwnldAddr > LoggerBlock::FirstSlotOffset)
        state.RetrievedTime = plusSeconds(
            state.RetrievedTime, (state.DwnldAddr - LoggerBlock::FirstSlotOffset) / 4.0 * step);
    read.view.retrievedText = FormatLoggerTime(state.RetrievedTime, true);
    return QString();
}

void LoggerDetailsReader::countRecords(LoggerState &state)
{
    state.RecordsLogged =
        RecordsBetween(state.StartBlock, state.LogTop, state.TopFill, state.MemoryBlocks);
}
