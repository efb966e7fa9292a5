#include "shell/SdlLibrary.h"

#include <dlfcn.h>


namespace pp {
namespace {

// SDL2's library name on Linux, stable across its 2.x releases.
constexpr const char* kSdlLibrary = "libSDL2-2.0.so.0";
constexpr const char* kAlsaLibrary = "libasound.so.2";

template <typename Function>
bool lookUp(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

// ALSA's messages go nowhere: without a sound card it explains at length why it found none,
// and the player falls back to the silent driver anyway.
void ignoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsa() {
    // SDL has loaded ALSA already; this only looks it up.
    void* alsa = ::dlopen(kAlsaLibrary, RTLD_NOW | RTLD_NOLOAD);
    if (alsa == nullptr) {
        return;
    }
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto setHandler = reinterpret_cast<SetHandler>(::dlsym(alsa, "snd_lib_error_set_handler"))) {
        setHandler(ignoreAlsaMessage);
    }
}

const SdlLibrary* load() {
    static SdlLibrary api{};
    void* sdl = ::dlopen(kSdlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (sdl == nullptr) {
        return nullptr;
    }
    const bool complete = lookUp(sdl, "SDL_SetHint", api.setHint) &&
                          lookUp(sdl, "SDL_SetHintWithPriority", api.setHintWithPriority) &&
                          lookUp(sdl, "SDL_ResetHint", api.resetHint) && lookUp(sdl, "SDL_GetError", api.getError) &&
                          lookUp(sdl, "SDL_InitSubSystem", api.initSubSystem) &&
                          lookUp(sdl, "SDL_QuitSubSystem", api.quitSubSystem) &&
                          lookUp(sdl, "SDL_OpenAudioDevice", api.openAudioDevice) &&
                          lookUp(sdl, "SDL_CloseAudioDevice", api.closeAudioDevice) &&
                          lookUp(sdl, "SDL_PauseAudioDevice", api.pauseAudioDevice) &&
                          lookUp(sdl, "SDL_GetCurrentAudioDriver", api.getCurrentAudioDriver) &&
                          lookUp(sdl, "SDL_QueueAudio", api.queueAudio) &&
                          lookUp(sdl, "SDL_ClearQueuedAudio", api.clearQueuedAudio) &&
                          lookUp(sdl, "SDL_GetQueuedAudioSize", api.getQueuedAudioSize) &&
                          lookUp(sdl, "SDL_RWFromConstMem", api.rwFromConstMem) &&
                          lookUp(sdl, "SDL_LoadWAV_RW", api.loadWavRw) && lookUp(sdl, "SDL_FreeWAV", api.freeWav) &&
                          lookUp(sdl, "SDL_BuildAudioCVT", api.buildAudioCvt) &&
                          lookUp(sdl, "SDL_ConvertAudio", api.convertAudio) &&
                          lookUp(sdl, "SDL_PumpEvents", api.pumpEvents) && lookUp(sdl, "SDL_PeepEvents", api.peepEvents) &&
                          lookUp(sdl, "SDL_GameControllerOpen", api.gameControllerOpen) &&
                          lookUp(sdl, "SDL_GameControllerClose", api.gameControllerClose) &&
                          lookUp(sdl, "SDL_GameControllerGetJoystick", api.gameControllerGetJoystick) &&
                          lookUp(sdl, "SDL_JoystickInstanceID", api.joystickInstanceId);
    if (!complete) {
        return nullptr;  // the library stays loaded: unloading SDL is never safe
    }
    lookUp(sdl, "SDL_TLSCleanup", api.tlsCleanup);
    silenceAlsa();
    return &api;
}

}  // namespace

const SdlLibrary* loadSdl() {
    static const SdlLibrary* const api = load();
    return api;
}

}  // namespace pp
