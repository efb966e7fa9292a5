#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pp {

// The WAVE file of sound `id`, exactly as stored; empty when the program has no such sound.
using WaveSource = std::function<std::vector<std::uint8_t>(int id)>;

// The sounds compiled into the program, ":/sounds/<id>.wav" in the Qt resources.
std::vector<std::uint8_t> resourceWave(int id);

// Plays the game's sound effects on SDL2's audio, one at a time.
//
// Called from the user-interface thread only. play() never waits for the sound: the samples are
// handed to SDL's queue and its audio thread plays them. When no sound device can be opened the
// player falls back to SDL's "dummy" driver, so a machine without sound behaves like one with
// the sound turned down; if even that fails, play() does nothing.
class SoundPlayer {
public:
    explicit SoundPlayer(WaveSource source = resourceWave);
    ~SoundPlayer();

    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Starts sound `id` and returns at once; the sound still playing is cut off. An id without
    // a readable WAVE file plays nothing.
    void play(int id);

    // Whether a device (possibly the dummy one) is open.
    [[nodiscard]] bool hasDevice() const { return device_ != 0; }

    // The SDL audio driver in use ("pulseaudio", "alsa", "dummy", ...), empty without a device.
    [[nodiscard]] std::string driverName() const;

    // Bytes of the current sound that the device has not taken yet.
    [[nodiscard]] std::size_t pendingBytes() const;

private:
    bool openDevice();
    bool openDeviceOnCurrentDriver();
    // The samples of sound `id` in the device's format, converted on first use.
    const std::vector<std::uint8_t>& samplesOf(int id);

    WaveSource source_;
    std::uint32_t device_ = 0;
    bool audioInitialised_ = false;
    int deviceFrequency_ = 0;
    std::uint16_t deviceFormat_ = 0;
    std::uint8_t deviceChannels_ = 0;
    std::map<int, std::vector<std::uint8_t>> converted_;
};

}  // namespace pp
