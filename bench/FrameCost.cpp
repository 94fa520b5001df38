#include "Harness.h"

// Every frame of a full fall at speed 1000 in the real window, unpaced: drawing, putting on
// screen what changed, and the key query. The mean says what putting the stick on screen as
// it moves costs a frame on average.
void measureFrameCost(BenchProgram& program) {
    ReactionSeries& test = program.series();
    RecordingKeys& keys = program.keys;
    PacingClock& clock = program.trialClock;
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
