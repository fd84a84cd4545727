// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/DatasetDownload.h"

#include "logger/DatasetRecord.h"
#include "logger/LoggerBlock.h"
#include "logger/LoggerControl.h"
#include "logger/LoggerPackets.h"
#include "logger/PeriodCode.h"

#include "common/DateTimeDays.h"
#include "link/Frame.h"
#include "link/SensorLink.h"
#include "platform/Clock.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// A block that starts more than this far from where the data would have gone on starts
// a new data section.
constexpr double SectionGapSeconds = 1;
// The program reply's bytes up to the end of the download position (DwnldAddr).
constexpr int ProgramPositionEnd = 12;

// A record total not yet known for certain, as the progress shows it: to three
// significant figures with the locale's digit grouping ("about 3,250"), never less than
// the records already fetched.
QString AboutRecords(qint64 estimate, qint64 fetched)
{
    qint64 step = 1;
    while (estimate / step >= 1000)
        step *= 10;
    const qint64 rounded = std::max((estimate + step / 2) / step * step, fetched);
    return QStringLiteral("about ") + QLocale().toString(rounded);
}
} // namespace

QString DownloadOutcome::statusText() const
{
    if (writeFailed)
        return QStringLiteral("Download error ") + fileError +
               QStringLiteral(" - the logger's download position was not moved");
    if (end == End::DetailsUnknown)
        return QStringLiteral("Download refused: could not read the logger's program - "
                              "press Refresh and try again");
    if (end == End::Abandoned)
        return QStringLiteral("Download abandoned after repeated data errors - the logger's "
                              "download position was not moved");
    if (end == End::Cancelled)
        return cancelText();
    if (pointer && !pointerConfirmed)
        return QStringLiteral("Download done, but the logger did not confirm its new download "
                              "position - the next download of new records may fetch these again");
    return QString();
}

QString DownloadOutcome::cancelText() const
{
    const QString written =
        QStringLiteral("Download cancelled - %1 records written").arg(recordsWritten);
    if (wholeMemory)
        return written;
    if (pointer && pointerConfirmed)
        return written + QStringLiteral(", the logger will send the rest next time");
    if (recordsWritten == 0)
        return written + QStringLiteral(", the logger's download position was not moved");
    return written + QStringLiteral(", but the logger's download position could not be set: "
                                    "the next download of new records fetches them again");
}

// ---------------------------------------------------------------------------------------
// One run of the transfer: a block at a time, each step started from the link's callback
// for the one before.

class DatasetDownload::Transfer : public std::enable_shared_from_this<Transfer>
{
public:
    Transfer(DatasetDownload &owner, const LoggerState &state, bool overwrite,
             const DownloadRequest &request, DownloadView &view, Done done);

    // Asks for the first block, or ends at once (from the event loop) when there is none.
    void begin();
    // Ends a transfer that could not start: only the outcome, from the event loop.
    void refuse(const DownloadOutcome &outcome);

    DownloadOutcome::End end() const { return m_end; }
    int blocksRead() const { return m_blocksRead; }
    int recordsWritten() const { return m_recordsWritten; }
    bool writeFailed() const { return m_writeFailed; }
    QString writeError() const { return m_writeError; }

private:
    // `call` made safe to run after the transfer has gone: the link may end an exchange
    // the transfer queued after its owner was destroyed.
    template <typename F> auto guarded(F call)
    {
        return [alive = weak_from_this(), call](auto... args) {
            if (const auto self = alive.lock())
                call(args...);
        };
    }

