#include "persistence/SettingsFile.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "persistence/StoredName.h"
#include "record/Cp932.h"

namespace pp {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr char kFieldSeparator = ',';

// The score field holds at most five characters; every score from -9999 to 32767 fits.
constexpr std::size_t kScoreFieldChars = 5;
constexpr std::int16_t kLowestStoredScore = -9999;

// A well-formed file is 291 bytes at most; reading stops well past that, so a huge file
// cannot stall the start.
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

// The options in the order of the first line.
constexpr std::array kOptionFields{&Options::soundEffects, &Options::showCorrectAnswer,
                                   &Options::timeLimit, &Options::gradualReveal,
                                   &Options::studyMode};

// Hands out the lines of the file one by one. A line ends at CR LF, at a CR or LF alone, or at
// the end of the bytes, so a hand-edited file with other line ends still reads line by line.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : rest_(bytes) {}

    // The next line without its end; nothing once the bytes are used up.
    std::optional<std::string_view> next() {
        if (!hasRest_) {
            return std::nullopt;
        }
        const std::size_t end = rest_.find_first_of(kLineEnd);
        if (end == std::string_view::npos) {
            const std::string_view line = rest_;
            hasRest_ = false;
            return line.empty() ? std::nullopt : std::optional(line);
        }
        const std::string_view line = rest_.substr(0, end);
        const bool crLf = rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n';
        rest_.remove_prefix(end + (crLf ? 2 : 1));
        return line;
    }

private:
    std::string_view rest_;
    bool hasRest_ = true;
};

std::string scoreText(std::int16_t score) {
    return std::to_string(std::max(score, kLowestStoredScore));
}

bool isAtoiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atoi's reading of `text` (leading white space, a sign, digits up to the first other
// character, 0 when there are none), with only the low 16 bits kept as a signed value.
std::int16_t scoreFromText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isAtoiSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned arithmetic wraps instead of overflowing and keeps the low bits exact.
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFFu));
}

// Reads the flags at bytes 0, 2, 4, 6 and 8 of the first line; only "1" is on. A flag the line
// is too short to hold keeps its default, so an empty file reads as the defaults.
Options decodeOptions(std::string_view line) {
    Options options = kDefaultOptions;
    for (std::size_t i = 0; i < kOptionFields.size(); ++i) {
        const std::size_t position = 2 * i;
        if (position < line.size()) {
            options.*kOptionFields[i] = line[position] == '1' ? 1 : 0;
        }
    }
    return options;
}

// One ranking line: the name up to the first ",", the score after it. A line without "," is an
// empty entry with score 0; a field longer than its width is cut to it.
RankEntry decodeRankingLine(std::string_view line) {
    RankEntry entry;
    const std::size_t separator = line.find(kFieldSeparator);
    if (separator == std::string_view::npos) {
        return entry;
    }
    std::string_view name = line.substr(0, separator);
    name = name.substr(0, cp932FittingLength(name, kNameFieldBytes));
    // A byte without a character reads as the "?" that the next save writes for it, so the
    // ranking reads the same before and after a save.
    std::u16string decoded = decodeCp932(name);
    std::replace(decoded.begin(), decoded.end(), u'\uFFFD', u'?');
    entry.name = decoded;
    entry.score = scoreFromText(line.substr(separator + 1, kScoreFieldChars));
    return entry;
}

}  // namespace

std::filesystem::path settingsPathIn(const std::filesystem::path& documentsFolder) {
    return documentsFolder / std::filesystem::path(kSettingsFileName);
}

std::string encodeSettings(const GameState& state) {
    std::string bytes;
    for (std::size_t i = 0; i < kOptionFields.size(); ++i) {
        if (i > 0) {
            bytes += kFieldSeparator;
        }
        bytes += state.options.*kOptionFields[i] == 1 ? '1' : '0';
    }
    bytes += kLineEnd;
    for (const RankEntry& entry : state.ranking) {
        bytes += nameFieldBytes(entry.name.view());
        bytes += kFieldSeparator;
        bytes += scoreText(entry.score);
        bytes += kLineEnd;
    }
    return bytes;
}

void decodeSettings(std::string_view bytes, GameState& state) {
    LineReader lines(bytes);
    state.options = decodeOptions(lines.next().value_or(std::string_view{}));
    for (RankEntry& entry : state.ranking) {
        entry = decodeRankingLine(lines.next().value_or(std::string_view{}));
    }
}

FileStatus saveSettings(const GameState& state, const std::filesystem::path& path) {
    return saveSettings(state, path, {});
}

FileStatus saveSettings(const GameState& state, const std::filesystem::path& path,
                        const BeforeReplace& beforeReplace) {
    return replaceFileContents(path, encodeSettings(state), beforeReplace);
}

std::array<RankEntry, kRankingRows> mergeRankings(const std::array<RankEntry, kRankingRows>& mine,
                                                  const std::array<RankEntry, kRankingRows>& theirs) {
    const auto same = [](const RankEntry& a, const RankEntry& b) { return a.score == b.score && a.name.view() == b.name.view(); };
    const auto empty = [](const RankEntry& entry) { return entry.score == 0 && entry.name.empty(); };
    std::vector<RankEntry> rows;
    for (const RankEntry& entry : mine) {
        if (!empty(entry)) {
            rows.push_back(entry);
        }
    }
    // An entry both hold is one entry; one the other holds twice (two games of equal score by
    // one name) stays twice.
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        const RankEntry& entry = theirs[i];
        const auto theirCount = std::count_if(theirs.begin(), theirs.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                              [&](const RankEntry& other) { return same(other, entry); });
        const auto myCount = std::count_if(mine.begin(), mine.end(), [&](const RankEntry& other) { return same(other, entry); });
        if (!empty(entry) && theirCount > myCount) {
            rows.push_back(entry);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const RankEntry& a, const RankEntry& b) { return a.score > b.score; });
    std::array<RankEntry, kRankingRows> merged{};
    std::copy_n(rows.begin(), std::min(rows.size(), merged.size()), merged.begin());
    return merged;
}

FileStatus saveSettingsMerging(GameState& state, const std::filesystem::path& path) {
    const FileHead head = readFileHead(path, kMaxSettingsBytes);
    if (head.bytes) {
        GameState onDisk;
        decodeSettings(*head.bytes, onDisk);
        state.ranking = mergeRankings(state.ranking, onDisk.ranking);
    } else if (!head.missing) {
        return FileStatus::Unreadable;
    }
    return saveSettings(state, path);
}

FileStatus loadSettings(GameState& state, const std::filesystem::path& path, bool createWhenMissing) {
    const FileHead head = readFileHead(path, kMaxSettingsBytes);
    if (head.bytes) {
        decodeSettings(*head.bytes, state);
        return FileStatus::Ok;
    }
    // Without a file, or without one that can be read, the game starts from the defaults.
    state.options = kDefaultOptions;
    state.ranking = {};
    if (!head.missing) {
        return FileStatus::Unreadable;  // there but unreadable: leave it, ranking and all, alone
    }
    return createWhenMissing ? saveSettings(state, path) : FileStatus::NoFolder;
}

}  // namespace pp
