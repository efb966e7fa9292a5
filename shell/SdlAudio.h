#pragma once

#include <SDL.h>

namespace pp {

// The SDL2 functions the sound player uses, looked up in the library when the first sound is
// played rather than linked into the program: SDL and the thirty-odd libraries it pulls in
// (sound servers, X11, Wayland) are then loaded on the sound thread, never at start-up.
struct SdlAudio {
    decltype(&SDL_SetHint) setHint;
    decltype(&SDL_SetHintWithPriority) setHintWithPriority;
    decltype(&SDL_ResetHint) resetHint;
    decltype(&SDL_GetError) getError;
    decltype(&SDL_InitSubSystem) initSubSystem;
    decltype(&SDL_QuitSubSystem) quitSubSystem;
    decltype(&SDL_OpenAudioDevice) openAudioDevice;
    decltype(&SDL_CloseAudioDevice) closeAudioDevice;
    decltype(&SDL_PauseAudioDevice) pauseAudioDevice;
    decltype(&SDL_GetCurrentAudioDriver) getCurrentAudioDriver;
    decltype(&SDL_QueueAudio) queueAudio;
    decltype(&SDL_ClearQueuedAudio) clearQueuedAudio;
    decltype(&SDL_GetQueuedAudioSize) getQueuedAudioSize;
    decltype(&SDL_RWFromConstMem) rwFromConstMem;
    decltype(&SDL_LoadWAV_RW) loadWavRw;
    decltype(&SDL_FreeWAV) freeWav;
    decltype(&SDL_BuildAudioCVT) buildAudioCvt;
    decltype(&SDL_ConvertAudio) convertAudio;
};

// Loads SDL2 once (later calls wait for the first and return its result) and silences the
// messages its ALSA library prints on standard error when it finds no sound card. Null when
// the library or one of its functions is missing.
const SdlAudio* loadSdlAudio();

}  // namespace pp
