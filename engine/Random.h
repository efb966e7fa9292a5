#pragma once

#include <cstdint>
#include <random>

#include "engine/Host.h"

namespace pp {

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
