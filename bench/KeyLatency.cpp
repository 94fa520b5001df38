#include "Harness.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <chrono>
#include <random>
#include <thread>

namespace {

// Sends one arrow-key tap through XTEST from a connection of its own, at a random moment of
// each fall, and notes when it sent it.
class KeySender {
public:
    KeySender()
        : m_display(XOpenDisplay(nullptr))
        , m_keycode(XKeysymToKeycode(m_display, XK_Left)) {}
    ~KeySender() { XCloseDisplay(m_display); }

    std::int64_t tapDuring(const RecordingKeys& keys, SteadyClock& clock, std::mt19937& random) {
        while (keys.fallStartedNs.load() == 0)
            std::this_thread::yield();
        std::uniform_int_distribution<int> delayMs(100, 600);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        const std::int64_t sent = clock.nowNs();
        XTestFakeKeyEvent(m_display, m_keycode, True, 0);
        XTestFakeKeyEvent(m_display, m_keycode, False, 0);
        XFlush(m_display);
        return sent;
    }

private:
    Display* m_display;
    unsigned int m_keycode;
};

} // namespace

// Key latency: from the XTEST send to the trial loop's poll that saw the change, over 60
// falls at speed 10000.
void measureKeyLatency(BenchProgram& program) {
    ReactionSeries& test = program.series();
    RecordingKeys& keys = program.keys;
    SteadyClock& clock = program.clock;
    KeySender sender;
    std::mt19937 tapRandom(42);
    std::vector<double> latencies;
    const int falls = 60;
    for (int i = 0; i < falls; ++i) {
        if (i % Module1::kTrialsPerSeries == 0)
            test.startSeries(10000);
        keys.reset();
        std::int64_t sent = 0;
        std::thread tapper([&] { sent = sender.tapDuring(keys, clock, tapRandom); });
        test.DropStick(StickSide::Left);
        tapper.join();
        latencies.push_back(double(keys.reads.back() - sent) / 1e6);
    }
    print("key_latency_p50_ms", percentile(latencies, 50), "ms");
    print("key_latency_p99_ms", percentile(latencies, 99), "ms");
}
