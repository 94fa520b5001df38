// A stand-in for a compositor that reports a window's frames, for the real-window tests. It
// lists _NET_WM_FRAME_DRAWN and _NET_WM_FRAME_TIMINGS in the root window's _NET_SUPPORTED
// (inserted among the window manager's atoms), says "ready", reads the id of the window to
// watch from standard input, and answers each frame the window finishes (its extended frame
// counter turned even, as often as it looks) with _NET_WM_FRAME_DRAWN, says "drawn" and the
// counter value, and 20 ms later sends _NET_WM_FRAME_TIMINGS.
//
// It chooses the times it reports, so nothing depends on the machine's speed: the frame with
// counter value c was drawn at c ms + DRAWN_DELAY_US + c µs (each frame a delay of its own)
// and shown OFFSET_US after that, on a screen refreshed every REFRESH_US. A painter whose
// clock says that the frame with counter c was put at c ms is therefore told a delay of
// exactly DRAWN_DELAY_US + c µs + OFFSET_US.
//
// Usage: standin-compositor DRAWN_DELAY_US OFFSET_US REFRESH_US
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/sync.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

Display* display = nullptr;

Atom atom(const char* name) {
    return XInternAtom(display, name, False);
}

void announce() {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Window root = DefaultRootWindow(display);
    XGetWindowProperty(display, root, atom("_NET_SUPPORTED"), 0, 4096, False, XA_ATOM, &type,
                       &format, &count, &after, &data);
    std::vector<Atom> supported(reinterpret_cast<Atom*>(data),
                                reinterpret_cast<Atom*>(data) + count);
    if (data)
        XFree(data);
    const auto middle = supported.begin() + std::ptrdiff_t(supported.size() / 2);
    supported.insert(middle, {atom("_NET_WM_FRAME_DRAWN"), atom("_NET_WM_FRAME_TIMINGS")});
    XChangeProperty(display, root, atom("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(supported.data()), int(supported.size()));
    XSync(display, False);
}

// The extended counter is the second of the window's two frame counters.
XSyncCounter extendedCounter(Window window) {
    for (;;) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, window, atom("_NET_WM_SYNC_REQUEST_COUNTER"), 0, 2, False,
                           XA_CARDINAL, &type, &format, &count, &after, &data);
        const XSyncCounter counter = count == 2 ? reinterpret_cast<unsigned long*>(data)[1] : 0;
        if (data)
            XFree(data);
        if (counter)
            return counter;
        usleep(10'000);
    }
}

void send(Window window, const char* type, const std::uint32_t (&l)[5]) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom(type);
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i)
        event.xclient.data.l[i] = long(l[i]);
    XSendEvent(display, window, False, 0, &event);
    XFlush(display);
}

std::uint32_t low(std::int64_t value) {
    return std::uint32_t(std::uint64_t(value) & 0xffffffffu);
}
std::uint32_t high(std::int64_t value) {
    return std::uint32_t(std::uint64_t(value) >> 32);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 || !(display = XOpenDisplay(nullptr)))
        return 2;
    const std::int64_t drawnDelayUs = std::atoll(argv[1]);
    const std::uint32_t offsetUs = std::uint32_t(std::atol(argv[2]));
    const std::uint32_t refreshUs = std::uint32_t(std::atol(argv[3]));
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XSyncQueryExtension(display, &eventBase, &errorBase) ||
        !XSyncInitialize(display, &major, &minor))
        return 2;
    announce();
    std::printf("ready\n");
    std::fflush(stdout);
    unsigned long window = 0;
    if (std::scanf("%lu", &window) != 1)
        return 2;
    const XSyncCounter counter = extendedCounter(window);
    std::int64_t answered = -1;
    for (;;) {
        XSyncValue value;
        XSyncQueryCounter(display, counter, &value);
        const std::int64_t c = std::int64_t(XSyncValueHigh32(value)) << 32 | XSyncValueLow32(value);
        if (c % 2 == 0 && c != answered) {
            const std::int64_t drawnUs = c * 1001 + drawnDelayUs;
            send(window, "_NET_WM_FRAME_DRAWN", {low(c), high(c), low(drawnUs), high(drawnUs), 0});
            std::printf("drawn %lld\n", static_cast<long long>(c));
            std::fflush(stdout);
            usleep(20'000); // the timings follow once the frame is on the screen
            send(window, "_NET_WM_FRAME_TIMINGS", {low(c), high(c), offsetUs, refreshUs, 0});
            answered = c;
        }
        usleep(200);
    }
}
