#include "link/LinePacer.h"

#include <algorithm>

namespace {
// Rounded up, so the simulated line is never faster than a real one.
int64_t ByteNs(int baud)
{
    return baud <= 0 ? 0 : (11'000'000'000LL + baud - 1) / baud;
}
} // namespace

LinePacer::LinePacer(int baud, int64_t queueBytes, std::shared_ptr<LinkClock> clock)
    : m_clock(std::move(clock)),
      m_byteNs(ByteNs(baud)),
      m_queueBytes(queueBytes),
      m_lineFreeNs(m_clock->nowNs())
{
}

void LinePacer::write(int64_t bytes)
{
    const int64_t now = m_clock->nowNs();
    m_lineFreeNs = std::max(m_lineFreeNs, now) + bytes * m_byteNs;
    const int64_t taken = m_lineFreeNs - m_queueBytes * m_byteNs;
    if (taken > now)
        m_clock->sleepUntilNs(taken);
}

void LinePacer::drain()
{
    if (m_lineFreeNs > m_clock->nowNs())
        m_clock->sleepUntilNs(m_lineFreeNs);
}

int64_t LinePacer::bytesOnLine() const
{
    const int64_t left = m_lineFreeNs - m_clock->nowNs();
    return left <= 0 || m_byteNs == 0 ? 0 : (left + m_byteNs - 1) / m_byteNs;
}
