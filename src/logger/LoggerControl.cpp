// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LoggerControl.h"

#include "logger/LoggerPackets.h"
#include "logger/LoggerTimeStamp.h"
#include "logger/PeriodCode.h"

#include "link/Frame.h"
#include "link/SensorLink.h"

namespace LoggerControlData {

QByteArray SetClock(double time)
{
    return LoggerTimeStamp::fromDays(time).encode();
}

QByteArray StartLogging(qint32 logPeriod, qint32 avgPeriod, bool overwrite, double start)
{
    QByteArray data;
    data.append(static_cast<char>(CodeFromPeriod(logPeriod)));
    data.append('\0');
    data.append(static_cast<char>(CodeFromPeriod(avgPeriod)));
    data.append('\0');
    data.append('\0');
    const int flags = LoggerState::LoggingFlag | (overwrite ? LoggerState::OverwriteFlag : 0);
    data.append(static_cast<char>(flags));
    data += LoggerTimeStamp::fromDays(start).encode();
    return data;
}

QByteArray StopLogging()
{
    return QByteArray(ProgramLength, '\0');
}

QByteArray DownloadPointer(qint64 block, qint64 offset)
{
    QByteArray data;
    Frame::appendLe16(data, static_cast<quint16>(block));
    Frame::appendLe16(data, static_cast<quint16>(offset));
    return data;
}

} // namespace LoggerControlData

void LoggerControl::request(quint8 command, const QByteArray &data, Done done)
{
    // A reply counts only when it answers this command, not a frame left on the line; why
    // it does not goes to the link's status text and trace.
    m_packets.requestExchange(command, 0, data, 0, std::move(done));
}

void LoggerControl::requestSetLoggerTime(double time, Done done)
{
    request(LoggerPackets::SetClock, LoggerControlData::SetClock(time), std::move(done));
}

void LoggerControl::requestStartLogging(const LoggerState &state, bool overwrite, double start,
                                        Done done)
{
    request(LoggerPackets::StartStop,
            LoggerControlData::StartLogging(state.LogPeriod, state.AvgPeriod, overwrite, start),
            std::move(done));
}

void LoggerControl::requestStopLogging(Done done)
{
    request(LoggerPackets::StartStop, LoggerControlData::StopLogging(), std::move(done));
}

void LoggerControl::requestSetDownloadPointer(qint64 block, qint64 offset, Done done)
{
    request(LoggerPackets::SetDownloadPointer, LoggerControlData::DownloadPointer(block, offset),
            std::move(done));
}
