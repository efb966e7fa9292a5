#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "quizdata/QuizFile.h"

namespace pp::kqd {

// A quiz file read the way the game reads it: genre names decoded into their buffers, every
// question descrambled and decoded into its buffers, in file order.
struct QuizContents {
    QuizLayout layout;
    std::array<GenreName, kGenreCount> genreNames;
    std::vector<DecodedQuestion> questions;
    std::vector<int> questionGenres;  // the genre of each question
};

// Reads the whole file; a file the game would refuse yields the reason instead.
std::variant<QuizContents, std::string> readQuizContents(const std::filesystem::path& path);

// The genre table, then each question with its five stored choices, right answer first.
std::string dumpText(const QuizContents& quiz);

// One JSON object: {"genres":[{"name","count"} x8],"questions":[{"number","genre","text",
// "choices":[5]}]}, in file order, UTF-8.
std::string dumpJson(const QuizContents& quiz);

}  // namespace pp::kqd
