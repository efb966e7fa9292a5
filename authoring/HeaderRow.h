#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "authoring/QuizBuild.h"

namespace pp::kqd {

// A first row that names the columns rather than asking a question: ジャンル, 問題, 正解 and four
// 不正解 (or 誤答, 選択肢 ..., or genre, question, answer, wrong answer in English), in any order
// and beside other columns such as 解説. Plain C++, shared by every build of the game.
struct HeaderRow {
    // Where each of the seven columns of a question lies in the table, counted from 0.
    std::array<int, kSourceColumns> columns{};
    // The named columns that are no part of a question, counted from 0.
    std::vector<int> ignored;
    // Why the columns cannot be found, when the row names some but not all of them.
    std::optional<std::string> problem;
};

// The header the row is, or nothing when it does not name the question and its right answer.
std::optional<HeaderRow> recognizeHeader(const std::vector<std::u16string>& cells);

}  // namespace pp::kqd
