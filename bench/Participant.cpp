#include "Participant.h"

#include "ScreenWatcher.h"

#include "ui/main/StickBox.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cmath>
#include <cstdio>
#include <sched.h>
#include <thread>
#include <unistd.h>

bool realtimeAhead(pid_t pid) {
    const sched_param param{20};
    return sched_setscheduler(pid, SCHED_FIFO, &param) == 0;
}

namespace {

// The calling thread from now on behind everything else, for good: only a thread of the
// benchmark's own that ends with its watching may go there.
void lowestPriority() {
    const sched_param none{};
    sched_setscheduler(0, SCHED_IDLE, &none);
}

} // namespace

void watchBehind(const std::function<void()>& watch) {
    std::thread watcher([&watch] {
        lowestPriority();
        watch();
    });
    watcher.join();
}

ParticipantFigures participantFalls(BenchProgram& program, int falls, Watcher priority,
                                    int reactionMs) {
    constexpr std::int32_t kSpeed = 1000;
    ReactionSeries& series = program.series();
    RecordingKeys& keys = program.keys;
    ScreenWatcher watcher(program.leftBox());
    const std::int64_t onsetFrame =
        firstFrameBelowRest(static_cast<StickBox&>(program.leftBox()).surface(), kSpeed);
    // The keys go where the participant looks: on a nested desktop, to the host's keyboard.
    const QByteArray& screen = watchedScreen().display;
    Display* sender = XOpenDisplay(screen.isEmpty() ? nullptr : screen.constData());
    const unsigned int left = XKeysymToKeycode(sender, XK_Left);
    std::vector<double> added;
    std::vector<double> recorded;
    std::vector<double> corrected;
    std::vector<double> keyLags;
    std::vector<double> shownToSeen;
    int reported = 0;
    std::vector<double> lateness;
    int seriesWithResults = 0;
    const int scoreLinesBefore = program.scoreLines();
    for (int fall = 0; fall < falls; ++fall) {
        program.startSeriesBefore(fall, kSpeed);
        keys.reset();
        std::atomic<bool> stop{false};
        std::int64_t seenNs = 0;
        std::int64_t waitedNs = 0;
        std::thread participant([&] {
            if (priority == Watcher::Ahead)
                realtimeAhead(0);
            if (priority == Watcher::Behind)
                lowestPriority();
            // Armed once the fall has begun and the screen shows the stick at rest: a
            // compositor may still show the last fall's picture for a while.
            bool armed = false;
            watcher.watchUntil(stop, program.clock, [&](const ScreenWatcher::Sample& sample) {
                armed = armed || (keys.fallStartedNs.load() != 0 && !sample.rowBelowRestRed);
                if (!armed || !sample.rowBelowRestRed)
                    return false;
                seenNs = sample.ns;
                if (reactionMs > 0) {
                    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
                        std::chrono::nanoseconds(seenNs) + std::chrono::milliseconds(reactionMs)));
                    waitedNs = program.clock.nowNs() - seenNs;
                }
                XTestFakeKeyEvent(sender, left, True, 0);
                XTestFakeKeyEvent(sender, left, False, 0);
                XFlush(sender);
                return true;
            });
        });
        usleep(20'000); // the participant is watching before the trial begins
        series.DropStick(StickSide::Left);
        if ((fall + 1) % Module1::kTrialsPerSeries == 0 && program.resultsShown())
            ++seriesWithResults;
        stop.store(true);
        participant.join();
        if (seenNs > 0) {
            added.push_back(double(keys.reads.back() - seenNs - waitedNs) / 1e6);
            const std::int64_t onset =
                keys.fallStartedNs.load() + (onsetFrame - 1) * kFramePeriod.count() + waitedNs;
            recorded.push_back(double(keys.reads.back() - onset) / 1e6);
            // As the trial records it: from its end (the key's own time where it has one) back
            // to when the compositor says the move was shown.
            const ReactionSeries::Fall& trial = series.lastFall();
            const std::int64_t onsetNs = onset - waitedNs;
            if (trial.shownLateNs > 0) {
                ++reported;
                shownToSeen.push_back(double(seenNs - onsetNs - trial.shownLateNs) / 1e6);
            }
            corrected.push_back(double(trial.endNs - trial.shownLateNs - onset) / 1e6);
            keyLags.push_back(double(trial.endNs - seenNs - waitedNs) / 1e6);
            // What the corrected time is made of: the screen's lag after the move was shown
            // (as the compositor says), and the key's from the press to the time it bears.
            if (qEnvironmentVariableIsSet("BENCH_DEBUG"))
                std::printf("# fall %d: recorded %.2f ms beyond the onset, shown late %.2f ms, "
                            "seen %.2f ms after shown, key dated %.2f ms after the press and "
                            "%.2f ms before its poll\n",
                            fall + 1, recorded.back(), double(trial.shownLateNs) / 1e6,
                            double(seenNs - onsetNs - trial.shownLateNs) / 1e6, keyLags.back(),
                            double(trial.polledNs - trial.endNs) / 1e6);
        }
        const std::vector<double> frames = keys.frameLatenessUs();
        lateness.insert(lateness.end(), frames.begin(), frames.end());
    }
    XCloseDisplay(sender);
    const auto mean = [](const std::vector<double>& values) {
        double sum = 0.0;
        for (double v : values)
            sum += v / double(values.size());
        return sum;
    };
    const auto spread = [](const std::vector<double>& values, double average) {
        double sum = 0.0;
        for (double v : values)
            sum += (v - average) * (v - average);
        return values.size() > 1 ? std::sqrt(sum / double(values.size() - 1)) : 0.0;
    };
    ParticipantFigures figures;
    figures.addedMean = mean(added);
    figures.addedMax = percentile(added, 100);
    figures.recordedMean = mean(recorded);
    figures.recordedSd = spread(recorded, figures.recordedMean);
    figures.recordedMax = percentile(recorded, 100);
    figures.correctedMean = mean(corrected);
    figures.correctedSd = spread(corrected, figures.correctedMean);
    figures.correctedMin = percentile(corrected, 0);
    figures.correctedMax = percentile(corrected, 100);
    figures.reported = reported;
    figures.shownToSeenMean = mean(shownToSeen);
    figures.keyDatedAfterPressMean = mean(keyLags);
    figures.latenessP99 = percentile(lateness, 99);
    if (added.size() != size_t(falls))
        std::printf("# the participant reacted in %zu of %d falls\n", added.size(), falls);
    figures.seriesWithResults = seriesWithResults;
    figures.scoreLinesAdded = program.scoreLines() - scoreLinesBefore;
    return figures;
}
