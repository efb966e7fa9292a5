#include "encoding/QuizWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "record/Cp932.h"
#include "record/Utf16.h"
#include "encoding/Utf8.h"

namespace pp {
namespace {

struct FormPair {
    char16_t from;
    char16_t to;
};

// What other systems' input methods type, and what Windows' code page 932 has instead.
constexpr std::array<FormPair, 6> kWindowsForms{{
    {u'\u301C', u'\uFF5E'},  // 〜 WAVE DASH -> ～ FULLWIDTH TILDE
    {u'\u2212', u'\uFF0D'},  // − MINUS SIGN -> － FULLWIDTH HYPHEN-MINUS
    {u'\u00A2', u'\uFFE0'},  // ¢ -> ￠
    {u'\u00A3', u'\uFFE1'},  // £ -> ￡
    {u'\u00AC', u'\uFFE2'},  // ¬ -> ￢
    {u'\u2016', u'\u2225'},  // ‖ DOUBLE VERTICAL LINE -> ∥ PARALLEL TO
}};

// Single bytes that the scrambled reader would take for something else: the pad, and the
// bytes it counts as lead bytes although code page 932 uses them alone.
bool misreadAlone(unsigned char byte) { return byte == 0xA0 || byte == 0x80 || byte >= 0xFD; }


// The character's bytes when they read back as the same character through the game's reader.
std::optional<std::string> storableForm(std::u16string_view character) {
    std::optional<std::string> bytes = encodeCp932(character);
    if (!bytes || decodeCp932(*bytes) != character) {
        return std::nullopt;
    }
    if (bytes->size() == 1 && misreadAlone(static_cast<unsigned char>((*bytes)[0]))) {
        return std::nullopt;
    }
    return bytes;
}

// The storable form of every BMP character after its Windows form is taken, worked out once:
// the byte, the lead and trail bytes (lead * 0x100 + trail), or 0 when it has none. A table
// keeps encoding a large quiz from converting each character twice.
const std::array<std::uint16_t, 0x10000>& storableForms() {
    static const auto forms = [] {
        auto table = std::make_unique<std::array<std::uint16_t, 0x10000>>();
        for (std::uint32_t c = 0; c < 0x10000; ++c) {
            const char16_t unit = static_cast<char16_t>(c);
            const std::u16string windows = toWindowsForms(std::u16string_view(&unit, 1));
            const std::optional<std::string> bytes = storableForm(windows);
            std::uint16_t form = 0;
            for (const char byte : bytes.value_or("")) {
                form = static_cast<std::uint16_t>(form << 8 | static_cast<unsigned char>(byte));
            }
            (*table)[c] = form;
        }
        return table;
    }();
    return *forms;
}

std::string utf8Of(char32_t c) {
    std::string out;
    appendUtf8(out, c);
    return out;
}

std::string hexCodePoint(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

std::string fieldName(int field) {
    return field == 0 ? std::string("question") : "choice " + std::to_string(field);
}

QuizWriteError textError(int genre, int question, int field, EncodedText text, TextField kind) {
    QuizWriteError error;
    error.genre = genre;
    error.question = question;
    error.field = field;
    error.message = "genre " + std::to_string(genre) +
                    (question < 0 ? std::string(" name")
                                  : " question " + std::to_string(question) + " " + fieldName(field)) +
                    ": " + describeTextProblem(text, kind);
    error.text = std::move(text);
    return error;
}

}  // namespace

std::u16string toWindowsForms(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        for (const FormPair& pair : kWindowsForms) {
            if (c == pair.from) {
                c = pair.to;
            }
        }
    }
    return out;
}

std::size_t fieldBytes(TextField field) {
    switch (field) {
        case TextField::GenreName: return kGenreNameBytes;
        case TextField::Question: return kQuestionTextBytes;
        case TextField::Choice: return kChoiceTextBytes;
    }
    return 0;
}

std::size_t fieldUnits(TextField field) {
    switch (field) {
        case TextField::GenreName: return kGenreNameUnits;
        case TextField::Question: return kQuestionTextUnits;
        case TextField::Choice: return kChoiceTextUnits;
    }
    return 0;
}

EncodedText encodeFieldText(std::u16string_view text, TextField field) {
    const auto& forms = storableForms();
    EncodedText encoded;
    encoded.bytes.resize(text.size() * 2);
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Code page 932 has nothing beyond the BMP, so a surrogate pair never has a form.
        const std::uint16_t form = isPairAt(text, i) ? 0 : forms[text[i]];
        if (form == 0) {
            encoded.bytes.resize(length);
            encoded.problem = TextProblem::NoCp932Form;
            encoded.unencodable = codePointAt(text, i);
            return encoded;
        }
        if (form > 0xFF) {
            encoded.bytes[length++] = static_cast<char>(form >> 8);
        }
        encoded.bytes[length++] = static_cast<char>(form & 0xFF);
    }
    encoded.bytes.resize(length);
    if (encoded.bytes.size() > fieldBytes(field)) {
        encoded.problem = TextProblem::TooLong;
    }
    // The Windows forms are one unit for one, so the game's buffer holds as many as `text` has.
    encoded.cutOnScreen = text.size() >= fieldUnits(field);
    return encoded;
}

