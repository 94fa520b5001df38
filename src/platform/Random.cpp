#include "Random.h"

#include <bit>

void MersenneRandom::reseed(float seed) {
    // Seeds of neighbouring ticks differ in a few low bits only; seed_seq spreads them over
    // the whole engine state so that their first draws are unrelated.
    std::seed_seq sequence{std::bit_cast<std::uint32_t>(seed)};
    m_engine.seed(sequence);
}

float MersenneRandom::next() {
    // 24 random bits fill a float's mantissa exactly, so the result stays below 1.
    return float(m_engine() >> 8) * 0x1.0p-24f;
}
