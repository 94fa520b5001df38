#include "ReactionSeries.h"

#include "DropLottery.h"
#include "StickDrawing.h"
#include "TrialTiming.h"
#include "app/Int16.h"
#include "app/Module1.h"
#include "app/NumberText.h"

#include <algorithm>

namespace {

const char* const kTrialTooLong =
    "Ein Versuch dauerte länger als 32767 Millisekunden; die Versuchsreihe wurde nicht "
    "gespeichert.";

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
    // Which way to a real-time class the system offers is found out now, not in a trial.
    m_platform.scheduling.prepare();
    DrawSticksAtRest(m_view.surface(StickSide::Right), m_view.surface(StickSide::Left));
    presentBothSticks();
    // The first fall comes with the timer's first tick, time enough for the compositor to
    // stop.
    m_platform.painter.bypassCompositor(true);
}

void ReactionSeries::endSeries() {
    m_platform.painter.bypassCompositor(false);
}

void ReactionSeries::ChooseDrop() {
    const int c = drawLots(m_platform.random, m_platform.timeOfDay);
    try {
        if (c == 1)
            DropStick(StickSide::Left);
        if (c == 2)
            DropStick(StickSide::Right);
    } catch (...) {
        endSeries(); // before the error's message shows
        throw;
    }
}

void ReactionSeries::DropStick(StickSide side) {
    DrawingSurface& surface = m_view.surface(side);
    const int key = virtualKeyOf(side);

    // The cleared box is not put on screen by itself: it reaches the screen only with the
    // first frame drawn over it, so the resting stick never blinks out before the fall.
    BeginDrop(surface);

    qint16 baseline = 0;
    for (int i = 0; i < kBaselineReads; ++i)
        baseline = m_platform.keys.asyncKeyState(key);

    m_lastFall = runFall(side, baseline);
    const Fall& fall = m_lastFall;
    // The wait for the compositor's report after the key is part of the pause.
    const std::int64_t reportWaitMs = (m_platform.clock.nowNs() - fall.polledNs) / 1'000'000;

    qint16& slot = m_module.trialTime(m_trialCount);
    slot = Int16::fromWide(fall.endNs / 1'000'000 - (fall.startNs + fall.shownLateNs) / 1'000'000,
                           kTrialTooLong);
    m_trialCount = Int16::add(m_trialCount, 1);
    m_view.presentTrialResult(PlainNumberText(slot), PlainNumberText(m_trialCount));

    m_platform.sleeper.sleepMs(int(std::max<std::int64_t>(0, kPauseAfterTrialMs - reportWaitMs)));

    DrawSticksAtRest(m_view.surface(StickSide::Right), m_view.surface(StickSide::Left));
    presentBothSticks();

    if (m_trialCount == Module1::kTrialsPerSeries) {
        endSeries();
        m_view.finishSeries();
    }
}

ReactionSeries::Fall ReactionSeries::runFall(StickSide side, qint16 baseline) {
    Fall fall = runFrames(side, baseline);
    // On a composited desktop the frame that first moved the stick reached the screen only
    // at the compositor's next repaint; where it reports when, the fall is timed from then.
    // The report comes after the key, so no frame waits for it, and in the normal class.
    fall.shownLateNs =
        m_platform.painter.markedFrameShownLateNs(fall.endNs, kCompositorReportWait).value_or(0);
    return fall;
}

ReactionSeries::Fall ReactionSeries::runFrames(StickSide side, qint16 baseline) {
    Clock& clock = m_platform.clock;
    KeyState& keys = m_platform.keys;
    DrawingSurface& surface = m_view.surface(side);
    const int key = virtualKeyOf(side);
    const double H = surface.height();
    std::int64_t t = 1;
    double bottom = kRestBottom;
    const int restRow = surface.toDevice(0.0f, kRestBottom).y();
    bool moved = false;

    // Ahead of ordinary programs from the first frame to the last, where the system allows
    // it; back in the normal class for the pause and the windows, whatever ends the fall.
    const RealtimeScope realtime(m_platform.scheduling);
    const std::int64_t longestRunNs = m_platform.scheduling.longestRunWithoutBlocking().count();

    Fall fall;
    m_platform.painter.startFall();
    fall.startNs = clock.nowNs();
    std::int64_t lastSleepNs = fall.startNs;
    bool keyChanged = false;
    for (;;) {
        waitForFrame(fall.startNs + (t - 1) * kFramePeriod.count(), longestRunNs, lastSleepNs);

        const qint16 s = keys.asyncKeyState(key);
        keyChanged = s != baseline;
        if (keyChanged || bottom > H)
            break;
        DrawDropFrame(surface, bottom);
        // The frame whose showing the user can first see as a move: the stick's lower end in
        // the pixel row below its rest position.
        if (!moved && surface.toDevice(0.0f, float(bottom)).y() > restRow) {
            moved = true;
            m_platform.painter.markNextFrame();
        }
        // On screen as soon as it is drawn, as the user is timed from what they see; a frame
        // that changes no pixel costs only the comparison.
        m_view.presentStick(side);
        m_dropIncrement = fallIncrement(t, m_speedSetting);
        ++t;
        bottom += m_dropIncrement;
    }
    fall.polledNs = fall.endNs = clock.nowNs();
    // Where the key's own event says when it came (a Wayland compositor passes a key on only
    // when it gets to it), the fall ends then; a time outside the fall is no time.
    const std::optional<std::int64_t> keyNs = keyChanged ? keys.lastChangeNs(key) : std::nullopt;
    if (keyNs && *keyNs >= fall.startNs && *keyNs < fall.endNs)
        fall.endNs = *keyNs;
    return fall;
}

void ReactionSeries::waitForFrame(std::int64_t deadlineNs, std::int64_t longestRunNs,
                                  std::int64_t& lastSleepNs) {
    Clock& clock = m_platform.clock;
    std::int64_t now = clock.nowNs();
    if (deadlineNs - now > kWakeMargin.count() || now - lastSleepNs > longestRunNs) {
        m_platform.sleeper.sleepUntilNs(
            std::max(deadlineNs - kWakeMargin.count(), now + kShortestSleep.count()));
        now = lastSleepNs = clock.nowNs();
    }
    while (now < deadlineNs)
        now = clock.nowNs();
}

void ReactionSeries::presentBothSticks() {
    m_view.presentStick(StickSide::Right);
    m_view.presentStick(StickSide::Left);
}
