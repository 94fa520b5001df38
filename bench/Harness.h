#pragma once

// What every measurement of the benchmark shares: printing a figure, percentiles, pinning a
// thread to a core, and the program's own main window wired to a real X server with a
// recording key state and a clock that can run a trial's frames back to back.
#include "app/Module1.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/Sleeper.h"
#include "platform/TimeOfDay.h"
#include "platform/files/WindowsPaths.h"
#include "platform/realtime/RealtimeScheduling.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/x11/X11KeyState.h"
#include "platform/x11/X11WindowPainter.h"
#include "ui/main/Form1.h"
#include "ui/main/TrialTiming.h"

#include <QTemporaryDir>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct _XDisplay;

// Where the participant sees the screen: the program's own X server (no display named), or
// the server on which a nested compositor's window shows the program's screen at an offset.
struct WatchedScreen {
    QByteArray display;
    QPoint offset;
};
WatchedScreen& watchedScreen();

double percentile(std::vector<double> values, double p);
void print(const char* name, double value, const char* unit);
// Keeps the calling thread on one core (where the machine has it); -1 lets it run on all.
void pinToCore(int core);

// Passes the real key state through and notes when each read returned.
class RecordingKeys final : public KeyState {
public:
    RecordingKeys(KeyState& inner, Clock& clock)
        : m_inner(inner)
        , m_clock(clock) {}
    qint16 asyncKeyState(int virtualKey) override {
        const qint16 state = m_inner.asyncKeyState(virtualKey);
        const std::int64_t now = m_clock.nowNs();
        reads.push_back(now);
        if (reads.size() == kBaselineReads + 1)
            fallStartedNs.store(now);
        return state;
    }
    std::optional<std::int64_t> lastChangeNs(int virtualKey) override {
        return m_inner.lastChangeNs(virtualKey);
    }
    void reset() {
        reads.clear();
        fallStartedNs.store(0);
    }
    // How late each frame's poll came after its deadline (the first poll's time plus whole
    // frame periods), in microseconds.
    std::vector<double> frameLatenessUs() const {
        const std::vector<std::int64_t> polls = framePolls();
        std::vector<double> lateness;
        for (size_t t = 1; t <= polls.size(); ++t) {
            const std::int64_t deadline =
                polls.front() + std::int64_t(t - 1) * kFramePeriod.count();
            lateness.push_back(double(polls[t - 1] - deadline) / 1000.0);
        }
        return lateness;
    }
    // Reads of the frames: the first frame's poll onwards.
    std::vector<std::int64_t> framePolls() const {
        return std::vector<std::int64_t>(reads.begin() + kBaselineReads, reads.end());
    }

    std::vector<std::int64_t> reads;
    std::atomic<std::int64_t> fallStartedNs{0};

private:
    KeyState& m_inner;
    Clock& m_clock;
};

// The monotonic clock, or, while `unpaced` is set, a clock that moves one frame period on
// every read: each frame's deadline is then past as soon as it is checked, the trial's frames
// run back to back, and the time between two key polls is what a frame costs.
class PacingClock final : public Clock {
public:
    std::int64_t nowNs() override {
        return unpaced ? m_frames += kFramePeriod.count() : m_real.nowNs();
    }
    bool unpaced = false;

private:
    SteadyClock m_real;
    std::int64_t m_frames = 0;
};

// The program's main window with its trial, as a series runs it, but with the key state
// recorded, no pause after a trial and a score file of the benchmark's own.
class BenchProgram {
    // The window system's own services, made before the recording key state that wraps them.
    std::unique_ptr<WaylandConnection> m_wayland;
    std::unique_ptr<KeyState> m_realKeys;

public:
    // On the X server DISPLAY names, or natively on the Wayland compositor WAYLAND_DISPLAY
    // names (the application then runs on Qt's wayland platform).
    explicit BenchProgram(bool wayland = false);
    ~BenchProgram();

    SteadyClock clock;
    PacingClock trialClock;
    // The real-time class as the program asks for it, or refused for a comparison.
    struct BenchScheduling final : Scheduling {
        void prepare() override { real.prepare(); }
        bool enterRealtime() override {
            const bool entered = !refuse && real.enterRealtime();
            granted = granted || entered;
            return entered;
        }
        void leaveRealtime() override { real.leaveRealtime(); }
        std::chrono::nanoseconds longestRunWithoutBlocking() override {
            return real.longestRunWithoutBlocking();
        }
        RealtimeScheduling real;
        bool refuse = false;
        bool granted = false;
    } scheduling;
    RecordingKeys keys{*m_realKeys, clock};
    ReactionSeries& series() { return m_window->series(); }
    // The Wayland connection where the program runs natively, else null.
    WaylandConnection* wayland() { return m_wayland.get(); }
    QWidget& leftBox() { return *m_window->findChild<QWidget*>(QStringLiteral("Picture2")); }
    // The benchmark's own window goes before the real program's are looked for.
    void closeWindow();
    // Before a series' first fall (every tenth from the first): the last series' results window
    // goes, as with "Zurück" (a compositor may have placed it over the stick the participant
    // watches), and a series starts, its first fall two seconds later as in the program.
    void startSeriesBefore(int fall, std::int32_t speed);
    // Whether a finished series' results window shows, and how many lines its score file has.
    bool resultsShown() const;
    int scoreLines() const;
    // The event loop runs for a while, as between the program's trials.
    static void settle(int milliseconds);
    // Whether a series asks a compositor to stand aside, as the program's do; off to measure
    // what the compositor costs.
    bool bypassCompositor = true;
    // Run once in a fall, on the fall's own thread, right before the frame that first moves the
    // stick goes out: what the benchmark commits there reaches the compositor with that frame.
    std::function<void()> beforeMarkedFrame;

private:
    class NoPause;
    class StderrReporter;
    class NoLockWait;
    class Painter;

    std::unique_ptr<Sleeper> m_noPause;
    MersenneRandom m_random;
    SystemTimeOfDay m_timeOfDay;
    std::unique_ptr<ErrorReporter> m_errors;
    std::unique_ptr<Files::LockWait> m_lockWait;
    std::unique_ptr<WindowPainter> m_painter;
    std::unique_ptr<WindowPainter> m_benchPainter;
    QTemporaryDir m_dir;
    WindowsPaths m_paths{m_dir.path(), m_dir.path()};
    Module1 m_module;
    std::unique_ptr<Form1> m_window;
};

// One measurement each, in the order the benchmark runs them.
void measureMachineStalls(Clock& clock);
void measureFrameCost(BenchProgram& program);
void measureFalls(BenchProgram& program);
void measureOnset(BenchProgram& program);
void measureKeyLatency(BenchProgram& program);
void measureBusyMachine(BenchProgram& program);
void measureComposited(BenchProgram& program, const QStringList& only);
// Each Wayland desktop nested in the benchmark's X server (those named in `only`, or all):
// its title and what was measured there.
std::vector<std::pair<std::string, std::string>>
measureNestedWaylandDesktops(_XDisplay* host, const QStringList& only);
// The program on a nested Wayland desktop, natively or on its Xwayland, as the child the
// composited measurement starts for it; its figures' names begin with `prefix`.
void measureNestedWayland(BenchProgram& program, const std::string& prefix, bool native);
void measureProgram();
