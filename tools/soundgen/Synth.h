#pragma once

#include <cstddef>
#include <vector>

namespace pp::soundgen {

inline constexpr int kSampleRate = 22050;

// One sine partial of a timbre: its frequency as a multiple of the note's, its level, and how
// much faster than the note it dies away (bright partials fade first, as in struck bars).
struct Partial {
    double ratio;
    double amplitude;
    double extraDecay = 0;  // per second
};

struct Timbre {
    std::vector<Partial> partials;
    double attack = 0.004;   // seconds of linear rise: never zero, a jump would click
    double decay = 0;        // exponential fall of the whole note, per second
    double release = 0.02;   // seconds of fall to silence at the note's end
    double vibratoDepth = 0; // fraction of the frequency
    double vibratoRate = 5.5;
    double vibratoDelay = 0.15;  // seconds before vibrato sets in
};

struct Note {
    double start;            // seconds
    double duration;         // seconds, release included
    double frequency;        // Hz at the start
    double endFrequency = 0; // Hz at the end when gliding; 0 holds the pitch
    double gain = 1;
    double pan = 0;          // -1 left .. +1 right
    bool wah = false;        // upper partials swell and close again over the note
};

double midiFrequency(int midiNote);

// round(milliseconds x kSampleRate / 1000), halves rounded up.
std::size_t framesIn(int milliseconds);

// A stereo buffer that notes are added into, then levelled and finished for writing.
class Mix {
public:
    // Lengths are whole milliseconds, so the sample count rounds exactly (0.35 s is 7717.5 samples,
    // which floating point would round down).
    explicit Mix(int milliseconds);

    std::size_t frames() const { return left_.size(); }
    const std::vector<double>& left() const { return left_; }
    const std::vector<double>& right() const { return right_; }

    void add(const Note& note, const Timbre& timbre);

    // The loudest 50 ms of the mix, as the root mean square of both channels.
    double loudness() const;
    double peak() const;
    // Scales the mix so its loudest stretch sits at `targetLoudness` without any sample
    // passing `ceiling`, then ramps the very first and last samples in and out.
    void finish(double targetLoudness, double ceiling);

private:
    std::vector<double> left_;
    std::vector<double> right_;
};

}  // namespace pp::soundgen