    void chooseStart(const LoggerState &state);
    // Asks for the current block: its acknowledgement already on its way when it was
    // `requestedAhead`, with the next block asked for ahead when the transfer does so.
    void ask(bool requestedAhead);
    void blockCame(const SensorLink::BlockReply &reply, bool nextAsked);
    // A failed block: counted and shown, then after a pause (in which a cancel is
    // honoured) and a new handshake it is asked for again.
    void retry();
    // Decodes and writes the block read; returns an end, or nothing when the transfer
    // goes on.
    std::optional<DownloadOutcome::End> takeBlock();
    // Whether the block just read carries on after the records written: past the
    // logger's top block only a block the logger has begun since is new data; an older
    // block from the previous turn of the ring is not.
    bool blockIsNewer() const;
    // False when the write failed.
    bool writeBlock(int &count);
    // `exact`: the total is known, the transfer having read its last block.
    void showCount(bool exact);
    void showRetry();
    // Records (or blocks) to fetch: those fetched and the estimate of those still unread.
    qint64 total() const { return m_fetched + m_unreadEstimate; }
    float fraction() const;
    // Takes the block just read out of the estimate of the records unread.
    void countBlockRead();
    // The transfer loop is over: the line is left clean (the block asked for ahead is
    // read and dropped; after an abandoned transfer a pause and a handshake), then the
    // file is concluded and the position moved.
    void finish(DownloadOutcome::End end);
    // A pause that lets what is still coming pass, then a handshake; then `next`.
    void startAfresh(std::function<void()> next);
    void wrapUp();
    // Moves the logger's download position: a lost answer is asked again, as a failed
    // block would be (setting it twice does no harm; not setting it has the records sent
    // again next time); before another attempt the program read back may show it taken.
    void setDownloadPointer(int attempt);
    void programReadBack(int attempt);
    void deliver();

    DatasetDownload &m_owner;
    SensorLink &m_link;
    DownloadView &m_view;
    const DownloadRequest m_request;
    const bool m_overwrite;
    const qint64 m_blocks;
    Done m_done;

    // The dataset's first block, the first block this transfer reads, and the logger's
    // top block (followed on while the logger overwrites).
    qint64 m_startBlock = 0;
    qint64 m_firstBlock = 0;
    qint64 m_logTop = 0;
    // The block being read and the one after it.
    qint64 m_block = 0;
    qint64 m_nextBlock = 0;
    // The slot offset the first block's records start from (0: its first slot).
    int m_startOffset = 0;
    // Progress: records (blocks in a whole-memory download) fetched so far, and an
    // estimate of those in the blocks not yet read. The logger's details count every
    // block but the top one as full, which a block ended by a break in logging is not:
    // each block read replaces its share of the estimate by what it held.
    qint64 m_fetched = 0;
    qint64 m_unreadEstimate = 0;
    QString m_countUnit;
    bool m_nothingToFetch = false;

    // Failed attempts at the current block since the last block read.
    int m_failuresInARow = 0;
    bool m_requestAhead = true;
    // The block whose request went out with the acknowledgement of the one read last:
    // its acknowledgement and block are on their way.
    std::optional<qint64> m_aheadPending;
    bool m_wrapped = false;

    int m_blocksRead = 0;
    int m_recordsWritten = 0;
    bool m_writeFailed = false;
    QString m_writeError;
    DownloadOutcome::End m_end = DownloadOutcome::End::Finished;
    DownloadOutcome m_outcome;
};

DatasetDownload::Transfer::Transfer(DatasetDownload &owner, const LoggerState &state,
                                    bool overwrite, const DownloadRequest &request,
                                    DownloadView &view, Done done)
    : m_owner(owner), m_link(owner.m_link), m_view(view), m_request(request),
      m_overwrite(overwrite), m_blocks(std::max<qint64>(0, state.MemoryBlocks)),
      m_done(std::move(done)), m_requestAhead(request.bRequestAhead)
{
    m_countUnit = request.bAll ? QStringLiteral(" blocks") : QStringLiteral(" records");
    chooseStart(state);
}

void DatasetDownload::Transfer::chooseStart(const LoggerState &state)
{
    if (m_blocks == 0) {
        m_nothingToFetch = true;
        return;
    }
    const auto inRing = [this](qint64 block) { return ((block % m_blocks) + m_blocks) % m_blocks; };
    m_startBlock = inRing(state.StartBlock);
    m_logTop = inRing(state.LogTop);
    if (m_request.bAll) {
        m_block = m_startBlock;
        m_unreadEstimate = m_blocks;
    } else if (m_request.bStart) {
        m_block = m_startBlock;
        m_unreadEstimate = state.RecordsLogged;
    } else {
        m_block = inRing(state.DwnldBlock);
        m_startOffset = state.DwnldAddr + LoggerBlock::SlotSize;
        if (m_startOffset > LoggerBlock::LastSlotOffset) {
            // The last record downloaded filled its block. When that block is the
            // logger's top one, the next record has not been logged yet: going on would
            // take the blocks after the top, which hold older data, for new records.
            if (m_block == m_logTop)
                m_nothingToFetch = true;
            m_block = inRing(m_block + 1);
            m_startOffset = 0;
        }
        m_unreadEstimate = static_cast<qint64>(state.RecordsLogged) - state.RecordsRetrieved;
    }
    m_unreadEstimate = std::max<qint64>(0, m_unreadEstimate);
    m_firstBlock = m_block;
}

