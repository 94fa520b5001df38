#pragma once

#include <cstdint>

// Blocks the calling thread: the trial's pause, so that nothing else runs meanwhile, and the
// idle part of each frame of a fall.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int milliseconds) = 0;
    // Until the monotonic clock (the one SteadyClock reads) reaches the given time; it may
    // return later, never earlier.
    virtual void sleepUntilNs(std::int64_t monotonicNs) = 0;
};

class ThreadSleeper final : public Sleeper {
public:
    // The calling thread's timer slack at its minimum: by default the kernel may wake a
    // sleeper 50 µs late, half a frame.
    ThreadSleeper();
    void sleepMs(int milliseconds) override;
    void sleepUntilNs(std::int64_t monotonicNs) override;
};
