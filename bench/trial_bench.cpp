// Measures the drop trial of the program's own main window on a real X server: the cost of
// one frame, how long whole falls take, how punctually frames start, how soon a falling
// stick shows on the screen as a second X client sees it, and how soon an arrow key sent
// through XTEST is seen; then the real program's start-up time and its peak memory over a
// series. Starts its own Xvfb (through the tests' with-xvfb.sh) when no display is set.
//
// Prints one figure per line: name value unit. Options: --falls stops after the fall and
// screen figures; with BENCH_DEBUG set it also prints (as # lines) how frame lateness is
// spread.
#include "app/Module1.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/WindowsPaths.h"
#include "platform/X11KeyState.h"
#include "ui/main/Form1.h"
#include "ui/main/Form1Layout.h"
#include "ui/main/StickBox.h"
#include "ui/main/StickDrawing.h"
#include "ui/main/TrialTiming.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <random>
#include <sched.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p / 100.0 * double(values.size())));
    return values[index];
}

void print(const char* name, double value, const char* unit) {
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

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
    void reset() {
        reads.clear();
        fallStartedNs.store(0);
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

class NoPause final : public Sleeper {
public:
    void sleepMs(int) override {}
};

class StderrReporter final : public ErrorReporter {
public:
    void reportFatal(const QString& message) override {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::_Exit(1);
    }
};

// The benchmark's score file is its own; nobody else holds its lock.
class NoLockWait final : public Files::LockWait {
public:
    bool waitFor(const QString&, const std::function<bool()>&) override { return false; }
};

// How long the machine itself takes the CPU away from a thread that only reads the clock:
// the floor under every tail figure below.
void measureMachineStalls(Clock& clock) {
    const std::int64_t end = clock.nowNs() + 5'000'000'000;
    std::int64_t previous = clock.nowNs();
    std::int64_t longest = 0;
    for (std::int64_t now = previous; now < end; now = clock.nowNs()) {
        longest = std::max(longest, now - previous);
        previous = now;
    }
    print("machine_stall_max_ms", double(longest) / 1e6, "ms");
}

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

// Every frame of a full fall at speed 1000 in the real window, unpaced: drawing, putting on
// screen what changed, and the key query. The mean says what putting the stick on screen as
// it moves costs a frame on average.
void measureFrameCost(ReactionTest& test, RecordingKeys& keys, PacingClock& clock) {
    clock.unpaced = true;
    test.startSeries(1000);
    keys.reset();
    test.DropStick(StickSide::Left);
    clock.unpaced = false;
    const std::vector<std::int64_t> polls = keys.framePolls();
    std::vector<double> costs;
    for (size_t i = 1; i < polls.size(); ++i)
        costs.push_back(double(polls[i] - polls[i - 1]) / 1000.0);
    double sum = 0.0;
    for (double cost : costs)
        sum += cost;
    print("frame_cost_median_us", percentile(costs, 50), "us");
    print("frame_cost_mean_us", sum / double(costs.size()), "us");
    print("frame_cost_p99_us", percentile(costs, 99), "us");
}

// Keeps the calling thread on one core (where the machine has it); -1 lets it run on all.
void pinToCore(int core) {
    const int cores = int(std::thread::hardware_concurrency());
    if (core >= cores)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int c = 0; c < cores; ++c) {
        if (core < 0 || c == core)
            CPU_SET(c, &set);
    }
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
}

// A second X client that watches one pixel column of the left stick box on the screen: a
// pixel inside the resting stick and the first pixel row below the stick's rest position.
class ScreenWatcher {
public:
    struct Sample {
        std::int64_t ns; // when the server's answer had arrived
        bool stickShown;
        bool rowBelowRestRed;
    };

    explicit ScreenWatcher(QWidget& box) {
        auto& surface = static_cast<StickBox&>(box).surface();
        const float c = surface.width() / 2.0f;
        // Right of every mark, inside the red stick.
        const QPoint inStick = surface.toDevice(c + 250.0f, kRestBottom / 2.0f);
        m_belowRest = surface.toDevice(c + 250.0f, kRestBottom).y() + 1;
        const qreal ratio = box.devicePixelRatioF();
        const QPoint origin = box.mapToGlobal(QPoint(0, 0)) * ratio;
        m_x = origin.x() + inStick.x();
        m_top = origin.y() + inStick.y();
        m_height = m_belowRest - inStick.y() + 1;
        m_belowRest -= inStick.y();
        m_display = XOpenDisplay(nullptr);
    }
    ~ScreenWatcher() { XCloseDisplay(m_display); }

    // Polls until told to stop, as fast as the server answers.
    std::vector<Sample> watchUntil(const std::atomic<bool>& stop, SteadyClock& clock) {
        std::vector<Sample> samples;
        const Window root = DefaultRootWindow(m_display);
        while (!stop.load()) {
            XImage* image =
                XGetImage(m_display, root, m_x, m_top, 1, unsigned(m_height), AllPlanes, ZPixmap);
            const std::int64_t now = clock.nowNs();
            if (!image)
                continue;
            const auto isRed = [](unsigned long pixel) { return (pixel & 0xffffff) == 0xff0000; };
            samples.push_back(
                {now, isRed(XGetPixel(image, 0, 0)), isRed(XGetPixel(image, 0, m_belowRest))});
            XDestroyImage(image);
        }
        return samples;
    }

    // The frame of a fall at this speed that first draws the stick's lower end into the row
    // below its rest position.
    static std::int64_t firstFrameBelowRest(const DrawingSurface& surface, std::int32_t speed) {
        const int restRow = surface.toDevice(0.0f, kRestBottom).y();
        double bottom = kRestBottom;
        std::int64_t t = 1;
        while (surface.toDevice(0.0f, float(bottom)).y() <= restRow)
            bottom += fallIncrement(t++, speed);
        return t;
    }

private:
    Display* m_display = nullptr;
    int m_x = 0;
    int m_top = 0;
    int m_height = 0;
    int m_belowRest = 0;
};

// What the user sees: falls at speed 1000 while a second X client polls the screen. The
// onset delay runs from the moment the paced frames put the stick's lower end into the row
// below rest (the frame's deadline) to the first answer that shows that row red; the stick
// is absent for as long as the pixel inside the resting stick is not red.
void measureOnset(QWidget& box, ReactionTest& test, RecordingKeys& keys, SteadyClock& clock) {
    constexpr std::int32_t kSpeed = 1000;
    constexpr int kFalls = 24;
    ScreenWatcher watcher(box);
    const std::int64_t onsetFrame =
        ScreenWatcher::firstFrameBelowRest(static_cast<StickBox&>(box).surface(), kSpeed);
    std::vector<double> onsets;
    double absentMax = 0.0;
    for (int fall = 0; fall < kFalls; ++fall) {
        test.startSeries(kSpeed);
        keys.reset();
        std::atomic<bool> stop{false};
        std::vector<ScreenWatcher::Sample> samples;
        // The watcher stands in for the display, which takes no CPU from the program: it gets
        // a core of its own, the trial's busy wait the other, and the X server whichever is
        // free, as on a user's machine.
        std::thread watching([&] {
            pinToCore(1);
            samples = watcher.watchUntil(stop, clock);
        });
        pinToCore(0);
        usleep(20'000); // the watcher is polling before the trial begins
        test.DropStick(StickSide::Left);
        stop.store(true);
        watching.join();

        const std::int64_t deadline =
            keys.fallStartedNs.load() + (onsetFrame - 1) * kFramePeriod.count();
        const auto red = std::find_if(samples.begin(), samples.end(),
                                      [](const auto& s) { return s.rowBelowRestRed; });
        if (red != samples.end())
            onsets.push_back(double(red->ns - deadline) / 1e6);
        // From the first answer without the stick to the first with it again.
        std::int64_t absentSince = -1;
        for (const ScreenWatcher::Sample& sample : samples) {
            if (!sample.stickShown && absentSince < 0)
                absentSince = sample.ns;
            if (sample.stickShown && absentSince >= 0) {
                absentMax = std::max(absentMax, double(sample.ns - absentSince) / 1e6);
                absentSince = -1;
            }
        }
    }
    pinToCore(-1);
    if (onsets.size() != size_t(kFalls))
        std::printf("# the row below rest was seen red in %zu of %d falls\n", onsets.size(),
                    kFalls);
    print("onset_delay_ms_p50", percentile(onsets, 50), "ms");
    print("onset_delay_ms_max", percentile(onsets, 100), "ms");
    print("stick_absent_ms_max", absentMax, "ms");
}

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

// The program as a user starts it: in a working directory with the template, with a data
// folder of its own.
class ProgramRun {
public:
    explicit ProgramRun(const QString& root) {
        QDir().mkpath(root + QStringLiteral("/work"));
        QFile::copy(QStringLiteral(GREIFHOLM_TEMPLATE), root + QStringLiteral("/work/spunkte.txt"));
        m_pid = fork();
        if (m_pid == 0) {
            setenv("XDG_DATA_HOME", qPrintable(root + QStringLiteral("/data")), 1);
            unsetenv("QT_QPA_PLATFORM");
            if (chdir(qPrintable(root + QStringLiteral("/work"))) != 0)
                _exit(126);
            execl(GREIFHOLM_EXECUTABLE, GREIFHOLM_EXECUTABLE, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~ProgramRun() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }

    // Peak resident memory so far, from the kernel's high-water mark.
    double peakRssMb() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_pid));
        if (!status.open(QIODevice::ReadOnly))
            return 0.0;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
        return 0.0;
    }

private:
    pid_t m_pid = -1;
};

// The visible top-level window with this title, or 0. Looks through the window manager's
// frames, one level below the root.
Window findViewable(Display* display, const char* title) {
    Window root = DefaultRootWindow(display);
    Window parent = 0;
    Window* frames = nullptr;
    unsigned int frameCount = 0;
    Window found = 0;
    if (!XQueryTree(display, root, &root, &parent, &frames, &frameCount))
        return 0;
    for (unsigned int i = 0; i < frameCount && !found; ++i) {
        Window* children = nullptr;
        unsigned int childCount = 0;
        XQueryTree(display, frames[i], &root, &parent, &children, &childCount);
        std::vector<Window> candidates{frames[i]};
        candidates.insert(candidates.end(), children, children + childCount);
        for (Window candidate : candidates) {
            char* name = nullptr;
            XWindowAttributes attributes{};
            if (XFetchName(display, candidate, &name) && name) {
                if (std::strcmp(name, title) == 0 &&
                    XGetWindowAttributes(display, candidate, &attributes) &&
                    attributes.map_state == IsViewable)
                    found = candidate;
                XFree(name);
            }
            if (found)
                break;
        }
        if (children)
            XFree(children);
    }
    if (frames)
        XFree(frames);
    return found;
}

Window waitForWindow(Display* display, const char* title, int timeoutMs) {
    SteadyClock clock;
    const std::int64_t end = clock.nowNs() + std::int64_t(timeoutMs) * 1'000'000;
    while (clock.nowNs() < end) {
        if (const Window window = findViewable(display, title))
            return window;
        usleep(1000);
    }
    return 0;
}

void clickAt(Display* display, Window window, int x, int y) {
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XFlush(display);
}

// From exec to the main window on screen, median of several starts; then the peak memory of
// the program over a whole series.
void measureProgram() {
    Display* display = XOpenDisplay(nullptr);
    SteadyClock clock;
    while (findViewable(display, "Greifholm-Programm"))
        usleep(1000);
    std::vector<double> startups;
    for (int i = 0; i < 7; ++i) {
        QTemporaryDir root;
        {
            const std::int64_t begin = clock.nowNs();
            ProgramRun run(root.path());
            if (!waitForWindow(display, "Greifholm-Programm", 20000)) {
                std::fprintf(stderr, "the program did not show its window\n");
                std::exit(1);
            }
            startups.push_back(double(clock.nowNs() - begin) / 1e6);
        }
        // The server removes a killed program's windows a moment later; the next start must
        // not find the old one.
        while (findViewable(display, "Greifholm-Programm"))
            usleep(1000);
    }
    print("startup_ms", percentile(startups, 50), "ms");

    QTemporaryDir root;
    ProgramRun run(root.path());
    const Window window = waitForWindow(display, "Greifholm-Programm", 20000);
    usleep(500'000);
    const QPoint start = twipsCentre(Form1Layout::Command1);
    clickAt(display, window, start.x(), start.y());
    if (!waitForWindow(display, "Ergebnis-Greifholmtest", 180000)) {
        std::fprintf(stderr, "the series did not end\n");
        std::exit(1);
    }
    print("rss_mb", run.peakRssMb(), "MB");
    XCloseDisplay(display);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::vector<char*> command{const_cast<char*>(GREIFHOLM_WITH_XVFB), argv[0]};
        command.insert(command.end(), argv + 1, argv + argc);
        command.push_back(nullptr);
        execv(command[0], command.data());
        std::perror("with-xvfb.sh");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    std::printf("# greifholm trial benchmark: %s (build/bench/greifholm_bench)\n", argv[0]);

    SteadyClock clock;
    PacingClock trialClock;
    X11KeyState realKeys;
    RecordingKeys keys(realKeys, clock);
    NoPause noPause;
    MersenneRandom random;
    SystemTimeOfDay timeOfDay;
    StderrReporter errors;
    NoLockWait lockWait;
    const Platform platform{trialClock, keys, noPause, random, timeOfDay, errors, lockWait};
    QTemporaryDir dir;
    const WindowsPaths paths(dir.path(), dir.path());
    // Every tenth fall ends a series, whose score goes to a file of the benchmark's own.
    QDir().mkpath(dir.path() + QStringLiteral("/greifholm/c/Programme"));
    Module1 module;
    Form1 window(module, platform, paths);
    window.showMaximized();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        usleep(20'000);
    }
    ReactionTest& test = window.reactionTest();
    QWidget& leftBox = *window.findChild<QWidget*>(QStringLiteral("Picture2"));

    measureMachineStalls(clock);
    measureFrameCost(test, keys, trialClock);

    // Whole falls without a key, in the real window, paced as in a series.
    std::vector<double> lateness;
    for (int speed : {100, 1000, 10000}) {
        test.startSeries(speed);
        keys.reset();
        test.DropStick(StickSide::Left);
        const std::vector<std::int64_t> polls = keys.framePolls();
        const std::int64_t start = polls.front();
        const double durationMs = double(polls.back() - start) / 1e6;
        const std::string name = "fall_duration_v" + std::to_string(speed) + "_ms";
        print(name.c_str(), durationMs, "ms");
        for (size_t t = 1; t <= polls.size(); ++t) {
            const std::int64_t deadline = start + std::int64_t(t - 1) * kFramePeriod.count();
            lateness.push_back(double(polls[t - 1] - deadline) / 1000.0);
        }
    }
    print("frame_lateness_p99_us", percentile(lateness, 99), "us");
    if (qEnvironmentVariableIsSet("BENCH_DEBUG")) {
        int over = 0;
        for (double l : lateness)
            over += l > 500 ? 1 : 0;
        std::printf("#   frames late by over 0.5 ms: %d\n", over);
        for (double p : {50.0, 90.0, 95.0, 98.0, 99.5, 99.9, 100.0})
            std::printf("#   lateness p%.1f %.1f us\n", p, percentile(lateness, p));
        std::printf("#   frames %zu\n", lateness.size());
    }

    measureOnset(leftBox, test, keys, clock);

    if (argc > 1 && QByteArray(argv[1]) == "--falls")
        return 0;

    // Key latency: from the XTEST send to the trial loop's poll that saw the change.
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

    // The benchmark's own main window goes before the real program's are looked for.
    window.close();
    QCoreApplication::processEvents();
    measureProgram();
    return 0;
}
