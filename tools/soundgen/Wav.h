#pragma once

#include "tools/soundgen/Synth.h"

#include <cstdint>
#include <vector>

namespace pp::soundgen {

struct WavFormat {
    int channels;       // 1 mixes both sides down, 2 keeps them
    int bitsPerSample;  // 8 (unsigned) or 16 (signed)
};

// A complete RIFF WAVE file of uncompressed PCM at kSampleRate, samples clamped to full scale.
std::vector<std::uint8_t> encodeWav(const Mix& mix, WavFormat format);

}  // namespace pp::soundgen
