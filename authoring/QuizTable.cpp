#include "authoring/QuizTable.h"

#include "record/Cp932.h"
#include "encoding/QuizWriter.h"

namespace pp::kqd {
namespace {

std::string_view fieldOf(const Record& record, std::size_t offset, std::size_t size) {
    return {record.data() + offset, size};
}

}  // namespace

QuestionTexts wholeTexts(const Record& record) {
    QuestionTexts texts;
    texts[0] = decodeCp932(scrambledFieldText(fieldOf(record, 0, kQuestionTextBytes)));
    for (int k = 0; k < kChoiceCount; ++k) {
        texts[static_cast<std::size_t>(k + 1)] =
            decodeCp932(scrambledFieldText(fieldOf(record, choiceOffset(k), kChoiceTextBytes)));
    }
    return texts;
}

std::optional<std::string> roundTripProblem(const Record& record, const QuestionTexts& texts) {
    EncodedQuestion question;
    for (std::size_t f = 0; f < texts.size(); ++f) {
        if (texts[f].empty()) {
            return f == 0 ? "its question is empty, which kqd build refuses"
                          : "its choice " + std::to_string(f) + " is empty, which kqd build refuses";
        }
        EncodedText text = encodeFieldText(texts[f], f == 0 ? TextField::Question : TextField::Choice);
        (f == 0 ? question.text : question.choices[f - 1]) = std::move(text.bytes);
    }
    const std::optional<Record> again = encodeQuestionRecord(question);
    if (!again || *again != record) {
        return "its texts are not stored the way kqd build stores them";
    }
    for (std::size_t a = 0; a < question.choices.size(); ++a) {
        for (std::size_t b = a + 1; b < question.choices.size(); ++b) {
            if (question.choices[a] == question.choices[b]) {
                return "two of its choices are equal: build it with --allow-duplicates";
            }
        }
    }
    return std::nullopt;
}

bool QuizTable::needsGenreDirectives() const {
    for (std::size_t g = 0; g < genres.size(); ++g) {
        if (counts[g] == 0) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> readQuizTable(std::istream& in, QuizTable& table, std::vector<std::string>& warnings) {
    const QuizLayout layout = readQuizLayout(in);
    if (!layout.accepted()) {
        return describeLayout(layout);
    }
    std::size_t used = 0;
    for (std::size_t g = 0; g < layout.genres.size(); ++g) {
        if (!layout.genres[g].name.empty() || layout.genres[g].questionCount > 0) {
            used = g + 1;
        }
    }
    for (std::size_t g = 0; g < used; ++g) {
        table.genres.push_back(decodeCp932(layout.genres[g].name));
        table.counts.push_back(layout.genres[g].questionCount);
    }
    in.clear();
    in.seekg(static_cast<std::streamoff>(kHeadersSize));
    std::int32_t number = 0;
    for (int g = 0; g < kGenreCount; ++g) {
        for (int i = 0; i < layout.genres[static_cast<std::size_t>(g)].questionCount; ++i, ++number) {
            Record record;
            if (!in.read(record.data(), static_cast<std::streamsize>(record.size()))) {
                return "cannot read question " + std::to_string(number);
            }
            QuizTable::Row row{g, wholeTexts(record)};
            if (auto problem = roundTripProblem(record, row.texts)) {
                warnings.push_back("question " + std::to_string(number) + " (genre " + std::to_string(g) +
                                   ") will not come back byte for byte: " + *problem);
            }
            table.rows.push_back(std::move(row));
        }
    }
    return std::nullopt;
}

}  // namespace pp::kqd
