// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FakeSerialPort.h"

#include <QByteArray>
#include <QList>
#include <QMap>

// A far end that answers each exact write with a scripted reply, made of chunks that
// arrive at given delays after the write. Writes without a script get no answer.
class ScriptedLine
{
public:
    struct Chunk
    {
        double delay;
        QByteArray bytes;
    };

    explicit ScriptedLine(FakeLine &line) : m_line(line)
    {
        m_line.onWrite = [this](const QByteArray &bytes) { answer(bytes); };
    }

    // Answers `command` with `reply` in one chunk after `delay` seconds.
    void on(const QByteArray &command, const QByteArray &reply, double delay = 0.005)
    {
        m_script[command] = {{delay, reply}};
    }
    void on(const QByteArray &command, const QList<Chunk> &chunks) { m_script[command] = chunks; }
    void silence(const QByteArray &command) { m_script.remove(command); }

    FakeLine &line() { return m_line; }

private:
    void answer(const QByteArray &bytes)
    {
        const auto it = m_script.constFind(bytes);
        if (it == m_script.constEnd())
            return;
        for (const Chunk &chunk : *it)
            m_line.deliver(chunk.bytes, chunk.delay);
    }

    FakeLine &m_line;
    QMap<QByteArray, QList<Chunk>> m_script;
};
