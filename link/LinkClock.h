// The steady clock the link paces the line with and stamps its events by;
// tests and benchmarks put a virtual one in its place.
#pragma once

#include <cstdint>
#include <memory>

// Time for the link: the worker's pauses and the wire log's time stamps.
class LinkClock {
public:
    virtual ~LinkClock() = default;
    virtual int64_t nowNs() const = 0;
    // Returns no earlier than the given time.
    virtual void sleepUntilNs(int64_t deadline) = 0;
    // A pause of at least ms milliseconds, never shorter.
    void pause(int ms);
};

// The steady clock of the machine; shared by every transmission.
std::shared_ptr<LinkClock> SystemClock();

// Blocks the calling thread for at least ms milliseconds.
void PauseAtLeast(int ms);
