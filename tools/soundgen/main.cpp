// Composes the eight sound effects into the resources folder:
//   soundgen <resources-dir>
#include "tools/soundgen/Effects.h"
#include "tools/soundgen/Wav.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: soundgen <resources-dir>\n");
        return 2;
    }
    try {
        using namespace pp::soundgen;
        const std::filesystem::path folder = std::filesystem::path(argv[1]) / "sounds";
        std::filesystem::create_directories(folder);
        for (const EffectFormat& effect : effectFormats()) {
            const Mix mix = composeEffect(effect.id);
            const std::vector<std::uint8_t> wav = encodeWav(mix, effect.format);
            const auto path = folder / (std::to_string(effect.id) + ".wav");
            std::ofstream file(path, std::ios::binary);
            file.write(reinterpret_cast<const char*>(wav.data()),
                       static_cast<std::streamsize>(wav.size()));
            if (!file) {
                throw std::runtime_error("cannot write " + path.string());
            }
            const double seconds = static_cast<double>(mix.frames()) / kSampleRate;
            std::printf("%d.wav: %.2f s, loudness %.3f, peak %.3f\n", effect.id, seconds,
                        mix.loudness(), mix.peak());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "soundgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
