#pragma once

// Asks the system to run the trial's thread ahead of ordinary programs while a stick falls,
// as laboratory software does. At normal priority a busy machine now and then gives the
// thread's core to another program for a time slice, and the trial running then is recorded
// milliseconds too slow.
class Scheduling {
public:
    virtual ~Scheduling() = default;
    // Puts the calling thread into a real-time class where the system allows it; whether it
    // did. Never fails, shows nothing and keeps no one waiting: a refusal only means that the
    // trial runs as it would have anyway.
    virtual bool enterRealtime() = 0;
    // The calling thread back in the class it had before enterRealtime().
    virtual void leaveRealtime() = 0;
};
