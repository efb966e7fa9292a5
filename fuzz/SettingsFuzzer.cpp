// The settings file reader on any bytes: what it reads, written back and read again, reads
// the same (a score below -9999 is stored as -9999, the lowest the field holds); the written
// file stays within its fixed width.

#include <algorithm>

#include "FuzzCheck.h"
#include "persistence/SettingsFile.h"

namespace {

using namespace pp;

// The longest file: the option line, then ten names of 20 bytes with a five-character score.
constexpr std::size_t kLongestFile = 11 + 10 * (20 + 1 + 5 + 2);
constexpr std::int16_t kLowestStoredScore = -9999;

void checkOptions(const Options& options) {
    for (const std::int16_t flag : {options.soundEffects, options.showCorrectAnswer, options.timeLimit,
                                    options.gradualReveal, options.studyMode}) {
        FUZZ_CHECK(flag == 0 || flag == 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    GameState first;
    decodeSettings(bytes, first);
    checkOptions(first.options);
    for (const RankEntry& entry : first.ranking) {
        FUZZ_CHECK(entry.name.size() <= PlayerName::maxLength);
        FUZZ_CHECK(fuzz::isValidUtf16(entry.name.view()));
    }

    const std::string written = encodeSettings(first);
    FUZZ_CHECK(written.size() <= kLongestFile);
    GameState second;
    decodeSettings(written, second);
    FUZZ_CHECK(second.options == first.options);
    for (std::size_t row = 0; row < first.ranking.size(); ++row) {
        FUZZ_CHECK(second.ranking[row].name == first.ranking[row].name);
        FUZZ_CHECK(second.ranking[row].score == std::max(first.ranking[row].score, kLowestStoredScore));
    }
    FUZZ_CHECK(encodeSettings(second) == written);
    return 0;
}
