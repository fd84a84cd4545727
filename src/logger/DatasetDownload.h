// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/DatasetFile.h"
#include "logger/LoggerState.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class SensorLink;

// What a running download shows and asks: the progress dialog, or a command-line
// program's console.
class DownloadView
{
public:
    virtual ~DownloadView() = default;

    // A progress text and the fraction of the download done, from 0 to 1 (the view caps
    // it at 1).
    virtual void ShowProgress(const QString &strInfo, float fractionDone) = 0;
    // True once the user has asked the download to stop.
    virtual bool cancelRequested() const = 0;
    // A failure the download goes on after (the logger window's status bar).
    virtual void showStatus(const QString &text) = 0;
};

struct DownloadRequest
{
    // The whole dataset from its first record; otherwise only the records not yet
    // downloaded.
    bool bStart = false;
    // Every block of the memory, round the ring from the dataset's first block.
    bool bAll = false;
    // Ask for each next block before the current one has been read.
    bool bRequestAhead = true;
    QString strFile;
    // Write on at the end of the file this download wrote last rather than make it
    // afresh: the data sections go on as if the transfer had never stopped.
    bool bContinue = false;
    // The file is laid out as one named `layoutName` (a "FILE.part" as FILE); empty: as
    // strFile.
    QString layoutName;
    // Record times as ISO 8601 with the UTC offset.
    bool isoTimes = false;
};

// A record's place in the logger's memory: its block and the byte offset of its slot.
struct MemoryPosition
{
    qint64 block = 0;
    qint64 offset = 0;

    bool operator==(const MemoryPosition &other) const
    {
        return block == other.block && offset == other.offset;
    }
};

struct DownloadOutcome
{
    enum class End {
        FileNotCreated, // nothing was transferred
        Finished,
        Cancelled,
        Abandoned,   // a block failed four times in a row
        WriteFailed, // a write to the file failed: no block was read after it
        // Nothing was transferred: the logger's details (its memory size, program and
        // positions) are unknown, so no block can be placed in the ring.
        DetailsUnknown,
    };

    End end = End::Finished;
    // Why the file could not be created, or the last failed write.
    QString fileError;
    bool writeFailed = false;
    int recordsWritten = 0;
    int blocksRead = 0;
    // A whole-memory download, which never moves the download position.
    bool wholeMemory = false;
    // Where the logger's download position was moved to; nothing when it was left alone.
    std::optional<MemoryPosition> pointer;
    // The logger answered the command that moved it.
    bool pointerConfirmed = false;
    // The last record in the file (from this download or the one it continues), whether
    // or not the logger's position was moved there; a transfer abandoned half way can go
    // on from it.
    std::optional<MemoryPosition> lastWritten;

    // What the logger window's status bar should say once the download is over; empty
    // when nothing went wrong.
    QString statusText() const;
    // What a cancelled download did: the records written, and whether the logger will
    // send the rest next time.
    QString cancelText() const;
};

// The transfer of the logger's memory into a dataset file: reads one 512-byte block at a
// time (asking for the next one ahead), decodes every record into the file, retries a
// failed block, honours a cancel request, and finally tells the logger up to which
// record the data has been downloaded. Every exchange is a queued request of the link, run
// from the event loop: start() returns at once and the outcome comes to `done` (never
// inside start()). Uses the link and the clock only, so a command-line program can drive
// it as well as the download dialog.
class DatasetDownload
{
public:
    static constexpr int RetryPauseMs = 1000;
    // The transfer is abandoned when a block has failed this many times in a row.
    static constexpr int AbandonAtRetry = 4;
    // From this many failures in a row on, blocks are requested one at a time.
    static constexpr int RequestAheadUpToRetry = 2;

    using Done = std::function<void(const DownloadOutcome &)>;

    DatasetDownload(SensorLink &link, Clock &clock,
                    DatasetFile::Opener opener = DatasetFile::OpenReplacingFile);
    // A transfer under way stops where it is: its file is closed, the logger's download
    // position is left alone, and neither the view nor `done` hears of it again.
    ~DatasetDownload();
    DatasetDownload(const DatasetDownload &) = delete;
    DatasetDownload &operator=(const DatasetDownload &) = delete;

    // Downloads as `request` asks, from the logger positions in `state`; `overwrite` is
    // the window's overwrite box. `view` must outlive the transfer. The file is closed
    // before `done` hears the outcome. Refused (false) while a transfer runs.
    bool start(const LoggerState &state, bool overwrite, const DownloadRequest &request,
               DownloadView &view, Done done);
    bool running() const { return m_transfer != nullptr; }

    // The time the next record would carry if the data went on without a gap.
    double ExpectedTime() const { return m_expectedTime; }

private:
    class Transfer;

    // Decodes block `block`, read into the buffer, and writes its records from slot offset `start`
    // (12 or less: from the first slot). Returns the position (from 1) of the last
    // record processed in the block, 0 when none; `written` counts the records written.
    int WriteBlockRecords(qint64 block, int start, int &written);
    // Gives a file without records the heading of a data section, as one with records
    // has: in the units of the last block read, else those the instrument reports.
    bool writeEmptySection(QString &error);
    // The transfer ended: the empty section, the file closed, the outcome made.
    DownloadOutcome conclude(const Transfer &transfer, const DownloadRequest &request,
                             DownloadView &view);

    SensorLink &m_link;
    Clock &m_clock;
    DatasetFile m_file;
    QByteArray m_blockBuffer;
    // The transfer under way (its link callbacks hold it weakly, so that one which ends
    // after this object has gone does nothing).
    std::shared_ptr<Transfer> m_transfer;
    // The units text of the data section being written; nothing when the next block
    // must start a new section (an empty text is the section of an unknown units code).
    std::optional<QString> m_lastUnits;
    // The units text of the last block decoded by this download, whether or not it had
    // records to write; and whether the file has a data section yet.
    std::optional<QString> m_blockUnits;
    bool m_sectionWritten = false;
    double m_expectedTime = 0;
    // The last record written by this download.
    std::optional<MemoryPosition> m_lastWritten;
    double m_lastWrittenTime = 0;
};
