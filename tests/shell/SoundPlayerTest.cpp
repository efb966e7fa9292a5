#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include <unistd.h>

#include "shell/SdlLibrary.h"
#include "shell/SoundPlayer.h"

namespace pp {
namespace {

// A RIFF WAVE file image of `frames` frames, every sample holding `value`.
std::vector<std::uint8_t> makeWave(int channels, int bits, int rate, int frames, int value) {
    const int bytesPerSample = bits / 8;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * channels * bytesPerSample);
    std::vector<std::uint8_t> out;
    auto text = [&](const char* tag) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
    };
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    text("RIFF");
    u32(36 + dataBytes);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(static_cast<std::uint32_t>(channels));
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate * channels * bytesPerSample));
    u16(static_cast<std::uint32_t>(channels * bytesPerSample));
    u16(static_cast<std::uint32_t>(bits));
    text("data");
    u32(dataBytes);
    for (int i = 0; i < frames * channels; ++i) {
        if (bytesPerSample == 1) {
            out.push_back(static_cast<std::uint8_t>(value));
        } else {
            u16(static_cast<std::uint32_t>(value) & 0xFFFF);
        }
    }
    return out;
}

// The real SDL, with the loads and the device the player opens watched, so that a test can ask
// SDL itself what the player's device holds.
struct WatchedSdl {
    static inline std::atomic<int> loads{0};
    static inline std::atomic<SDL_AudioDeviceID> device{0};

    static SDL_AudioDeviceID openDevice(const char* name, int capture, const SDL_AudioSpec* wanted,
                                        SDL_AudioSpec* obtained, int changes) {
        const SDL_AudioDeviceID id = loadSdl()->openAudioDevice(name, capture, wanted, obtained, changes);
        if (id != 0) {
            device = id;
        }
        return id;
    }

    static const SdlLibrary* load() {
        ++loads;
        static const SdlLibrary* const watched = []() -> const SdlLibrary* {
            const SdlLibrary* real = loadSdl();
            if (real == nullptr) {
                return nullptr;
            }
            static SdlLibrary copy = *real;
            copy.openAudioDevice = openDevice;
            return &copy;
        }();
        return watched;
    }

    // Bytes of the current sound that the device has not taken yet.
    static std::size_t queuedBytes() { return device == 0 ? 0 : loadSdl()->getQueuedAudioSize(device); }

    static std::string driver() {
        const char* name = loadSdl()->getCurrentAudioDriver();
        return name != nullptr ? name : "";
    }
};

