#pragma once

#include <SDL.h>

namespace pp {

// The SDL2 functions the sound player and the game pads use, looked up in the library when
// first needed rather than linked into the program: SDL and the thirty-odd libraries it pulls in
// (sound servers, X11, Wayland) are then loaded at the first sound or once the window's first
// picture is shown, never before it.
struct SdlLibrary {
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

    decltype(&SDL_PumpEvents) pumpEvents;
    decltype(&SDL_PeepEvents) peepEvents;
    decltype(&SDL_GameControllerOpen) gameControllerOpen;
    decltype(&SDL_GameControllerClose) gameControllerClose;
    decltype(&SDL_GameControllerGetJoystick) gameControllerGetJoystick;
    decltype(&SDL_JoystickInstanceID) joystickInstanceId;

    // Null before SDL 2.0.16. A thread that SDL did not start calls it before it ends, or the
    // per-thread data SDL keeps for it (its error text) is never freed.
    decltype(&SDL_TLSCleanup) tlsCleanup;
};

// Loads SDL2 once (later calls wait for the first and return its result) and silences the
// messages its ALSA library prints on standard error when it finds no sound card. Null when
// the library or one of its functions is missing.
const SdlLibrary* loadSdl();

}  // namespace pp
