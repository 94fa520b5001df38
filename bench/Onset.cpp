#include "Harness.h"
#include "ScreenWatcher.h"

#include "ui/main/StickBox.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <unistd.h>

// What the user sees: falls at speed 1000 while a second X client polls the screen. The
// onset delay runs from the moment the paced frames put the stick's lower end into the row
// below rest (the frame's deadline) to the first answer that shows that row red; the stick
// is absent for as long as the pixel inside the resting stick is not red.
void measureOnset(BenchProgram& program) {
    QWidget& box = program.leftBox();
    ReactionSeries& test = program.series();
    RecordingKeys& keys = program.keys;
    SteadyClock& clock = program.clock;
    constexpr std::int32_t kSpeed = 1000;
    constexpr int kFalls = 24;
    ScreenWatcher watcher(box);
    const std::int64_t onsetFrame =
        firstFrameBelowRest(static_cast<StickBox&>(box).surface(), kSpeed);
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
