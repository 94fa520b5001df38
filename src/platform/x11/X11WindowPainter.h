#pragma once

#include "FrameReports.h"
#include "platform/Clock.h"
#include "platform/WindowPainter.h"

#include <QAbstractNativeEventFilter>

struct _XDisplay;

// Puts parts of an image straight onto an X window through a connection of its own: one
// small request each, sent at once, no round trip.
//
// Under a compositor that reports its frames (GNOME's mutter, on X11 and for X11 windows under
// Wayland) the main window gets an extended frame counter beside the basic one Qt gives it:
// each put is framed by the counter (odd while drawing, even when done), the compositor
// answers each finished frame with _NET_WM_FRAME_DRAWN and _NET_WM_FRAME_TIMINGS, and its
// requests to synchronise a resize are answered on that counter.
class X11WindowPainter final : public WindowPainter, private QAbstractNativeEventFilter {
public:
    // `clock` tells when a frame was put: the one the fall is timed on.
    explicit X11WindowPainter(Clock& clock)
        : m_clock(clock) {}
    ~X11WindowPainter() override;
    X11WindowPainter(const X11WindowPainter&) = delete;
    X11WindowPainter& operator=(const X11WindowPainter&) = delete;

    // Whether the window takes the 32-bit pixels of a QImage::Format_RGB32 image as they are:
    // the connection opens and the window's visual is true colour with 8-bit red, green and
    // blue. Asks the server once per window.
    bool canDraw(unsigned long window) override;
    void put(unsigned long window, const QImage& image, const QRect& source,
             const QPoint& target) override;
    void startFall() override;
    void markNextFrame() override;
    std::optional<std::int64_t> markedFrameShownLateNs(std::int64_t keyNs,
                                                       std::chrono::milliseconds wait) override;
    // Sets _NET_WM_BYPASS_COMPOSITOR (freedesktop.org's window manager hints) on the main window
    // while a series runs, where its frames are not synchronised with the compositor: KWin then
    // stops compositing. Removed again afterwards. As a series starts, the desktop is looked at
    // anew (followDesktop).
    void bypassCompositor(bool bypass) override;

    // Takes the main window (created by Qt, not yet shown). Gives it its extended frame counter,
    // where the window manager is a compositor that reports frames, the server has the SYNC
    // extension, and the server's time is the monotonic clock's (as on Linux), so that the
    // reports' times compare with the program's clock. Elsewhere nothing changes.
    void synchroniseFrames(unsigned long window);
    // A compositor may start, stop or be replaced while the program runs: the extended counter
    // is given to the main window where the window manager now reports frames, and taken back
    // where it no longer does.
    void followDesktop();

    // Whether the window manager lists the atom in the root window's _NET_SUPPORTED, as a
    // compositor that reports its frames does for _NET_WM_FRAME_DRAWN.
    static bool windowManagerSupports(_XDisplay* display, const char* name);

private:
    bool openConnection();
    void startFraming();
    void stopFraming();
    bool serverTimeIsMonotonic();
    void setCounter(std::uint64_t value);
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    _XDisplay* m_display = nullptr;
    bool m_connectionFailed = false;
    unsigned long m_window = 0;
    unsigned long m_mainWindow = 0;
    bool m_bypassing = false;
    bool m_windowUsable = false;
    void* m_gc = nullptr;
    int m_depth = 0;
    void* m_visual = nullptr;

    // The extended frame counter and what it is for.
    unsigned long m_syncWindow = 0;
    unsigned long m_basicCounter = 0; // Qt's
    unsigned long m_counter = 0;
    std::uint64_t m_counterValue = 0;
    unsigned long m_atomProtocols = 0;
    unsigned long m_atomSyncRequest = 0;
    unsigned long m_atomFrameDrawn = 0;
    unsigned long m_atomFrameTimings = 0;
    Clock& m_clock;
    FrameReports m_reports;
};
