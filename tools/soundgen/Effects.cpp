// The eight sound effects, each a short phrase of additive-synthesis notes.
#include "tools/soundgen/Effects.h"

#include "engine/Sounds.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace pp::soundgen {
namespace {

constexpr WavFormat kStereo8{2, 8};
constexpr WavFormat kMono16{1, 16};

const std::array<EffectFormat, 8> kFormats{{
    {sound::kGameOver, kMono16, 2430},
    {sound::kQuestionIntro, kStereo8, 350},
    {sound::kAllClear, kStereo8, 3240},
    {sound::kShowCorrect, kStereo8, 1930},
    {sound::kLevelClear, kStereo8, 1000},
    {sound::kRight, kStereo8, 1150},
    {sound::kMoveHighlight, kStereo8, 100},
    {sound::kWrong, kStereo8, 710},
}};

// All sounds are levelled to the same loudest-moment loudness, so none startles next to another,
// then trimmed by ear: the buzzer's dense harmonics sound louder than their measure, the low horn
// softer, and the tick sits well below the rest since it repeats under the player's fingers.
constexpr double kLoudness = 0.2;
constexpr double kWrongTrimDb = -3;
constexpr double kGameOverTrimDb = 1.5;
constexpr double kTickTrimDb = -7;
constexpr double kCeiling = 0.89;  // about -1 dB: headroom for the 8-bit rounding

// Struck metal: a strong fundamental, an octave and a slightly sharp twelfth that fade first.
const Timbre kBell{
    .partials = {{1, 1}, {2, 0.4, 4}, {3.01, 0.2, 7}, {4.2, 0.12, 12}, {5.4, 0.06, 18}},
    .attack = 0.003, .decay = 3.2, .release = 0.04};
// A bright, quick chime for the question card.
const Timbre kChime{.partials = {{1, 1}, {2, 0.5, 6}, {3, 0.25, 10}, {4, 0.15, 14}},
                    .attack = 0.002, .decay = 7, .release = 0.03};
// A soft mallet: the fundamental with a little of the fourth and tenth partials of a tuned bar.
const Timbre kMallet{.partials = {{1, 1}, {3.98, 0.25, 18}, {9.9, 0.07, 40}},
                     .attack = 0.003, .decay = 2.4, .release = 0.06};
// Brass: a full harmonic series, rounded off towards the top, with a slow vibrato.
const Timbre kBrass{
    .partials = {{1, 1}, {2, 0.62}, {3, 0.42}, {4, 0.28}, {5, 0.2}, {6, 0.13}, {7, 0.08},
                 {8, 0.05}},
    .attack = 0.025, .decay = 0.4, .release = 0.05,
    .vibratoDepth = 0.006, .vibratoRate = 5.5, .vibratoDelay = 0.18};
// The sad horn of the game-over phrase: darker than the fanfare brass, with a wider vibrato.
const Timbre kHorn{.partials = {{1, 1}, {2, 0.5}, {3, 0.3}, {4, 0.16}, {5, 0.08}},
                   .attack = 0.04, .decay = 0.3, .release = 0.12,
                   .vibratoDepth = 0.012, .vibratoRate = 5, .vibratoDelay = 0.25};
// A buzzer: odd harmonics falling off like a square wave, cut short of the harsh top, with a
// little of the second and fourth for a nasal edge.
const Timbre kBuzz{.partials = {{1, 1}, {3, 0.33}, {5, 0.2}, {7, 0.14}, {9, 0.11}, {11, 0.09},
                                {13, 0.07}, {15, 0.06}, {2, 0.3}, {4, 0.12}},
                   .attack = 0.006, .decay = 0.5, .release = 0.025};
// A tap on a small wooden key.
const Timbre kTick{.partials = {{1, 1}, {2.7, 0.35, 30}}, .attack = 0.001, .decay = 55,
                   .release = 0.01};

void questionIntro(Mix& mix) {
    mix.add({0.00, 0.34, midiFrequency(81), 0, 0.8, -0.25}, kChime);  // A5
    mix.add({0.07, 0.27, midiFrequency(88), 0, 1.0, 0.25}, kChime);   // E6
}

void rightAnswer(Mix& mix) {
    mix.add({0.00, 1.14, midiFrequency(88), 0, 1.0, -0.2}, kBell);    // E6: ding
    mix.add({0.30, 0.84, midiFrequency(84), 0, 1.0, 0.2}, kBell);     // C6: dong
}

void wrongAnswer(Mix& mix) {
    mix.add({0.00, 0.20, 140, 138}, kBuzz);
    mix.add({0.00, 0.20, 141.5, 139, 0.5}, kBuzz);  // a detuned twin makes it rasp
    mix.add({0.27, 0.43, 140, 128}, kBuzz);
    mix.add({0.27, 0.43, 141.5, 129, 0.5}, kBuzz);
}

void moveHighlight(Mix& mix) {
    mix.add({0.00, 0.095, 1900, 1750}, kTick);
}

void showCorrect(Mix& mix) {
    const int arpeggio[] = {67, 72, 76, 79};  // G5 C6 E6 G6, rising: "here it is"
    for (int i = 0; i < 4; ++i) {
        mix.add({0.11 * i, 0.5, midiFrequency(arpeggio[i]), 0, 0.8, -0.3 + 0.2 * i}, kMallet);
    }
    for (int note : {72, 76, 79, 84}) {  // and the chord it spells, left to ring
        mix.add({0.48, 1.44, midiFrequency(note), 0, 0.45, note % 2 ? 0.2 : -0.2}, kMallet);
    }
}

void levelClear(Mix& mix) {
    const int run[] = {60, 64, 67};  // C5 E5 G5, quick
    for (int i = 0; i < 3; ++i) {
        mix.add({0.09 * i, 0.1, midiFrequency(run[i] + 12), 0, 0.7}, kBrass);
    }
    mix.add({0.27, 0.72, midiFrequency(84), 0, 0.8, 0.1}, kBrass);  // C6, held
    for (int note : {64, 67, 72}) {
        mix.add({0.27, 0.72, midiFrequency(note), 0, 0.35, -0.3}, kBrass);
    }
    mix.add({0.27, 0.72, midiFrequency(96), 0, 0.25, 0.3}, kBell);  // a glint on top
}

void allClear(Mix& mix) {
    struct Step {
        double start;
        double length;
        int note;
    };
    const Step melody[] = {
        {0.00, 0.14, 72}, {0.16, 0.14, 76}, {0.32, 0.14, 79}, {0.48, 0.38, 84},
        {0.90, 0.14, 79}, {1.06, 0.14, 84}, {1.22, 0.62, 88},
        {1.88, 0.12, 86}, {2.02, 0.12, 88}, {2.16, 1.06, 91},
    };
    for (const Step& step : melody) {
        mix.add({step.start, step.length, midiFrequency(step.note), 0, 0.8, 0.15}, kBrass);
    }
    struct Chord {
        double start;
        double length;
        std::array<int, 3> notes;
        int bass;
    };
    const Chord chords[] = {
        {0.48, 0.40, {60, 64, 67}, 48},  // C
        {1.22, 0.64, {64, 67, 72}, 52},  // C over E, the bass climbing
        {2.16, 1.06, {60, 64, 67}, 48},  // C, home
    };
    for (const Chord& chord : chords) {
        for (int note : chord.notes) {
            mix.add({chord.start, chord.length, midiFrequency(note), 0, 0.3, -0.25}, kBrass);
        }
        mix.add({chord.start, chord.length, midiFrequency(chord.bass), 0, 0.5}, kHorn);
    }
    for (int i = 0; i < 4; ++i) {  // sparkles over the last chord, C7 and G7 from side to side
        const int note = i % 2 == 0 ? 96 : 103;
        const double pan = i % 2 == 0 ? -0.6 : 0.6;
        mix.add({2.2 + 0.08 * i, 1.0 - 0.08 * i, midiFrequency(note), 0, 0.25, pan}, kBell);
    }
}

void gameOver(Mix& mix) {
    const int falling[] = {62, 61, 60};  // D4 C#4 C4, each sagging a little: wah, wah, wah
    for (int i = 0; i < 3; ++i) {
        const double f = midiFrequency(falling[i]);
        mix.add({0.45 * i, 0.42, f, f * 0.985, 0.9, 0, true}, kHorn);
    }
    const double last = midiFrequency(59);  // B3, long, trailing off
    mix.add({1.35, 1.07, last, last * 0.96, 1.0, 0, true}, kHorn);
}

}  // namespace