// Plays on SDL's disk driver, which writes everything the device plays (silence included) to a
// file at the pace of a real device.
class SoundPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        output_ = std::filesystem::temp_directory_path() /
                  ("pp-sound-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw");
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
        WatchedSdl::loads = 0;
        WatchedSdl::device = 0;
    }
    void TearDown() override { std::filesystem::remove(output_); }

    // The device's output as signed 16-bit samples.
    std::vector<std::int16_t> played() const {
        std::ifstream in(output_, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    // The longest run of consecutive samples equal to `value` in the output, give or take the
    // one step that SDL's conversion through floating point may round off.
    std::size_t longestRun(std::int16_t value) const {
        std::size_t best = 0;
        std::size_t run = 0;
        for (std::int16_t sample : played()) {
            run = std::abs(sample - value) <= 1 ? run + 1 : 0;
            best = std::max(best, run);
        }
        return best;
    }

    // Waits until the player has handed every queued byte to the device and the device has
    // written a little more, with a generous limit for a slow machine.
    static void waitUntilPlayed() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (WatchedSdl::queuedBytes() > 0 && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }

    static WaveSource sounds(std::map<int, std::vector<std::uint8_t>> waves, int* reads = nullptr) {
        return [waves = std::move(waves), reads](int id) {
            if (reads != nullptr) {
                ++*reads;
            }
            const auto found = waves.find(id);
            return found == waves.end() ? std::vector<std::uint8_t>{} : found->second;
        };
    }

    std::filesystem::path output_;
};

TEST_F(SoundPlayerTest, PlaysTheWaveConvertedToTheDeviceFormat) {
    // 16-bit mono: the device is stereo, so every sample is played on both channels.
    SoundPlayer player(sounds({{140, makeWave(1, 16, 22050, 2205, 1234)}}), WatchedSdl::load);
    ASSERT_TRUE(player.waitForDevice());
    EXPECT_EQ(WatchedSdl::driver(), "disk");
    player.play(140);
    waitUntilPlayed();
    EXPECT_EQ(longestRun(1234), 2u * 2205u);
}

// The device opens on a background thread at the first sound, which is played once it is open.
TEST_F(SoundPlayerTest, OpensTheDeviceAtTheFirstSoundAndPlaysItOnceOpen) {
    SoundPlayer player(sounds({{140, makeWave(1, 16, 22050, 2205, 1234)}}), WatchedSdl::load);
    EXPECT_EQ(WatchedSdl::loads, 0) << "SDL is not even loaded before the first sound";
    player.play(140);
    ASSERT_TRUE(player.waitForDevice());
    waitUntilPlayed();
    EXPECT_EQ(longestRun(1234), 2u * 2205u);
}

TEST_F(SoundPlayerTest, EightBitStereoKeepsItsLength) {
    // Unsigned 8-bit samples played raw would last half as long and sound as noise.
    SoundPlayer player(sounds({{136, makeWave(2, 8, 22050, 1500, 0xC0)}}), WatchedSdl::load);
    ASSERT_TRUE(player.waitForDevice());
    player.play(136);
    waitUntilPlayed();
    const std::vector<std::int16_t> output = played();
    const auto loud = std::find_if(output.begin(), output.end(), [](std::int16_t s) { return s != 0; });
    ASSERT_NE(loud, output.end());
    EXPECT_GT(*loud, 16000);
    EXPECT_EQ(longestRun(*loud), 2u * 1500u);
}

TEST_F(SoundPlayerTest, ANewSoundCutsOffTheOneStillPlaying) {
    const int longFrames = 22050 * 3;
    SoundPlayer player(sounds({{135, makeWave(1, 16, 22050, longFrames, 1111)},
                               {142, makeWave(1, 16, 22050, 2000, 2222)}}), WatchedSdl::load);
    ASSERT_TRUE(player.waitForDevice());
    player.play(135);
    player.play(142);
    waitUntilPlayed();
    EXPECT_EQ(longestRun(2222), 2u * 2000u);
    // At most the buffers the device had already taken of the first sound were heard.
    EXPECT_LT(longestRun(1111), 2u * longFrames / 10);
}

TEST_F(SoundPlayerTest, UnknownOrDamagedSoundsAreSilent) {
    std::vector<std::uint8_t> cut = makeWave(1, 16, 22050, 1000, 77);
    cut.resize(30);
    std::vector<std::uint8_t> noise(4000, 0x5A);
    int reads = 0;
    SoundPlayer player(sounds({{138, cut}, {139, noise}}, &reads), WatchedSdl::load);
    ASSERT_TRUE(player.waitForDevice());
    for (int round = 0; round < 2; ++round) {
        for (int id : {999, 138, 139, -1, 0}) {
            player.play(id);
            EXPECT_EQ(WatchedSdl::queuedBytes(), 0u) << id;
        }
    }
    EXPECT_EQ(reads, 5);  // each id is looked at once, failures included
}

TEST_F(SoundPlayerTest, ConvertsEachSoundOnce) {
    int reads = 0;
    // A second long, so that a busy machine cannot have played it all before the check.
    constexpr std::uint32_t kFrames = 22050;
    SoundPlayer player(sounds({{141, makeWave(2, 8, 22050, kFrames, 0xA0)}}, &reads), WatchedSdl::load);
    ASSERT_TRUE(player.waitForDevice());
    for (int i = 0; i < 50; ++i) {
        player.play(141);
    }
    EXPECT_EQ(reads, 1);
    EXPECT_GT(WatchedSdl::queuedBytes(), 0u);
    EXPECT_LE(WatchedSdl::queuedBytes(), kFrames * 2 * 2);  // one copy queued, not fifty
}

TEST_F(SoundPlayerTest, WithoutASoundDeviceFallsBackToTheDummyDriver) {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SoundPlayer player(sounds({{140, makeWave(1, 16, 22050, 22050, 500)}}), WatchedSdl::load);
    ASSERT_TRUE(player.waitForDevice());
    EXPECT_EQ(WatchedSdl::driver(), "dummy");
    player.play(140);
    EXPECT_GT(WatchedSdl::queuedBytes(), 0u);
}

// The program's own path: the eight sounds from the compiled-in resources.
TEST_F(SoundPlayerTest, PlaysEverySoundOfTheProgram) {
    for (int id = 135; id <= 142; ++id) {
        EXPECT_GT(resourceWave(id).size(), 44u) << id;
    }
    EXPECT_TRUE(resourceWave(134).empty());
    EXPECT_TRUE(resourceWave(143).empty());

    SoundPlayer player(resourceWave, WatchedSdl::load);
    ASSERT_TRUE(player.waitForDevice());
    for (int id = 135; id <= 142; ++id) {
        player.play(id);
        EXPECT_GT(WatchedSdl::queuedBytes(), 0u) << id;
    }
    player.play(141);
    waitUntilPlayed();
    const std::vector<std::int16_t> output = played();
    EXPECT_TRUE(std::any_of(output.begin(), output.end(), [](std::int16_t sample) { return sample != 0; }));
}

}  // namespace
}  // namespace pp
