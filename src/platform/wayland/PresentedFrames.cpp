#include "PresentedFrames.h"

#include "platform/x11/FrameReports.h"

void PresentedFrames::startFall() {
    m_marked = false;
    m_frames.clear();
}

void PresentedFrames::markNextFrame() {
    m_marked = true;
}

int PresentedFrames::committed(std::int64_t committedNs) {
    m_frames.push_back({committedNs});
    return int(m_frames.size()) - 1;
}

void PresentedFrames::presented(int frame, std::int64_t presentedNs, std::int64_t refreshNs) {
    if (frame >= 0 && frame < int(m_frames.size()))
        m_frames[size_t(frame)] = {m_frames[size_t(frame)].committedNs, Frame::Presented,
                                   presentedNs, refreshNs};
}

void PresentedFrames::discarded(int frame) {
    if (frame >= 0 && frame < int(m_frames.size()))
        m_frames[size_t(frame)].state = Frame::Discarded;
}

const PresentedFrames::Frame* PresentedFrames::deciding() const {
    for (const Frame& frame : m_frames) {
        if (frame.state != Frame::Discarded)
            return &frame;
    }
    return nullptr;
}

bool PresentedFrames::awaitsFeedback() const {
    const Frame* frame = deciding();
    return frame && frame->state == Frame::Waiting;
}

std::optional<std::int64_t> PresentedFrames::markedFrameDelayNs(std::int64_t notAfterNs) const {
    const Frame* frame = deciding();
    if (!frame || frame->state != Frame::Presented)
        return std::nullopt;
    const auto delay = FrameReports::plausibleDelayNs(frame->committedNs, frame->presentedNs,
                                                      frame->refreshNs, notAfterNs);
    if (!delay)
        return std::nullopt;
    return frame->committedNs + *delay - m_frames.front().committedNs;
}
