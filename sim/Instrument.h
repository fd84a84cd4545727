// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandParser.h"
#include "InstrumentState.h"
#include "ReplyScheduler.h"
#include "SimLogger.h"
#include "SkyModel.h"
#include "TextReplies.h"

#include "platform/Clock.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

#include <optional>

// A packet frame the instrument heard, and when its last byte came in (monotonic
// seconds).
struct SimHeardFrame
{
    quint8 command;
    quint16 address;
    QByteArray data;
    double at;
};

// How to build a simulated instrument. Converts from a model, so that
// Instrument(clock, SimModel::ZQ4) reads naturally.
struct InstrumentOptions
{
    InstrumentOptions(SimModel m = SimModel::ZQ5) : model(m) {}

    SimModel model;
    SimFaults faults;
    // Added to the clock's time of day to find the sky's time of day.
    double skyOffsetSeconds = 0;
    // Time from the end of a command to the start of its reply.
    double latencySeconds = 0.005;
    // Extra time before the answer to a data-block request: the instrument reads its
    // memory first.
    double blockLatencySeconds = 0;
    // The data logger (models that have one).
    SimLoggerOptions logger;
    // Serial number, calibration and supply; the model's defaults when not given.
    std::optional<InstrumentIdentity> identity;
};

// The simulated instrument: takes the bytes the computer sends and answers as the real
// one does, from its state, its clock and a deterministic sky: text commands, and packet
// frames for its data logger (models without a logger ignore them). It keeps no time of
// its own besides the clock it is given and never blocks, so one model serves the tests
// (virtual clock), the pseudo-terminal simulator and the demo (system clock).
//
// Not thread-safe: use it from one thread.
class Instrument
{
public:
    Instrument(const Clock &clock, const InstrumentOptions &options = {});
    Instrument(const Instrument &) = delete;
    Instrument &operator=(const Instrument &) = delete;

    // Feeds the computer's bytes; returns the reply pieces, each due some seconds from now.
    QList<SimReply> receive(const QByteArray &bytes);

    const SimFaults &faults() const { return m_faults; }
    void setFaults(const SimFaults &faults);
    double latencySeconds() const { return m_scheduler.latencySeconds(); }
    void setLatencySeconds(double seconds) { m_scheduler.setLatencySeconds(seconds); }
    double blockLatencySeconds() const { return m_blockLatency; }
    void setBlockLatencySeconds(double seconds) { m_blockLatency = seconds > 0 ? seconds : 0; }

    const InstrumentState &state() const { return m_state; }
    InstrumentState &state() { return m_state; }
    const SkyModel &sky() const { return m_sky; }
    const Clock &clock() const { return m_clock; }
    // The sky the instrument sees now.
    SkyReading readingNow() const;
    // The reply texts of this instrument (for tests that predict a reply).
    const TextReplies &replies() const { return m_replies; }
    SimLogger &logger() { return m_logger; }
    const CommandParser &parser() const { return m_parser; }
    // The packet frames heard since noting was switched on, in order, for tests that check
    // what the computer sent; a test may clear them. Off by default, so that a simulator
    // running for days keeps no growing list.
    void noteHeardFrames(bool on) { m_noteHeardFrames = on; }
    QList<SimHeardFrame> &heardFrames() { return m_heardFrames; }

private:
    QByteArray execute(const SimCommand &command);
    QList<SimReply> answerPacket(const QByteArray &frame);
    QByteArray selectUnits(const QByteArray &command);
    // Noise after a frame or block when the fault strikes.
    QByteArray withTrailingGarbage(const QByteArray &bytes);

    const Clock &m_clock;
    InstrumentState m_state;
    SkyModel m_sky;
    CommandParser m_parser;
    ReplyScheduler m_scheduler;
    TextReplies m_replies;
    SimFaults m_faults;
    double m_blockLatency;
    SimLogger m_logger;
    FaultCounter m_lostAcknowledgements;
    FaultCounter m_corruptBlocks;
    FaultCounter m_lateBlocks;
    FaultCounter m_garbageFrames;
    QRandomGenerator m_randomFaults;
    bool m_noteHeardFrames = false;
    QList<SimHeardFrame> m_heardFrames;
};
