// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the link benchmarks share: quorvel-sim started on a pseudo-terminal and the
// program's own link to it through the real serial port, as port 1 of a table of its own.

#include "link/SensorLink.h"
#include "platform/PortTable.h"
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"

#include "SimulatorProcess.h"

#include <cstdio>

class BenchLink
{
public:
    // Starts `program` with `arguments`; when it does not come up, says so on standard
    // error under the benchmark's `name`, and started() is false.
    BenchLink(const char *name, const QString &program, const QStringList &arguments)
    {
        device = simulator.start(program, arguments);
        if (device.isEmpty())
            std::fprintf(stderr, "%s: %s did not start\n", name, qPrintable(program));
        else
            table.addDevice(device);
    }
    bool started() const { return !device.isEmpty(); }

    SimulatorProcess simulator;
    QString device;
    PortTable table{PortTable::Numbering::DeviceList};
    QtSerialPort port{table};
    SystemClock clock;
    SensorLink link{port, clock};
};
