#pragma once

#include <filesystem>
#include <string_view>

#include "engine/GameState.h"
#include "engine/Host.h"

namespace pp {

inline constexpr std::u16string_view kLoadErrorText = u"データの読み込みに失敗しました。";
inline constexpr std::u16string_view kLoadErrorCaption = u"ファイルの読み込みエラー";

enum class LoadResult { Ok = 0, Failed = 1 };

// Reads the genre table and one question of the quiz file at `path` into the state: in study
// mode question `questionIndex` in file order, in game mode a random genre and question; then
// shuffles the display order of its choices. On failure the load-error message has been shown
// through the host and `questionReady` is unchanged. `selection` and `confirmed` are cleared in
// both cases.
LoadResult loadQuestion(Context& context, const std::filesystem::path& path);

// The stored choice shown at display position 0..4.
std::u16string_view choiceText(const GameState& state, int position);

}  // namespace pp
