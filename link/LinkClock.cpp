#include "link/LinkClock.h"

#include <QtGlobal>

#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <ctime>
#endif

namespace {
class SteadyClock : public LinkClock {
public:
    int64_t nowNs() const override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    // Sleeps to the absolute deadline, so a pause ends at its time however
    // long the thread took to get here.
    void sleepUntilNs(int64_t deadline) override
    {
#ifdef Q_OS_UNIX
        // steady_clock is CLOCK_MONOTONIC on the platforms Qt supports.
        const timespec at{time_t(deadline / 1000000000), long(deadline % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
#else
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::nanoseconds(deadline))));
#endif
    }
};
} // namespace

void LinkClock::pause(int ms)
{
    sleepUntilNs(nowNs() + int64_t(ms) * 1000000);
}

std::shared_ptr<LinkClock> SystemClock()
{
    static const std::shared_ptr<LinkClock> clock = std::make_shared<SteadyClock>();
    return clock;
}

void PauseAtLeast(int ms)
{
    SystemClock()->pause(ms);
}
