#pragma once

#include "tools/soundgen/Synth.h"
#include "tools/soundgen/Wav.h"

#include <array>

namespace pp::soundgen {

// What the game expects of each sound: its file format and its exact length.
struct EffectFormat {
    int id;
    WavFormat format;
    int milliseconds;
};

const std::array<EffectFormat, 8>& effectFormats();

// Composes sound `id`, levelled and ready to encode; throws for an id that is not a sound.
Mix composeEffect(int id);

}  // namespace pp::soundgen
