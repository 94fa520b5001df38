#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

// Matches what a compositor reports of a window's frames (the extended frame synchronisation
// of _NET_WM_SYNC_REQUEST_COUNTER: _NET_WM_FRAME_DRAWN and _NET_WM_FRAME_TIMINGS) to the frame
// of a fall that first moved the stick on screen, and says how much later than drawn that
// frame was shown. Knows no X: the window painter feeds it.
class FrameReports {
public:
    static constexpr std::chrono::nanoseconds kReadAfterDrawing = std::chrono::milliseconds(1);

    // A fall begins; no frame counts yet.
    void startFall();
    // The next frame put is the one that counts.
    void markNextFrame();
    // The program put a frame on the window, marked with this counter value, at this moment of
    // the monotonic clock.
    void framePut(std::uint64_t counter, std::int64_t drawnNs);
    // The compositor drew the frame with this counter value at this moment (its clock, in
    // microseconds of the monotonic clock).
    void frameDrawn(std::uint64_t counter, std::int64_t drawnUs);
    // ... and it reached the screen `presentationOffsetUs` after that (0: not known).
    void frameTimings(std::uint64_t counter, std::int32_t presentationOffsetUs);

    // Whether a frame of the fall was put and its reports are not all in yet (drawn, and its
    // timings too).
    bool awaitsReports() const;
    // How much later than the program drew it the compositor showed the marked frame;
    // nothing when no frame was put, no report came, or it is implausible: shown before it was
    // drawn, or after `notAfterNs` (the key that ended the fall). The compositor reads its
    // clock only after drawing, so a report up to kReadAfterDrawing after the key counts as
    // shown at the key: a participant without reaction time is that fast.
    std::optional<std::int64_t> markedFrameDelayNs(std::int64_t notAfterNs) const;

private:
    bool m_marked = false;
    std::optional<std::uint64_t> m_counter;
    std::int64_t m_drawnNs = 0;
    std::optional<std::int64_t> m_shownUs;
    std::optional<std::int32_t> m_offsetUs;
};
