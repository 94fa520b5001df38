#include "X11KeyState.h"

#include "platform/RuntimeError.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace {

RuntimeError keyStateError(const QString& cause) {
    return RuntimeError(
        QStringLiteral("Laufzeitfehler: Tastaturzustand nicht verfügbar: %1").arg(cause));
}

bool keymapHasKey(const char keymap[32], int keycode) {
    return keycode > 0 && (keymap[keycode / 8] & (1 << (keycode % 8))) != 0;
}

} // namespace

Display* X11KeyState::openChecked(int* xiOpcode) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const QString name = qEnvironmentVariable("DISPLAY");
        throw keyStateError(
            QStringLiteral("der X-Server „%1“ (DISPLAY) ist nicht erreichbar").arg(name));
    }
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 2;
    // Raw events reach a client that holds no grab only from XInput 2.1 on.
    if (!XQueryExtension(display, "XInputExtension", xiOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success || major * 100 + minor < 201) {
        XCloseDisplay(display);
        throw keyStateError(
            QStringLiteral("der X-Server bietet keine XInput-Erweiterung ab Version 2.1"));
    }
    // Without them nobody could stop a stick: every trial would run to the bottom.
    if (XKeysymToKeycode(display, XK_Left) == 0 || XKeysymToKeycode(display, XK_Right) == 0) {
        XCloseDisplay(display);
        throw keyStateError(QStringLiteral(
            "die Tastaturbelegung hat keine Pfeiltaste nach links oder nach rechts"));
    }
    return display;
}

void X11KeyState::checkServer() {
    int xiOpcode = 0;
    XCloseDisplay(openChecked(&xiOpcode));
}

bool X11KeyState::serverReachable() {
    Display* display = XOpenDisplay(nullptr);
    if (display)
        XCloseDisplay(display);
    return display != nullptr;
}

X11KeyState::X11KeyState() {
    m_display = openChecked(&m_xiOpcode);
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawKeyPress);
    XISetMask(mask, XI_RawKeyRelease);
    XIEventMask eventMask{XIAllMasterDevices, int(sizeof mask), mask};
    XISelectEvents(m_display, DefaultRootWindow(m_display), &eventMask, 1);

    m_keys[0].virtualKey = kVkLeft;
    m_keys[0].keycode = XKeysymToKeycode(m_display, XK_Left);
    m_keys[1].virtualKey = kVkRight;
    m_keys[1].keycode = XKeysymToKeycode(m_display, XK_Right);

    // Raw events only tell changes: a key already held at start-up is read once here.
    XSync(m_display, False);
    char keymap[32] = {};
    XQueryKeymap(m_display, keymap);
    for (Key& key : m_keys)
        key.down = keymapHasKey(keymap, key.keycode);

    if (QCoreApplication::instance()) {
        m_notifier =
            std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { drainEvents(); });
    }
}

X11KeyState::~X11KeyState() {
    XCloseDisplay(m_display);
}

qint16 X11KeyState::asyncKeyState(int virtualKey) {
    drainEvents();
    for (Key& key : m_keys) {
        if (key.virtualKey == virtualKey)
            return key.query();
    }
    return 0;
}

void X11KeyState::drainEvents() {
    // XPending flushes and reads what the socket holds without blocking.
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_xiOpcode ||
            !XGetEventData(m_display, cookie))
            continue;
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        // Auto-repeat is not a new press: a held key must not end a trial by itself.
        const bool repeat = (raw->flags & XIKeyRepeat) != 0;
        if (Key* key = keyForKeycode(raw->detail); key && !repeat) {
            if (cookie->evtype == XI_RawKeyPress) {
                key->down = true;
                key->pressedSinceQuery = true;
            } else if (cookie->evtype == XI_RawKeyRelease) {
                key->down = false;
            }
        }
        XFreeEventData(m_display, cookie);
    }
}

X11KeyState::Key* X11KeyState::keyForKeycode(int keycode) {
    for (Key& key : m_keys) {
        if (key.keycode == keycode)
            return &key;
    }
    return nullptr;
}
