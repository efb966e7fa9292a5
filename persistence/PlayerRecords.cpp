#include "persistence/PlayerRecords.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>
#include <system_error>

#include "persistence/DataFile.h"
#include "persistence/SafeFile.h"

namespace pp {
namespace {

using Json = nlohmann::json;

constexpr int kVersion = 1;
// Larger than any file of ours: a larger one is damaged, or no file of ours.
constexpr std::size_t kLargestRecordsFile = 4 * 1024 * 1024;

// Path bytes as ASCII, so that a name that is no UTF-8 survives the JSON text.
std::string encodeBytes(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '%') {
            out += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            out += escaped;
        }
    }
    return out;
}

std::optional<std::string> decodeBytes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        unsigned byte = 0;
        if (std::sscanf(std::string(text.substr(i + 1, 2)).c_str(), "%2x", &byte) != 1) {
            return std::nullopt;
        }
        out += static_cast<char>(byte);
        i += 2;
    }
    return out;
}

Json quizJson(const QuizFingerprint& quiz) {
    return Json{{"path", encodeBytes(quiz.path)},
                {"size", quiz.size},
                {"modified", quiz.modified},
                {"hash", std::to_string(quiz.hash)}};
}

QuizFingerprint quizFrom(const Json& value) {
    QuizFingerprint quiz;
    quiz.path = decodeBytes(value.at("path").get<std::string>()).value();
    quiz.size = value.at("size").get<std::int64_t>();
    quiz.modified = value.at("modified").get<std::int64_t>();
    quiz.hash = std::stoull(value.at("hash").get<std::string>());
    return quiz;
}

// Names hold only characters of code page 932, so their UTF-8 form is always whole.
std::string utf8Name(std::u16string_view name) {
    const std::u8string text = std::filesystem::path(std::u16string(name)).u8string();
    return {text.begin(), text.end()};
}

std::u16string nameFrom(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end())).u16string();
}

std::int16_t scoreFrom(const Json& value) {
    const auto score = value.get<std::int64_t>();
    if (score < std::numeric_limits<std::int16_t>::min() || score > std::numeric_limits<std::int16_t>::max()) {
        throw std::out_of_range("score");
    }
    return static_cast<std::int16_t>(score);
}

template <typename Decoded>
std::optional<Decoded> readRecords(const std::filesystem::path& file, DataFileState& state,
                                   std::optional<Decoded> (*decode)(std::string_view)) {
    std::optional<Decoded> decoded;
    const DataFileRead read = readDataFile(file, kLargestRecordsFile, [&](std::string_view bytes) {
        decoded = decode(bytes);
        return decoded.has_value();
    });
    state = read.state;
    return read.state == DataFileState::Read ? decoded : std::nullopt;
}

bool writable(DataFileState state) {
    return state == DataFileState::Missing || state == DataFileState::Read || state == DataFileState::KeptAside;
}

FileStatus writeRecords(const std::filesystem::path& file, const std::string& text) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    return replaceFileContents(file, text);
}

}  // namespace

std::string encodeResumePoint(const ResumePoint& point) {
    const Json json{{"version", kVersion},
                    {"quiz", quizJson(point.quiz)},
                    {"review", point.reviewQuestions},
                    {"question", point.questionIndex},
                    {"score", point.score},
                    {"genreCorrect", point.genreCorrect},
                    {"genreAnswered", point.genreAnswered}};
    return json.dump() + "\n";
}

std::optional<ResumePoint> decodeResumePoint(std::string_view text) {
    try {
        const Json json = Json::parse(text);
        if (json.at("version").get<int>() != kVersion) {
            return std::nullopt;
        }
        ResumePoint point;
        point.quiz = quizFrom(json.at("quiz"));
        point.reviewQuestions = json.at("review").get<std::vector<std::int32_t>>();
        point.questionIndex = json.at("question").get<std::int32_t>();
        point.score = scoreFrom(json.at("score"));
        point.genreCorrect = json.at("genreCorrect").get<std::array<std::int32_t, kGenreCount>>();
        point.genreAnswered = json.at("genreAnswered").get<std::array<std::int32_t, kGenreCount>>();
        if (point.questionIndex < 0) {
            return std::nullopt;
        }
        return point;
    } catch (const std::exception&) {
        return std::nullopt;  // not our shape: the caller keeps the file aside
    }
}