std::string describeTextProblem(const EncodedText& text, TextField field) {
    switch (text.problem) {
        case TextProblem::None:
            return "fits";
        case TextProblem::NoCp932Form:
            return "the character " + hexCodePoint(text.unencodable) + " \"" + utf8Of(text.unencodable) +
                   "\" has no code page 932 form";
        case TextProblem::TooLong:
            return "the text takes " + std::to_string(text.bytes.size()) +
                   " bytes in code page 932, the field holds " + std::to_string(fieldBytes(field));
    }
    return "unknown problem";
}

std::optional<Record> encodeQuestionRecord(const EncodedQuestion& question) {
    Record record{};
    std::span<char> all(record);
    if (!scramble(question.text, all.subspan(0, kQuestionTextBytes))) {
        return std::nullopt;
    }
    for (int k = 0; k < kChoiceCount; ++k) {
        if (!scramble(question.choices[static_cast<std::size_t>(k)], all.subspan(choiceOffset(k), kChoiceTextBytes))) {
            return std::nullopt;
        }
    }
    return record;
}

std::optional<std::string> layOutQuizFile(const std::vector<EncodedGenre>& genres) {
    if (genres.size() > static_cast<std::size_t>(kGenreCount)) {
        return std::nullopt;
    }
    std::string file;
    for (int g = 0; g < kGenreCount; ++g) {
        GenreHeader header;
        if (static_cast<std::size_t>(g) < genres.size()) {
            const EncodedGenre& genre = genres[static_cast<std::size_t>(g)];
            if (genre.name.size() > kGenreNameBytes || genre.questions.size() > kMaxGenreQuestions ||
                genre.name.find('\0') != std::string::npos) {
                return std::nullopt;
            }
            header.name = genre.name;
            header.questionCount = static_cast<std::int16_t>(genre.questions.size());
        }
        const Record record = encodeGenreHeader(header);
        file.append(record.data(), record.size());
    }
    for (const EncodedGenre& genre : genres) {
        for (const EncodedQuestion& question : genre.questions) {
            const std::optional<Record> record = encodeQuestionRecord(question);
            if (!record) {
                return std::nullopt;
            }
            file.append(record->data(), record->size());
        }
    }
    return file;
}

std::variant<std::string, QuizWriteError> buildQuizFile(const std::vector<QuizGenre>& genres) {
    if (genres.size() > static_cast<std::size_t>(kGenreCount)) {
        QuizWriteError error;
        error.kind = QuizWriteError::Kind::TooManyGenres;
        error.genre = kGenreCount;
        error.message = std::to_string(genres.size()) + " genres, a quiz file holds at most 8";
        return error;
    }
    std::vector<EncodedGenre> encoded(genres.size());
    for (std::size_t g = 0; g < genres.size(); ++g) {
        const int genre = static_cast<int>(g);
        EncodedText name = encodeFieldText(genres[g].name, TextField::GenreName);
        if (!name.ok()) {
            return textError(genre, -1, 0, std::move(name), TextField::GenreName);
        }
        encoded[g].name = std::move(name.bytes);
        if (genres[g].questions.size() > kMaxGenreQuestions) {
            QuizWriteError error;
            error.kind = QuizWriteError::Kind::TooManyQuestions;
            error.genre = genre;
            error.message = "genre " + std::to_string(g) + " has " + std::to_string(genres[g].questions.size()) +
                            " questions, a genre holds at most " + std::to_string(kMaxGenreQuestions);
            return error;
        }
        for (std::size_t q = 0; q < genres[g].questions.size(); ++q) {
            const QuizQuestion& source = genres[g].questions[q];
            EncodedQuestion& target = encoded[g].questions.emplace_back();
            for (int field = 0; field <= kChoiceCount; ++field) {
                const TextField kind = field == 0 ? TextField::Question : TextField::Choice;
                const std::u16string& text = field == 0 ? source.text : source.choices[static_cast<std::size_t>(field - 1)];
                EncodedText bytes = encodeFieldText(text, kind);
                if (!bytes.ok()) {
                    return textError(genre, static_cast<int>(q), field, std::move(bytes), kind);
                }
                (field == 0 ? target.text : target.choices[static_cast<std::size_t>(field - 1)]) = std::move(bytes.bytes);
            }
        }
    }
    std::optional<std::string> file = layOutQuizFile(encoded);
    if (!file) {
        QuizWriteError error;
        error.message = "the quiz could not be laid out";
        return error;
    }
    return std::move(*file);
}

}  // namespace pp
