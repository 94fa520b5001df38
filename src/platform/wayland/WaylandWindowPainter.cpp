#include "WaylandWindowPainter.h"

#include "WaylandConnection.h"
#include "presentation-time-client-protocol.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QWindow>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

// Buffers per stick box: one on screen, one on its way there, one being filled.
constexpr int kBuffersPerLayer = 3;
// How long a put waits for the compositor to give a buffer back before it leaves the frame
// out (the next put brings what it left out).
constexpr int kBufferWaitMs = 20;

QWindow* windowWithId(unsigned long id) {
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->handle() && window->winId() == WId(id))
            return window;
    }
    return nullptr;
}

int scaleOf(const QWindow& window) {
    return std::max(1, qRound(window.devicePixelRatio()));
}

} // namespace

WaylandWindowPainter::WaylandWindowPainter(WaylandConnection& connection, Clock& clock)
    : m_connection(connection)
    , m_clock(clock) {}

WaylandWindowPainter::~WaylandWindowPainter() {
    dropFeedbacks();
    dropLayers();
}

bool WaylandWindowPainter::lookUp(unsigned long window) {
    // Looked up once a fall (and for another window): a put must cost little.
    if (window == m_window && m_windowSurface)
        return true;
    m_window = window;
    m_qtWindow = windowWithId(window);
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    wl_surface* surface = m_qtWindow && native && m_connection.canPaint()
                              ? static_cast<wl_surface*>(native->nativeResourceForWindow(
                                    QByteArrayLiteral("surface"), m_qtWindow))
                              : nullptr;
    // Qt makes the window's surface anew when the window is shown again.
    if (surface != m_windowSurface) {
        dropLayers();
        m_windowSurface = surface;
    }
    return m_windowSurface != nullptr;
}

bool WaylandWindowPainter::canDraw(unsigned long window) {
    return lookUp(window);
}

void WaylandWindowPainter::put(unsigned long window, const QImage& image, const QRect& source,
                               const QPoint& target) {
    if (!lookUp(window) || image.format() != QImage::Format_RGB32)
        return;
    const QRect part = source & image.rect();
    Layer* layer = layerAt(target - source.topLeft(), image.size());
    if (part.isEmpty() || !layer)
        return;
    for (Buffer& buffer : layer->buffers)
        buffer.stale += part;
    Buffer* buffer = freeBuffer(*layer);
    if (!buffer)
        return;
    const qsizetype stride = qsizetype(image.width()) * 4;
    for (const QRect& rect : buffer->stale) {
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            std::memcpy(buffer->pixels + y * stride + rect.left() * 4,
                        image.constScanLine(y) + rect.left() * 4, size_t(rect.width()) * 4);
    }
    buffer->stale = QRegion();
    wl_surface_attach(layer->surface, buffer->buffer, 0, 0);
    wl_surface_damage_buffer(layer->surface, part.x(), part.y(), part.width(), part.height());
    struct wp_presentation_feedback* feedback =
        m_frames.wantsFeedback()
            ? wp_presentation_feedback(m_connection.presentation(), layer->surface)
            : nullptr;
    // Read before the commit leaves: a thread put aside right after sending it would read a
    // time later than the compositor's presentation (seen up to 2.4 ms under mutter 48), and
    // the frame's feedback would count as implausible.
    const std::int64_t committedNs = m_clock.nowNs();
    wl_surface_commit(layer->surface);
    wl_display_flush(m_connection.display());
    buffer->busy = true;
    if (feedback) {
        auto entry =
            std::make_unique<Feedback>(Feedback{this, feedback, m_frames.committed(committedNs)});
        static const wp_presentation_feedback_listener listener{
            [](void*, struct wp_presentation_feedback*, wl_output*) {},
            &WaylandWindowPainter::presented, &WaylandWindowPainter::discarded};
        wp_presentation_feedback_add_listener(feedback, &listener, entry.get());
        m_feedbacks.push_back(std::move(entry));
    }
}

