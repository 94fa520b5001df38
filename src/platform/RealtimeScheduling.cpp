#include "RealtimeScheduling.h"

#include "RealtimeKit.h"

#include <algorithm>
#include <sys/resource.h>

namespace {

// Above ordinary programs and below what the system's own real-time threads use; the trial
// blocks in every frame, so even at the top it would starve nothing for long.
constexpr int kPriority = 10;

// The priority that a direct request may ask for: the administrator's RLIMIT_RTPRIO where one
// is granted, else ours (root and CAP_SYS_NICE are not limited by it).
int directPriority() {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0 &&
        limit.rlim_cur != RLIM_INFINITY)
        return std::min(kPriority, int(limit.rlim_cur));
    return kPriority;
}

bool setFifo(int priority) {
    const sched_param param{priority};
    // For the calling thread only; a program it starts gets the normal class.
    return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

} // namespace

bool RealtimeScheduling::enterBy(Way way) {
    if (way == Way::Direct) {
        if (m_priority == 0)
            m_priority = directPriority();
        return setFifo(m_priority);
    }
    // RealtimeKit is asked every time: the thread gave the class back after the last fall.
    m_priority = RealtimeKit::makeThreadRealtime(kPriority);
    return m_priority > 0;
}

bool RealtimeScheduling::enterRealtime() {
    if (m_way == Way::None || m_entered)
        return m_entered;
    m_policy = sched_getscheduler(0);
    if (m_policy < 0 || sched_getparam(0, &m_param) != 0)
        return false;
    if (m_way == Way::Untried) {
        m_way = Way::None;
        for (const Way way : {Way::Direct, Way::RealtimeKit}) {
            if (enterBy(way)) {
                m_way = way;
                m_entered = true;
                return true;
            }
            m_priority = 0;
        }
        return false;
    }
    m_entered = enterBy(m_way);
    return m_entered;
}

void RealtimeScheduling::leaveRealtime() {
    if (!m_entered)
        return;
    // Lowering one's own class needs no permission, but clearing the reset-on-fork flag that
    // the real-time class came with does; kept, it only means what is true anyway: a child
    // starts in the normal class.
    sched_setscheduler(0, m_policy | SCHED_RESET_ON_FORK, &m_param);
    m_entered = false;
}
