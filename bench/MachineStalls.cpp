#include "Harness.h"

#include <algorithm>

// How long the machine itself takes the CPU away from a thread that only reads the clock:
// the floor under every tail figure below.
void measureMachineStalls(Clock& clock) {
    const std::int64_t end = clock.nowNs() + 5'000'000'000;
    std::int64_t previous = clock.nowNs();
    std::int64_t longest = 0;
    for (std::int64_t now = previous; now < end; now = clock.nowNs()) {
        longest = std::max(longest, now - previous);
        previous = now;
    }
    print("machine_stall_max_ms", double(longest) / 1e6, "ms");
}
