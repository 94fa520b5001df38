#pragma once

// RealtimeKit (org.freedesktop.RealtimeKit1) on the system D-Bus: hands an unprivileged
// thread a real-time class, as desktops do for audio. It demands an RLIMIT_RTTIME no larger
// than its own limit, under which a real-time thread that runs that long without blocking is
// killed, and grants a priority up to its maximum.
namespace RealtimeKit {

// Sets the process's RLIMIT_RTTIME as RealtimeKit demands and asks it to put the calling
// thread into SCHED_FIFO at up to `priority`; the priority granted, or 0 when there is no
// system bus, no RealtimeKit, or it refused. Waits at most about half a second.
int makeThreadRealtime(int priority);

} // namespace RealtimeKit
