#pragma once

#include <filesystem>
#include <string_view>

#include "record/GameState.h"
#include "record/Random.h"

namespace pp {

enum class LoadResult { Ok = 0, Failed = 1 };

// Reads the genre table and one question of the quiz file at `path` into the state: in study
// mode question `questionIndex` in file order, in game mode a random genre and question; then
// shuffles the display order of its choices. On failure `questionReady` is unchanged and the
// caller tells the player. `selection` and `confirmed` are cleared in both cases.
LoadResult loadQuestion(GameState& state, RandomSource& random, const std::filesystem::path& path);

}  // namespace pp
