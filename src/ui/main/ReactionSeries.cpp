#include "ReactionSeries.h"

#include "DropLottery.h"
#include "StickDrawing.h"
#include "TrialTiming.h"
#include "app/Int16.h"
#include "app/Module1.h"
#include "app/NumberText.h"

#include <algorithm>
#include <optional>

namespace {

int virtualKeyOf(StickSide side) {
    return side == StickSide::Right ? kVkRight : kVkLeft;
}

} // namespace

ReactionSeries::ReactionSeries(Module1& module, const Platform& platform, TrialView& view)
    : m_module(module)
    , m_platform(platform)
    , m_view(view) {}

void ReactionSeries::startSeries(int speedBarValue) {
    m_speedSetting = std::int32_t(qint16(speedBarValue));
    m_trialCount = 0;
    DrawSticksAtRest(m_view.surface(StickSide::Right), m_view.surface(StickSide::Left));
    presentBothSticks();
}

void ReactionSeries::ChooseDrop() {
    const int c = drawLots(m_platform.random, m_platform.timeOfDay);
    if (c == 1)
        DropStick(StickSide::Left);
    if (c == 2)
        DropStick(StickSide::Right);
}

void ReactionSeries::DropStick(StickSide side) {
    Clock& clock = m_platform.clock;
    KeyState& keys = m_platform.keys;
    DrawingSurface& surface = m_view.surface(side);
    const int key = virtualKeyOf(side);
    const double H = surface.height();

    // The cleared box is not put on screen by itself: it reaches the screen only with the
    // first frame drawn over it, so the resting stick never blinks out before the fall.
    BeginDrop(surface);

    qint16 baseline = 0;
    for (int i = 0; i < kBaselineReads; ++i)
        baseline = keys.asyncKeyState(key);

    std::int64_t t = 1;
    double bottom = kRestBottom;

    // Ahead of ordinary programs from the first frame to the last, where the system allows
    // it; back in the normal class for the pause and the windows, whatever ends the fall.
    struct RealtimeWhileFalling {
        explicit RealtimeWhileFalling(Scheduling& s)
            : scheduling(s) {
            scheduling.enterRealtime();
        }
        ~RealtimeWhileFalling() { scheduling.leaveRealtime(); }
        Scheduling& scheduling;
    };
    std::optional<RealtimeWhileFalling> realtime(std::in_place, m_platform.scheduling);

    const std::int64_t startNs = clock.nowNs();
    std::int64_t lastSleepNs = startNs;
    for (;;) {
        waitForFrame(startNs + (t - 1) * kFramePeriod.count(), lastSleepNs);

        const qint16 s = keys.asyncKeyState(key);
        if (s != baseline || bottom > H)
            break;
        DrawDropFrame(surface, bottom);
        // On screen as soon as it is drawn, as the user is timed from what they see; a frame
        // that changes no pixel costs only the comparison.
        m_view.presentStick(side);
        m_dropIncrement = fallIncrement(t, m_speedSetting);
        ++t;
        bottom += m_dropIncrement;
    }
    const std::int64_t endNs = clock.nowNs();
    realtime.reset();

    qint16& slot = m_module.trialTime(m_trialCount);
    slot = Int16::fromWide(endNs / 1'000'000 - startNs / 1'000'000);
    m_trialCount = Int16::add(m_trialCount, 1);
    m_view.presentTrialResult(PlainNumberText(slot), PlainNumberText(m_trialCount));

    m_platform.sleeper.sleepMs(kPauseAfterTrialMs);

    DrawSticksAtRest(m_view.surface(StickSide::Right), m_view.surface(StickSide::Left));
    presentBothSticks();

    if (m_trialCount == Module1::kTrialsPerSeries)
        m_view.finishSeries();
}

void ReactionSeries::waitForFrame(std::int64_t deadlineNs, std::int64_t& lastSleepNs) {
    Clock& clock = m_platform.clock;
    std::int64_t now = clock.nowNs();
    if (deadlineNs - now > kWakeMargin.count() ||
        now - lastSleepNs > kLongestRunWithoutSleep.count()) {
        m_platform.sleeper.sleepUntilNs(std::max(deadlineNs - kWakeMargin.count(), now + 1));
        now = lastSleepNs = clock.nowNs();
    }
    while (now < deadlineNs)
        now = clock.nowNs();
}

void ReactionSeries::presentBothSticks() {
    m_view.presentStick(StickSide::Right);
    m_view.presentStick(StickSide::Left);
}
