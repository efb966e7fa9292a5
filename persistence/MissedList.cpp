#include "persistence/MissedList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <system_error>

namespace pp {
namespace {

constexpr int kFormatVersion = 2;
// Version 1 hashed whole quiz files; its lists match no fingerprint now.
constexpr int kWholeFileHashVersion = 1;
// Deep enough for the shape above; deeper text is refused instead of exhausting the stack.
constexpr int kDeepestNesting = 8;

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
// A quiz file up to this size (4,000 questions) is hashed whole; a larger one from its time and
// samples: the first block, one at every fifth of the file, and the last.
constexpr std::size_t kWholeHashLimit = 1024 * 1024;
constexpr std::size_t kFingerprintBlock = 4096;
constexpr int kFingerprintParts = 5;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

struct Member;

// A parsed JSON value: just enough of JSON for this one file. An object's members are a type of
// their own, declared after it: clang's checks on std::pair reject a pair holding the type that
// is still being defined.
struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    std::int64_t number = 0;
    std::string text;
    std::vector<Value> items;
    std::vector<Member> members;

    [[nodiscard]] const Value* member(std::string_view name) const;
};

struct Member {
    std::string key;
    Value value;
};

const Value* Value::member(std::string_view name) const {
    for (const Member& found : members) {
        if (found.key == name) {
            return &found.value;
        }
    }
    return nullptr;
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<Value> document() {
        std::optional<Value> value = parseValue(0);
        skipSpace();
        if (!value || position_ != text_.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    void skipSpace() {
        while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t' ||
                                            text_[position_] == '\n' || text_[position_] == '\r')) {
            ++position_;
        }
    }

    bool take(char c) {
        skipSpace();
        if (position_ < text_.size() && text_[position_] == c) {
            ++position_;
            return true;
        }
        return false;
    }

    bool takeWord(std::string_view word) {
        if (text_.substr(position_, word.size()) == word) {
            position_ += word.size();
            return true;
        }
        return false;
    }

    std::optional<Value> parseValue(int depth) {
        if (depth > kDeepestNesting) {
            return std::nullopt;
        }
        skipSpace();
        if (position_ >= text_.size()) {
            return std::nullopt;
        }
        Value value;
        const char c = text_[position_];
        if (c == '{') {
            ++position_;
            value.kind = Value::Kind::Object;
            if (take('}')) {
                return value;
            }
            do {
                skipSpace();
                std::optional<std::string> key = parseString();
                if (!key || !take(':')) {
                    return std::nullopt;
                }
                std::optional<Value> member = parseValue(depth + 1);
                if (!member) {
                    return std::nullopt;
                }
                value.members.push_back(Member{std::move(*key), std::move(*member)});
            } while (take(','));
            return take('}') ? std::optional(std::move(value)) : std::nullopt;
        }
        if (c == '[') {
            ++position_;
            value.kind = Value::Kind::Array;
            if (take(']')) {
                return value;
            }
            do {
                std::optional<Value> item = parseValue(depth + 1);
                if (!item) {
                    return std::nullopt;
                }
                value.items.push_back(std::move(*item));
            } while (take(','));
            return take(']') ? std::optional(std::move(value)) : std::nullopt;
        }
        if (c == '"') {
            std::optional<std::string> text = parseString();
            if (!text) {
                return std::nullopt;
            }
            value.kind = Value::Kind::String;
            value.text = std::move(*text);
            return value;
        }
        if (takeWord("true") || takeWord("false")) {
            value.kind = Value::Kind::Bool;
            value.number = text_[position_ - 4] == 't' ? 1 : 0;  // "true" ends four back; "false" has 'a' there
            return value;
        }
        if (takeWord("null")) {
            return value;
        }
        return parseNumber();
    }

    // Whole numbers only: every number of the file is one.
    std::optional<Value> parseNumber() {
        const char* begin = text_.data() + position_;
        const char* end = text_.data() + text_.size();
        Value value;
        value.kind = Value::Kind::Number;
        const auto [stop, error] = std::from_chars(begin, end, value.number);
        if (error != std::errc() || (stop < end && (*stop == '.' || *stop == 'e' || *stop == 'E'))) {
            return std::nullopt;
        }
        position_ += static_cast<std::size_t>(stop - begin);
        return value;
    }

    std::optional<std::string> parseString() {
        if (position_ >= text_.size() || text_[position_] != '"') {
            return std::nullopt;
        }
        ++position_;
        std::string out;
        while (position_ < text_.size()) {
            const char c = text_[position_++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return std::nullopt;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (position_ >= text_.size()) {
                return std::nullopt;
            }
            const char escaped = text_[position_++];
            switch (escaped) {
                case '"': case '\\': case '/': out += escaped; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    // Our writer never escapes this way; other text keeps the code as a '?'.
                    if (position_ + 4 > text_.size()) {
                        return std::nullopt;
                    }
                    position_ += 4;
                    out += '?';
                    break;
                }
                default: return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t position_ = 0;
};

bool plainPathByte(unsigned char byte) { return byte >= 0x20 && byte < 0x7F && byte != '%' && byte != '"' && byte != '\\'; }

std::string encodePath(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (plainPathByte(byte)) {
            out += c;
        } else {
            std::array<char, 4> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "%%%02X", byte);
            out += escaped.data();
        }
    }
    return out;
}

std::optional<std::string> decodePath(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned byte = 0;
        if (i + 2 >= text.size() ||
            std::from_chars(text.data() + i + 1, text.data() + i + 3, byte, 16).ptr != text.data() + i + 3) {
            return std::nullopt;
        }
        out += static_cast<char>(byte);
        i += 2;
    }
    return out;
}

std::string hexHash(std::uint64_t hash) {
    std::array<char, 17> text{};
    std::snprintf(text.data(), text.size(), "%016llx", static_cast<unsigned long long>(hash));
    return text.data();
}

std::optional<MissedAnswer> decodeAnswer(const Value& value) {
    const Value* question = value.member("question");
    const Value* choice = value.member("choice");
    if (question == nullptr || choice == nullptr || question->kind != Value::Kind::Number ||
        choice->kind != Value::Kind::Number) {
        return std::nullopt;
    }
    // Choice 0 is the right answer, never a miss.
    const bool choiceInRange = choice->number == kNoChoice || (choice->number >= 1 && choice->number <= 4);
    if (question->number < 0 || question->number > std::numeric_limits<std::int32_t>::max() || !choiceInRange) {
        return std::nullopt;
    }
    return MissedAnswer{static_cast<std::int32_t>(question->number), static_cast<std::int16_t>(choice->number)};
}

std::optional<MissedListEntry> decodeEntry(const Value& value) {
    const Value* path = value.member("path");
    const Value* size = value.member("size");
    const Value* modified = value.member("modified");
    const Value* hash = value.member("hash");
    const Value* missed = value.member("missed");
    if (path == nullptr || size == nullptr || modified == nullptr || hash == nullptr || missed == nullptr ||
        path->kind != Value::Kind::String || size->kind != Value::Kind::Number || modified->kind != Value::Kind::Number ||
        hash->kind != Value::Kind::String || missed->kind != Value::Kind::Array || size->number < 0) {
        return std::nullopt;
    }
    MissedListEntry entry;
    std::optional<std::string> bytes = decodePath(path->text);
    std::uint64_t parsedHash = 0;
    const auto [end, error] = std::from_chars(hash->text.data(), hash->text.data() + hash->text.size(), parsedHash, 16);
    if (!bytes || error != std::errc() || end != hash->text.data() + hash->text.size() || hash->text.empty()) {
        return std::nullopt;
    }
    entry.quiz = QuizFingerprint{std::move(*bytes), size->number, modified->number, parsedHash};
    for (const Value& item : missed->items) {
        if (std::optional<MissedAnswer> answer = decodeAnswer(item)) {
            entry.missed.push_back(*answer);
        }
    }
    return entry;
}

// The lists in `file`, and what the file was found to be: missing, read, or kept aside (and then
// no lists); the caller writes only when `read.state` allows it.
std::vector<MissedListEntry> readLists(const std::filesystem::path& file, MissedListNotice& notice) {
    std::optional<std::vector<MissedListEntry>> entries;
    const DataFileRead read = readDataFile(file, kLargestMissedListFile, [&](std::string_view bytes) {
        entries = decodeMissedLists(bytes);
        return entries.has_value();
    });
    notice = MissedListNotice{read.state, read.keptAs};
    return read.state == DataFileState::Read && entries ? std::move(*entries) : std::vector<MissedListEntry>{};
}

bool writable(const MissedListNotice& notice) {
    return notice.state == DataFileState::Missing || notice.state == DataFileState::Read ||
           notice.state == DataFileState::KeptAside;
}

FileStatus writeLists(const std::filesystem::path& file, const std::vector<MissedListEntry>& entries) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    return replaceFileContents(file, encodeMissedLists(entries));
}

