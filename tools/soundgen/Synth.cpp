#include "tools/soundgen/Synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pp::soundgen {
namespace {

constexpr double kNyquist = kSampleRate / 2.0;
constexpr double kLoudnessWindow = 0.05;  // seconds
constexpr double kEdgeRamp = 0.003;       // seconds faded at both ends of every sound
constexpr double kVibratoFadeIn = 0.2;    // seconds for vibrato to reach its full depth

// Level of a note at time t after its start: linear attack, exponential decay, linear release.
double envelope(const Timbre& timbre, double duration, double t) {
    double level = std::exp(-timbre.decay * t);
    if (t < timbre.attack) {
        level *= t / timbre.attack;
    }
    const double untilEnd = duration - t;
    if (untilEnd < timbre.release) {
        level *= std::max(0.0, untilEnd / timbre.release);
    }
    return level;
}

}  // namespace

double midiFrequency(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

std::size_t framesIn(int milliseconds) {
    return (static_cast<std::size_t>(milliseconds) * kSampleRate * 2 + 1000) / 2000;
}

Mix::Mix(int milliseconds) {
    left_.assign(framesIn(milliseconds), 0.0);
    right_.assign(framesIn(milliseconds), 0.0);
}

void Mix::add(const Note& note, const Timbre& timbre) {
    const auto first = static_cast<size_t>(std::lround(note.start * kSampleRate));
    const auto count = static_cast<size_t>(std::lround(note.duration * kSampleRate));
    // Equal-power panning keeps a note's loudness wherever it sits.
    const double angle = (note.pan + 1) * std::numbers::pi / 4;
    const double leftGain = std::cos(angle) * std::numbers::sqrt2 * note.gain;
    const double rightGain = std::sin(angle) * std::numbers::sqrt2 * note.gain;
    const double endFrequency = note.endFrequency > 0 ? note.endFrequency : note.frequency;

    std::vector<double> phases(timbre.partials.size(), 0.0);
    for (size_t i = 0; i < count && first + i < frames(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double progress = t / note.duration;
        double frequency = note.frequency * std::pow(endFrequency / note.frequency, progress);
        if (timbre.vibratoDepth > 0 && t > timbre.vibratoDelay) {
            const double fadeIn = std::min(1.0, (t - timbre.vibratoDelay) / kVibratoFadeIn);
            const double depth = timbre.vibratoDepth * fadeIn;
            frequency *= 1 + depth * std::sin(2 * std::numbers::pi * timbre.vibratoRate * t);
        }
        const double wah = note.wah ? 0.2 + 0.8 * std::sin(std::numbers::pi * progress) : 1.0;

        double sample = 0;
        for (size_t p = 0; p < timbre.partials.size(); ++p) {
            const Partial& partial = timbre.partials[p];
            const double partialFrequency = frequency * partial.ratio;
            if (partialFrequency >= kNyquist) {
                continue;  // it would fold back as a stray tone
            }
            phases[p] += 2 * std::numbers::pi * partialFrequency / kSampleRate;
            const double brightness = partial.ratio > 1.5 ? wah : 1.0;
            const double level = partial.amplitude * brightness * std::exp(-partial.extraDecay * t);
            sample += level * std::sin(phases[p]);
        }
        sample *= envelope(timbre, note.duration, t);
        left_[first + i] += sample * leftGain;
        right_[first + i] += sample * rightGain;
    }
}

double Mix::loudness() const {
    const auto window = static_cast<size_t>(kLoudnessWindow * kSampleRate);
    double loudest = 0;
    for (size_t start = 0; start < frames(); start += window / 2) {
        const size_t end = std::min(frames(), start + window);
        double sum = 0;
        for (size_t i = start; i < end; ++i) {
            sum += (left_[i] * left_[i] + right_[i] * right_[i]) / 2;
        }
        loudest = std::max(loudest, std::sqrt(sum / static_cast<double>(window)));
    }
    return loudest;
}

double Mix::peak() const {
    double highest = 0;
    for (size_t i = 0; i < frames(); ++i) {
        highest = std::max({highest, std::abs(left_[i]), std::abs(right_[i])});
    }
    return highest;
}

void Mix::finish(double targetLoudness, double ceiling) {
    const double current = loudness();
    if (current <= 0) {
        return;
    }
    const double gain = std::min(targetLoudness / current, ceiling / peak());
    const auto ramp = static_cast<size_t>(kEdgeRamp * kSampleRate);
    for (size_t i = 0; i < frames(); ++i) {
        double edge = 1;
        if (i < ramp) {
            edge = static_cast<double>(i) / ramp;
        } else if (frames() - 1 - i < ramp) {
            edge = static_cast<double>(frames() - 1 - i) / ramp;
        }
        left_[i] *= gain * edge;
        right_[i] *= gain * edge;
    }
}

}  // namespace pp::soundgen
