#include "tools/kqd/QuizDump.h"

#include <array>
#include <fstream>
#include <vector>

#include "authoring/QuizBuild.h"
#include "quizdata/QuizFile.h"
#include "record/Cp932.h"
#include "tools/common/Json.h"
#include "tools/common/QuizWriter.h"
#include "tools/common/Utf8.h"

namespace pp::kqd {
namespace {

constexpr int kShownWarnings = 10;

std::string utf8(std::u16string_view text) { return utf8FromUtf16(text); }

std::string plural(std::int64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string_view fieldOf(const Record& record, std::size_t offset, std::size_t size) {
    return {record.data() + offset, size};
}

// A question's texts whole, not cut to the game's buffers: the question, then the choices.
std::array<std::u16string, 1 + kChoiceCount> wholeTexts(const Record& record) {
    std::array<std::u16string, 1 + kChoiceCount> texts;
    texts[0] = decodeCp932(scrambledFieldText(fieldOf(record, 0, kQuestionTextBytes)));
    for (int k = 0; k < kChoiceCount; ++k) {
        texts[static_cast<std::size_t>(k + 1)] =
            decodeCp932(scrambledFieldText(fieldOf(record, choiceOffset(k), kChoiceTextBytes)));
    }
    return texts;
}

// A cell of an escaped table: backslashes, tabs and line breaks escaped, and a first cell that
// would make the line a comment or a blank line, or lose its spaces, escaped at its ends.
std::string escapedCell(std::u16string_view text, bool firstCell) {
    std::string out;
    const std::string bytes = utf8(text);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            // A genre's own spaces at either end are escaped: kqd build drops unescaped ones.
            const bool ideographicSpace = bytes.compare(i, 3, "\xE3\x80\x80") == 0;
            const bool lastCharacter = i + (ideographicSpace ? 3 : 1) == bytes.size();
            if (firstCell && ((i == 0 && (c == '#' || c == ' ' || ideographicSpace)) ||
                              (lastCharacter && (c == ' ' || ideographicSpace)))) {
                out += '\\';
            }
            out += c;
        }
    }
    return out;
}

// Counts the warnings of a table dump and prints the first few.
class RoundTripWarnings {
public:
    RoundTripWarnings(std::ostream& out) : out_(out) {}
    ~RoundTripWarnings() {
        if (count_ > kShownWarnings) {
            out_ << "kqd: warning: and " << plural(count_ - kShownWarnings, "more question") << " like these\n";
        }
    }

