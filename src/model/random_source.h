#pragma once

#include <cstdint>
#include <random>

namespace velmo {

// Source of uniform draws r with 0 <= r < 1. Handed to the schedule writer so tests can fix it.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double next() = 0;
};

class SeededRandomSource final : public RandomSource {
public:
    explicit SeededRandomSource(std::uint64_t seed) : engine_(seed) {}
    // 53 random bits scaled into [0, 1); never 1.0.
    double next() override { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 engine_;
};

// A seed for a generator of another thread's own, drawn from `random` on this one: no source is
// shared between threads, and a fixed source still gives fixed draws.
inline std::uint64_t SeedFrom(RandomSource& random) {
    return static_cast<std::uint64_t>(random.next() * 0x1.0p53);
}

} // namespace velmo
