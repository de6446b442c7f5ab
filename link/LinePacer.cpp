#include "link/LinePacer.h"

#include <algorithm>
#include <thread>

namespace {
// Rounded up, so the simulated line is never faster than a real one.
std::chrono::nanoseconds ByteTime(int baud)
{
    if (baud <= 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds((11'000'000'000LL + baud - 1) / baud);
}
} // namespace

LinePacer::LinePacer(int baud, int64_t queueBytes)
    : m_byteTime(std::chrono::duration_cast<Clock::duration>(ByteTime(baud))),
      m_queueBytes(queueBytes),
      m_lineFreeAt(Clock::now())
{
}

void LinePacer::write(int64_t bytes)
{
    m_lineFreeAt = std::max(m_lineFreeAt, Clock::now()) + bytes * m_byteTime;
    std::this_thread::sleep_until(m_lineFreeAt - m_queueBytes * m_byteTime);
}

void LinePacer::drain()
{
    std::this_thread::sleep_until(m_lineFreeAt);
}
