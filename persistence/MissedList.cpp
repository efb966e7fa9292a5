#include "persistence/MissedList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <system_error>

#include <nlohmann/json.hpp>

namespace pp {
namespace {

constexpr int kFormatVersion = 2;
// Version 1 hashed whole quiz files; its lists match no fingerprint now.
constexpr int kWholeFileHashVersion = 1;
// Deep enough for the shape above; deeper text is refused rather than built up in memory.
constexpr int kDeepestNesting = 8;

using Json = nlohmann::json;

// A whole number of the text as a signed 64-bit value; nothing for anything else (a fraction, a
// string, a number past the range).
std::optional<std::int64_t> wholeNumber(const Json* value) {
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->is_number_integer() && !value->is_number_unsigned()) {
        return value->get<std::int64_t>();
    }
    if (value->is_number_unsigned() && value->get<std::uint64_t>() <= std::uint64_t{std::numeric_limits<std::int64_t>::max()}) {
        return static_cast<std::int64_t>(value->get<std::uint64_t>());
    }
    return std::nullopt;
}

// The member `name` of an object, or nothing.
const Json* member(const Json& object, const char* name) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
// The whole file is hashed, a block of this size at a time.
constexpr std::size_t kFingerprintBlock = 256 * 1024;
// Larger than any quiz file the format can hold: such a file is never read to be fingerprinted.
constexpr std::int64_t kLargestFingerprinted = std::int64_t{256} * 1024 * 1024;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

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

std::optional<MissedAnswer> decodeAnswer(const Json& value) {
    const std::optional<std::int64_t> question = wholeNumber(member(value, "question"));
    const std::optional<std::int64_t> choice = wholeNumber(member(value, "choice"));
    if (!question || !choice) {
        return std::nullopt;
    }
    // Choice 0 is the right answer, never a miss.
    const bool choiceInRange = *choice == kNoChoice || (*choice >= 1 && *choice <= 4);
    if (*question < 0 || *question > std::numeric_limits<std::int32_t>::max() || !choiceInRange) {
        return std::nullopt;
    }
    return MissedAnswer{static_cast<std::int32_t>(*question), static_cast<std::int16_t>(*choice)};
}

std::optional<MissedListEntry> decodeEntry(const Json& value) {
    const Json* path = member(value, "path");
    const std::optional<std::int64_t> size = wholeNumber(member(value, "size"));
    const std::optional<std::int64_t> modified = wholeNumber(member(value, "modified"));
    const Json* hash = member(value, "hash");
    const Json* missed = member(value, "missed");
    if (path == nullptr || !path->is_string() || !size || *size < 0 || !modified || hash == nullptr ||
        !hash->is_string() || missed == nullptr || !missed->is_array()) {
        return std::nullopt;
    }
    const std::string& hashText = hash->get_ref<const std::string&>();
    std::optional<std::string> bytes = decodePath(path->get_ref<const std::string&>());
    std::uint64_t parsedHash = 0;
    const auto [end, error] = std::from_chars(hashText.data(), hashText.data() + hashText.size(), parsedHash, 16);
    if (!bytes || error != std::errc() || end != hashText.data() + hashText.size() || hashText.empty()) {
        return std::nullopt;
    }
    MissedListEntry entry;
    entry.quiz = QuizFingerprint{std::move(*bytes), *size, *modified, parsedHash};
    for (const Json& item : *missed) {
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

// Hashes every byte of the file, in blocks, so that no change of a question escapes the print
// whatever the file's size and times say.
bool hashWhole(int fd, QuizFingerprint& print) {
    std::vector<char> block(kFingerprintBlock);
    std::int64_t filled = 0;
    while (filled < print.size) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(print.size - filled, std::int64_t(block.size())));
        const ssize_t got = ::pread(fd, block.data(), wanted, static_cast<off_t>(filled));
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;  // cut short while being read: what is there is what the print covers
        }
        print.hash = fnv(print.hash, std::string_view(block.data(), static_cast<std::size_t>(got)));
        filled += got;
    }
    return true;
}

namespace {

// A large quiz is fingerprinted for each of its lists when it is opened; reading it once is
// enough. A rewrite always moves the file's change time, which no program can set back, so a
// file whose identity, size and both times match was not written since it was hashed.
constexpr std::int64_t kSmallestRemembered = 1024 * 1024;
constexpr std::size_t kRememberedFiles = 8;

struct HashedFile {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    std::uint64_t hash = 0;