WaylandWindowPainter::Layer* WaylandWindowPainter::layerAt(const QPoint& origin,
                                                           const QSize& size) {
    for (const auto& layer : m_layers) {
        if (layer->origin == origin && layer->size == size)
            return layer.get();
    }
    QWindow* window = m_qtWindow;
    if (!window)
        return nullptr;
    auto layer = std::make_unique<Layer>();
    layer->origin = origin;
    layer->size = size;
    const int stride = size.width() * 4;
    const std::size_t bufferBytes = std::size_t(stride) * std::size_t(size.height());
    layer->bytes = bufferBytes * kBuffersPerLayer;
    layer->fd = memfd_create("greifholm-stick", MFD_CLOEXEC);
    if (layer->fd < 0 || ftruncate(layer->fd, off_t(layer->bytes)) != 0)
        return nullptr;
    void* memory = mmap(nullptr, layer->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, layer->fd, 0);
    if (memory == MAP_FAILED) {
        close(layer->fd);
        return nullptr;
    }
    layer->memory = static_cast<unsigned char*>(memory);
    wl_shm_pool* pool = wl_shm_create_pool(m_connection.shm(), layer->fd, int(layer->bytes));
    static const wl_buffer_listener released{
        [](void* data, wl_buffer*) { static_cast<Buffer*>(data)->busy = false; }};
    layer->buffers.resize(kBuffersPerLayer);
    for (int i = 0; i < kBuffersPerLayer; ++i) {
        Buffer& buffer = layer->buffers[size_t(i)];
        buffer.pixels = layer->memory + std::size_t(i) * bufferBytes;
        buffer.buffer =
            wl_shm_pool_create_buffer(pool, int(std::size_t(i) * bufferBytes), size.width(),
                                      size.height(), stride, WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(buffer.buffer, &released, &buffer);
        buffer.stale = QRegion(QRect(QPoint(0, 0), size)); // a new buffer holds nothing yet
    }
    wl_shm_pool_destroy(pool);

    const int scale = scaleOf(*window);
    layer->surface = wl_compositor_create_surface(m_connection.compositor());
    layer->subsurface = wl_subcompositor_get_subsurface(m_connection.subcompositor(),
                                                        layer->surface, m_windowSurface);
    wl_subsurface_set_desync(layer->subsurface);
    // Over the box in the window's content, which begins after Qt's own decoration where it
    // draws one; it takes no input, so clicks reach the window beneath.
    const QMargins decoration = window->frameMargins();
    wl_subsurface_set_position(layer->subsurface, origin.x() / scale + decoration.left(),
                               origin.y() / scale + decoration.top());
    wl_region* nothing = wl_compositor_create_region(m_connection.compositor());
    wl_surface_set_input_region(layer->surface, nothing);
    wl_region_destroy(nothing);
    wl_surface_set_buffer_scale(layer->surface, scale);
    // The position and the new sub-surface take effect with the window's next commit, which
    // Qt makes as it repaints.
    window->requestUpdate();
    m_layers.push_back(std::move(layer));
    return m_layers.back().get();
}

WaylandWindowPainter::Buffer* WaylandWindowPainter::freeBuffer(Layer& layer) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        m_connection.dispatch(0);
        for (Buffer& buffer : layer.buffers) {
            if (!buffer.busy)
                return &buffer;
        }
        if (waited.elapsed() >= kBufferWaitMs)
            return nullptr;
        m_connection.dispatch(1);
    }
}

void WaylandWindowPainter::dropLayers() {
    for (const auto& layer : m_layers) {
        for (Buffer& buffer : layer->buffers)
            wl_buffer_destroy(buffer.buffer);
        wl_subsurface_destroy(layer->subsurface);
        wl_surface_destroy(layer->surface);
        munmap(layer->memory, layer->bytes);
        close(layer->fd);
    }
    m_layers.clear();
}

void WaylandWindowPainter::dropFeedbacks() {
    for (const auto& feedback : m_feedbacks) {
        if (feedback->object)
            wp_presentation_feedback_destroy(feedback->object);
    }
    m_feedbacks.clear();
}

void WaylandWindowPainter::startFall() {
    m_window = 0; // looked up anew
    dropFeedbacks();
    m_frames.startFall();
}

void WaylandWindowPainter::markNextFrame() {
    m_frames.markNextFrame();
}

std::optional<std::int64_t>
WaylandWindowPainter::markedFrameShownLateNs(std::int64_t keyNs, std::chrono::milliseconds wait) {
    QElapsedTimer waited;
    waited.start();
    while (m_frames.awaitsFeedback() && waited.elapsed() < wait.count())
        m_connection.dispatch(1);
    return m_frames.markedFrameDelayNs(keyNs);
}

void WaylandWindowPainter::presented(void* data, struct wp_presentation_feedback*,
                                     std::uint32_t secondsHigh, std::uint32_t secondsLow,
                                     std::uint32_t nanoseconds, std::uint32_t refreshNs,
                                     std::uint32_t, std::uint32_t, std::uint32_t) {
    auto* feedback = static_cast<Feedback*>(data);
    const std::int64_t presentedNs =
        (std::int64_t(secondsHigh) << 32 | secondsLow) * 1'000'000'000 + nanoseconds;
    WaylandWindowPainter& painter = *feedback->painter;
    painter.m_frames.presented(feedback->frame, painter.m_connection.toMonotonicNs(presentedNs),
                               refreshNs);
    wp_presentation_feedback_destroy(feedback->object);
    feedback->object = nullptr;
}

void WaylandWindowPainter::discarded(void* data, struct wp_presentation_feedback*) {
    auto* feedback = static_cast<Feedback*>(data);
    feedback->painter->m_frames.discarded(feedback->frame);
    wp_presentation_feedback_destroy(feedback->object);
    feedback->object = nullptr;
}