void DatasetDownload::Transfer::countBlockRead()
{
    if (m_request.bAll) {
        ++m_fetched;
        --m_unreadEstimate;
        return;
    }
    // The first block of a download of new records is counted from its start slot on.
    const int skipped =
        m_startOffset > LoggerBlock::FirstSlotOffset ? LoggerBlock::SlotIndex(m_startOffset) : 0;
    m_unreadEstimate -= std::min<qint64>(m_unreadEstimate, LoggerBlock::SlotsPerBlock - skipped);
}

float DatasetDownload::Transfer::fraction() const
{
    // Nothing to download counts as all of it done.
    if (total() <= 0)
        return 1.0f;
    return static_cast<float>(static_cast<double>(m_fetched) / static_cast<double>(total()));
}

void DatasetDownload::Transfer::showCount(bool exact)
{
    // Blocks are counted exactly from the start; records only once the last block is in.
    if (exact && !m_request.bAll)
        m_unreadEstimate = 0;
    const bool known = exact || m_request.bAll;
    m_view.ShowProgress(QString::number(m_fetched) + QStringLiteral(" / ") +
                            (known ? QString::number(total()) : AboutRecords(total(), m_fetched)) +
                            m_countUnit,
                        fraction());
}

void DatasetDownload::Transfer::showRetry()
{
    m_view.ShowProgress(QStringLiteral("Data error, retry ") + QString::number(m_failuresInARow),
                        fraction());
}

void DatasetDownload::Transfer::begin()
{
    if (!m_nothingToFetch) {
        ask(false);
        return;
    }
    // The end is told from the event loop, as every other is.
    m_link.requestPause(0, guarded([this](bool) {
                            showCount(true);
                            finish(DownloadOutcome::End::Finished);
                        }));
}

void DatasetDownload::Transfer::refuse(const DownloadOutcome &outcome)
{
    m_link.requestPause(0, guarded([this, outcome](bool) {
                            m_outcome = outcome;
                            deliver();
                        }));
}

void DatasetDownload::Transfer::ask(bool requestedAhead)
{
    m_nextBlock = (m_block + 1) % m_blocks;
    std::optional<quint32> next;
    if (m_requestAhead)
        next = static_cast<quint32>(m_nextBlock);
    m_link.requestDataBlock(
        static_cast<quint32>(m_block), LoggerBlock::Size, requestedAhead, next,
        guarded([this, asked = next.has_value()](const SensorLink::BlockReply &reply) {
            blockCame(reply, asked);
        }));
}

void DatasetDownload::Transfer::blockCame(const SensorLink::BlockReply &reply, bool nextAsked)
{
    using End = DownloadOutcome::End;
    // The block had failed as often as it may: this last request ends the transfer,
    // whatever it brought.
    if (m_failuresInARow >= AbandonAtRetry) {
        finish(End::Abandoned);
        return;
    }
    if (!reply.ok) {
        m_aheadPending.reset();
        ++m_failuresInARow;
        // A block that never got as far as its acknowledgement is given up at once; one
        // acknowledged is asked for once more.
        const bool acknowledged = reply.failure.startsWith(QLatin1String("data block"));
        if (m_failuresInARow >= AbandonAtRetry && !acknowledged) {
            finish(End::Abandoned);
            return;
        }
        retry();
        return;
    }
    // The next block's request went out with this block's acknowledgement.
    m_aheadPending.reset();
    if (nextAsked)
        m_aheadPending = m_nextBlock;
    m_owner.m_blockBuffer = reply.block;
    if (const auto end = takeBlock()) {
        finish(*end);
        return;
    }
    m_block = m_nextBlock;
    if (m_view.cancelRequested()) {
        finish(End::Cancelled);
        return;
    }
    const bool requestedAhead = m_aheadPending.has_value();
    m_aheadPending.reset();
    ask(requestedAhead);
}

