#include "X11WindowPainter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/sync.h>
#include <cstdlib>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

// The counter's steps per frame: odd (1 past a multiple of 4, a normal frame) while the
// frame is drawn, the next multiple of 4 when it is done.
constexpr std::uint64_t kFrameStep = 4;

XSyncValue syncValue(std::uint64_t value) {
    XSyncValue result;
    XSyncIntsToValue(&result, unsigned(value & 0xffffffffu), int(value >> 32));
    return result;
}

std::uint64_t joined(std::uint32_t low, std::uint32_t high) {
    return std::uint64_t(high) << 32 | low;
}

// What Qt has sent on its own connection is processed by the server before what follows.
void roundTripOnQtsConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (connection)
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

} // namespace

bool X11WindowPainter::windowManagerSupports(_XDisplay* display, const char* name) {
    const Atom wanted = XInternAtom(display, name, False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display),
                           XInternAtom(display, "_NET_SUPPORTED", False), 0, 4096, False, XA_ATOM,
                           &type, &format, &count, &after, &data) != Success ||
        !data)
        return false;
    bool found = false;
    for (unsigned long i = 0; i < count; ++i)
        found = found || reinterpret_cast<Atom*>(data)[i] == wanted;
    XFree(data);
    return found;
}

X11WindowPainter::~X11WindowPainter() {
    if (!m_display)
        return;
    if (m_counter)
        XSyncDestroyCounter(m_display, m_counter);
    if (m_gc)
        XFreeGC(m_display, static_cast<GC>(m_gc));
    XCloseDisplay(m_display);
}

bool X11WindowPainter::openConnection() {
    if (!m_display && !m_connectionFailed) {
        m_display = XOpenDisplay(nullptr);
        m_connectionFailed = !m_display;
    }
    return m_display != nullptr;
}

bool X11WindowPainter::canDraw(unsigned long window) {
    if (window == m_window)
        return m_windowUsable;
    if (!openConnection())
        return false;
    if (m_gc) {
        XFreeGC(m_display, static_cast<GC>(m_gc));
        m_gc = nullptr;
    }
    m_window = window;
    m_windowUsable = false;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(m_display, window, &attributes) || !attributes.visual)
        return false;
    const Visual* visual = attributes.visual;
    if (visual->c_class != TrueColor || visual->red_mask != 0xff0000 ||
        visual->green_mask != 0xff00 || visual->blue_mask != 0xff ||
        (attributes.depth != 24 && attributes.depth != 32))
        return false;
    m_gc = XCreateGC(m_display, window, 0, nullptr);
    m_depth = attributes.depth;
    m_visual = attributes.visual;
    m_windowUsable = m_gc != nullptr;
    return m_windowUsable;
}

void X11WindowPainter::put(unsigned long window, const QImage& image, const QRect& source,
                           const QPoint& target) {
    if (!canDraw(window) || image.format() != QImage::Format_RGB32)
        return;
    const QRect part = source & image.rect();
    if (part.isEmpty())
        return;
    // An image header over Qt's pixels; Xlib converts the byte order if the server's differs.
    XImage* header = XCreateImage(
        m_display, static_cast<Visual*>(m_visual), unsigned(m_depth), ZPixmap, 0,
        reinterpret_cast<char*>(const_cast<uchar*>(image.constScanLine(part.top()))),
        unsigned(image.width()), unsigned(part.height()), 32, int(image.bytesPerLine()));
    if (!header)
        return;
    header->byte_order = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? LSBFirst : MSBFirst;
    const bool framed = window == m_syncWindow;
    // One connection carries the counter and the picture, so the server sees them in order:
    // the compositor shows nothing of the frame until the counter says it is done.
    if (framed)
        setCounter(m_counterValue + 1);
    XPutImage(m_display, window, static_cast<GC>(m_gc), header, part.left(), 0,
              target.x() + (part.left() - source.left()), target.y() + (part.top() - source.top()),
              unsigned(part.width()), unsigned(part.height()));
    // A frame is done only once the server has taken its picture. Without that round trip
    // mutter 48 at times reports a repaint that still showed the previous picture as the
    // frame's, and shows it a repaint later (one fall in 5 to 40 under the benchmark's GNOME,
    // none in 160 with it).
    if (framed) {
        XSync(m_display, False);
        setCounter(m_counterValue - m_counterValue % kFrameStep + kFrameStep);
    }
    XFlush(m_display);
    if (framed)
        m_reports.framePut(m_counterValue, m_clock.nowNs());
    header->data = nullptr; // Qt's pixels
    XDestroyImage(header);
}

void X11WindowPainter::setCounter(std::uint64_t value) {
    m_counterValue = value;
    XSyncSetCounter(m_display, m_counter, syncValue(value));
}

void X11WindowPainter::startFall() {
    m_reports.startFall();
}

void X11WindowPainter::markNextFrame() {
    m_reports.markNextFrame();
}

