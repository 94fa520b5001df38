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
// How long after the key a trial waits, at the most, for a compositor's report of when the
// fall's first frame reached the screen: a frame or two at 60 Hz, taken from the pause.
inline constexpr std::chrono::milliseconds kCompositorReportWait{100};

// Between frames the trial sleeps until this long before the next frame's deadline, then
// waits out the rest on the clock: the kernel wakes a sleeper some tens of microseconds late,
// and a frame must never start before its deadline nor much after it. Sleeping leaves the
// core to the X server, which shows the stick and delivers the key, and to the rest of the
// machine; in a real-time class it is what keeps the trial from starving them.
inline constexpr std::chrono::nanoseconds kWakeMargin = std::chrono::microseconds(30);
// A trial behind its schedule has no time to sleep; it still blocks now and then (as often as
// the scheduling allows it to run without blocking), since a real-time thread that never
// blocks would keep everything else off its core and run into the system's real-time time
// limit. Such a sleep lasts at least this long: one until a moment already past would return
// without blocking, and the kernel would count the run on.
inline constexpr std::chrono::nanoseconds kShortestSleep = std::chrono::microseconds(20);

// Key reads before the fall; the last becomes the baseline. The repeated reads use up a
// pressed-since-the-last-query bit left over from a press between trials.
inline constexpr int kBaselineReads = 11;

// The fall law: after frame t the stick's lower end moves down by t² / (speed × 0.5 × 100000)
// twips, in double precision. A larger speed setting falls slower.
inline double fallIncrement(std::int64_t t, std::int32_t speedSetting) {
    return double(t) * double(t) / (double(speedSetting) * 0.5 * 100000.0);
}
