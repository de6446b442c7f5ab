// The time a serial line takes: 11 bits a character (start, 8 data, parity,
// stop) at the baud rate, behind a driver queue. The simulated port uses it so
// that a rehearsal takes as long as the show will.
#pragma once

#include <chrono>
#include <cstdint>

class LinePacer {
public:
    using Clock = std::chrono::steady_clock;

    // A baud rate of 0 or less paces nothing.
    explicit LinePacer(int baud, int64_t queueBytes = 1024);

    // Blocks, like a driver write, until the queue has taken the last of the
    // bytes: at most queueBytes of them are still to go out on return.
    void write(int64_t bytes);
    // Blocks until every byte written has left the line.
    void drain();

    Clock::duration byteTime() const { return m_byteTime; }

private:
    Clock::duration m_byteTime;
    int64_t m_queueBytes;
    Clock::time_point m_lineFreeAt;   // when the last byte written will have left
};
