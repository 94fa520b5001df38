#pragma once

#include "platform/Platform.h"

#include <QString>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <vector>

// A clock that moves only when read (by one step) or when a test moves it.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::int64_t startNs = 1'000'000'000'000, std::int64_t stepNs = 1'000)
        : m_now(startNs)
        , m_step(stepNs) {}
    std::int64_t nowNs() override {
        m_last = m_now;
        m_now += m_step;
        return m_last;
    }
    void advance(std::int64_t ns) { m_now += ns; }
    void advanceTo(std::int64_t ns) { m_now = std::max(m_now, ns); }
    // The value the last read returned.
    std::int64_t lastReading() const { return m_last; }
    std::int64_t peek() const { return m_now; }

private:
    std::int64_t m_now;
    std::int64_t m_step;
    std::int64_t m_last = 0;
};

// Key states from a script: given the key and how often it was read before, the state. Each
// read also remembers the clock's last reading, that is, when the frame it belongs to began.
class ScriptedKeyState final : public KeyState {
public:
    using Script = std::function<qint16(int virtualKey, int readIndex)>;

    explicit ScriptedKeyState(FakeClock& clock)
        : m_clock(clock) {}
    void setScript(Script script) { m_script = std::move(script); }
    qint16 asyncKeyState(int virtualKey) override {
        std::vector<std::int64_t>& reads = m_reads[virtualKey];
        const int index = int(reads.size());
        reads.push_back(m_clock.lastReading());
        return m_script ? m_script(virtualKey, index) : 0;
    }
    int totalReads() const {
        int total = 0;
        for (const auto& [key, reads] : m_reads)
            total += int(reads.size());
        return total;
    }
    int readCount(int virtualKey) const {
        auto it = m_reads.find(virtualKey);
        return it == m_reads.end() ? 0 : int(it->second.size());
    }
    const std::vector<std::int64_t>& readTimes(int virtualKey) { return m_reads[virtualKey]; }
    void forget() { m_reads.clear(); }
    std::optional<std::int64_t> lastChangeNs(int) override { return changedAtNs; }
    std::optional<std::int64_t> changedAtNs; // the key event's own time, where it has one

private:
    FakeClock& m_clock;
    Script m_script;
    std::map<int, std::vector<std::int64_t>> m_reads;
};

// Records pauses; sleeps for real only as long as a test asks it to. A sleep until a time
// moves the fake clock there, `lateNs` later when a test says the kernel woke it late, and
// remembers the clock's last reading before it.
class FakeSleeper final : public Sleeper {
public:
    explicit FakeSleeper(FakeClock& clock)
        : m_clock(clock) {}
    void sleepMs(int milliseconds) override {
        sleeps.push_back(milliseconds);
        if (realSleepMs > 0)
            QThread::msleep(realSleepMs);
    }
    void sleepUntilNs(std::int64_t monotonicNs) override {
        sleptAt.push_back(m_clock.lastReading());
        sleptUntil.push_back(monotonicNs);
        m_clock.advanceTo(monotonicNs + lateNs);
    }
    std::vector<int> sleeps;
    std::vector<std::int64_t> sleptUntil;
    std::vector<std::int64_t> sleptAt;
    unsigned long realSleepMs = 0;
    std::int64_t lateNs = 0;

private:
    FakeClock& m_clock;
};

// Returns queued values, then 0.5; remembers the seeds it was given and when.
class FakeRandom final : public RandomSource {
public:
    void reseed(float seed) override {
        seeds.push_back(seed);
        seedTimes.push_back(std::chrono::steady_clock::now());
    }
    float next() override {
        if (values.empty())
            return 0.5f;
        const float value = values.front();
        values.erase(values.begin());
        return value;
    }
    std::vector<float> values;
    std::vector<float> seeds;
    std::vector<std::chrono::steady_clock::time_point> seedTimes;
};

class SteppingTimeOfDay final : public TimeOfDay {
public:
    explicit SteppingTimeOfDay(float start = 36000.0f, float step = 2.0f)
        : m_next(start)
        , m_step(step) {}
    float secondsSinceMidnight() override {
        const float now = m_next;
        m_next += m_step;
        return now;
    }

private:
    float m_next;
    float m_step;
};

