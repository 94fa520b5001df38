#include "Harness.h"
#include "ScreenWatcher.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sched.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Two programs that keep both cores busy at normal priority, as a browser or an indexer
// does beside the game.
class Load {
public:
    Load() {
        for (pid_t& pid : m_pids) {
            pid = fork();
            if (pid == 0) {
                const sched_param normal{0};
                sched_setscheduler(0, SCHED_OTHER, &normal);
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
        }
    }
    ~Load() {
        for (const pid_t pid : m_pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    Load(const Load&) = delete;
    Load& operator=(const Load&) = delete;

private:
    pid_t m_pids[2]{};
};

// Real-time priority for a process or the calling thread (0), where the benchmark may give it.
bool ahead(pid_t pid) {
    const sched_param param{20};
    return sched_setscheduler(pid, SCHED_FIFO, &param) == 0;
}

struct Figures {
    double addedMean = 0.0;
    double addedMax = 0.0;
    double latenessP99 = 0.0;
};

// Falls at speed 1000 with a participant who reacts the moment the stick moves: a second X
// client watches the row below the stick's rest position and sends the left arrow through
// XTEST as soon as that row shows red. The added latency runs from that sight to the trial's
// poll that saw the key; the lateness is that of every frame of these falls.
Figures participantFalls(BenchProgram& program, int falls, bool watcherAhead) {
    ReactionSeries& series = program.series();
    RecordingKeys& keys = program.keys;
    ScreenWatcher watcher(program.leftBox());
    Display* sender = XOpenDisplay(nullptr);
    const unsigned int left = XKeysymToKeycode(sender, XK_Left);
    std::vector<double> added;
    std::vector<double> lateness;
    for (int fall = 0; fall < falls; ++fall) {
        if (fall % Module1::kTrialsPerSeries == 0)
            series.startSeries(1000);
        keys.reset();
        std::atomic<bool> stop{false};
        std::int64_t seenNs = 0;
        std::thread participant([&] {
            if (watcherAhead)
                ahead(0);
            watcher.watchUntil(stop, program.clock, [&](const ScreenWatcher::Sample& sample) {
                if (!sample.rowBelowRestRed || keys.fallStartedNs.load() == 0)
                    return false;
                seenNs = sample.ns;
                XTestFakeKeyEvent(sender, left, True, 0);
                XTestFakeKeyEvent(sender, left, False, 0);
                XFlush(sender);
                return true;
            });
        });
        usleep(20'000); // the participant is watching before the trial begins
        series.DropStick(StickSide::Left);
        stop.store(true);
        participant.join();
        if (seenNs > 0)
            added.push_back(double(keys.reads.back() - seenNs) / 1e6);
        const std::vector<double> frames = keys.frameLatenessUs();
        lateness.insert(lateness.end(), frames.begin(), frames.end());
    }
    XCloseDisplay(sender);
    Figures figures;
    for (double a : added)
        figures.addedMean += a / double(added.size());
    figures.addedMax = percentile(added, 100);
    figures.latenessP99 = percentile(lateness, 99);
    if (added.size() != size_t(falls))
        std::printf("# the participant reacted in %zu of %d falls\n", added.size(), falls);
    return figures;
}

void printFigures(const std::string& prefix, const Figures& figures) {
    print((prefix + "added_latency_ms_mean").c_str(), figures.addedMean, "ms");
    print((prefix + "added_latency_ms_max").c_str(), figures.addedMax, "ms");
    print((prefix + "frame_lateness_p99_us").c_str(), figures.latenessP99, "us");
}

} // namespace

// What a user would feel on a quiet and on a busy machine: the latency a zero-delay
// participant adds, and how late frames start, over 20 falls each. The X server (its pid in
// XVFB_PID, from with-xvfb.sh) and the participant get real-time priority where the
// benchmark may give it (as root), so that only the program competes with the load; the
// program asks for its real-time class as it does when started, and once more is refused it.
void measureBusyMachine(BenchProgram& program) {
    constexpr int kFalls = 20;
    const QByteArray server = qgetenv("XVFB_PID");
    const bool serverAhead = !server.isEmpty() && ahead(pid_t(server.toInt()));
    const bool watcherAhead = serverAhead;
    std::printf("# X server and participant at real-time priority: %s\n",
                serverAhead ? "yes" : "no");
    pinToCore(-1);
    printFigures("quiet_", participantFalls(program, kFalls, watcherAhead));
    {
        const Load load;
        printFigures("busy_", participantFalls(program, kFalls, watcherAhead));
        program.scheduling.refuse = true;
        printFigures("busy_no_realtime_", participantFalls(program, kFalls, watcherAhead));
        program.scheduling.refuse = false;
    }
    std::printf("# the program's thread was granted a real-time class: %s\n",
                program.scheduling.granted ? "yes" : "no");
}
