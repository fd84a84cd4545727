// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Frame.h"

#include <QByteArray>
#include <QString>

// Gathers the bytes of one reply frame as the reads bring them and says when they make a
// frame. A packet reply is a header (start byte, command, address, data length n) and
// then the rest: n data bytes and the CRC. The acknowledgement of a data block request
// is nine bytes checked by their CRC alone (neither start byte nor length is looked at).
//
// Every byte of a read is kept, up to Capacity; bytes beyond it are dropped, so a packet
// whose length byte asks for more than fits never completes. Once the bytes reach the
// frame's size the CRC is checked over all bytes kept, including any that came in the
// same read after the frame. There is no search for a start byte: bytes before it make
// the reply invalid.
class FrameAssembler
{
public:
    enum class Layout { Packet, Acknowledgement };
    enum class Status { NeedMore, Frame, Invalid };

    static constexpr int Capacity = Frame::MaxDataLength + Frame::Overhead; // 261
    static constexpr int AcknowledgementSize = 9;

    explicit FrameAssembler(Layout layout) : m_layout(layout) {}

    // Adds the bytes of one read and says what the bytes so far make. Bytes fed after the
    // outcome is settled (a frame or an invalid reply) are ignored.
    Status feed(const QByteArray &bytes);
    Status status() const { return m_status; }
    // Feeds the bytes up to the end of the frame and gives back those after it (all that
    // follow once the outcome is settled), which belong to whatever comes next.
    QByteArray feedUpToEnd(const QByteArray &bytes);
    // The bytes still missing from the part being gathered.
    int missing() const;

    // True while a packet's header is still being gathered; never for an acknowledgement,
    // which has no header to wait for first.
    bool gatheringHeader() const;
    // The size of the part being gathered: a packet's header, then the rest of it (data
    // and CRC); the whole acknowledgement. The waits that take a part in one read ask for
    // this many bytes.
    int partSize() const;

    // Everything kept: the frame once complete.
    const QByteArray &bytes() const { return m_bytes; }
    // What the bytes so far come to, for a reader: what is still missing, or why the bytes
    // are no frame; empty for a frame.
    QString reason() const;

private:
    // The frame's full size: known from the header for a packet, fixed for an
    // acknowledgement; 0 while a packet's header is incomplete.
    int frameSize() const;

    Layout m_layout;
    Status m_status = Status::NeedMore;
    QByteArray m_bytes;
};
