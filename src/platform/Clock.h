#pragma once

#include <cstdint>

// A monotonic clock. Trials read it for their start and end and for pacing their frames, so
// it must never jump with the wall clock nor wrap around during a run.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowNs() = 0;
};

class SteadyClock final : public Clock {
public:
    std::int64_t nowNs() override;
};
