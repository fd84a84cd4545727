// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextReplies.h"

#include <cmath>

namespace {

constexpr char CR = '\r';

// How much each channel's reading differs from channel 0's: the photodiodes are alike
// but not identical.
constexpr std::array<double, 8> ChannelSpread{0.0,    0.012, -0.008, 0.020,
                                              -0.015, 0.005, -0.010, 0.018};

// One count of channel 0 with factor 4096 stands for 2500 / 4096 umol.m-2.s-1.
constexpr double MolarPerUnitCount = 2500.0 / 4096.0 / 4096.0;

QByteArray fixed(double value, int decimals)
{
    return QByteArray::number(value, 'f', decimals);
}

QByteArray rightAligned(const QByteArray &text, int width)
{
    return text.rightJustified(width, ' ');
}

} // namespace

QByteArray TextReplies::inTestMode(const QByteArray &text)
{
    return text + CR + "TEST:";
}

QByteArray TextReplies::prompt(bool wrongPromptByte) const
{
    return QByteArray("\r\n") + (wrongPromptByte ? '>' : PromptByte);
}

QByteArray TextReplies::identification() const
{
    QByteArray reply("I");
    for (const QByteArray &line : {m_state.versionLine(), m_state.unitsLine(), m_state.powerLine(),
                                   m_state.identity().serialNumber, m_state.logStatusLine()})
        reply += line + CR;
    return reply;
}

QByteArray TextReplies::readingFields(const SkyReading &sky) const
{
    const SimUnits units = m_state.units();
    const int decimals = units == SimUnits::Illuminance ? 2 : 1;
    return fixed(inUnits(sky.totalMolar, units), decimals) + ',' +
           fixed(inUnits(sky.diffuseMolar, units), decimals) + ',' + (sky.sun ? '1' : '0');
}

QByteArray TextReplies::readings(const SkyReading &sky) const
{
    return "S" + readingFields(sky) + CR;
}

QByteArray TextReplies::testModeEntered() const
{
    return inTestMode("T");
}

QByteArray TextReplies::unitsAnswer(const QByteArray &command, bool accepted) const
{
    return inTestMode(command + (accepted ? "OK" : "NO"));
}

std::array<int, 8> TextReplies::channelCounts(double totalMolar) const
{
    const auto &factors = m_state.identity().calibration;
    const double k0 = factors[0];
    std::array<int, 8> counts{};
    counts[0] = static_cast<int>(std::lround(totalMolar / MolarPerUnitCount / k0));
    const double referenceSum = k0 * counts[0];
    for (size_t i = 1; i < counts.size(); ++i) {
        // The computer reads channel i as (k0 c0 + ki (ci - c0)) scaled; solve for ci.
        const double wanted = totalMolar * (1.0 + ChannelSpread[i]) / MolarPerUnitCount;
        const double difference = (wanted - referenceSum) / factors[i];
        counts[i] = counts[0] + static_cast<int>(std::lround(difference));
    }
    return counts;
}

QByteArray TextReplies::sensorCounts(const SkyReading &sky) const
{
    QByteArray list;
    for (int count : channelCounts(sky.totalMolar)) {
        if (!list.isEmpty())
            list += ' ';
        list += QByteArray::number(count);
    }
    return inTestMode("S" + readingFields(sky) + '(' + list + ')');
}

QByteArray TextReplies::temperatures(const SkyReading &sky) const
{
    if (!m_state.traits().hasThermometers)
        return inTestMode(QByteArray("I") + CR + "Vref   2.500" + CR + "Supply " +
                          QByteArray::number(m_state.identity().powerMillivolts) + "mV");
    // Each temperature is a field of 7 characters right after its name.
    return inTestMode(QByteArray("I") + CR + "Therm temp" +
                      rightAligned(fixed(sky.thermistorC, 2), 7) + CR + "Chip temp" +
                      rightAligned(fixed(sky.chipC, 2), 7) + CR + "Vref   2.500");
}

QByteArray TextReplies::calibrationDump() const
{
    const bool hex = m_state.traits().calibrationLayout == CalibrationLayout::HexDump;
    return inTestMode(QByteArray("E") + CR + (hex ? hexDump() : userDump()));
}

QByteArray TextReplies::hexDump() const
{
    // 256 bytes of calibration memory, 16 to a line. The factors of channels 0..7 open
    // the memory as big-endian 16-bit values; the rest holds fixed constants.
    QByteArray memory(256, '\0');
    const auto &factors = m_state.identity().calibration;
    for (int i = 0; i < 8; ++i) {
        memory[2 * i] = static_cast<char>((factors[static_cast<size_t>(i)] >> 8) & 0xFF);
        memory[2 * i + 1] = static_cast<char>(factors[static_cast<size_t>(i)] & 0xFF);
    }
    const QByteArray serial = m_state.identity().serialNumber;
    for (int i = 0; i < serial.size() && i < 16; ++i)
        memory[16 + i] = serial[i];
    for (int i = 32; i < memory.size(); ++i)
        memory[i] = static_cast<char>(i < 64 ? (i * 37) & 0xFF : 0xFF);

    QByteArray dump;
    for (int line = 0; line < memory.size() / 16; ++line) {
        dump += "0x" + QByteArray::number(line * 16, 16).rightJustified(2, '0').toUpper() + ':';
        for (int column = 0; column < 16; ++column) {
            const auto byte = static_cast<quint8>(memory[line * 16 + column]);
            dump += ' ' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        }
        dump += ' ';
        if (line + 1 < memory.size() / 16)
            dump += CR;
    }
    return dump;
}

QByteArray TextReplies::userDump() const
{
    // Factory and user factors of channels 1..7, five characters each, one blank apart;
    // the first field starts at the fifth character after the colon.
    const auto &factors = m_state.identity().calibration;
    auto fields = [&factors](bool user) {
        QByteArray text;
        for (size_t i = 1; i < factors.size(); ++i) {
            if (i > 1)
                text += ' ';
            text += rightAligned(QByteArray::number(user ? factors[i] : 4096), 5);
        }
        return text;
    };
    return "Serial: " + m_state.identity().serialNumber + CR + "Factory: " + fields(false) + CR +
           "User:    " + fields(true) + CR + "Offset:  " + rightAligned("12", 5) + CR +
           "Ratio:   " + fixed(m_state.identity().sunshineRatio, 3);
}

QByteArray TextReplies::details() const
{
    if (!m_state.traits().hasDetails)
        return unknown("X");
    return inTestMode(QByteArray("X") + CR + "0: " + m_state.identity().serialNumber + CR +
                      "1: " + m_state.identity().calibrationDate);
}

QByteArray TextReplies::sunshineRatio() const
{
    if (!m_state.traits().hasDetails)
        return unknown("T");
    // The value fills the five characters right after "ratio".
    return inTestMode(QByteArray("T") + CR + "Sunshine ratio" +
                      rightAligned(fixed(m_state.identity().sunshineRatio, 2), 5));
}

QByteArray TextReplies::unknown(const QByteArray &command) const
{
    QByteArray shown = command;
    shown.replace(CR, "");
    shown.replace('\n', "");
    return inTestMode(shown + '?');
}
