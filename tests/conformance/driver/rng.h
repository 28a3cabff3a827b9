// A small deterministic generator (xorshift64*), so that a seed gives the same
// scripts on every compiler and C library.
#pragma once

#include <cstdint>

namespace conf {

class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull)
    {
        if (state_ == 0)
            state_ = 1;
    }

    uint32_t Next()
    {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
    }

    // Uniform in [lo, hi] (hi - lo well below 2^32).
    int Range(int lo, int hi)
    {
        uint32_t span = static_cast<uint32_t>(hi - lo) + 1u;
        return lo + static_cast<int>(Next() % span);
    }

    bool Chance(int percent) { return Range(0, 99) < percent; }

  private:
    uint64_t state_;
};

}  // namespace conf
