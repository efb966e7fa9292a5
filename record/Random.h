#pragma once

#include <cstdint>
#include <random>

namespace pp {

// The pseudo-random source of question and choice draws. The program seeds it from the OS;
// tests and replays give a fixed seed or sequence so that games repeat exactly.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual std::uint32_t next() = 0;
};

// A value in 0..n-1 from the source: the 32-bit value modulo n, unsigned. `n` must be positive.
inline std::uint32_t draw(RandomSource& random, std::uint32_t n) { return random.next() % n; }

// The default source: a Mersenne Twister, seeded from the OS unless a seed is given.
class MersenneRandom final : public RandomSource {
public:
    MersenneRandom() : engine_(std::random_device{}()) {}
    explicit MersenneRandom(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t next() override { return static_cast<std::uint32_t>(engine_()); }

private:
    std::mt19937 engine_;
};

}  // namespace pp
