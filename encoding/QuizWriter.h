#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "quizdata/QuizFormat.h"

namespace pp {

// Writing quiz files: the encoder that `kqd build` uses and that tests build their files with.

// The most questions one genre can hold: its count is a signed 16-bit value.
inline constexpr std::size_t kMaxGenreQuestions = 32767;

// Replaces the characters that Mac and Linux input methods produce where Windows text uses
// another code point (WAVE DASH, MINUS SIGN, the Latin-1 cent, pound and not signs, DOUBLE
// VERTICAL LINE) by the ones code page 932 has.
std::u16string toWindowsForms(std::u16string_view text);

enum class TextField { GenreName, Question, Choice };

// The bytes a field holds in the file and the UTF-16 units its game buffer holds.
std::size_t fieldBytes(TextField field);
std::size_t fieldUnits(TextField field);

enum class TextProblem { None, NoCp932Form, TooLong };

// A text made ready for one field of the file.
struct EncodedText {
    std::string bytes;  // code page 932; complete only when `problem` is None
    TextProblem problem = TextProblem::None;
    char32_t unencodable = 0;  // the first character without a form the game reads back
    bool cutOnScreen = false;  // fits the file but not the game's buffer, which cuts it short

    [[nodiscard]] bool ok() const { return problem == TextProblem::None; }
};

// Maps `text` to Windows forms and encodes it for `field`. A character is refused when code
// page 932 has no form for it that reads back as the same character and that the scrambled
// reader takes for what it is.
EncodedText encodeFieldText(std::u16string_view text, TextField field);

// One sentence on what is wrong with `text`, e.g. "30 bytes in code page 932, the field holds 28".
std::string describeTextProblem(const EncodedText& text, TextField field);

// A quiz as texts: genres in file order, each question's choice 0 the right answer.
struct QuizQuestion {
    std::u16string text;
    std::array<std::u16string, kChoiceCount> choices;
};

struct QuizGenre {
    std::u16string name;
    std::vector<QuizQuestion> questions;
};

// A quiz already in code page 932 bytes, as encodeFieldText leaves its texts.
struct EncodedQuestion {
    std::string text;
    std::array<std::string, kChoiceCount> choices;
};

struct EncodedGenre {
    std::string name;
    std::vector<EncodedQuestion> questions;
};

// The record of one question; nothing when a text does not fit or cannot be stored.
std::optional<Record> encodeQuestionRecord(const EncodedQuestion& question);

// The whole file: eight headers (missing genres empty with count 0, the uninterpreted values
// 0), then the questions grouped by genre. Nothing when there are more than eight genres,
// more than kMaxGenreQuestions in one, or a text that cannot be stored.
std::optional<std::string> layOutQuizFile(const std::vector<EncodedGenre>& genres);

// Why a quiz could not be written, and where.
struct QuizWriteError {
    enum class Kind { TooManyGenres, TooManyQuestions, Text } kind = Kind::Text;
    int genre = 0;
    int question = -1;     // -1: the genre name
    int field = 0;         // 0: the question text, 1..5: stored choice field-1
    EncodedText text;      // for Kind::Text
    std::string message;   // one line
};

// Encodes and lays out `genres`; the file's bytes or the first problem found.
std::variant<std::string, QuizWriteError> buildQuizFile(const std::vector<QuizGenre>& genres);

}  // namespace pp
