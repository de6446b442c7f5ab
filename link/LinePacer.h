// The time a serial line takes: 11 bits a character (start, 8 data, parity,
// stop) at the baud rate, behind a driver queue. The simulated port and the
// recording port's driver model use it, so that a rehearsal takes as long as
// the show will.
#pragma once

#include "link/SerialPort.h"

#include <cstdint>
#include <memory>

class LinePacer {
public:
    // A baud rate of 0 or less paces nothing. queueBytes: what the driver
    // holds while the line shifts it out; 0 for a write that returns when its
    // last byte has left. stallAfterBytes: the line carries that many bytes
    // in all and then no more (a hung adapter); negative for never.
    LinePacer(int baud, int64_t queueBytes, std::shared_ptr<LinkClock> clock = SystemClock(),
              int64_t stallAfterBytes = -1);

    // Blocks, like a driver write, until the queue has taken the last of the
    // bytes: at most queueBytes of them are still to go out on return.
    void write(int64_t bytes, SerialPort::LineWatch &watch);
    // Blocks until every byte written has left the line; returns when the
    // last one left.
    int64_t drain(SerialPort::LineWatch &watch);
    // Drops every byte that has not left yet.
    void discard();
    // The bytes written that have not yet left the line, counting one that is
    // leaving.
    int64_t bytesOnLine() const;

private:
    void waitUntilAtMost(int64_t bytes, SerialPort::LineWatch &watch);
    // When at most that many bytes are left; never (INT64_MAX) on a stall.
    int64_t whenAtMostNs(int64_t bytes) const;

    std::shared_ptr<LinkClock> m_clock;
    int64_t m_byteNs;
    int64_t m_queueBytes;
    int64_t m_carryLeft;    // bytes the line will still carry; negative: no limit
    int64_t m_stuck = 0;    // bytes written that will never leave
    int64_t m_lineFreeNs;   // when the last byte that leaves will have left
};
