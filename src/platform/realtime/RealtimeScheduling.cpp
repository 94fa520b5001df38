#include "RealtimeScheduling.h"

#include "RealtimeKit.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// Above ordinary programs and below what the system's own real-time threads use; the trial
// blocks in every frame, so even at the top it would starve nothing for long.
constexpr int kPriority = 10;

// How often a trial behind its schedule still blocks, at the most and at the least: a
// quarter of the system's real-time time limit, since the kernel counts that limit in whole
// scheduler ticks and a stalled machine may hand the thread a few of them at once.
constexpr std::chrono::nanoseconds kLongestRun = std::chrono::milliseconds(10);
constexpr std::chrono::nanoseconds kShortestRun = std::chrono::microseconds(200);

// RealtimeKit's connection is made in the background, each step with this limit; a fall
// asks it for the class on its own path and waits this long at most, once: a bus that lets
// a request go unanswered is not asked again during the run.
constexpr int kConnectStepMs = 2000;
constexpr int kRequestTimeoutMs = 50;

// What the SIGXCPU handler needs: the thread that may be in the class and the class it goes
// back to. Atomics, as a signal handler may read nothing else.
std::atomic<pid_t> g_thread{0};
std::atomic<int> g_normalPolicy{SCHED_OTHER};
std::atomic<int> g_normalPriority{0};

// The system's real-time time limit was reached: the thread leaves the class for the rest of
// the fall instead of being ended by the signal's default action. The call is a plain
// system call, safe in a handler.
extern "C" void leaveRealtimeOnLimit(int) {
    const int savedErrno = errno;
    const pid_t thread = g_thread.load();
    if (thread != 0) {
        const sched_param param{g_normalPriority.load()};
        sched_setscheduler(thread, g_normalPolicy.load() | SCHED_RESET_ON_FORK, &param);
    }
    errno = savedErrno;
}

void handleRealtimeLimit() {
    static bool installed = false;
    if (installed)
        return;
    struct sigaction action = {};
    action.sa_handler = leaveRealtimeOnLimit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed = sigaction(SIGXCPU, &action, nullptr) == 0;
}

// The priority that a direct request may ask for: the administrator's RLIMIT_RTPRIO where one
// is granted, else ours (root and CAP_SYS_NICE are not limited by it).
int directPriority() {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0 &&
        limit.rlim_cur != RLIM_INFINITY)
        return std::min(kPriority, int(limit.rlim_cur));
    return kPriority;
}

bool setFifo(int priority) {
    const sched_param param{priority};
    // For the calling thread only; a program it starts gets the normal class.
    return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

} // namespace

// Handed over by the background thread that connects to RealtimeKit; it outlives this
// object when that thread still waits on a silent bus at the end of the run.
struct RealtimeScheduling::Connecting {
    std::mutex mutex;
    bool done = false;
    std::unique_ptr<RealtimeKit> kit;
};

RealtimeScheduling::RealtimeScheduling() = default;

RealtimeScheduling::~RealtimeScheduling() {
    leaveRealtime();
    g_thread.store(0);
}

void RealtimeScheduling::prepare() {
    if (m_way != Way::Untried)
        return;
    m_way = Way::None;
    // The class the thread goes back to after every fall.
    m_policy = sched_getscheduler(0);
    if (m_policy < 0 || sched_getparam(0, &m_param) != 0)
        return;
    handleRealtimeLimit();
    g_normalPolicy.store(m_policy);
    g_normalPriority.store(m_param.sched_priority);
    m_priority = directPriority();
    if (setFifo(m_priority)) {
        sched_setscheduler(0, m_policy | SCHED_RESET_ON_FORK, &m_param);
        m_way = Way::Direct;
        return;
    }
    m_connecting = std::make_shared<Connecting>();
    try {
        std::thread([connecting = m_connecting, address = RealtimeKit::systemBusAddress()] {
            std::unique_ptr<RealtimeKit> kit = RealtimeKit::connect(address, kConnectStepMs);
            const std::lock_guard lock(connecting->mutex);
            connecting->kit = std::move(kit);
            connecting->done = true;
        }).detach();
        m_way = Way::RealtimeKit;
    } catch (const std::system_error&) {
        m_connecting.reset();
    }
}

bool RealtimeScheduling::realtimeKitReady() {
    if (m_kit)
        return true;
    std::unique_lock lock(m_connecting->mutex, std::try_to_lock);
    if (!lock.owns_lock() || !m_connecting->done)
        return false;
    m_kit = std::move(m_connecting->kit);
    lock.unlock();
    m_connecting.reset();
    if (!m_kit)
        m_way = Way::None;
    return m_kit != nullptr;
}

bool RealtimeScheduling::enterBy(Way way) {
    if (way == Way::Direct)
        return setFifo(m_priority);
    // RealtimeKit is asked every time: the thread gave the class back after the last fall.
    const int granted = m_kit->makeThreadRealtime(gettid(), kPriority, kRequestTimeoutMs);
    if (granted < 0) {
        // No answer in time: not asked again, and the class is given back after every fall
        // in case the answer still comes.
        m_way = Way::None;
        m_lateGrantPossible = true;
    }
    return granted > 0;
}

bool RealtimeScheduling::enterRealtime() {
    if (m_entered)
        return true;
    if (m_way == Way::Untried)
        prepare();
    if (m_way == Way::None || (m_way == Way::RealtimeKit && !realtimeKitReady()))
        return false;
    g_thread.store(gettid());
    m_entered = enterBy(m_way);
    return m_entered;
}

void RealtimeScheduling::leaveRealtime() {
    if (!m_entered && !m_lateGrantPossible)
        return;
    // Lowering one's own class needs no permission, but clearing the reset-on-fork flag that
    // the real-time class came with does; kept, it only means what is true anyway: a child
    // starts in the normal class.
    sched_setscheduler(0, m_policy | SCHED_RESET_ON_FORK, &m_param);
    m_entered = false;
}

std::chrono::nanoseconds RealtimeScheduling::longestRunWithoutBlocking() {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kLongestRun;
    const std::chrono::nanoseconds quarter = std::chrono::microseconds(limit.rlim_cur / 4);
    return std::clamp(quarter, kShortestRun, kLongestRun);
}
