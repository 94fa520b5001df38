#pragma once

#include "platform/KeyState.h"

#include <array>
#include <cstdint>

class WaylandConnection;
struct wl_array;
struct wl_keyboard;
struct wl_surface;
struct zwp_input_timestamps_v1;

// The arrow keys of a native Wayland window. Wayland has no global key state: a window gets
// the keys while it has the keyboard focus. A keyboard of the program's own on its own queue
// gets them as Qt's does, so that a trial reads them without returning to Qt's event loop.
// While another window has the focus, no key reaches the program and the state stays as it was.
//
// Each key event carries the input device's time in the compositor's clock (milliseconds, or
// nanoseconds where the compositor offers input timestamps); where that clock is the one the
// compositor presents frames in and the time is recent, the key's change is dated by it.
class WaylandKeyState final : public KeyState {
public:
    explicit WaylandKeyState(WaylandConnection& connection);
    ~WaylandKeyState() override;
    WaylandKeyState(const WaylandKeyState&) = delete;
    WaylandKeyState& operator=(const WaylandKeyState&) = delete;

    qint16 asyncKeyState(int virtualKey) override;
    std::optional<std::int64_t> lastChangeNs(int virtualKey) override;

private:
    struct Key : TrackedKey {
        std::uint32_t code = 0; // evdev's, as Wayland sends them
        std::optional<std::int64_t> changedNs;
    };
    Key* keyWithCode(std::uint32_t code);
    // The monotonic time of a key event stamped `stampNs` in the presentation clock, where that
    // lies within the last second: a stamp in another clock is no time.
    std::optional<std::int64_t> eventTime(std::int64_t stampNs) const;

    static void keymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t);
    static void enter(void* data, wl_keyboard*, std::uint32_t, wl_surface*, wl_array* keys);
    static void leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
    static void key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t timeMs,
                    std::uint32_t code, std::uint32_t state);
    static void modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::uint32_t, std::uint32_t) {}
    static void repeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
    static void timestamp(void* data, zwp_input_timestamps_v1*, std::uint32_t secondsHigh,
                          std::uint32_t secondsLow, std::uint32_t nanoseconds);

    WaylandConnection& m_connection;
    wl_keyboard* m_keyboard = nullptr;
    zwp_input_timestamps_v1* m_timestamps = nullptr;
    std::optional<std::int64_t> m_nextStampNs; // from the input timestamps, for the next key
    std::array<Key, 2> m_keys{};
};
