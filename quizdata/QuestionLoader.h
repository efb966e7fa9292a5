#pragma once

#include <filesystem>
#include <string_view>

#include <cstdint>
#include <optional>

#include "quizdata/QuizFormat.h"
#include "record/GameState.h"
#include "record/Random.h"

namespace pp {

enum class LoadResult { Ok = 0, Failed = 1 };

// Reads the genre table and one question of the quiz file at `path` into the state: under study
// rules question `questionIndex` in file order (in a review run, the question number the review
// list holds at `questionIndex`), in game mode a random genre and question; then shuffles the
// display order of its choices. On failure `questionReady` is unchanged and the caller tells the
// player. `selection` and `confirmed` are cleared in both cases.
LoadResult loadQuestion(GameState& state, RandomSource& random, const std::filesystem::path& path);

// One question read by its number in the file, with the genre it belongs to.
struct NumberedQuestion {
    std::int32_t genre = 0;
    GenreName genreName;
    DecodedQuestion question;  // stored order: choices[0] is the right answer
};

// Reads question `number` (0-based, in file order) of the quiz file at `path`, without touching
// any game; nothing when the file is refused or has no such question.
std::optional<NumberedQuestion> readNumberedQuestion(const std::filesystem::path& path, std::int32_t number);

}  // namespace pp