// FNV-1a over `bytes`, continued from `hash`.
std::uint64_t fnv(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    }
    return hash;
}

}  // namespace

// Hashes the whole file: a small file, so exactly, whatever its times say.
bool hashWhole(int fd, QuizFingerprint& print) {
    std::string bytes(static_cast<std::size_t>(print.size), '\0');
    std::size_t filled = 0;
    for (ssize_t got = 1; got > 0 && filled < bytes.size(); filled += static_cast<std::size_t>(got)) {
        got = ::pread(fd, bytes.data() + filled, bytes.size() - filled, static_cast<off_t>(filled));
        if (got < 0) {
            return false;
        }
    }
    print.hash = fnv(print.hash, std::string_view(bytes.data(), filled));
    return true;
}

// A large file: its time, its headers, a block at every fifth of it and its last block; a
// rebuilt quiz differs there even when its size does not.
bool hashSamples(int fd, QuizFingerprint& print, const struct stat& info) {
    print.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    std::array<char, kFingerprintBlock> block{};
    for (int part = 0; part <= kFingerprintParts; ++part) {
        const std::int64_t offset = part == kFingerprintParts
                                        ? std::max<std::int64_t>(0, print.size - std::int64_t{kFingerprintBlock})
                                        : print.size / kFingerprintParts * part;
        const ssize_t got = ::pread(fd, block.data(), block.size(), offset);
        if (got < 0) {
            return false;
        }
        print.hash = fnv(print.hash, std::string_view(block.data(), static_cast<std::size_t>(got)));
    }
    return true;
}

