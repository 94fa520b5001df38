#pragma once

#include "PresentedFrames.h"
#include "platform/Clock.h"
#include "platform/WindowPainter.h"

#include <QPoint>
#include <QPointer>
#include <QRegion>
#include <QSize>
#include <QWindow>
#include <memory>
#include <vector>

class WaylandConnection;
struct wl_buffer;
struct wl_surface;
struct wl_subsurface;
struct wp_presentation_feedback;

// Puts parts of an image on a native Wayland window, past Qt's backing store and frame
// callbacks: each stick box gets a sub-surface of its own over it, desynchronised from the
// window, with shared-memory buffers of its own. A put copies what changed into a free buffer
// and commits it at once; no frame waits for anything. Qt's own picture beneath stays as it
// is and catches up after the trial, so the window looks the same whatever covers it.
//
// From the fall's marked frame on, each commit asks for the compositor's presentation
// feedback, which tells when it reached the screen; it is collected after the key.
class WaylandWindowPainter final : public WindowPainter {
public:
    // `clock` tells when a frame was committed: the one the fall is timed on.
    WaylandWindowPainter(WaylandConnection& connection, Clock& clock);
    ~WaylandWindowPainter() override;
    WaylandWindowPainter(const WaylandWindowPainter&) = delete;
    WaylandWindowPainter& operator=(const WaylandWindowPainter&) = delete;

    // Whether the window is Qt's on Wayland with its surface made, and the compositor offers
    // what the painter needs.
    bool canDraw(unsigned long window) override;
    void put(unsigned long window, const QImage& image, const QRect& source,
             const QPoint& target) override;
    void startFall() override;
    void markNextFrame() override;
    std::optional<std::int64_t> markedFrameShownLateNs(std::int64_t keyNs,
                                                       std::chrono::milliseconds wait) override;
    // No Wayland compositor can be asked to stand aside; each frame's showing is reported.
    void bypassCompositor(bool) override {}

private:
    struct Buffer {
        wl_buffer* buffer = nullptr;
        unsigned char* pixels = nullptr;
        bool busy = false; // held by the compositor
        QRegion stale;     // what changed since it was last filled
    };
    // The sub-surface over one stick box.
    struct Layer {
        QPoint origin; // the box's top-left in the window's pixels
        QSize size;
        wl_surface* surface = nullptr;
        wl_subsurface* subsurface = nullptr;
        int fd = -1;
        unsigned char* memory = nullptr;
        std::size_t bytes = 0;
        std::vector<Buffer> buffers;
    };
    struct Feedback {
        WaylandWindowPainter* painter = nullptr;
        wp_presentation_feedback* object = nullptr;
        int frame = 0;
    };

    // Finds the Qt window with this id and its surface; false where there is none to draw on.
    bool lookUp(unsigned long window);
    Layer* layerAt(const QPoint& origin, const QSize& size);
    Buffer* freeBuffer(Layer& layer);
    void dropLayers();
    void dropFeedbacks();
    static void presented(void* data, wp_presentation_feedback*, std::uint32_t secondsHigh,
                          std::uint32_t secondsLow, std::uint32_t nanoseconds,
                          std::uint32_t refreshNs, std::uint32_t, std::uint32_t, std::uint32_t);
    static void discarded(void* data, wp_presentation_feedback*);

    WaylandConnection& m_connection;
    Clock& m_clock;
    unsigned long m_window = 0;
    QPointer<QWindow> m_qtWindow;
    wl_surface* m_windowSurface = nullptr;
    std::vector<std::unique_ptr<Layer>> m_layers;
    std::vector<std::unique_ptr<Feedback>> m_feedbacks;
    PresentedFrames m_frames;
};
