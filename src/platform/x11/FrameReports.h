#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

// Matches what a compositor reports of a window's frames (the extended frame synchronisation
// of _NET_WM_SYNC_REQUEST_COUNTER: _NET_WM_FRAME_DRAWN and _NET_WM_FRAME_TIMINGS) to the frame
// of a fall that first moved the stick on screen, and says how much later than drawn that
// frame was shown. Knows no X: the window painter feeds it.
//
// Any X client can send the window such a report, and compositors get them wrong at times (a
// negative presentation offset under Xwayland), so a report counts only where it is
// plausible; a later plausible report for the same frame counts where an earlier one did not.
class FrameReports {
public:
    static constexpr std::chrono::nanoseconds kReadAfterDrawing = std::chrono::milliseconds(1);
    // The longest a compositor plausibly takes from a finished frame to showing it: a repaint
    // missed under load, the next one, and the vertical blank after it, four refreshes in all;
    // where the timings give no refresh interval, four at 60 Hz.
    static constexpr int kRefreshesToShow = 4;
    static constexpr std::chrono::microseconds kDefaultRefresh{16'667};

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
    // ... and it reached the screen `presentationOffsetUs` after that (0 or less: not known),
    // on a screen refreshed every `refreshIntervalUs` (0: not known).
    void frameTimings(std::uint64_t counter, std::int32_t presentationOffsetUs,
                      std::uint32_t refreshIntervalUs);

    // How much later than drawn (put on the window at `drawnNs`) a frame was shown at `shownNs`
    // by a compositor whose screen refreshes every `refreshNs` (0: not known, 60 Hz taken), where
    // that is plausible: not shown before it was drawn, nor longer after it than a compositor
    // takes, nor after `notAfterNs` (the key that ended the fall; up to kReadAfterDrawing after
    // it counts as shown at the key). Any window system's reports are judged by these rules.
    static std::optional<std::int64_t> plausibleDelayNs(std::int64_t drawnNs, std::int64_t shownNs,
                                                        std::int64_t refreshNs,
                                                        std::int64_t notAfterNs);
    // Whether a frame of the fall was put and no plausible report of it is complete yet (drawn,
    // and its timings too); `notAfterNs` as below.
    bool awaitsReports(std::int64_t notAfterNs) const;
    // How much later than the program drew it the compositor showed the marked frame, by the
    // first plausible report; nothing when no frame was put or no report is plausible: shown
    // before it was drawn, longer after it than a compositor takes, or after `notAfterNs` (the
    // key that ended the fall). The compositor reads its clock only after drawing, so a report
    // up to kReadAfterDrawing after the key counts as shown at the key: a participant without
    // reaction time is that fast.
    std::optional<std::int64_t> markedFrameDelayNs(std::int64_t notAfterNs) const;

private:
    struct Report {
        std::int64_t drawnUs = 0;
        bool timed = false;
        std::int32_t offsetUs = 0;
        std::uint32_t refreshUs = 0;
    };
    // Beyond this many reports for one frame, a client is flooding the window.
    static constexpr std::size_t kMostReports = 16;
    std::optional<std::int64_t> delayNs(const Report& report, std::int64_t notAfterNs) const;

    bool m_marked = false;
    std::optional<std::uint64_t> m_counter;
    std::int64_t m_drawnNs = 0;
    std::vector<Report> m_reports;
};