const std::array<EffectFormat, 8>& effectFormats() { return kFormats; }

Mix composeEffect(int id) {
    const auto format = std::find_if(kFormats.begin(), kFormats.end(),
                                     [id](const EffectFormat& f) { return f.id == id; });
    if (format == kFormats.end()) {
        throw std::out_of_range("no sound effect with id " + std::to_string(id));
    }
    Mix mix(format->milliseconds);
    switch (id) {
    case sound::kGameOver: gameOver(mix); break;
    case sound::kQuestionIntro: questionIntro(mix); break;
    case sound::kAllClear: allClear(mix); break;
    case sound::kShowCorrect: showCorrect(mix); break;
    case sound::kLevelClear: levelClear(mix); break;
    case sound::kRight: rightAnswer(mix); break;
    case sound::kMoveHighlight: moveHighlight(mix); break;
    case sound::kWrong: wrongAnswer(mix); break;
    }
    double trimDb = 0;
    if (id == sound::kWrong) {
        trimDb = kWrongTrimDb;
    } else if (id == sound::kGameOver) {
        trimDb = kGameOverTrimDb;
    } else if (id == sound::kMoveHighlight) {
        trimDb = kTickTrimDb;
    }
    mix.finish(kLoudness * std::pow(10.0, trimDb / 20), kCeiling);
    return mix;
}

}  // namespace pp::soundgen
