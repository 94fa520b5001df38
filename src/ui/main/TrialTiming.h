#pragma once

#include <chrono>
#include <cstdint>

// How a trial is paced and how its stick falls.

// The fall law counts frames. Drawn as fast as a modern machine allows, a whole fall would
// take a fraction of a second and a missed stick would score as a fast reaction; frames are
// therefore paced on the monotonic clock, frame t starting no earlier than
// start + (t - 1) * kFramePeriod.
inline constexpr std::chrono::nanoseconds kFramePeriod = std::chrono::microseconds(100);
inline constexpr int kPauseAfterTrialMs = 2000;

// Key reads before the fall; the last becomes the baseline. The repeated reads use up a
// pressed-since-the-last-query bit left over from a press between trials.
inline constexpr int kBaselineReads = 11;

// The fall law: after frame t the stick's lower end moves down by t² / (speed × 0.5 × 100000)
// twips, in double precision. A larger speed setting falls slower.
inline double fallIncrement(std::int64_t t, std::int32_t speedSetting) {
    return double(t) * double(t) / (double(speedSetting) * 0.5 * 100000.0);
}
