// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InstrumentState.h"
#include "SkyModel.h"

#include <QByteArray>

#include <array>

// The texts the instrument answers with, built from its state and the sky of the
// moment. Replies in test mode end with CR and the test prompt "TEST:"; numbers always
// use "." as decimal point, whatever the locale.
class TextReplies
{
public:
    static constexpr char PromptByte = static_cast<char>(0xAF);

    explicit TextReplies(const InstrumentState &state) : m_state(state) {}

    // Answer to "R": ends with the prompt byte (or a wrong one, to test the computer).
    QByteArray prompt(bool wrongPromptByte) const;
    // Answer to "I" at the prompt: the echo and five lines, each ended by CR.
    QByteArray identification() const;
    // Answer to "S" at the prompt: the echo and "total,diffuse,sun" ended by CR.
    QByteArray readings(const SkyReading &sky) const;
    // Answer to "T" at the prompt.
    QByteArray testModeEntered() const;

    QByteArray unitsAnswer(const QByteArray &command, bool accepted) const;
    QByteArray sensorCounts(const SkyReading &sky) const;
    QByteArray temperatures(const SkyReading &sky) const;
    QByteArray calibrationDump() const;
    QByteArray details() const;
    QByteArray sunshineRatio() const;
    QByteArray unknown(const QByteArray &command) const;

    // The raw counts of light sensor channels 0..7 for a total reading: channel 0 is the
    // reference, the others lie near it, and converting them with the instrument's own
    // calibration factors gives back the readings of the channels.
    std::array<int, 8> channelCounts(double totalMolar) const;

private:
    static QByteArray inTestMode(const QByteArray &text);
    QByteArray readingFields(const SkyReading &sky) const;
    QByteArray hexDump() const;
    QByteArray userDump() const;

    const InstrumentState &m_state;
};
