#include "link/LinePacer.h"

#include <algorithm>
#include <limits>

namespace {
// Rounded up, so the simulated line is never faster than a real one.
int64_t ByteNs(int baud)
{
    return baud <= 0 ? 0 : (11'000'000'000LL + baud - 1) / baud;
}
} // namespace

LinePacer::LinePacer(int baud, int64_t queueBytes, std::shared_ptr<LinkClock> clock,
                     int64_t stallAfterBytes)
    : m_clock(std::move(clock)),
      m_byteNs(ByteNs(baud)),
      m_queueBytes(queueBytes),
      m_carryLeft(stallAfterBytes),
      m_lineFreeNs(m_clock->nowNs())
{
}

void LinePacer::write(int64_t bytes, SerialPort::LineWatch &watch)
{
    int64_t carried = bytes;
    if (m_carryLeft >= 0) {
        carried = std::min(bytes, m_carryLeft);
        m_carryLeft -= carried;
    }
    m_stuck += bytes - carried;
    m_lineFreeNs = std::max(m_lineFreeNs, m_clock->nowNs()) + carried * m_byteNs;
    waitUntilAtMost(m_queueBytes, watch);
}

int64_t LinePacer::drain(SerialPort::LineWatch &watch)
{
    waitUntilAtMost(0, watch);
    return m_lineFreeNs;
}

void LinePacer::discard()
{
    m_stuck = 0;
    m_lineFreeNs = std::min(m_lineFreeNs, m_clock->nowNs());
}

void LinePacer::waitUntilAtMost(int64_t bytes, SerialPort::LineWatch &watch)
{
    for (int64_t left = bytesOnLine(); left > bytes; left = bytesOnLine()) {
        watch.check(left);
        m_clock->sleepUntilNs(watch.nextLookNs(whenAtMostNs(bytes)));
    }
}

int64_t LinePacer::whenAtMostNs(int64_t bytes) const
{
    if (m_stuck > bytes)
        return std::numeric_limits<int64_t>::max();
    return m_lineFreeNs - (bytes - m_stuck) * m_byteNs;
}

int64_t LinePacer::bytesOnLine() const
{
    const int64_t left = m_lineFreeNs - m_clock->nowNs();
    const int64_t leaving = left <= 0 || m_byteNs == 0 ? 0 : (left + m_byteNs - 1) / m_byteNs;
    return m_stuck + leaving;
}
