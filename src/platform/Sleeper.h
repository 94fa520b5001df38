#pragma once

// Blocks the calling thread; the trial's pause uses it so that nothing else runs meanwhile.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int milliseconds) = 0;
};

class ThreadSleeper final : public Sleeper {
public:
    void sleepMs(int milliseconds) override;
};
