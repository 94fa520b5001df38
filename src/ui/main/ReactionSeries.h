#pragma once

#include "TrialView.h"
#include "platform/Platform.h"

#include <QtGlobal>
#include <cstdint>

class Module1;

// The series of ten trials: the counter, the speed, the random choice of each tick and the
// drop trial with its time measurement.
class ReactionSeries {
public:
    ReactionSeries(Module1& module, const Platform& platform, TrialView& view);

    // A series begins: the speed bar's value is taken, the counter reset, both sticks drawn
    // at rest, and the compositor asked to stand aside.
    void startSeries(int speedBarValue);
    // The series is over, whether with its tenth trial, an error or the program's end: the
    // desktop composes again.
    void endSeries();
    void resetCount() { m_trialCount = 0; }

    // One tick of the series timer.
    void ChooseDrop();
    // One trial on the given side; returns after its two-second pause.
    void DropStick(StickSide side);

    qint16 trialCount() const { return m_trialCount; }
    std::int32_t speedSetting() const { return m_speedSetting; }

    // What a trial's time is taken from: readings of the monotonic clock.
    struct Fall {
        std::int64_t startNs = 0;  // just before the first poll and frame
        std::int64_t polledNs = 0; // right after the poll that ended the fall
        // The fall's end: when the poll saw the key, or, where the key's own event has a time,
        // then.
        std::int64_t endNs = 0;
        // How much later than drawn a compositor showed the fall's first frame, by its report
        // (0 without one): the user could not see the fall begin before then.
        std::int64_t shownLateNs = 0;
    };
    const Fall& lastFall() const { return m_lastFall; }

private:
    // The stick falls from its rest position until the key's state differs from the
    // baseline or the stick has left its box; then what a compositor reports of it.
    Fall runFall(StickSide side, qint16 baseline);
    // The frames of the fall, in a real-time class where the system grants one.
    Fall runFrames(StickSide side, qint16 baseline);
    void presentBothSticks();
    // Until the frame's deadline: asleep for most of the time, on the clock for the rest;
    // asleep at least once every `longestRunNs`, however far behind its schedule.
    void waitForFrame(std::int64_t deadlineNs, std::int64_t longestRunNs,
                      std::int64_t& lastSleepNs);

    Module1& m_module;
    Platform m_platform;
    TrialView& m_view;

    qint16 m_trialCount = 0;
    std::int32_t m_speedSetting = 0;
    double m_dropIncrement = 0.0;
    Fall m_lastFall;
};