std::optional<QuizFingerprint> fingerprintQuizFile(const std::filesystem::path& path) {
    // Looked at before it is opened: opening a device may already do something.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) {
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    QuizFingerprint print{path.native(), 0, 0, kFnvOffset};
    bool readWell = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (readWell) {
        print.size = info.st_size;
        readWell = print.size <= static_cast<std::int64_t>(kWholeHashLimit) ? hashWhole(fd, print) : hashSamples(fd, print, info);
    }
    (void)::close(fd);
    return readWell ? std::optional(print) : std::nullopt;
}

std::string encodeMissedLists(const std::vector<MissedListEntry>& entries) {
    std::string out = "{\"version\":" + std::to_string(kFormatVersion) + ",\"quizzes\":[";
    for (std::size_t e = 0; e < entries.size(); ++e) {
        const MissedListEntry& entry = entries[e];
        out += e == 0 ? "\n" : ",\n";
        out += "{\"path\":\"" + encodePath(entry.quiz.path) + "\",\"size\":" + std::to_string(entry.quiz.size) +
               ",\"modified\":" + std::to_string(entry.quiz.modified) + ",\"hash\":\"" + hexHash(entry.quiz.hash) + "\",\"missed\":[";
        for (std::size_t m = 0; m < entry.missed.size(); ++m) {
            out += (m == 0 ? "" : ",");
            out += "{\"question\":" + std::to_string(entry.missed[m].question) +
                   ",\"choice\":" + std::to_string(entry.missed[m].choice) + "}";
        }
        out += "]}";
    }
    out += "]}\n";
    return out;
}

std::optional<std::vector<MissedListEntry>> decodeMissedLists(std::string_view text) {
    const std::optional<Value> document = Reader(text).document();
    if (!document || document->kind != Value::Kind::Object) {
        return std::nullopt;
    }
    const Value* version = document->member("version");
    const Value* quizzes = document->member("quizzes");
    if (version == nullptr || version->kind != Value::Kind::Number || quizzes == nullptr ||
        quizzes->kind != Value::Kind::Array) {
        return std::nullopt;
    }
    std::vector<MissedListEntry> entries;
    if (version->number == kWholeFileHashVersion) {
        return entries;
    }
    if (version->number != kFormatVersion) {
        return std::nullopt;  // a newer game's file: not ours to read, nor to write over
    }
    for (const Value& item : quizzes->items) {
        if (std::optional<MissedListEntry> entry = decodeEntry(item)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::vector<MissedAnswer> loadMissedList(const std::filesystem::path& file, const QuizFingerprint& quiz,
                                         MissedListNotice* notice) {
    MissedListNotice found;
    std::vector<MissedListEntry> entries = readLists(file, found);
    if (notice != nullptr) {
        *notice = found;
    }
    const auto stale = std::find_if(entries.begin(), entries.end(),
                                    [&](const MissedListEntry& entry) { return entry.quiz.path == quiz.path; });
    if (stale == entries.end()) {
        return {};
    }
    if (stale->quiz == quiz) {
        return stale->missed;
    }
    // The questions were numbered in another content: the list no longer says which were missed.
    entries.erase(stale);
    writeLists(file, entries);
    return {};
}

FileStatus saveMissedList(const std::filesystem::path& file, const QuizFingerprint& quiz,
                          const std::vector<MissedAnswer>& missed, MissedListNotice* notice) {
    MissedListNotice found;
    std::vector<MissedListEntry> entries = readLists(file, found);
    if (notice != nullptr) {
        *notice = found;
    }
    if (!writable(found)) {
        return FileStatus::NotAFile;
    }
    std::erase_if(entries, [&](const MissedListEntry& entry) { return entry.quiz.path == quiz.path; });
    entries.insert(entries.begin(), MissedListEntry{quiz, missed});
    if (entries.size() > kMissedListFiles) {
        entries.resize(kMissedListFiles);
    }
    return writeLists(file, entries);
}

}  // namespace pp
