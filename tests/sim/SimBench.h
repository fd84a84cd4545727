#pragma once

#include "Instrument.h"
#include "SimulatedLine.h"

#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QByteArray>
#include <QList>

#include <cmath>

// A simulated instrument on port 3 of a fake serial port, on virtual time, as the link's
// tests will use it. The computer side writes and reads through the port.
struct SimBench
{
    struct Arrival
    {
        double at; // monotonic seconds
        QByteArray bytes;
    };

    explicit SimBench(const InstrumentOptions &options = {}, bool paced = false)
        : line(port.addLine(3)), instrument(clock, options), sim(instrument, line, paced)
    {
        port.setPortNumber(3);
        port.open();
    }

    // Everything that arrives within `seconds` of virtual time, read by read.
    QList<Arrival> collect(double seconds = 3.0)
    {
        QList<Arrival> arrivals;
        const double deadline = clock.monotonicSeconds() + seconds;
        for (;;) {
            const double remaining = deadline - clock.monotonicSeconds();
            if (remaining <= 0)
                break;
            if (!port.waitForReadyRead(static_cast<int>(std::ceil(remaining * 1000.0))))
                break;
            arrivals.append({clock.monotonicSeconds(), port.read()});
        }
        return arrivals;
    }

    static QByteArray joined(const QList<Arrival> &arrivals)
    {
        QByteArray all;
        for (const auto &arrival : arrivals)
            all += arrival.bytes;
        return all;
    }

    // Writes a command and returns all the bytes that answer it within `seconds`.
    QByteArray exchange(const QByteArray &command, double seconds = 3.0)
    {
        port.write(command);
        return joined(collect(seconds));
    }

    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeLine &line;
    Instrument instrument;
    SimulatedLine sim;
};

inline const QList<SimModel> &allModels()
{
    static const QList<SimModel> models{SimModel::ZQ2, SimModel::ZQ3v1, SimModel::ZQ3v2,
                                        SimModel::ZQ4, SimModel::ZQ5,   SimModel::VTA1};
    return models;
}
