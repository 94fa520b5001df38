#include "WaylandKeyState.h"

#include "WaylandConnection.h"
#include "input-timestamps-unstable-v1-client-protocol.h"

#include <unistd.h>
#include <wayland-client.h>

namespace {

// evdev's codes of the arrow keys (linux/input-event-codes.h): the keys themselves, whatever
// the keyboard layout.
constexpr std::uint32_t kKeyLeft = 105;
constexpr std::uint32_t kKeyRight = 106;
constexpr std::int64_t kMs = 1'000'000;

} // namespace

WaylandKeyState::WaylandKeyState(WaylandConnection& connection)
    : m_connection(connection) {
    m_keys[0].virtualKey = kVkLeft;
    m_keys[0].code = kKeyLeft;
    m_keys[1].virtualKey = kVkRight;
    m_keys[1].code = kKeyRight;
    if (!connection.seat())
        return;
    m_keyboard = wl_seat_get_keyboard(connection.seat());
    static const wl_keyboard_listener listener{&keymap, &enter,     &leave,
                                               &key,    &modifiers, &repeatInfo};
    wl_keyboard_add_listener(m_keyboard, &listener, this);
    if (connection.inputTimestamps()) {
        m_timestamps = zwp_input_timestamps_manager_v1_get_keyboard_timestamps(
            connection.inputTimestamps(), m_keyboard);
        static const zwp_input_timestamps_v1_listener stamps{&timestamp};
        zwp_input_timestamps_v1_add_listener(m_timestamps, &stamps, this);
    }
    wl_display_flush(connection.display());
}

WaylandKeyState::~WaylandKeyState() {
    if (m_timestamps)
        zwp_input_timestamps_v1_destroy(m_timestamps);
    if (m_keyboard)
        wl_keyboard_destroy(m_keyboard);
}

qint16 WaylandKeyState::asyncKeyState(int virtualKey) {
    m_connection.dispatch();
    for (Key& key : m_keys) {
        if (key.virtualKey == virtualKey)
            return key.query();
    }
    return 0;
}

std::optional<std::int64_t> WaylandKeyState::lastChangeNs(int virtualKey) {
    for (const Key& key : m_keys) {
        if (key.virtualKey == virtualKey)
            return key.changedNs;
    }
    return std::nullopt;
}

WaylandKeyState::Key* WaylandKeyState::keyWithCode(std::uint32_t code) {
    for (Key& key : m_keys) {
        if (key.code == code)
            return &key;
    }
    return nullptr;
}

std::optional<std::int64_t> WaylandKeyState::eventTime(std::int64_t stampNs) const {
    const std::int64_t age = m_connection.presentationNowNs() - stampNs;
    if (age < -kMs || age > 1000 * kMs)
        return std::nullopt;
    return m_connection.toMonotonicNs(stampNs);
}

void WaylandKeyState::keymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) {
    close(fd); // the arrow keys are known by their codes
}

void WaylandKeyState::enter(void* data, wl_keyboard*, std::uint32_t, wl_surface*, wl_array* keys) {
    auto* self = static_cast<WaylandKeyState*>(data);
    // The keys held as the window gets the focus are down; no press of them was seen.
    for (Key& key : self->m_keys)
        key.down = false;
    const auto* codes = static_cast<const std::uint32_t*>(keys->data);
    for (std::size_t i = 0; i < keys->size / sizeof(std::uint32_t); ++i) {
        if (Key* key = self->keyWithCode(codes[i]))
            key->down = true;
    }
}

void WaylandKeyState::key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t timeMs,
                          std::uint32_t code, std::uint32_t state) {
    auto* self = static_cast<WaylandKeyState*>(data);
    std::optional<std::int64_t> stampNs = self->m_nextStampNs;
    self->m_nextStampNs.reset();
    if (!stampNs) {
        // Milliseconds of the presentation clock, 32 bits: the event lies within that
        // millisecond, taken at its middle.
        const std::int64_t nowMs = self->m_connection.presentationNowNs() / kMs;
        const std::int64_t ms = nowMs - std::int32_t(std::uint32_t(nowMs) - timeMs);
        stampNs = ms * kMs + kMs / 2;
    }
    Key* key = self->keyWithCode(code);
    if (!key)
        return;
    key->down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    key->pressedSinceQuery = key->pressedSinceQuery || key->down;
    key->changedNs = self->eventTime(*stampNs);
}

void WaylandKeyState::timestamp(void* data, zwp_input_timestamps_v1*, std::uint32_t secondsHigh,
                                std::uint32_t secondsLow, std::uint32_t nanoseconds) {
    static_cast<WaylandKeyState*>(data)->m_nextStampNs =
        (std::int64_t(secondsHigh) << 32 | secondsLow) * 1'000'000'000 + nanoseconds;
}
