#include "show/TimedPlayback.h"

#include <limits>

TimedPlayback::TimedPlayback(PlaybackClock *clock, Output output, QObject *parent)
    : QObject(parent), m_clock(clock), m_output(std::move(output))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TimedPlayback::tick);
}

qint64 TimedPlayback::showClockMs() const
{
    return m_state == Playing ? m_clock->nowMs() - m_zeroMs : m_pausedAt;
}

void TimedPlayback::setShowClock(qint64 showMs)
{
    if (m_state == Playing)
        m_zeroMs = m_clock->nowMs() - showMs;
    else
        m_pausedAt = showMs;
}

qint64 TimedPlayback::msToNext() const
{
    if (m_next < 0)
        return -1;
    return std::max<qint64>(0, m_times[size_t(m_next)].startMs - showClockMs());
}

void TimedPlayback::start(const std::vector<CueTime> &times, int first)
{
    if (first < 0 || size_t(first) >= times.size())
        return;
    m_times = times;
    m_stopReason.clear();
    m_state = Playing;
    m_onAir = -1;
    m_next = first;
    setShowClock(m_times[size_t(first)].startMs);
    tick();
}

void TimedPlayback::stop(const QString &reason)
{
    if (m_state == Stopped)
        return;
    m_timer.stop();
    m_pausedAt = showClockMs();
    m_state = Stopped;
    m_stopReason = reason;
    emit changed();
}

void TimedPlayback::pause()
{
    if (m_state != Playing)
        return;
    m_pausedAt = showClockMs();
    m_state = Paused;
    m_timer.stop();
    emit changed();
}

void TimedPlayback::resume()
{
    if (m_state != Paused)
        return;
    m_state = Playing;
    setShowClock(m_pausedAt);
    tick();
}

void TimedPlayback::nudge(qint64 deltaMs)
{
    if (m_state == Stopped)
        return;
    setShowClock(std::max<qint64>(0, showClockMs() + deltaMs));
    if (m_state == Playing)
        tick();
    else
        emit changed();
}

void TimedPlayback::pageSentByHand(int page)
{
    if (m_state == Stopped || m_sending || page < 0 || size_t(page) >= m_times.size())
        return;
    setShowClock(m_times[size_t(page)].startMs);
    m_onAir = page;
    m_blanked = false;
    m_next = size_t(page) + 1 < m_times.size() ? page + 1 : -1;
    if (m_state == Playing)
        tick();
    else
        emit changed();
}

bool TimedPlayback::sendDue(int page)
{
    m_sending = true;
    const bool sent = m_output.sendPage(page);
    m_sending = false;
    return sent;
}

// The page on air is to be blanked at its end: the option is on, and the
// next cue does not start right then.
bool TimedPlayback::blankPending() const
{
    if (m_onAir < 0 || !m_blankAtEnd || m_blanked)
        return false;
    return m_next < 0 || m_times[size_t(m_next)].startMs > m_times[size_t(m_onAir)].endMs;
}

void TimedPlayback::tick()
{
    if (m_state != Playing)
        return;
    const qint64 now = showClockMs();
    if (blankPending() && now >= m_times[size_t(m_onAir)].endMs && m_output.blank())
        m_blanked = true;
    if (m_next >= 0 && now >= m_times[size_t(m_next)].startMs && sendDue(m_next)) {
        m_onAir = m_next;
        m_blanked = false;
        m_next = size_t(m_next) + 1 < m_times.size() ? m_next + 1 : -1;
    }
    if (m_state != Playing)
        return;   // the page's own failure stopped playback
    if (m_next < 0 && !blankPending()) {
        stop();
        return;
    }
    schedule();
    emit changed();
}

// The timer is set for the next thing due; what the busy link refused is
// asked for again soon, as the running transmission may end any moment.
void TimedPlayback::schedule()
{
    constexpr qint64 RetryMs = 10, LongestWaitMs = 60000;
    qint64 due = m_next >= 0 ? m_times[size_t(m_next)].startMs : std::numeric_limits<qint64>::max();
    if (blankPending())
        due = std::min(due, m_times[size_t(m_onAir)].endMs);
    const qint64 wait = due - showClockMs();
    m_timer.start(int(wait <= 0 ? RetryMs : std::min(wait, LongestWaitMs)));
}
