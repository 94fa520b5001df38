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
    if (m_counter == counter && m_reports.size() < kMostReports)
        m_reports.push_back({drawnUs});
}

void FrameReports::frameTimings(std::uint64_t counter, std::int32_t presentationOffsetUs,
                                std::uint32_t refreshIntervalUs) {
    // The timings follow the drawn report of their frame; ones that come first belong to no
    // known report.
    if (m_counter != counter || m_reports.empty() || m_reports.back().timed)
        return;
    Report& report = m_reports.back();
    report.timed = true;
    // Shown before it was drawn is no time at all: the presentation is then unknown.
    report.offsetUs = std::max<std::int32_t>(presentationOffsetUs, 0);
    report.refreshUs = refreshIntervalUs;
}

bool FrameReports::awaitsReports(std::int64_t notAfterNs) const {
    return m_counter && std::none_of(m_reports.begin(), m_reports.end(), [&](const Report& r) {
               return r.timed && delayNs(r, notAfterNs);
           });
}

std::optional<std::int64_t> FrameReports::markedFrameDelayNs(std::int64_t notAfterNs) const {
    for (const Report& report : m_reports) {
        if (const auto delay = delayNs(report, notAfterNs))
            return delay;
    }
    return std::nullopt;
}

std::optional<std::int64_t> FrameReports::delayNs(const Report& report,
                                                  std::int64_t notAfterNs) const {
    return plausibleDelayNs(m_drawnNs, (report.drawnUs + report.offsetUs) * 1000,
                            std::int64_t(report.refreshUs) * 1000, notAfterNs);
}

std::optional<std::int64_t> FrameReports::plausibleDelayNs(std::int64_t drawnNs,
                                                           std::int64_t shownNs,
                                                           std::int64_t refreshNs,
                                                           std::int64_t notAfterNs) {
    if (refreshNs <= 0)
        refreshNs = std::chrono::nanoseconds(kDefaultRefresh).count();
    // A compositor's time may have microseconds only, the program's nanoseconds.
    if (shownNs < drawnNs - 1000 || shownNs - drawnNs > kRefreshesToShow * refreshNs ||
        shownNs > notAfterNs + kReadAfterDrawing.count())
        return std::nullopt;
    // A key before the put would leave no valid range; the frame then counts as shown as drawn.
    return std::clamp(shownNs, drawnNs, std::max(drawnNs, notAfterNs)) - drawnNs;
}
