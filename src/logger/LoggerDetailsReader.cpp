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
    if (offset >= LoggerBlock::FirstSlotOffset)
        records += static_cast<double>(offset - 8) / LoggerBlock::SlotSize;
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

double LoggerDetailsReader::computerNow() const
{
    return DateTimeToDays(m_clock.now());
}

LoggerDetailsView LoggerDetailsReader::read(LoggerState &state)
{
    LoggerDetailsView view;
    readIdentity(view);
    readMemorySize(state, view);
    readClock(state, view);
    readProgram(state, view);
    readLoggingStatus(state, view);
    qint32 interval = 0;
    if (readFirstRecord(state, view, interval)) {
        readTopBlock(state, view, interval);
        readRetrieved(state, view, interval);
        countRecords(state);
    }
    view.statusText = m_link.Status();
    return view;
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

void LoggerDetailsReader::readMemorySize(LoggerState &state, LoggerDetailsView &view)
{
    const auto reply = m_packets.exchange(LoggerPackets::MemorySize, 0, {}, MemorySizeReply);
    state.MemoryBlocks = reply ? Frame::readLe16(*reply, 0) : 0;
    view.valuesColumn += MemorySizeText(state.MemoryBlocks);
}

void LoggerDetailsReader::readClock(LoggerState &state, LoggerDetailsView &view)
{
    const auto reply = m_packets.exchange(LoggerPackets::Clock, 0, {}, LoggerTimeStamp::Size);
    const LoggerTimeStamp stamp = reply ? LoggerTimeStamp::decode(*reply) : LoggerTimeStamp();
    // A clock reply that is no date and time is as good as none: showing it, or the
    // computer's clock shifted by it, would look like a real logger time.
    if (!reply || !stamp.passesDetailsCheck()) {
        view.loggerTimeText = ErrorRetrievingTime;
        view.clockRead = false;
        return;
    }
    const double loggerTime = stamp.toDays();
    view.loggerTimeText = FormatLoggerTime(loggerTime, true);
    view.clockRead = true;
    state.ClockOffset = loggerTime - computerNow();
    view.clockAlarm = ClockAlarmFor(state.ClockOffset);
}

void LoggerDetailsReader::readProgram(LoggerState &state, LoggerDetailsView &view)
{
    const auto reply = m_packets.exchange(LoggerPackets::Program, 0, {}, ProgramReply);
    if (!reply) {
        state.useDefaultProgram();
        view.programShown = false;
        return;
    }
    const QByteArray &program = *reply;
    state.LogPeriod = PeriodFromCode(Frame::byteAt(program, 0));
    state.AvgPeriod = std::max(PeriodFromCode(Frame::byteAt(program, 2)), state.LogPeriod);
    state.SunFS = Frame::byteAt(program, 4);
    state.Flags = Frame::byteAt(program, 5);
    state.StartBlock = Frame::readLe16(program, 6);
    state.DwnldBlock = Frame::readLe16(program, 8);
    state.DwnldAddr = static_cast<qint16>(Frame::readLe16(program, 10) & 0x7FFF);
    state.LogTop = Frame::readLe16(program, 12);
    if (state.StartBlock > state.MemoryBlocks || state.DwnldBlock > state.MemoryBlocks ||
        state.LogTop > state.MemoryBlocks)
        state.useDefaultProgram();
    view.programShown = true;
}

void LoggerDetailsReader::readLoggingStatus(LoggerState &state, LoggerDetailsView &view)
{
    const auto reply = m_packets.exchange(LoggerPackets::LoggingStatus, 0, {}, LoggingStatusReply);
    if (!reply) {
        view.nextRecordText = ErrorRetrievingTime;
        return;
    }
    const auto first = LoggerTimeStamp::decode(*reply, 0);
    const auto second = LoggerTimeStamp::decode(*reply, LoggerTimeStamp::Size);
    const double firstTime = first.passesDetailsCheck() ? first.toDays() : 0.0;
    const double secondTime = second.passesDetailsCheck() ? second.toDays() : 0.0;
    if (second.year >= 1 && state.logging()) {
        state.NextRecordTime = secondTime > firstTime ? secondTime : firstTime;
        view.nextRecordText = FormatLoggerTime(state.NextRecordTime, true);
        state.TopFill = Frame::readLe32(*reply, 20);
    } else {
        view.nextRecordText = QStringLiteral("Not Logging");
    }
}

void LoggerDetailsReader::forgetDataset(LoggerState &state, LoggerDetailsView &view,
                                        const QString &first)
{
    view.firstRecordText = first;
    view.lastRecordText = QString();
    view.retrievedText.clear();
    state.RecordsLogged = 0;
    state.RecordsRetrieved = 0;
}

bool LoggerDetailsReader::readFirstRecord(LoggerState &state, LoggerDetailsView &view,
                                          qint32 &interval)
{
    const auto reply = m_packets.blockStart(state.StartBlock, BlockHeaderBytes);
    const auto header = reply ? LoggerBlock::decodeHeader(*reply) : std::nullopt;
    if (!header) {
        forgetDataset(state, view, QStringLiteral("Error retrieving data"));
        return false;
    }
    if (!header->stamp.passesDetailsCheck() || header->stamp.isZero()) {
        forgetDataset(state, view, QStringLiteral("No valid data"));
        state.FirstRecordTime = state.NextRecordTime;
        return false;
    }
    state.FirstRecordTime = header->stamp.toDays();
    interval = header->intervalSeconds();
    view.firstRecordText = FormatLoggerTime(state.FirstRecordTime, true);
    return true;
}

void LoggerDetailsReader::readTopBlock(LoggerState &state, LoggerDetailsView &view, qint32 interval)
{
    state.TopFill = 0;
    if (!m_packets.DownloadBlock(state.LogTop))
        return;
    const QByteArray block = m_packets.BlockBuffer().left(LoggerBlock::Size);
    const auto header = LoggerBlock::decodeHeader(block);
    if (!header || !header->stamp.passesDetailsCheck())
        return;
    const LoggerBlock::SlotScan scan = LoggerBlock::scanSlots(block);
    state.TopFill = scan.lastFilledOffset;
    // The record before the first empty slot; one interval before the block's own time
    // when the block is still empty. The block's own periods date its records (a block
    // holds records of one program), the dataset's first block's when they are unusable.
    const qint32 blockInterval = header->intervalSeconds();
    const double recordsIn = (scan.firstEmptyOffset - 16) / 4.0;
    state.LastRecordTime = plusSeconds(header->stamp.toDays(),
                                       recordsIn * (blockInterval > 0 ? blockInterval : interval));
    view.lastRecordText = FormatLoggerTime(state.LastRecordTime, true);
}

void LoggerDetailsReader::readRetrieved(LoggerState &state, LoggerDetailsView &view,
                                        qint32 interval)
{
    state.RecordsRetrieved =
        RecordsBetween(state.StartBlock, state.DwnldBlock, state.DwnldAddr, state.MemoryBlocks);
    view.retrievedText.clear();
    if (state.RecordsRetrieved <= 0)
        return;
    // The whole header, so that the block's own periods date the record.
    const auto reply = m_packets.blockStart(state.DwnldBlock, BlockHeaderBytes);
    const auto header = reply ? LoggerBlock::decodeHeader(*reply) : std::nullopt;
    if (!header || !header->stamp.passesDetailsCheck())
        return;
    const qint32 blockInterval = header->intervalSeconds();
    const double step = blockInterval > 0 ? blockInterval : interval;
    state.RetrievedTime = header->stamp.toDays();
    if (state.DwnldAddr > LoggerBlock::FirstSlotOffset)
        state.RetrievedTime = plusSeconds(
            state.RetrievedTime, (state.DwnldAddr - LoggerBlock::FirstSlotOffset) / 4.0 * step);
    view.retrievedText = FormatLoggerTime(state.RetrievedTime, true);
}

void LoggerDetailsReader::countRecords(LoggerState &state)
{
    state.RecordsLogged =
        RecordsBetween(state.StartBlock, state.LogTop, state.TopFill, state.MemoryBlocks);
}