std::optional<ResumePoint> loadResumePoint(const std::filesystem::path& file) {
    DataFileState state{};
    return readRecords<ResumePoint>(file, state, decodeResumePoint);
}

FileStatus saveResumePoint(const std::filesystem::path& file, const std::optional<ResumePoint>& point) {
    if (!point) {
        std::error_code error;
        const auto type = std::filesystem::symlink_status(file, error).type();
        if (type == std::filesystem::file_type::regular || type == std::filesystem::file_type::symlink) {
            std::filesystem::remove(file, error);
        }
        return error ? FileStatus::ReadOnly : FileStatus::Ok;
    }
    const DataFileRead found = checkDataFile(file, kLargestRecordsFile);
    if (!writable(found.state)) {
        return FileStatus::NotAFile;
    }
    return writeRecords(file, encodeResumePoint(*point));
}

std::string encodeFileRankings(const std::vector<FileRanking>& rankings) {
    Json files = Json::array();
    for (const FileRanking& ranking : rankings) {
        Json rows = Json::array();
        for (const RankEntry& row : ranking.rows) {
            rows.push_back({{"name", utf8Name(row.name.view())}, {"score", row.score}});
        }
        files.push_back({{"quiz", quizJson(ranking.quiz)}, {"rows", rows}});
    }
    return Json{{"version", kVersion}, {"quizzes", files}}.dump() + "\n";
}

std::optional<std::vector<FileRanking>> decodeFileRankings(std::string_view text) {
    try {
        const Json json = Json::parse(text);
        if (json.at("version").get<int>() != kVersion) {
            return std::nullopt;
        }
        std::vector<FileRanking> rankings;
        for (const Json& file : json.at("quizzes")) {
            FileRanking ranking;
            ranking.quiz = quizFrom(file.at("quiz"));
            const Json& rows = file.at("rows");
            for (std::size_t i = 0; i < ranking.rows.size() && i < rows.size(); ++i) {
                ranking.rows[i].name = nameFrom(rows[i].at("name").get<std::string>());
                ranking.rows[i].score = scoreFrom(rows[i].at("score"));
            }
            rankings.push_back(std::move(ranking));
        }
        return rankings;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::array<RankEntry, kRankingRows> loadFileRanking(const std::filesystem::path& file, const QuizFingerprint& quiz) {
    DataFileState state{};
    const auto rankings = readRecords<std::vector<FileRanking>>(file, state, decodeFileRankings);
    if (rankings) {
        for (const FileRanking& ranking : *rankings) {
            if (ranking.quiz == quiz) {
                return ranking.rows;
            }
        }
    }
    return {};
}

FileStatus saveFileRanking(const std::filesystem::path& file, const QuizFingerprint& quiz,
                           const std::array<RankEntry, kRankingRows>& rows) {
    DataFileState state{};
    std::vector<FileRanking> rankings =
        readRecords<std::vector<FileRanking>>(file, state, decodeFileRankings).value_or(std::vector<FileRanking>{});
    if (!writable(state)) {
        return FileStatus::NotAFile;
    }
    // One ranking per path: a file changed since starts a new one in its place.
    std::erase_if(rankings, [&](const FileRanking& ranking) { return ranking.quiz.path == quiz.path; });
    rankings.insert(rankings.begin(), FileRanking{quiz, rows});
    if (rankings.size() > kRankedFiles) {
        rankings.resize(kRankedFiles);
    }
    return writeRecords(file, encodeFileRankings(rankings));
}

}  // namespace pp