// Records the message; since a reporter must not return, it then throws Reported, which
// the test catches where the real reporter would have ended the program.
class RecordingErrorReporter final : public ErrorReporter {
public:
    struct Reported {};
    [[noreturn]] void reportFatal(const QString& message) override {
        messages << message;
        throw Reported{};
    }
    QStringList messages;
};

// Waits for another process's lock by trying it every 10 ms, for up to `patienceMs`; then
// gives up, as a user would with "Abbrechen". Remembers which locks it waited for.
class PollingLockWait final : public Files::LockWait {
public:
    bool waitFor(const QString& lockPath, const std::function<bool()>& tryLock) override {
        waitedFor << lockPath;
        for (int waited = 0; waited < patienceMs; waited += 10) {
            if (tryLock())
                return true;
            QThread::msleep(10);
        }
        return tryLock();
    }
    int patienceMs = 10000;
    QStringList waitedFor;
};

// A window painter that cannot draw on any window, as off X11: the stick boxes repaint
// through Qt, which the offscreen platform shows in the widgets' own pictures. Notes after how
// many key reads a frame was marked; a test may say what a compositor reported of it. Knows
// whether the compositor is asked to stand aside.
class NoWindowPainter final : public WindowPainter {
public:
    explicit NoWindowPainter(const ScriptedKeyState& keys)
        : m_keys(keys) {}
    bool canDraw(unsigned long) override { return false; }
    void put(unsigned long, const QImage&, const QRect&, const QPoint&) override {}
    void startFall() override { marks.clear(); }
    void markNextFrame() override { marks.push_back(m_keys.totalReads()); }
    std::optional<std::int64_t> markedFrameShownLateNs(std::int64_t,
                                                       std::chrono::milliseconds) override {
        reportAskedInRealtime = reportAskedInRealtime || (inRealtime && *inRealtime);
        return shownLateNs;
    }
    void bypassCompositor(bool bypass) override { compositorBypassed = bypass; }
    std::optional<std::int64_t> shownLateNs;
    bool compositorBypassed = false;
    // Where the scheduling is told, whether the report was waited for in the real-time class.
    const bool* inRealtime = nullptr;
    bool reportAskedInRealtime = false;
    std::vector<int> marks;

private:
    const ScriptedKeyState& m_keys;
};

// Grants or refuses the real-time class and notes, at each call, how many key reads and
// pauses the trial had made; counts the preparations.
class FakeScheduling final : public Scheduling {
public:
    FakeScheduling(const ScriptedKeyState& keys, const FakeSleeper& sleeper)
        : m_keys(keys)
        , m_sleeper(sleeper) {}
    void prepare() override { ++prepares; }
    bool enterRealtime() override {
        calls.push_back({true, m_keys.totalReads(), m_sleeper.sleeps.size()});
        inRealtime = grants;
        return grants;
    }
    std::chrono::nanoseconds longestRunWithoutBlocking() override { return longestRun; }
    void leaveRealtime() override {
        calls.push_back({false, m_keys.totalReads(), m_sleeper.sleeps.size()});
        inRealtime = false;
    }
    struct Call {
        bool enter;
        int keyReads;
        size_t pauses;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
    bool grants = true;
    bool inRealtime = false;
    int prepares = 0;
    std::chrono::nanoseconds longestRun = std::chrono::milliseconds(10);

private:
    const ScriptedKeyState& m_keys;
    const FakeSleeper& m_sleeper;
};

// All fakes in one place, wired into a Platform.
struct FakePlatform {
    explicit FakePlatform(std::int64_t clockStartNs = 1'000'000'000'000)
        : clock(clockStartNs) {
        painter.inRealtime = &scheduling.inRealtime;
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;
    FakeClock clock;
    ScriptedKeyState keys{clock};
    FakeSleeper sleeper{clock};
    FakeRandom random;
    SteppingTimeOfDay timeOfDay;
    RecordingErrorReporter errors;
    PollingLockWait lockWait;
    NoWindowPainter painter{keys};
    FakeScheduling scheduling{keys, sleeper};

    Platform platform() {
        return Platform{clock,  keys,     sleeper, random,    timeOfDay,
                        errors, lockWait, painter, scheduling};
    }
};
