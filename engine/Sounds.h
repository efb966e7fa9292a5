#pragma once

#include "engine/Host.h"

namespace pp::sound {

// The ids of the eight sound effects.
inline constexpr int kGameOver = 135;
inline constexpr int kQuestionIntro = 136;
inline constexpr int kAllClear = 137;
inline constexpr int kShowCorrect = 138;
inline constexpr int kLevelClear = 139;
inline constexpr int kRight = 140;
inline constexpr int kMoveHighlight = 141;
inline constexpr int kWrong = 142;

inline constexpr int kFirst = kGameOver;
inline constexpr int kLast = kWrong;

}  // namespace pp::sound

namespace pp {

// Plays sound `id` when the player has sound effects on; every game event goes through here.
inline void playEffect(Context& context, int id) {
    if (context.state.options.soundEffects == 1) {
        context.host.playSound(id);
    }
}

}  // namespace pp
