#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Matches a Wayland compositor's presentation feedback to the frame of a fall that first moved
// the stick on screen, and says how much later than drawn the move was shown. Knows no
// Wayland: the window painter feeds it.
//
// Each frame from the marked one on is committed with a feedback request; the compositor
// answers each with the time it was presented, or says it was discarded (replaced by a later
// commit before it reached the screen). A discarded frame hands its role to the next frame
// that was presented, which shows the move too. The time counts only where it is plausible,
// by the same rules as an X11 compositor's reports.
class PresentedFrames {
public:
    // Beyond this many frames after the marked one, the move has long been shown.
    static constexpr std::size_t kMostFrames = 64;

    // A fall begins; no frame counts yet.
    void startFall();
    // The next frame committed is the one that counts.
    void markNextFrame();
    // Whether the next frame committed wants a feedback: the marked one and those after it.
    bool wantsFeedback() const { return m_marked && m_frames.size() < kMostFrames; }
    // A frame with a feedback request was committed at this moment of the monotonic clock;
    // returns its number, by which the feedback is told.
    int committed(std::int64_t committedNs);
    // The compositor presented frame `frame` at `presentedNs` (monotonic clock) on a screen
    // refreshed every `refreshNs` (0: not known).
    void presented(int frame, std::int64_t presentedNs, std::int64_t refreshNs);
    // The compositor discarded frame `frame`.
    void discarded(int frame);

    // Whether the frame whose feedback decides has not had it yet.
    bool awaitsFeedback() const;
    // How much later than the marked frame was drawn the move was shown, by the first frame
    // from it on that was presented; nothing where no frame was marked, none was presented yet,
    // or its time is not plausible (`notAfterNs`: the key that ended the fall).
    std::optional<std::int64_t> markedFrameDelayNs(std::int64_t notAfterNs) const;

private:
    struct Frame {
        std::int64_t committedNs = 0;
        enum { Waiting, Presented, Discarded } state = Waiting;
        std::int64_t presentedNs = 0;
        std::int64_t refreshNs = 0;
    };
    // The first frame that was not discarded, or nullptr.
    const Frame* deciding() const;

    bool m_marked = false;
    std::vector<Frame> m_frames;
};
