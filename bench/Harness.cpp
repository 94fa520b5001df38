#include "Harness.h"

#include "platform/wayland/WaylandKeyState.h"
#include "platform/wayland/WaylandWindowPainter.h"
#include "storage/ScoreFile.h"
#include "ui/results/Form2.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

WatchedScreen& watchedScreen() {
    static WatchedScreen screen;
    return screen;
}

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

// The frames sleep as in the program; the two seconds after a trial are skipped.
class BenchProgram::NoPause final : public Sleeper {
public:
    void sleepMs(int) override {}
    void sleepUntilNs(std::int64_t monotonicNs) override { m_frames.sleepUntilNs(monotonicNs); }

private:
    ThreadSleeper m_frames;
};

class BenchProgram::StderrReporter final : public ErrorReporter {
public:
    void reportFatal(const QString& message) override {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::_Exit(1);
    }
};

// The benchmark's score file is its own; nobody else holds its lock.
class BenchProgram::NoLockWait final : public Files::LockWait {
public:
    bool waitFor(const QString&, const std::function<bool()>&) override { return false; }
};

// The program's painter, which asks a compositor to stand aside only where the benchmark lets
// it, and runs the benchmark's own work before a fall's marked frame.
class BenchProgram::Painter final : public WindowPainter {
public:
    Painter(WindowPainter& inner, const bool& bypassAllowed,
            const std::function<void()>& beforeMarkedFrame)
        : m_inner(inner)
        , m_bypassAllowed(bypassAllowed)
        , m_beforeMarkedFrame(beforeMarkedFrame) {}
    bool canDraw(unsigned long window) override { return m_inner.canDraw(window); }
    void put(unsigned long window, const QImage& image, const QRect& source,
             const QPoint& target) override {
        if (std::exchange(m_marked, false) && m_beforeMarkedFrame)
            m_beforeMarkedFrame();
        m_inner.put(window, image, source, target);
    }
    void startFall() override { m_inner.startFall(); }
    void markNextFrame() override {
        m_inner.markNextFrame();
        m_marked = true;
    }
    std::optional<std::int64_t> markedFrameShownLateNs(std::int64_t keyNs,
                                                       std::chrono::milliseconds wait) override {
        return m_inner.markedFrameShownLateNs(keyNs, wait);
    }
    void bypassCompositor(bool bypass) override {
        m_inner.bypassCompositor(bypass && m_bypassAllowed);
    }

private:
    WindowPainter& m_inner;
    const bool& m_bypassAllowed;
    const std::function<void()>& m_beforeMarkedFrame;
    bool m_marked = false;
};

BenchProgram::BenchProgram(bool wayland)
    : m_wayland(wayland ? std::make_unique<WaylandConnection>() : nullptr)
    , m_realKeys(wayland ? std::unique_ptr<KeyState>(std::make_unique<WaylandKeyState>(*m_wayland))
                         : std::make_unique<X11KeyState>())
    , m_noPause(std::make_unique<NoPause>())
    , m_errors(std::make_unique<StderrReporter>())
    , m_lockWait(std::make_unique<NoLockWait>())
    , m_painter(wayland ? std::unique_ptr<WindowPainter>(
                              std::make_unique<WaylandWindowPainter>(*m_wayland, trialClock))
                        : std::make_unique<X11WindowPainter>(trialClock))
    , m_benchPainter(std::make_unique<Painter>(*m_painter, bypassCompositor, beforeMarkedFrame)) {
    const Platform platform{trialClock, keys,        *m_noPause,      m_random,  m_timeOfDay,
                            *m_errors,  *m_lockWait, *m_benchPainter, scheduling};
    // Every tenth fall ends a series, whose score goes to a file of the benchmark's own.
    QDir().mkpath(m_dir.path() + QStringLiteral("/greifholm/c/Programme"));
    m_window = std::make_unique<Form1>(m_module, platform, m_paths);
    // As the program does: the painter takes the window before it is shown.
    if (!wayland)
        static_cast<X11WindowPainter&>(*m_painter).synchroniseFrames(m_window->winId());
    m_window->showMaximized();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        usleep(20'000);
    }
}

BenchProgram::~BenchProgram() = default;

void BenchProgram::closeWindow() {
    m_window->close();
    QCoreApplication::processEvents();
}

void BenchProgram::startSeriesBefore(int fall, std::int32_t speed) {
    if (fall % Module1::kTrialsPerSeries != 0)
        return;
    if (QWidget* results = m_window->resultsWindow())
        results->hide();
    series().startSeries(speed);
    settle(2000);
}

bool BenchProgram::resultsShown() const {
    const QWidget* results = m_window->resultsWindow();
    return results && results->isVisible();
}

int BenchProgram::scoreLines() const {
    QFile file(m_paths.map(ScoreFile::kScoreFilePath));
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

void BenchProgram::settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents();
        usleep(10'000);
    }
}
