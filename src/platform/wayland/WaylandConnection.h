#pragma once

#include <cstdint>
#include <ctime>

struct wl_compositor;
struct wl_display;
struct wl_event_queue;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_subcompositor;
struct wp_presentation;
struct zwp_input_timestamps_manager_v1;

// The program's own share of Qt's Wayland connection: an event queue of its own, on which it
// binds what the window painter and the key state need, so that a trial handles their events
// without returning to Qt's event loop; Qt's own events wait in Qt's queue meanwhile.
class WaylandConnection {
public:
    // Takes Qt's connection (the application runs on Qt's wayland platform).
    WaylandConnection();
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    // Whether the compositor offers what the painter needs: surfaces, sub-surfaces, shared
    // memory buffers, and presentation feedback in a clock the program can read.
    bool canPaint() const;
    wl_display* display() const { return m_display; }
    wl_compositor* compositor() const { return m_compositor; }
    wl_subcompositor* subcompositor() const { return m_subcompositor; }
    wl_shm* shm() const { return m_shm; }
    wl_seat* seat() const { return m_seat; }
    wp_presentation* presentation() const { return m_presentation; }
    zwp_input_timestamps_manager_v1* inputTimestamps() const { return m_inputTimestamps; }

    // Handles what has arrived for the program's queue, waiting for more at most `timeoutMs`
    // (0: not at all).
    void dispatch(int timeoutMs = 0);
    // A time of the compositor's presentation clock in nanoseconds of the monotonic clock.
    std::int64_t toMonotonicNs(std::int64_t presentationNs) const;
    // The presentation clock now.
    std::int64_t presentationNowNs() const;

    // Whether the program can read a compositor's presentation clock and turn its times into
    // the monotonic clock's: the monotonic clock itself, or the raw monotonic clock (weston's
    // own, where no display hardware gives the time), which a slewed clock leaves only by
    // parts per million.
    static bool readableClock(clockid_t clock);

private:
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void globalRemove(void*, wl_registry*, std::uint32_t) {}
    static void clockId(void* data, wp_presentation*, std::uint32_t clock);

    wl_display* m_display = nullptr;
    wl_event_queue* m_queue = nullptr;
    wl_registry* m_registry = nullptr;
    wl_compositor* m_compositor = nullptr;
    wl_subcompositor* m_subcompositor = nullptr;
    wl_shm* m_shm = nullptr;
    wl_seat* m_seat = nullptr;
    wp_presentation* m_presentation = nullptr;
    zwp_input_timestamps_manager_v1* m_inputTimestamps = nullptr;
    clockid_t m_clock = -1;
};
