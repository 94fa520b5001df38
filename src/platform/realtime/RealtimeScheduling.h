#pragma once

#include "platform/Scheduling.h"

#include <memory>
#include <sched.h>

class RealtimeKit;

// The real-time class by the first of three ways that works, found when the first series
// starts and then kept for the run: directly (root, CAP_SYS_NICE, or an RLIMIT_RTPRIO the
// administrator granted), through RealtimeKit on the system D-Bus (which Debian's desktops
// run for audio; it gives SCHED_RR), or not at all. SCHED_FIFO at a modest priority, never
// inherited by a child.
//
// RealtimeKit's connection is made in the background; until it stands, falls run in the
// normal class. Should the system's real-time time limit be reached all the same (SIGXCPU),
// the thread leaves the class for the rest of the fall instead of being ended.
class RealtimeScheduling final : public Scheduling {
public:
    RealtimeScheduling();
    ~RealtimeScheduling() override;
    RealtimeScheduling(const RealtimeScheduling&) = delete;
    RealtimeScheduling& operator=(const RealtimeScheduling&) = delete;

    void prepare() override;
    bool enterRealtime() override;
    void leaveRealtime() override;
    std::chrono::nanoseconds longestRunWithoutBlocking() override;

private:
    enum class Way { Untried, Direct, RealtimeKit, None };
    struct Connecting;

    bool enterBy(Way way);
    bool realtimeKitReady();

    Way m_way = Way::Untried;
    int m_priority = 0;
    bool m_entered = false;
    // A request RealtimeKit did not answer in time may still be granted later.
    bool m_lateGrantPossible = false;
    int m_policy = SCHED_OTHER;
    sched_param m_param{};
    std::shared_ptr<Connecting> m_connecting;
    std::unique_ptr<RealtimeKit> m_kit;
};