std::optional<DownloadOutcome::End> DatasetDownload::Transfer::takeBlock()
{
    using End = DownloadOutcome::End;
    if (m_wrapped && !blockIsNewer()) {
        showCount(true);
        return End::Finished;
    }
    int count = 0;
    // A failed write ends the transfer at once: what follows could not be kept.
    if (!writeBlock(count))
        return End::WriteFailed;
    countBlockRead();
    m_startOffset = 0;
    m_failuresInARow = 0;
    ++m_blocksRead;

    if (m_request.bAll) {
        showCount(true);
        if (m_nextBlock == m_startBlock)
            return End::Finished;
        if (count < LoggerBlock::SlotsPerBlock)
            m_owner.m_lastUnits.reset();
        return std::nullopt;
    }
    // With overwriting the logger may have filled its top block and gone on into the next
    // one while the download ran: follow it.
    if (m_overwrite && m_block == m_logTop) {
        m_logTop = (m_logTop + 1) % m_blocks;
        m_wrapped = true;
    }
    // Never a second turn of the ring: every block is read once at most.
    const bool last = m_block == m_logTop || (m_wrapped && count < LoggerBlock::SlotsPerBlock) ||
                      m_nextBlock == m_firstBlock;
    showCount(last);
    if (last)
        return End::Finished;
    return std::nullopt;
}

void DatasetDownload::Transfer::retry()
{
    m_link.countRetry();
    showRetry();
    // The pause lets what is still coming of the failed block (and of the one asked for
    // ahead) pass; the handshake after it starts the line afresh.
    m_link.requestPause(RetryPauseMs, guarded([this](bool) {
                            // A request that fails every time still lets the user stop.
                            if (m_view.cancelRequested()) {
                                finish(DownloadOutcome::End::Cancelled);
                                return;
                            }
                            m_link.requestConnect(guarded([this](bool) {
                                if (m_failuresInARow > RequestAheadUpToRetry)
                                    m_requestAhead = false;
                                ask(false);
                            }));
                        }));
}

bool DatasetDownload::Transfer::blockIsNewer() const
{
    const auto header = LoggerBlock::decodeHeader(m_owner.m_blockBuffer);
    if (!header || !header->stamp.passesDownloadCheck() || !m_owner.m_lastWritten)
        return false;
    return DaysToSeconds(header->stamp.toDays() - m_owner.m_lastWrittenTime) > 0.5;
}

bool DatasetDownload::Transfer::writeBlock(int &count)
{
    int written = 0;
    count = m_owner.WriteBlockRecords(m_block, m_startOffset, written);
    QString error;
    if (!m_owner.m_file.flush(error)) {
        m_writeFailed = true;
        m_writeError = error;
        m_view.showStatus(QStringLiteral("Download error ") + error);
        return false;
    }
    m_recordsWritten += written;
    if (!m_request.bAll)
        m_fetched += written;
    return true;
}

void DatasetDownload::Transfer::finish(DownloadOutcome::End end)
{
    m_end = end;
    if (end == DownloadOutcome::End::Abandoned) {
        startAfresh([this] { wrapUp(); });
        return;
    }
    if (!m_aheadPending) {
        wrapUp();
        return;
    }
    // The block asked for ahead is on its way: it is read and dropped, so that the
    // exchanges after the transfer find the line quiet.
    const auto block = static_cast<quint32>(*m_aheadPending);
    m_aheadPending.reset();
    m_link.requestDataBlock(block, LoggerBlock::Size, true, std::nullopt,
                            guarded([this](const SensorLink::BlockReply &reply) {
                                if (reply.ok)
                                    wrapUp();
                                else
                                    startAfresh([this] { wrapUp(); });
                            }));
}

void DatasetDownload::Transfer::startAfresh(std::function<void()> next)
{
    m_link.requestPause(RetryPauseMs, guarded([this, next](bool) {
                            m_link.requestConnect(guarded([next](bool) { next(); }));
                        }));
}

