#pragma once

#include <memory>
#include <string>
#include <sys/types.h>

struct DBusConnection;

// RealtimeKit (org.freedesktop.RealtimeKit1) on the system D-Bus: hands an unprivileged
// thread a real-time class, as desktops do for audio. It demands an RLIMIT_RTTIME no larger
// than its own limit, under which a real-time thread that runs that long without blocking is
// sent SIGXCPU, and grants a priority up to its maximum.
//
// Spoken to over a private connection of its own, every step with a time limit, the
// connection's handshake included: a bus that accepts the connection and then never answers
// (a stuck daemon, a system in the middle of an update) costs at most that limit, never a
// frozen program.
class RealtimeKit {
public:
    // The system bus's address: DBUS_SYSTEM_BUS_ADDRESS, else Debian's socket.
    static std::string systemBusAddress();

    // Connects, reads RealtimeKit's limits and sets the process's RLIMIT_RTTIME as it
    // demands; null when there is no bus, no RealtimeKit, it grants nothing, or a step took
    // longer than `stepTimeoutMs`.
    static std::unique_ptr<RealtimeKit> connect(const std::string& busAddress, int stepTimeoutMs);

    ~RealtimeKit();
    RealtimeKit(const RealtimeKit&) = delete;
    RealtimeKit& operator=(const RealtimeKit&) = delete;

    // Asks RealtimeKit to put the thread into its real-time class at up to `priority`; the
    // priority granted, 0 when it refused, -1 when it did not answer within `timeoutMs` or
    // the connection broke.
    int makeThreadRealtime(pid_t thread, int priority, int timeoutMs);

private:
    RealtimeKit(DBusConnection* connection, int maxPriority);

    DBusConnection* m_connection;
    int m_maxPriority;
};
