#pragma once

#include <chrono>

// Asks the system to run the trial's thread ahead of ordinary programs while a stick falls,
// as laboratory software does. At normal priority a busy machine now and then gives the
// thread's core to another program for a time slice, and the trial running then is recorded
// milliseconds too slow.
//
// None of it may cost a series: nothing here fails, shows anything or keeps anyone waiting
// for more than a moment; a refusal only means that the trial runs as it would have anyway.
class Scheduling {
public:
    virtual ~Scheduling() = default;
    // A series starts: finds out, off every trial's path, which way to a real-time class the
    // system offers, so that no fall waits for the answer.
    virtual void prepare() = 0;
    // Puts the calling thread into a real-time class where the system allows it; whether it
    // did.
    virtual bool enterRealtime() = 0;
    // The calling thread back in the class it had before enterRealtime().
    virtual void leaveRealtime() = 0;
    // How long the thread may run without blocking: a real-time thread that runs on past the
    // system's limit (RLIMIT_RTTIME) is sent SIGXCPU, so the trial blocks at least this often.
    virtual std::chrono::nanoseconds longestRunWithoutBlocking() = 0;
};

// The real-time class for as long as it lives: a fall's frames run in it, and whatever ends
// the fall, the pause and the windows run in the normal class again.
class RealtimeScope {
public:
    explicit RealtimeScope(Scheduling& scheduling)
        : m_scheduling(scheduling) {
        m_scheduling.enterRealtime();
    }
    ~RealtimeScope() { m_scheduling.leaveRealtime(); }
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;

private:
    Scheduling& m_scheduling;
};
