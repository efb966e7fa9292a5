#include "shell/SoundPlayer.h"

#include <QFile>
#include <QString>

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "resources/Resources.h"
#include "shell/SdlLibrary.h"

namespace pp {
namespace {

// The device is asked for the sounds' own rate; SDL may give something else, and every sound
// is then converted to whatever it gave.
constexpr int kPreferredFrequency = 22050;
constexpr Uint8 kPreferredChannels = 2;
// About 23 ms per buffer: short enough that a new sound starts without a noticeable delay.
constexpr Uint16 kBufferFrames = 512;

const char* const kFallbackDriver = "dummy";

std::atomic<bool> diagnostics{false};

// Decodes a WAVE file image and converts its samples to the device's format; empty when the
// bytes are not a WAVE file SDL can read.
std::vector<std::uint8_t> decodeForDevice(const SdlLibrary& sdl, const std::vector<std::uint8_t>& wave,
                                          const SDL_AudioSpec& device) {
    if (wave.empty()) {
        return {};
    }
    SDL_RWops* stream = sdl.rwFromConstMem(wave.data(), static_cast<int>(wave.size()));
    if (stream == nullptr) {
        return {};
    }
    SDL_AudioSpec spec{};
    Uint8* samples = nullptr;
    Uint32 length = 0;
    if (sdl.loadWavRw(stream, 1, &spec, &samples, &length) == nullptr) {
        return {};
    }
    SDL_AudioCVT cvt{};
    const int needed = sdl.buildAudioCvt(&cvt, spec.format, spec.channels, spec.freq, device.format,
                                         device.channels, device.freq);
    std::vector<std::uint8_t> result;
    if (needed == 0) {
        result.assign(samples, samples + length);
    } else if (needed > 0) {
        std::vector<std::uint8_t> work(static_cast<std::size_t>(length) * static_cast<std::size_t>(cvt.len_mult));
        std::memcpy(work.data(), samples, length);
        cvt.buf = work.data();
        cvt.len = static_cast<int>(length);
        if (sdl.convertAudio(&cvt) == 0) {
            work.resize(static_cast<std::size_t>(cvt.len_cvt));
            result = std::move(work);
        }
    }
    sdl.freeWav(samples);
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

void SoundPlayer::setDiagnostics(bool on) { diagnostics = on; }

SoundPlayer::SoundPlayer(WaveSource source, SdlLoader loader)
    : source_(std::move(source)), loader_(loader != nullptr ? loader : loadSdl) {}

SoundPlayer::~SoundPlayer() {
    if (opener_.joinable()) {
        opener_.join();
    }
    if (device_ != 0) {
        sdl_->closeAudioDevice(device_);
    }
    if (audioInitialised_) {
        sdl_->quitSubSystem(SDL_INIT_AUDIO);
    }
}

void SoundPlayer::startOpening() {
    const std::lock_guard lock(mutex_);
    if (state_ != Device::NotOpened) {
        return;
    }
    state_ = Device::Opening;
    opener_ = std::thread([this] { open(); });
}

void SoundPlayer::open() {
    // Until the state says Open under the lock, only this thread touches the device fields.
    const SdlLibrary* sdl = loader_();
    bool opened = false;
    if (sdl != nullptr) {
        // Qt owns the window and the signals; SDL is here for sound alone.
        sdl->setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        sdl->setHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "ポケットペルナ");
        opened = openOnCurrentDriver(*sdl);
        if (!opened) {
            const std::string reason = sdl->getError();
            // No usable sound device: the dummy driver takes the samples and plays them to
            // nobody, so the game behaves the same with or without a sound card.
            sdl->setHintWithPriority(SDL_HINT_AUDIODRIVER, kFallbackDriver, SDL_HINT_OVERRIDE);
            opened = openOnCurrentDriver(*sdl);
            sdl->resetHint(SDL_HINT_AUDIODRIVER);
            if (diagnostics) {
                std::fprintf(stderr, "pocketperna: no sound device (%s); sound effects %s\n", reason.c_str(),
                             opened ? "play silently" : "are off");
            }
        }
        if (sdl->tlsCleanup != nullptr) {
            sdl->tlsCleanup();  // this thread ends here
        }
    }
    const std::lock_guard lock(mutex_);
    sdl_ = sdl;
    state_ = opened ? Device::Open : Device::Unavailable;
    if (opened && waiting_) {
        playNow(*waiting_);
    }
    waiting_.reset();
}

bool SoundPlayer::openOnCurrentDriver(const SdlLibrary& sdl) {
    if (sdl.initSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = kPreferredFrequency;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kPreferredChannels;
    wanted.samples = kBufferFrames;
    wanted.callback = nullptr;  // samples are queued, not pulled
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device = sdl.openAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_ANY_CHANGE);
    if (device == 0) {
        sdl.quitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    audioInitialised_ = true;
    device_ = device;
    deviceFrequency_ = obtained.freq;
    deviceFormat_ = obtained.format;
    deviceChannels_ = obtained.channels;
    sdl.pauseAudioDevice(device_, 0);  // an empty queue plays silence
    return true;
}

bool SoundPlayer::waitForDevice() {
    startOpening();
    if (opener_.joinable()) {
        opener_.join();
    }
    const std::lock_guard lock(mutex_);
    return state_ == Device::Open;
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
    return converted_[id] = decodeForDevice(*sdl_, source_ ? source_(id) : std::vector<std::uint8_t>{}, device);
}

void SoundPlayer::play(int id) {
    startOpening();
    const std::lock_guard lock(mutex_);
    if (state_ == Device::Opening) {
        waiting_ = id;  // played as soon as the device is open
    } else if (state_ == Device::Open) {
        playNow(id);
    }
}

void SoundPlayer::playNow(int id) {
    const std::vector<std::uint8_t>& samples = samplesOf(id & 0xFFFF);
    if (samples.empty()) {
        return;
    }
    sdl_->clearQueuedAudio(device_);  // only one sound at a time: the new one replaces the old
    sdl_->queueAudio(device_, samples.data(), static_cast<Uint32>(samples.size()));
}

}  // namespace pp
