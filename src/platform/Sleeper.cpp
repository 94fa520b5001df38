#include "Sleeper.h"

#include <cerrno>
#include <chrono>
#include <sys/prctl.h>
#include <thread>
#include <time.h>

ThreadSleeper::ThreadSleeper() {
    prctl(PR_SET_TIMERSLACK, 1UL);
}

void ThreadSleeper::sleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ThreadSleeper::sleepUntilNs(std::int64_t monotonicNs) {
    const timespec until{time_t(monotonicNs / 1'000'000'000), long(monotonicNs % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}
