#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <variant>
#include <vector>

#include "encoding/QuizWriter.h"

namespace pp::test {

// A folder of its own under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> serial{0};
        path_ = std::filesystem::temp_directory_path() /
                ("perna-quizdata-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Texts that say where they belong, so a test can tell which question was read.
inline std::u16string questionLabel(int genre, int index) {
    return u"問" + u16(std::to_string(genre) + "-" + std::to_string(index));
}
inline std::u16string choiceLabel(int genre, int index, int storedChoice) {
    return (storedChoice == 0 ? u"正" : u"誤") +
           u16(std::to_string(genre) + "-" + std::to_string(index) + "-" + std::to_string(storedChoice));
}

// A quiz with `counts[g]` labelled questions in genre g (up to eight genres).
inline std::vector<QuizGenre> labelledQuiz(const std::vector<int>& counts) {
    std::vector<QuizGenre> genres;
    for (std::size_t g = 0; g < counts.size(); ++g) {
        const int genre = static_cast<int>(g);
        QuizGenre& target = genres.emplace_back();
        target.name = u"ジャンル" + u16(std::to_string(genre));
        for (int i = 0; i < counts[g]; ++i) {
            QuizQuestion& question = target.questions.emplace_back();
            question.text = questionLabel(genre, i);
            for (int k = 0; k < kChoiceCount; ++k) {
                question.choices[static_cast<std::size_t>(k)] = choiceLabel(genre, i, k);
            }
        }
    }
    return genres;
}

// The bytes of a quiz file built with the same encoder as `kqd build`.
inline std::string quizBytes(const std::vector<QuizGenre>& genres) {
    auto built = buildQuizFile(genres);
    if (auto* error = std::get_if<QuizWriteError>(&built)) {
        ADD_FAILURE() << "fixture does not encode: " << error->message;
        return {};
    }
    return std::get<std::string>(built);
}

// Overwrites genre `genre`'s stored question count, to make files no writer would make.
inline void patchCount(std::string& file, int genre, std::int16_t count) {
    const std::size_t at = kRecordSize * static_cast<std::size_t>(genre) + kHeaderCountOffset;
    file[at] = static_cast<char>(static_cast<std::uint16_t>(count) & 0xFF);
    file[at + 1] = static_cast<char>(static_cast<std::uint16_t>(count) >> 8);
}

}  // namespace pp::test
