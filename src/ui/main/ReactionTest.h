#pragma once

#include "DrawingSurface.h"
#include "platform/Platform.h"

#include <QString>
#include <chrono>
#include <cstdint>

class Module1;

enum class StickSide { Left, Right };

// What a trial changes in the main window besides the stick boxes' pictures.
class TrialView {
public:
    virtual ~TrialView() = default;
    virtual DrawingSurface& surface(StickSide side) = 0;
    // Puts what changed in the box's picture since the last call on screen now, and nothing
    // when no pixel changed; the trial does not return to the event loop, so nothing would
    // show otherwise.
    virtual void presentStick(StickSide side) = 0;
    // Shows the trial's time and the count of trials done, on screen now.
    virtual void presentTrialResult(const QString& time, const QString& count) = 0;
    // After the tenth trial: the timer stops and the results are shown.
    virtual void finishSeries() = 0;
};

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

// The value 1, 2 or 3 that decides a tick: 1 drops the left stick, 2 the right, 3 nothing.
// The generator is re-seeded from the time of day on every call.
int chooseDropValue(RandomSource& random, TimeOfDay& timeOfDay);

// The series of ten trials: the counter, the speed, the random choice of each tick and the
// drop trial with its time measurement.
class ReactionTest {
public:
    ReactionTest(Module1& module, const Platform& platform, TrialView& view);

    // A series begins: the speed bar's value is taken, the counter reset, both sticks drawn
    // at rest.
    void startSeries(int speedBarValue);
    void resetCount() { m_trialCount = 0; }

    // One tick of the series timer.
    void ChooseDrop();
    // One trial on the given side; returns after its two-second pause.
    void DropStick(StickSide side);

    qint16 trialCount() const { return m_trialCount; }
    std::int32_t speedSetting() const { return m_speedSetting; }
    double dropIncrement() const { return m_dropIncrement; }

private:
    void presentBothSticks();

    Module1& m_module;
    Platform m_platform;
    TrialView& m_view;

    qint16 m_trialCount = 0;
    std::int32_t m_speedSetting = 0;
    double m_dropIncrement = 0.0;
};
