#include "FrameReports.h"

#include <algorithm>

void FrameReports::startFall() {
    *this = FrameReports();
}

void FrameReports::markNextFrame() {
    m_marked = true;
}

void FrameReports::framePut(std::uint64_t counter, std::int64_t drawnNs) {
    if (!m_marked || m_counter)
        return;
    m_counter = counter;
    m_drawnNs = drawnNs;
}

void FrameReports::frameDrawn(std::uint64_t counter, std::int64_t drawnUs) {
    if (m_counter == counter && !m_shownUs)
        m_shownUs = drawnUs;
}

void FrameReports::frameTimings(std::uint64_t counter, std::int32_t presentationOffsetUs) {
    // The timings follow the drawn report; one that comes first belongs to no known frame.
    if (m_counter == counter && m_shownUs && !m_offsetUs)
        m_offsetUs = presentationOffsetUs;
}

bool FrameReports::awaitsReports() const {
    return m_counter && !(m_shownUs && m_offsetUs);
}

std::optional<std::int64_t> FrameReports::markedFrameDelayNs(std::int64_t notAfterNs) const {
    if (!m_counter || !m_shownUs)
        return std::nullopt;
    std::int64_t shownNs = (*m_shownUs + (m_offsetUs ? *m_offsetUs : 0)) * 1000;
    // The compositor's time has microseconds, the program's nanoseconds.
    if (shownNs < m_drawnNs - 1000 || shownNs > notAfterNs + kReadAfterDrawing.count())
        return std::nullopt;
    shownNs = std::clamp(shownNs, m_drawnNs, notAfterNs);
    return shownNs - m_drawnNs;
}
