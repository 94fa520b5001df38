#pragma once

#include "Scheduling.h"

#include <sched.h>

// The real-time class by the first of three ways that works, tried once each at the first
// fall and then kept for the run: directly (root, CAP_SYS_NICE, or an RLIMIT_RTPRIO the
// administrator granted), through RealtimeKit on the system D-Bus (which Debian's desktops
// run for audio; it gives SCHED_RR), or not at all. SCHED_FIFO at a modest priority, never
// inherited by a child.
class RealtimeScheduling final : public Scheduling {
public:
    bool enterRealtime() override;
    void leaveRealtime() override;

private:
    enum class Way { Untried, Direct, RealtimeKit, None };

    bool enterBy(Way way);

    Way m_way = Way::Untried;
    int m_priority = 0;
    bool m_entered = false;
    int m_policy = SCHED_OTHER;
    sched_param m_param{};
};
