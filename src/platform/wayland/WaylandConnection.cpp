#include "WaylandConnection.h"

#include "input-timestamps-unstable-v1-client-protocol.h"
#include "presentation-time-client-protocol.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstring>
#include <poll.h>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

namespace {

std::int64_t nowNs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

WaylandConnection::WaylandConnection() {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    m_display = native ? static_cast<wl_display*>(
                             native->nativeResourceForIntegration(QByteArrayLiteral("wl_display")))
                       : nullptr;
    if (!m_display)
        return;
    m_queue = wl_display_create_queue(m_display);
    // The registry, and so everything bound from it, sends its events to the program's queue.
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(m_display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), m_queue);
    m_registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    static const wl_registry_listener listener{&WaylandConnection::global,
                                               &WaylandConnection::globalRemove};
    wl_registry_add_listener(m_registry, &listener, this);
    // The globals, then what they send when bound (the presentation clock).
    wl_display_roundtrip_queue(m_display, m_queue);
    wl_display_roundtrip_queue(m_display, m_queue);
}

WaylandConnection::~WaylandConnection() {
    if (!m_display)
        return;
    if (m_inputTimestamps)
        zwp_input_timestamps_manager_v1_destroy(m_inputTimestamps);
    if (m_presentation)
        wp_presentation_destroy(m_presentation);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_subcompositor)
        wl_subcompositor_destroy(m_subcompositor);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_event_queue_destroy(m_queue);
}

void WaylandConnection::global(void* data, wl_registry* registry, std::uint32_t name,
                               const char* interface, std::uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    const auto bind = [&](const wl_interface* wanted, std::uint32_t highest) {
        return wl_registry_bind(registry, name, wanted, std::min(version, highest));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 4)
        self->m_compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0)
        self->m_subcompositor =
            static_cast<wl_subcompositor*>(bind(&wl_subcompositor_interface, 1));
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        self->m_shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
        self->m_seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 3));
    else if (std::strcmp(interface, wp_presentation_interface.name) == 0) {
        self->m_presentation = static_cast<wp_presentation*>(bind(&wp_presentation_interface, 1));
        static const wp_presentation_listener listener{&WaylandConnection::clockId};
        wp_presentation_add_listener(self->m_presentation, &listener, self);
    } else if (std::strcmp(interface, zwp_input_timestamps_manager_v1_interface.name) == 0)
        self->m_inputTimestamps = static_cast<zwp_input_timestamps_manager_v1*>(
            bind(&zwp_input_timestamps_manager_v1_interface, 1));
}

void WaylandConnection::clockId(void* data, wp_presentation*, std::uint32_t clock) {
    static_cast<WaylandConnection*>(data)->m_clock = clockid_t(clock);
}

bool WaylandConnection::readableClock(clockid_t clock) {
    return clock == CLOCK_MONOTONIC || clock == CLOCK_MONOTONIC_RAW;
}

bool WaylandConnection::canPaint() const {
    return m_compositor && m_subcompositor && m_shm && m_presentation && readableClock(m_clock);
}

void WaylandConnection::dispatch(int timeoutMs) {
    if (!m_display)
        return;
    while (wl_display_prepare_read_queue(m_display, m_queue) != 0)
        wl_display_dispatch_queue_pending(m_display, m_queue);
    wl_display_flush(m_display);
    pollfd readable{wl_display_get_fd(m_display), POLLIN, 0};
    if (poll(&readable, 1, timeoutMs) > 0)
        wl_display_read_events(m_display);
    else
        wl_display_cancel_read(m_display);
    wl_display_dispatch_queue_pending(m_display, m_queue);
}

std::int64_t WaylandConnection::presentationNowNs() const {
    return nowNs(m_clock);
}

std::int64_t WaylandConnection::toMonotonicNs(std::int64_t presentationNs) const {
    if (m_clock == CLOCK_MONOTONIC)
        return presentationNs;
    // Read back to back, as late as possible: the two clocks part by NTP's slewing only.
    const std::int64_t monotonic = nowNs(CLOCK_MONOTONIC);
    return presentationNs + (monotonic - nowNs(m_clock));
}
