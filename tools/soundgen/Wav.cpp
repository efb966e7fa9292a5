#include "tools/soundgen/Wav.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace pp::soundgen {
namespace {

constexpr std::uint32_t kFmtChunkSize = 16;
constexpr std::uint16_t kPcm = 1;
// What the RIFF size counts besides the samples: "WAVE", the fmt chunk, the data chunk's header.
constexpr std::uint32_t kHeaderBytesAfterSize = 36;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

void putTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(tag[i]));
    }
}

void putSample(std::vector<std::uint8_t>& out, double value, int bits) {
    value = std::clamp(value, -1.0, 1.0);
    if (bits == 8) {
        out.push_back(static_cast<std::uint8_t>(std::lround(128 + value * 127)));
    } else {
        const auto sample = static_cast<std::int16_t>(std::lround(value * 32767));
        put16(out, static_cast<std::uint16_t>(sample));
    }
}

}  // namespace

std::vector<std::uint8_t> encodeWav(const Mix& mix, WavFormat format) {
    if ((format.channels != 1 && format.channels != 2) ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16)) {
        throw std::invalid_argument("WAVE files here are mono or stereo, 8 or 16 bits");
    }
    const auto blockAlign = static_cast<std::uint16_t>(format.channels * format.bitsPerSample / 8);
    const auto dataSize = static_cast<std::uint32_t>(mix.frames() * blockAlign);
    const std::uint32_t padding = dataSize % 2;  // chunks are word-aligned

    std::vector<std::uint8_t> out;
    out.reserve(8 + kHeaderBytesAfterSize + dataSize + padding);
    putTag(out, "RIFF");
    put32(out, kHeaderBytesAfterSize + dataSize + padding);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, kFmtChunkSize);
    put16(out, kPcm);
    put16(out, static_cast<std::uint16_t>(format.channels));
    put32(out, kSampleRate);
    put32(out, kSampleRate * blockAlign);
    put16(out, blockAlign);
    put16(out, static_cast<std::uint16_t>(format.bitsPerSample));
    putTag(out, "data");
    put32(out, dataSize);

    for (size_t i = 0; i < mix.frames(); ++i) {
        if (format.channels == 1) {
            putSample(out, (mix.left()[i] + mix.right()[i]) / 2, format.bitsPerSample);
        } else {
            putSample(out, mix.left()[i], format.bitsPerSample);
            putSample(out, mix.right()[i], format.bitsPerSample);
        }
    }
    if (padding != 0) {
        out.push_back(0);
    }
    return out;
}

}  // namespace pp::soundgen