void DatasetDownload::Transfer::wrapUp()
{
    m_outcome = m_owner.conclude(*this, m_request, m_view);
    // The logger learns how far the data has been downloaded only when every record up to
    // there is in the file: not after a whole-memory download, not after a failed block
    // (an abandoned transfer ends on one) or a failed write, and not when no record was
    // written.
    const bool moved =
        !m_request.bAll && m_failuresInARow == 0 && !m_outcome.writeFailed && m_owner.m_lastWritten;
    if (!moved) {
        deliver();
        return;
    }
    m_outcome.pointer = m_owner.m_lastWritten;
    setDownloadPointer(0);
}

namespace {

// Why a reply to logger command `command` is not its answer with at least `length` data
// bytes; empty when it is.
QString refusal(quint8 command, const SensorLink::PacketReply &reply, int length)
{
    QString why;
    if (!reply.ok)
        why = QStringLiteral("no reply frame (") + reply.failure + QStringLiteral(")");
    else if (reply.command != command)
        why = QStringLiteral("the reply is for command %1").arg(reply.command);
    else if (reply.data.size() < length)
        why =
            QStringLiteral("the reply has %1 of %2 data bytes").arg(reply.data.size()).arg(length);
    return why.isEmpty() ? why : QStringLiteral("Command %1: %2").arg(command).arg(why);
}

} // namespace

void DatasetDownload::Transfer::setDownloadPointer(int attempt)
{
    const MemoryPosition position = *m_outcome.pointer;
    const QByteArray data = LoggerControlData::DownloadPointer(position.block, position.offset);
    m_link.requestPacket(LoggerPackets::SetDownloadPointer, 0, static_cast<quint8>(data.size()),
                         data, guarded([this, attempt](const SensorLink::PacketReply &reply) {
                             const QString why =
                                 refusal(LoggerPackets::SetDownloadPointer, reply, 0);
                             if (why.isEmpty()) {
                                 m_outcome.pointerConfirmed = true;
                                 deliver();
                                 return;
                             }
                             m_link.noteFailedReply(why);
                             programReadBack(attempt);
                         }));
}

void DatasetDownload::Transfer::programReadBack(int attempt)
{
    m_link.requestPacket(
        LoggerPackets::Program, 0, 0, {},
        guarded([this, attempt](const SensorLink::PacketReply &reply) {
            // The answer may be what was lost: the program read back tells where the
            // logger's position now is.
            const QString why = refusal(LoggerPackets::Program, reply, ProgramPositionEnd);
            const MemoryPosition &position = *m_outcome.pointer;
            if (why.isEmpty() && Frame::readLe16(reply.data, 8) == position.block &&
                (Frame::readLe16(reply.data, 10) & 0x7FFF) == position.offset) {
                m_outcome.pointerConfirmed = true;
                deliver();
                return;
            }
            if (!why.isEmpty())
                m_link.noteFailedReply(why);
            if (attempt + 1 < AbandonAtRetry)
                setDownloadPointer(attempt + 1);
            else
                deliver();
        }));
}

void DatasetDownload::Transfer::deliver()
{
    // The owner may start another transfer from `done`; this one stays alive until the
    // callback that runs it returns.
    const Done done = std::move(m_done);
    const DownloadOutcome outcome = m_outcome;
    m_owner.m_transfer.reset();
    if (done)
        done(outcome);
}

// ---------------------------------------------------------------------------------------

DatasetDownload::DatasetDownload(SensorLink &link, Clock &clock, DatasetFile::Opener opener)
    : m_link(link), m_clock(clock), m_file(std::move(opener))
{}

DatasetDownload::~DatasetDownload() = default;

