#pragma once

#include <QtGlobal>
#include <cstdint>
#include <optional>

// Virtual-key codes of the two arrow keys the trials poll.
inline constexpr int kVkLeft = 0x25;
inline constexpr int kVkRight = 0x27;

inline constexpr qint16 kKeyDown = qint16(0x8000);
inline constexpr qint16 kPressedSinceLastQuery = 0x0001;

// One arrow key as a key state keeps it between queries.
struct TrackedKey {
    int virtualKey = 0;
    bool down = false;
    bool pressedSinceQuery = false;

    // The state a query answers with; the press it reports is then no longer new.
    qint16 query() {
        const qint16 state =
            qint16((down ? kKeyDown : 0) | (pressedSinceQuery ? kPressedSinceLastQuery : 0));
        pressedSinceQuery = false;
        return state;
    }
};

// The global state of a key, whichever window has the focus: the most significant bit is
// set while the key is down, the least significant bit when it was pressed since the
// previous query of that key (also for a press and release that both happened since).
// A query clears the pressed-since bit of that key.
class KeyState {
public:
    virtual ~KeyState() = default;
    virtual qint16 asyncKeyState(int virtualKey) = 0;
    // When the key's state last changed by the time stamp of the input device's own event, in
    // nanoseconds of the monotonic clock; nothing where the window system gives no such time
    // (the state is then as new as the query).
    virtual std::optional<std::int64_t> lastChangeNs(int /*virtualKey*/) { return std::nullopt; }
};
