#pragma once

#include <cstdint>
#include <random>

// A pseudo-random generator that is re-seeded from a number before each draw.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void reseed(float seed) = 0;
    // Uniform in [0, 1); never returns 1.
    virtual float next() = 0;
};

class MersenneRandom final : public RandomSource {
public:
    void reseed(float seed) override;
    float next() override;

private:
    std::mt19937 m_engine;
};
