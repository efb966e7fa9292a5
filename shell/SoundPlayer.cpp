#include "shell/SoundPlayer.h"

#include <QFile>
#include <QString>

#include <SDL.h>

#include <cstring>

#include "resources/Resources.h"

namespace pp {
namespace {

// The device is asked for the sounds' own rate; SDL may give something else, and every sound
// is then converted to whatever it gave.
constexpr int kPreferredFrequency = 22050;
constexpr Uint8 kPreferredChannels = 2;
// About 23 ms per buffer: short enough that a new sound starts without a noticeable delay.
constexpr Uint16 kBufferFrames = 512;

const char* const kFallbackDriver = "dummy";

// Decodes a WAVE file image and converts its samples to the device's format; empty when the
// bytes are not a WAVE file SDL can read.
std::vector<std::uint8_t> decodeForDevice(const std::vector<std::uint8_t>& wave, const SDL_AudioSpec& device) {
    if (wave.empty()) {
        return {};
    }
    SDL_RWops* stream = SDL_RWFromConstMem(wave.data(), static_cast<int>(wave.size()));
    if (stream == nullptr) {
        return {};
    }
    SDL_AudioSpec spec{};
    Uint8* samples = nullptr;
    Uint32 length = 0;
    if (SDL_LoadWAV_RW(stream, 1, &spec, &samples, &length) == nullptr) {
        return {};
    }
    SDL_AudioCVT cvt{};
    const int needed = SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, device.format,
                                         device.channels, device.freq);
    std::vector<std::uint8_t> result;
    if (needed == 0) {
        result.assign(samples, samples + length);
    } else if (needed > 0) {
        std::vector<std::uint8_t> work(static_cast<std::size_t>(length) * static_cast<std::size_t>(cvt.len_mult));
        std::memcpy(work.data(), samples, length);
        cvt.buf = work.data();
        cvt.len = static_cast<int>(length);
        if (SDL_ConvertAudio(&cvt) == 0) {
            work.resize(static_cast<std::size_t>(cvt.len_cvt));
            result = std::move(work);
        }
    }
    SDL_FreeWAV(samples);
    return result;
}

}  // namespace

std::vector<std::uint8_t> resourceWave(int id) {
    QFile file(resources::soundPath(id));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return {bytes.begin(), bytes.end()};
}

SoundPlayer::SoundPlayer(WaveSource source) : source_(std::move(source)) {
    // Qt owns the window and the signals; SDL is here for sound alone.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "ポケットペルナ");
    openDevice();
}

SoundPlayer::~SoundPlayer() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
    }
    if (audioInitialised_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool SoundPlayer::openDevice() {
    if (openDeviceOnCurrentDriver()) {
        return true;
    }
    // No usable sound device: the dummy driver takes the samples and plays them to nobody, so
    // the game behaves the same with or without a sound card.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, kFallbackDriver, SDL_HINT_OVERRIDE);
    const bool opened = openDeviceOnCurrentDriver();
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return opened;
}

bool SoundPlayer::openDeviceOnCurrentDriver() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = kPreferredFrequency;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kPreferredChannels;
    wanted.samples = kBufferFrames;
    wanted.callback = nullptr;  // samples are queued, not pulled
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_ANY_CHANGE);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    audioInitialised_ = true;
    device_ = device;
    deviceFrequency_ = obtained.freq;
    deviceFormat_ = obtained.format;
    deviceChannels_ = obtained.channels;
    SDL_PauseAudioDevice(device_, 0);  // an empty queue plays silence
    return true;
}

const std::vector<std::uint8_t>& SoundPlayer::samplesOf(int id) {
    if (auto found = converted_.find(id); found != converted_.end()) {
        return found->second;
    }
    SDL_AudioSpec device{};
    device.freq = deviceFrequency_;
    device.format = deviceFormat_;
    device.channels = deviceChannels_;
    // A sound that cannot be read is remembered as silence, so it is not read again.
    return converted_[id] = decodeForDevice(source_ ? source_(id) : std::vector<std::uint8_t>{}, device);
}

void SoundPlayer::play(int id) {
    if (device_ == 0) {
        return;
    }
    const std::vector<std::uint8_t>& samples = samplesOf(id & 0xFFFF);
    if (samples.empty()) {
        return;
    }
    SDL_ClearQueuedAudio(device_);  // only one sound at a time: the new one replaces the old
    SDL_QueueAudio(device_, samples.data(), static_cast<Uint32>(samples.size()));
}

std::string SoundPlayer::driverName() const {
    if (device_ == 0) {
        return {};
    }
    const char* name = SDL_GetCurrentAudioDriver();
    return name != nullptr ? name : "";
}

std::size_t SoundPlayer::pendingBytes() const {
    return device_ != 0 ? SDL_GetQueuedAudioSize(device_) : 0;
}

}  // namespace pp