    void add(const std::string& what) {
        if (++count_ <= kShownWarnings) {
            out_ << "kqd: warning: " << what << '\n';
        }
    }

private:
    std::ostream& out_;
    std::int64_t count_ = 0;
};

// Why a table made of these texts would not give back `record` exactly, or nothing.
std::optional<std::string> roundTripProblem(const Record& record, const std::array<std::u16string, 1 + kChoiceCount>& texts) {
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

void checkGenres(const std::vector<GenreHeader>& headers, const std::vector<Record>& raw, RoundTripWarnings& warnings) {
    for (std::size_t g = 0; g < headers.size(); ++g) {
        const GenreHeader& header = headers[g];
        const std::u16string name = decodeCp932(header.name);
        const EncodedText again = encodeFieldText(name, TextField::GenreName);
        GenreHeader canonical{again.bytes, header.questionCount, 0, 0};
        if (!again.ok() || encodeGenreHeader(canonical) != raw[g]) {
            warnings.add("genre " + std::to_string(g) + ": its header is not stored the way kqd build stores it");
        } else if (header.questionCount > 0 && name.empty()) {
            warnings.add("genre " + std::to_string(g) + " has questions but no name, which kqd build refuses");
        }
        for (std::size_t e = 0; e < g; ++e) {
            if (!header.name.empty() && headers[e].name == header.name) {
                warnings.add("genres " + std::to_string(e) + " and " + std::to_string(g) +
                             " have the same name, which a table cannot tell apart");
            }
        }
    }
}

// The genre directives of a table: every genre up to the last one with a name or questions.
std::string genreDirectives(const std::vector<GenreHeader>& headers) {
    std::size_t used = 0;
    for (std::size_t g = 0; g < headers.size(); ++g) {
        if (!headers[g].name.empty() || headers[g].questionCount > 0) {
            used = g + 1;
        }
    }
    std::string out;
    for (std::size_t g = 0; g < used; ++g) {
        out += std::string(kDirectivePrefix) + " " + std::string(kGenreDirective) + " " +
               escapedCell(decodeCp932(headers[g].name), false) + "\n";
    }
    return out;
}

std::string headerText(DumpFormat format, const QuizLayout& layout) {
    std::string out;
    if (format == DumpFormat::Tsv) {
        out = std::string(kDirectivePrefix) + " " + std::string(kEscapesDirective) + "\n" +
              "# genre\tquestion\tright answer\twrong answer 1\twrong answer 2\twrong answer 3\twrong answer 4\n" +
              genreDirectives(layout.genres);
    } else if (format == DumpFormat::Text) {
        for (int g = 0; g < kGenreCount; ++g) {
            const GenreHeader& header = layout.genres[static_cast<std::size_t>(g)];
            out += "genre " + std::to_string(g) + " \"" + utf8(decodeGenreName(header).view()) +
                   "\": " + plural(header.questionCount, "question") + "\n";
        }
    } else {
        out = "{\"genres\":[";
        for (int g = 0; g < kGenreCount; ++g) {
            const GenreHeader& header = layout.genres[static_cast<std::size_t>(g)];
            out += (g == 0 ? "{\"name\":" : ",{\"name\":") + jsonString(decodeGenreName(header).view()) +
                   ",\"count\":" + std::to_string(header.questionCount) + "}";
        }
        out += "],\"questions\":[";
    }
    return out;
}

std::string questionText(DumpFormat format, std::int32_t number, int genre, const Record& record,
                         const std::string& genreCell) {
    std::string out;
    if (format == DumpFormat::Tsv) {
        out = genreCell;
        for (const std::u16string& text : wholeTexts(record)) {
            out += '\t' + escapedCell(text, false);
        }
        return out + "\n";
    }
    const DecodedQuestion question = decodeQuestionRecord(record);
    if (format == DumpFormat::Text) {
        out = "\nquestion " + std::to_string(number) + " (genre " + std::to_string(genre) +
              "): " + utf8(question.text.view()) + "\n";
        for (std::size_t k = 0; k < question.choices.size(); ++k) {
            out += (k == 0 ? "  right: " : "  wrong: ") + utf8(question.choices[k].view()) + "\n";
        }
        return out;
    }
    out = (number == 0 ? "{\"number\":" : ",{\"number\":") + std::to_string(number) +
          ",\"genre\":" + std::to_string(genre) + ",\"text\":" + jsonString(question.text.view()) + ",\"choices\":[";
    for (std::size_t k = 0; k < question.choices.size(); ++k) {
        out += (k == 0 ? "" : ",") + jsonString(question.choices[k].view());
    }
    return out + "]}";
}

}  // namespace

std::optional<std::string> dumpQuiz(std::istream& in, DumpFormat format, std::ostream& out, std::ostream& warnings) {
    const QuizLayout layout = readQuizLayout(in);
    if (!layout.accepted()) {
        return describeLayout(layout);
    }
    std::vector<Record> rawHeaders(static_cast<std::size_t>(kGenreCount));
    in.clear();
    in.seekg(0);
    for (Record& header : rawHeaders) {
        in.read(header.data(), static_cast<std::streamsize>(header.size()));
    }
    std::optional<RoundTripWarnings> roundTrip;
    if (format == DumpFormat::Tsv) {
        roundTrip.emplace(warnings);
        checkGenres(layout.genres, rawHeaders, *roundTrip);
    }
    out << headerText(format, layout);
    std::int32_t number = 0;
    for (int g = 0; g < kGenreCount && out; ++g) {
        const GenreHeader& header = layout.genres[static_cast<std::size_t>(g)];
        const std::string genreCell = escapedCell(decodeCp932(header.name), true);
        for (int i = 0; i < header.questionCount && out; ++i, ++number) {
            Record record;
            if (!in.read(record.data(), static_cast<std::streamsize>(record.size()))) {
                return "cannot read question " + std::to_string(number);
            }
            if (roundTrip) {
                if (auto problem = roundTripProblem(record, wholeTexts(record))) {
                    roundTrip->add("question " + std::to_string(number) + " (genre " + std::to_string(g) +
                                   ") will not come back byte for byte: " + *problem);
                }
            }
            out << questionText(format, number, g, record, genreCell);
        }
    }
    if (format == DumpFormat::Json) {
        out << "]}\n";
    }
    return std::nullopt;
}

std::optional<std::string> dumpQuiz(const std::filesystem::path& path, DumpFormat format, std::ostream& out,
                                    std::ostream& warnings) {
    std::error_code error;
    std::ifstream in;
    if (!std::filesystem::is_directory(path, error)) {
        in.open(path, std::ios::binary);
    }
    if (!in.is_open()) {
        return describeLayout(QuizLayout{{}, 0, 0, QuizFileProblem::CannotOpen, -1});
    }
    return dumpQuiz(in, format, out, warnings);
}

}  // namespace pp::kqd
