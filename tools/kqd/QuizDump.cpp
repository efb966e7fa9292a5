#include "QuizDump.h"

#include <fstream>

#include "tools/common/Json.h"
#include "tools/common/Utf8.h"

namespace pp::kqd {
namespace {

std::string utf8(std::u16string_view text) { return utf8FromUtf16(text); }

}  // namespace

std::variant<QuizContents, std::string> readQuizContents(const std::filesystem::path& path) {
    QuizContents quiz;
    quiz.layout = readQuizLayout(path);
    if (!quiz.layout.accepted()) {
        return describeLayout(quiz.layout);
    }
    std::ifstream in(path, std::ios::binary);
    for (int g = 0; g < kGenreCount; ++g) {
        const auto genre = static_cast<std::size_t>(g);
        quiz.genreNames[genre] = decodeGenreName(quiz.layout.genres[genre]);
        for (int i = 0; i < quiz.layout.genres[genre].questionCount; ++i) {
            const std::int32_t number = quiz.layout.firstQuestionOf(g) + i;
            const std::optional<Record> record = readQuestionRecord(in, number);
            if (!record) {
                return "cannot read question " + std::to_string(number);
            }
            quiz.questions.push_back(decodeQuestionRecord(*record));
            quiz.questionGenres.push_back(g);
        }
    }
    return quiz;
}


std::string dumpText(const QuizContents& quiz) {
    std::string out;
    for (int g = 0; g < kGenreCount; ++g) {
        const auto genre = static_cast<std::size_t>(g);
        out += "genre " + std::to_string(g) + " \"" + utf8(quiz.genreNames[genre].view()) + "\": " +
               std::to_string(quiz.layout.genres[genre].questionCount) + " questions\n";
    }
    for (std::size_t q = 0; q < quiz.questions.size(); ++q) {
        const DecodedQuestion& question = quiz.questions[q];
        out += "\nquestion " + std::to_string(q) + " (genre " + std::to_string(quiz.questionGenres[q]) + "): " +
               utf8(question.text.view()) + "\n";
        for (std::size_t k = 0; k < question.choices.size(); ++k) {
            out += (k == 0 ? "  right: " : "  wrong: ") + utf8(question.choices[k].view()) + "\n";
        }
    }
    return out;
}

std::string dumpJson(const QuizContents& quiz) {
    std::string out = "{\"genres\":[";
    for (int g = 0; g < kGenreCount; ++g) {
        const auto genre = static_cast<std::size_t>(g);
        out += (g == 0 ? "" : ",");
        out += "{\"name\":" + jsonString(quiz.genreNames[genre].view()) +
               ",\"count\":" + std::to_string(quiz.layout.genres[genre].questionCount) + "}";
    }
    out += "],\"questions\":[";
    for (std::size_t q = 0; q < quiz.questions.size(); ++q) {
        const DecodedQuestion& question = quiz.questions[q];
        out += (q == 0 ? "" : ",");
        out += "{\"number\":" + std::to_string(q) + ",\"genre\":" + std::to_string(quiz.questionGenres[q]) +
               ",\"text\":" + jsonString(question.text.view()) + ",\"choices\":[";
        for (std::size_t k = 0; k < question.choices.size(); ++k) {
            out += (k == 0 ? "" : ",") + jsonString(question.choices[k].view());
        }
        out += "]}";
    }
    return out + "]}\n";
}

}  // namespace pp::kqd
