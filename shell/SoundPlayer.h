#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pp {

struct SdlLibrary;

// Where the player gets SDL from: loadSdl() in the program.
using SdlLoader = const SdlLibrary* (*)();

// The WAVE file of sound `id`, exactly as stored; empty when the program has no such sound.
using WaveSource = std::function<std::vector<std::uint8_t>(int id)>;

// The sounds compiled into the program, ":/sounds/<id>.wav" in the Qt resources.
std::vector<std::uint8_t> resourceWave(int id);

// Plays the game's sound effects on SDL2's audio, one at a time.
//
// Called from the user-interface thread only. Nothing of SDL is loaded or opened until the
// first sound: play() then starts opening the device on a background thread and returns, so the
// game never waits for a sound system (which can take a tenth of a second, or longer when none
// is there). The sound asked for while the device opens is played, late, as soon as it is open;
// only the latest one is kept. Once open, play() never waits either: the samples are handed to
// SDL's queue and its audio thread plays them. When no sound device can be opened the player
// falls back to SDL's "dummy" driver, so a machine without sound behaves like one with the sound
// turned down; if even that fails, or SDL is missing, play() does nothing.
class SoundPlayer {
public:
    explicit SoundPlayer(WaveSource source = resourceWave, SdlLoader loader = nullptr);
    ~SoundPlayer();

    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Starts sound `id` and returns at once; the sound still playing is cut off. An id without
    // a readable WAVE file plays nothing.
    void play(int id);

    // Starts opening the device if nothing has yet, and waits until the attempt is over; true
    // when a device (possibly the dummy one) is open. For a caller that must not lose the first
    // sound to the opening, as a benchmark of play().
    bool waitForDevice();

    // With diagnostics on, a fall-back to the silent driver says why in one line on standard
    // error; otherwise the player never writes there. Off by default.
    static void setDiagnostics(bool on);

private:
    enum class Device { NotOpened, Opening, Open, Unavailable };

    void startOpening();
    // Runs on the opening thread.
    void open();
    bool openOnCurrentDriver(const SdlLibrary& sdl);
    // With the lock held and the device open.
    void playNow(int id);
    // The samples of sound `id` in the device's format, converted on first use.
    const std::vector<std::uint8_t>& samplesOf(int id);

    WaveSource source_;
    SdlLoader loader_;
    mutable std::mutex mutex_;
    std::thread opener_;
    Device state_ = Device::NotOpened;
    std::optional<int> waiting_;  // the sound asked for while the device opens
    const SdlLibrary* sdl_ = nullptr;
    std::uint32_t device_ = 0;
    bool audioInitialised_ = false;
    int deviceFrequency_ = 0;
    std::uint16_t deviceFormat_ = 0;
    std::uint8_t deviceChannels_ = 0;
    std::map<int, std::vector<std::uint8_t>> converted_;
};

}  // namespace pp