bool DatasetDownload::start(const LoggerState &state, bool overwrite,
                            const DownloadRequest &request, DownloadView &view, Done done)
{
    if (m_transfer)
        return false;
    m_transfer =
        std::make_shared<Transfer>(*this, state, overwrite, request, view, std::move(done));
    DownloadOutcome refused;
    // Without the memory size no block can be placed in the ring: a file of headings
    // alone would pass for a download of an empty memory.
    if (state.MemoryBlocks <= 0) {
        refused.end = DownloadOutcome::End::DetailsUnknown;
        m_transfer->refuse(refused);
        return true;
    }
    QString error;
    m_file.setLayout(request.layoutName, request.isoTimes);
    const bool opened = request.bContinue
                            ? m_file.reopen(request.strFile, error)
                            : m_file.create(request.strFile, m_link.Version(),
                                            m_link.SerialNumber(), m_clock.now(), error);
    if (!opened) {
        refused.end = DownloadOutcome::End::FileNotCreated;
        refused.fileError = error;
        m_transfer->refuse(refused);
        return true;
    }
    if (!request.bContinue) {
        m_lastUnits.reset();
        m_lastWritten.reset();
        m_lastWrittenTime = 0;
    }
    m_blockUnits.reset();
    m_sectionWritten = request.bContinue;
    m_transfer->begin();
    return true;
}

DownloadOutcome DatasetDownload::conclude(const Transfer &transfer, const DownloadRequest &request,
                                          DownloadView &view)
{
    DownloadOutcome outcome;
    outcome.end = transfer.end();
    outcome.writeFailed = transfer.writeFailed();
    outcome.fileError = transfer.writeError();
    // A download that ended with nothing to write is still a dataset file, headed as one
    // with records is (one cut short keeps what it had: the next may go on from there).
    if (outcome.end == DownloadOutcome::End::Finished && !m_sectionWritten &&
        !writeEmptySection(outcome.fileError)) {
        outcome.writeFailed = true;
        outcome.end = DownloadOutcome::End::WriteFailed;
        view.showStatus(QStringLiteral("Download error ") + outcome.fileError);
    }
    m_file.close();
    outcome.wholeMemory = request.bAll;
    outcome.blocksRead = transfer.blocksRead();
    outcome.recordsWritten = transfer.recordsWritten();
    outcome.lastWritten = m_lastWritten;
    return outcome;
}

bool DatasetDownload::writeEmptySection(QString &error)
{
    m_file.writeSection(m_blockUnits.value_or(m_link.units()));
    return m_file.flush(error);
}

int DatasetDownload::WriteBlockRecords(qint64 block, int start, int &written)
{
    written = 0;
    const auto header = LoggerBlock::decodeHeader(m_blockBuffer);
    if (!header || !header->stamp.passesDownloadCheck())
        return 0;
    const double blockTime = header->stamp.toDays();
    const qint32 readingPeriod = PeriodFromCode(header->readingCode);
    const qint32 interval = header->intervalSeconds();
    const DatasetRecord::Units units = DatasetRecord::UnitsFor(header->unitsCode);
    m_blockUnits = units.text;

    // A new data section starts with the block's first record written, so a block that
    // has nothing after the start offset leaves no empty section behind.
    bool newSection = !m_lastUnits || *m_lastUnits != units.text ||
                      std::fabs(DaysToSeconds(m_expectedTime - blockTime)) > SectionGapSeconds;
    const int readings = DatasetRecord::ReadingsPerRecord(readingPeriod, interval);

    // A start inside the block begins at that slot (a misaligned offset at the slot
    // holding it); any other start at the first slot.
    int first = LoggerBlock::FirstSlotOffset;
    if (start > LoggerBlock::FirstSlotOffset && start <= LoggerBlock::LastSlotOffset)
        first = start - (start - LoggerBlock::FirstSlotOffset) % LoggerBlock::SlotSize;

    int count = 0;
    for (int offset = first; offset <= LoggerBlock::LastSlotOffset;
         offset += LoggerBlock::SlotSize) {
        if (LoggerBlock::isEmptySlot(m_blockBuffer, offset))
            break;
        const int slot = (offset - LoggerBlock::FirstSlotOffset) / LoggerBlock::SlotSize;
        count = slot + 1;
        const double time = blockTime + SecondsToDays(static_cast<double>(slot) * interval);
        if (newSection) {
            m_lastUnits = units.text;
            m_file.writeSection(units.text);
            newSection = false;
            m_sectionWritten = true;
        }
        m_file.writeRecord(time, DatasetRecord::Decode(m_blockBuffer, offset, units, readings),
                           units.numberFormat);
        ++written;
        m_expectedTime = time + SecondsToDays(interval);
        m_lastWritten = MemoryPosition{block, offset};
        m_lastWrittenTime = time;
    }
    return count;
}