    [[nodiscard]] bool describes(const struct stat& info) const {
        return device == info.st_dev && inode == info.st_ino && size == info.st_size &&
               modified.tv_sec == info.st_mtim.tv_sec && modified.tv_nsec == info.st_mtim.tv_nsec &&
               changed.tv_sec == info.st_ctim.tv_sec && changed.tv_nsec == info.st_ctim.tv_nsec;
    }
};

std::mutex hashedLock;
std::map<std::string, HashedFile> hashedFiles;

std::optional<std::uint64_t> rememberedHash(const std::string& path, const struct stat& info) {
    const std::lock_guard lock(hashedLock);
    const auto found = hashedFiles.find(path);
    if (found != hashedFiles.end() && found->second.describes(info)) {
        return found->second.hash;
    }
    return std::nullopt;
}

void rememberHash(const std::string& path, const struct stat& info, std::uint64_t hash) {
    const std::lock_guard lock(hashedLock);
    if (hashedFiles.size() >= kRememberedFiles) {
        hashedFiles.clear();
    }
    hashedFiles[path] = HashedFile{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim, hash};
}

}  // namespace

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
        const bool remembered = print.size >= kSmallestRemembered;
        if (const std::optional<std::uint64_t> known = remembered ? rememberedHash(print.path, info) : std::nullopt) {
            print.hash = *known;
        } else {
            readWell = print.size <= kLargestFingerprinted && hashWhole(fd, print);
            // Checked again after the read: a file written meanwhile is not remembered.
            struct stat after {};
            const HashedFile read{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim, print.hash};
            if (readWell && remembered && ::fstat(fd, &after) == 0 && read.describes(after)) {
                rememberHash(print.path, info, print.hash);
            }
        }
    }
    (void)::close(fd);
    return readWell ? std::optional(print) : std::nullopt;
}

std::string encodeMissedLists(const std::vector<MissedListEntry>& entries) {
    // One quiz file a line, so that the file reads and compares well: the library writes each
    // entry, and the frame around them is written here.
    std::string out = "{\"version\":" + std::to_string(kFormatVersion) + ",\"quizzes\":[";
    for (std::size_t e = 0; e < entries.size(); ++e) {
        const MissedListEntry& entry = entries[e];
        nlohmann::ordered_json missed = nlohmann::ordered_json::array();
        for (const MissedAnswer& answer : entry.missed) {
            missed.push_back({{"question", answer.question}, {"choice", answer.choice}});
        }
        const nlohmann::ordered_json item{{"path", encodePath(entry.quiz.path)},
                                          {"size", entry.quiz.size},
                                          {"modified", entry.quiz.modified},
                                          {"hash", hexHash(entry.quiz.hash)},
                                          {"missed", std::move(missed)}};
        out += e == 0 ? "\n" : ",\n";
        out += item.dump();
    }
    out += "]}\n";
    return out;
}

std::optional<std::vector<MissedListEntry>> decodeMissedLists(std::string_view text) {
    bool tooDeep = false;
    const Json::parser_callback_t depthCheck = [&tooDeep](int depth, Json::parse_event_t, Json&) {
        tooDeep = tooDeep || depth > kDeepestNesting;
        return !tooDeep;
    };
    const Json document = Json::parse(text.begin(), text.end(), depthCheck, false);
    if (tooDeep || document.is_discarded() || !document.is_object()) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> version = wholeNumber(member(document, "version"));
    const Json* quizzes = member(document, "quizzes");
    if (!version || quizzes == nullptr || !quizzes->is_array()) {
        return std::nullopt;
    }
    std::vector<MissedListEntry> entries;
    if (*version == kWholeFileHashVersion) {
        return entries;
    }
    if (*version != kFormatVersion) {
        return std::nullopt;  // a newer game's file: not ours to read, nor to write over
    }
    for (const Json& item : *quizzes) {
        if (std::optional<MissedListEntry> entry = decodeEntry(item)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::vector<MissedListEntry> readMissedLists(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error || !std::filesystem::is_regular_file(file, error) || size > kLargestMissedListFile) {
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return decodeMissedLists(bytes).value_or(std::vector<MissedListEntry>{});
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
