#include "Participant.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sched.h>
#include <string>
#include <sys/wait.h>
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

void printFigures(const std::string& prefix, const ParticipantFigures& figures) {
    print((prefix + "added_latency_ms_mean").c_str(), figures.addedMean, "ms");
    print((prefix + "added_latency_ms_max").c_str(), figures.addedMax, "ms");
    print((prefix + "frame_lateness_p99_us").c_str(), figures.latenessP99, "us");
    print((prefix + "recorded_beyond_onset_ms_mean").c_str(), figures.recordedMean, "ms");
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
    const bool serverAhead = !server.isEmpty() && realtimeAhead(pid_t(server.toInt()));
    const Watcher watcher = serverAhead ? Watcher::Ahead : Watcher::Normal;
    std::printf("# X server and participant at real-time priority: %s\n",
                serverAhead ? "yes" : "no");
    pinToCore(-1);
    printFigures("quiet_", participantFalls(program, kFalls, watcher));
    {
        const Load load;
        printFigures("busy_", participantFalls(program, kFalls, watcher));
        program.scheduling.refuse = true;
        printFigures("busy_no_realtime_", participantFalls(program, kFalls, watcher));
        program.scheduling.refuse = false;
    }
    std::printf("# the program's thread was granted a real-time class: %s\n",
                program.scheduling.granted ? "yes" : "no");
}
