#pragma once

#include "platform/KeyState.h"

#include <array>
#include <memory>

class QSocketNotifier;

struct _XDisplay;

// Global arrow-key state on X11. A private X connection selects XInput2 raw key events on
// the root window; they reach it whichever window has the focus, even during grabs. Each
// query drains what has arrived since the previous one, which costs a few microseconds,
// where a keymap round trip to the server would cost tens.
class X11KeyState final : public KeyState {
public:
    // Throws a RuntimeError when there is no X display, it lacks XInput 2.1 or its keymap
    // has no arrow keys.
    X11KeyState();
    ~X11KeyState() override;
    X11KeyState(const X11KeyState&) = delete;
    X11KeyState& operator=(const X11KeyState&) = delete;

    qint16 asyncKeyState(int virtualKey) override;

    // The same checks without keeping the connection: the program runs them before Qt
    // starts, so that a missing X server ends in a German message, not in Qt's abort.
    static void checkServer();
    // Whether the X server of DISPLAY answers at all.
    static bool serverReachable();

private:
    static _XDisplay* openChecked(int* xiOpcode);

    struct Key : TrackedKey {
        int keycode = 0;
    };

    void drainEvents();
    Key* keyForKeycode(int keycode);

    _XDisplay* m_display = nullptr;
    int m_xiOpcode = 0;
    std::array<Key, 2> m_keys{};
    // Between trials nobody queries, but every key press on the display still arrives; the
    // event loop drains them as they come so that they never pile up.
    std::unique_ptr<QSocketNotifier> m_notifier;
};
