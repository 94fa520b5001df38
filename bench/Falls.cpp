#include "Harness.h"

#include <cstdio>
#include <string>
#include <sys/resource.h>

// The processor time the calling thread has used so far.
double threadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Whole falls without a key, in the real window, paced as in a series: how long each lasts,
// how late its frames start against their deadlines, and how much processor time the fall
// at the default speed takes.
void measureFalls(BenchProgram& program) {
    ReactionSeries& test = program.series();
    RecordingKeys& keys = program.keys;
    std::vector<double> lateness;
    for (int speed : {100, 1000, 10000}) {
        test.startSeries(speed);
        keys.reset();
        const double cpuBefore = threadCpuMs();
        test.DropStick(StickSide::Left);
        if (speed == 1000)
            print("fall_cpu_v1000_ms", threadCpuMs() - cpuBefore, "ms");
        const std::vector<std::int64_t> polls = keys.framePolls();
        const double durationMs = double(polls.back() - polls.front()) / 1e6;
        const std::string name = "fall_duration_v" + std::to_string(speed) + "_ms";
        print(name.c_str(), durationMs, "ms");
        const std::vector<double> fall = keys.frameLatenessUs();
        lateness.insert(lateness.end(), fall.begin(), fall.end());
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
}
