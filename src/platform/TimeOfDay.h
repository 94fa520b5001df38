#pragma once

// The time of day, which seeds the random generator on every tick.
class TimeOfDay {
public:
    virtual ~TimeOfDay() = default;
    // Seconds since midnight, fractions of a second included.
    virtual float secondsSinceMidnight() = 0;
};

class SystemTimeOfDay final : public TimeOfDay {
public:
    float secondsSinceMidnight() override;
};
