#include "engine/Sounds.h"
#include "resources/Resources.h"
#include "AssetReaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace pp {
namespace {

constexpr std::uint32_t kRate = 22050;

struct Expected {
    int id;
    std::uint32_t channels;
    std::uint32_t bits;
    double seconds;
};

// The formats and lengths the game's sounds are made to.
constexpr Expected kSounds[] = {
    {sound::kGameOver, 1, 16, 2.43},     {sound::kQuestionIntro, 2, 8, 0.35},
    {sound::kAllClear, 2, 8, 3.24},      {sound::kShowCorrect, 2, 8, 1.93},
    {sound::kLevelClear, 2, 8, 1.00},    {sound::kRight, 2, 8, 1.15},
    {sound::kMoveHighlight, 2, 8, 0.10}, {sound::kWrong, 2, 8, 0.71},
};

test::WavFile loadSound(int id) {
    std::string error;
    const auto wav = test::readWav(test::readResource(resources::soundPath(id)), error);
    if (!wav) {
        ADD_FAILURE() << "sound " << id << ": " << error;
        return {};
    }
    return *wav;
}

// The root mean square of the loudest 50 ms, over all channels.
double loudestStretch(const test::WavFile& wav) {
    const std::size_t window = kRate / 20;
    double loudest = 0;
    for (std::size_t start = 0; start + window <= wav.frames(); start += window / 2) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i) {
            for (std::uint32_t c = 0; c < wav.channels; ++c) {
                sum += wav.sample(i, c) * wav.sample(i, c);
            }
        }
        loudest = std::max(loudest, std::sqrt(sum / static_cast<double>(window * wav.channels)));
    }
    return loudest;
}

double decibels(double ratio) { return 20 * std::log10(ratio); }

TEST(SoundFiles, EverySoundIsPcmOfItsFormatAndLength) {
    for (const Expected& expected : kSounds) {
        SCOPED_TRACE(expected.id);
        const QByteArray bytes = test::readResource(resources::soundPath(expected.id));
        ASSERT_FALSE(bytes.isEmpty()) << "missing from the resources";
        std::string error;
        const auto wav = test::readWav(bytes, error);
        ASSERT_TRUE(wav) << error;
        EXPECT_EQ(wav->riffSize + 8, static_cast<std::uint32_t>(bytes.size()));
        EXPECT_EQ(wav->formatTag, 1u);  // PCM
        EXPECT_EQ(wav->channels, expected.channels);
        EXPECT_EQ(wav->bitsPerSample, expected.bits);
        EXPECT_EQ(wav->sampleRate, kRate);
        EXPECT_EQ(wav->blockAlign, expected.channels * expected.bits / 8);
        EXPECT_EQ(wav->byteRate, kRate * wav->blockAlign);
        EXPECT_EQ(wav->data.size() % wav->blockAlign, 0);
        EXPECT_NEAR(static_cast<double>(wav->frames()), expected.seconds * kRate, 1.0);
    }
}

TEST(SoundFiles, SoundsStartAndEndInSilenceSoTheyDoNotClick) {
    for (const Expected& expected : kSounds) {
        SCOPED_TRACE(expected.id);
        const test::WavFile wav = loadSound(expected.id);
        ASSERT_GT(wav.frames(), 0u);
        for (std::uint32_t c = 0; c < wav.channels; ++c) {
            EXPECT_LE(std::abs(wav.sample(0, c)), 1 / 128.0);
            EXPECT_LE(std::abs(wav.sample(wav.frames() - 1, c)), 1 / 128.0);
        }
    }
}

TEST(SoundFiles, NoSoundClips) {
    for (const Expected& expected : kSounds) {
        SCOPED_TRACE(expected.id);
        const test::WavFile wav = loadSound(expected.id);
        double peak = 0;
        for (std::size_t i = 0; i < wav.frames(); ++i) {
            for (std::uint32_t c = 0; c < wav.channels; ++c) {
                peak = std::max(peak, std::abs(wav.sample(i, c)));
            }
        }
        EXPECT_LT(peak, 0.95);
        EXPECT_GT(peak, 0.1) << "hardly audible";
    }
}

TEST(SoundFiles, SoundsAreAboutEquallyLoudAndTheTickIsSofter) {
    std::vector<double> levels;
    for (const Expected& expected : kSounds) {
        if (expected.id != sound::kMoveHighlight) {
            levels.push_back(loudestStretch(loadSound(expected.id)));
        }
    }
    std::sort(levels.begin(), levels.end());
    const double median = levels[levels.size() / 2];
    for (double level : levels) {
        EXPECT_NEAR(decibels(level / median), 0.0, 4.0);
    }
    const double tick = loudestStretch(loadSound(sound::kMoveHighlight));
    EXPECT_LT(decibels(tick / median), -3.0);
    EXPECT_GT(decibels(tick / median), -20.0);
}

}  // namespace
}  // namespace pp