std::optional<std::int64_t>
X11WindowPainter::markedFrameShownLateNs(std::int64_t keyNs, std::chrono::milliseconds wait) {
    if (!m_syncWindow)
        return std::nullopt;
    // The reports reach Qt's connection, the window's owner; only they and what else the
    // window system sends are handled meanwhile, no click, key or timer.
    QElapsedTimer waited;
    waited.start();
    while (m_reports.awaitsReports(keyNs) && waited.elapsed() < wait.count()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers |
                                        QEventLoop::X11ExcludeTimers);
        if (m_reports.awaitsReports(keyNs))
            usleep(200);
    }
    return m_reports.markedFrameDelayNs(keyNs);
}

bool X11WindowPainter::serverTimeIsMonotonic() {
    // A property change on a window of our own tells the server's time.
    const Window probe = XCreateWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0,
                                       InputOnly, CopyFromParent, 0, nullptr);
    XSelectInput(m_display, probe, PropertyChangeMask);
    const Atom atom = XInternAtom(m_display, "_GREIFHOLM_TIME", False);
    XChangeProperty(m_display, probe, atom, XA_STRING, 8, PropModeReplace, nullptr, 0);
    XEvent event;
    XWindowEvent(m_display, probe, PropertyChangeMask, &event);
    const std::uint32_t nowMs = std::uint32_t(SteadyClock().nowNs() / 1'000'000);
    XDestroyWindow(m_display, probe);
    const std::int32_t apart = std::int32_t(nowMs - std::uint32_t(event.xproperty.time));
    return apart > -1000 && apart < 1000;
}

void X11WindowPainter::bypassCompositor(bool bypass) {
    if (bypass)
        followDesktop();
    // Where the compositor reports its frames, the trial is timed from what it showed.
    if (!m_mainWindow || (bypass && m_syncWindow) || bypass == m_bypassing || !openConnection())
        return;
    const Atom atom = XInternAtom(m_display, "_NET_WM_BYPASS_COMPOSITOR", False);
    if (bypass) {
        const unsigned long on = 1;
        XChangeProperty(m_display, m_mainWindow, atom, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&on), 1);
    } else {
        XDeleteProperty(m_display, m_mainWindow, atom);
    }
    XFlush(m_display);
    m_bypassing = bypass;
}

void X11WindowPainter::synchroniseFrames(unsigned long window) {
    m_mainWindow = window;
    followDesktop();
}

void X11WindowPainter::followDesktop() {
    if (!m_mainWindow || !openConnection())
        return;
    const bool reports = windowManagerSupports(m_display, "_NET_WM_FRAME_DRAWN");
    if (reports && !m_syncWindow)
        startFraming();
    else if (!reports && m_syncWindow)
        stopFraming();
}

void X11WindowPainter::startFraming() {
    const Window window = m_mainWindow;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XSyncQueryExtension(m_display, &eventBase, &errorBase) ||
        !XSyncInitialize(m_display, &major, &minor) || !serverTimeIsMonotonic())
        return;
    // Qt's basic counter stays first; without one there is nothing to add to.
    roundTripOnQtsConnection();
    const Atom counters = XInternAtom(m_display, "_NET_WM_SYNC_REQUEST_COUNTER", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, window, counters, 0, 2, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) != Success ||
        !data || count != 1) {
        if (data)
            XFree(data);
        return;
    }
    m_basicCounter = reinterpret_cast<unsigned long*>(data)[0];
    XFree(data);
    m_counterValue = 0;
    m_counter = XSyncCreateCounter(m_display, syncValue(m_counterValue));
    const unsigned long both[2] = {m_basicCounter, m_counter};
    XChangeProperty(m_display, window, counters, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(both), 2);
    XSync(m_display, False);
    m_atomProtocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
    m_atomSyncRequest = XInternAtom(m_display, "_NET_WM_SYNC_REQUEST", False);
    m_atomFrameDrawn = XInternAtom(m_display, "_NET_WM_FRAME_DRAWN", False);
    m_atomFrameTimings = XInternAtom(m_display, "_NET_WM_FRAME_TIMINGS", False);
    m_syncWindow = window;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

void X11WindowPainter::stopFraming() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    const Atom counters = XInternAtom(m_display, "_NET_WM_SYNC_REQUEST_COUNTER", False);
    XChangeProperty(m_display, m_syncWindow, counters, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&m_basicCounter), 1);
    XSyncDestroyCounter(m_display, m_counter);
    XFlush(m_display);
    m_counter = 0;
    m_syncWindow = 0;
    m_reports.startFall();
}

bool X11WindowPainter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->window != m_syncWindow || client->format != 32)
        return false;
    const std::uint32_t* l = client->data.data32;
    if (client->type == m_atomFrameDrawn) {
        m_reports.frameDrawn(joined(l[0], l[1]), std::int64_t(joined(l[2], l[3])));
        return true; // Qt knows them not and would warn
    }
    if (client->type == m_atomFrameTimings) {
        m_reports.frameTimings(joined(l[0], l[1]), std::int32_t(l[2]), l[3]);
        return true;
    }
    if (client->type == m_atomProtocols && l[0] == m_atomSyncRequest && l[4] != 0) {
        // A resize to be synchronised on the extended counter: answered at once, so that the
        // compositor never waits for the window (Qt answers on its basic counter as before).
        const std::uint64_t value = joined(l[2], l[3]);
        if (value > m_counterValue) {
            setCounter(value);
            XFlush(m_display);
        }
    }
    return false; // Qt sees them too
}
