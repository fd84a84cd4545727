// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/LoggerPackets.h"
#include "logger/LoggerState.h"

#include <QByteArray>
#include <QtGlobal>

class SensorLink;

// The data bytes of the packets that change the logger: set its clock (command 13),
// start or stop logging (command 11) and move its download position (command 21).
namespace LoggerControlData {

constexpr int ProgramLength = 14;

// The clock's new time as a logger time stamp, rounded to the nearest second.
QByteArray SetClock(double time);

// Reading-period code, 0, averaging-period code, 0, 0, the flags (logging on, plus
// overwrite when asked) and the start time stamp: the layout of the program reply in its
// first six bytes.
QByteArray StartLogging(qint32 logPeriod, qint32 avgPeriod, bool overwrite, double start);

// Fourteen zero bytes: no periods, no flags, no start time.
QByteArray StopLogging();

// The block and the byte offset of the last record downloaded, 16 bits each.
QByteArray DownloadPointer(qint64 block, qint64 offset);

} // namespace LoggerControlData

// Sends the changes to the logger, one packet each, without a pause before it and
// without a retry: a packet that fails leaves the logger as it was, and the next read of
// its details shows what it really does. The requests are queued on the link; `done`
// hears the logger's reply to that very command, or why there is none.
class LoggerControl
{
public:
    explicit LoggerControl(SensorLink &link) : m_link(link), m_packets(link) {}

    using Done = LoggerPackets::Done;
    void requestSetLoggerTime(double time, Done done);
    void requestStartLogging(const LoggerState &state, bool overwrite, double start, Done done);
    void requestStopLogging(Done done);
    // The download's move of the logger's position.
    void requestSetDownloadPointer(qint64 block, qint64 offset, Done done);

private:
    void request(quint8 command, const QByteArray &data, Done done);

    SensorLink &m_link;
    LoggerPackets m_packets;
};
