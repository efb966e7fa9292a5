// The quiz-file check and the question loader on any file: a refused file never yields a
// question; an accepted one yields, for every question, exactly the texts of its own record.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "FuzzCheck.h"
#include "quizdata/QuestionLoader.h"
#include "quizdata/QuizFile.h"
#include "quizdata/QuizFormat.h"

namespace {

using namespace pp;

// The loader reads a path: the bytes go to one file in memory, rewritten for every input.
const std::filesystem::path& quizFile(std::string_view bytes) {
    static const int fd = ::memfd_create("fuzz.kqd", MFD_CLOEXEC);
    static const std::filesystem::path path = "/proc/self/fd/" + std::to_string(fd);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::ftruncate(fd, 0) == 0);
    FUZZ_CHECK(::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    return path;
}

// The question count genre `g`'s header claims, read straight from the bytes.
std::int32_t claimedCount(std::string_view bytes, int g) {
    const std::size_t at = kRecordSize * static_cast<std::size_t>(g) + kHeaderCountOffset;
    const auto low = static_cast<std::uint8_t>(bytes[at]);
    const auto high = static_cast<std::uint8_t>(bytes[at + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
}

Record recordAt(std::string_view bytes, std::int32_t question) {
    Record record;
    const auto offset = static_cast<std::size_t>(questionOffset(question));
    FUZZ_CHECK(offset + kRecordSize <= bytes.size());
    std::copy_n(bytes.data() + offset, kRecordSize, record.data());
    return record;
}

template <std::size_t N>
void checkText(const FixedText<N>& text) {
    FUZZ_CHECK(text.size() <= FixedText<N>::maxLength);
    FUZZ_CHECK(text.c_str()[text.size()] == u'\0');
    FUZZ_CHECK(text.view().find(u'\0') == std::u16string_view::npos);
    FUZZ_CHECK(fuzz::isValidUtf16(text.view()));
}

// What a successful load promises about the question it put in the state.
void checkLoadedQuestion(const GameState& state, const QuizLayout& layout) {
    FUZZ_CHECK(state.questionReady == 1);
    FUZZ_CHECK(state.selection == 0 && state.confirmed == 0);
    FUZZ_CHECK(state.currentGenre >= 0 && state.currentGenre < kGenreCount);
    FUZZ_CHECK(layout.genres[static_cast<std::size_t>(state.currentGenre)].questionCount > 0);
    checkText(state.questionText);
    for (const ChoiceText& choice : state.choices) {
        checkText(choice);
    }
    std::array<std::int16_t, kChoiceCount> order = state.choiceOrder;
    std::sort(order.begin(), order.end());
    FUZZ_CHECK((order == std::array<std::int16_t, kChoiceCount>{0, 1, 2, 3, 4}));
    FUZZ_CHECK(state.correctPosition >= 0 && state.correctPosition < kChoiceCount);
    FUZZ_CHECK(state.choiceOrder[static_cast<std::size_t>(state.correctPosition)] == 0);
}

bool sameQuestion(const GameState& state, const DecodedQuestion& expected) {
    return state.questionText == expected.text && state.choices == expected.choices;
}

// The layout of the file against what its bytes say.
void checkLayout(const QuizLayout& layout, std::string_view bytes) {
    FUZZ_CHECK(layout.fileSize == static_cast<std::int64_t>(bytes.size()));
    if (bytes.size() < kHeadersSize) {
        FUZZ_CHECK(layout.problem == QuizFileProblem::ShortHeaders);
        return;
    }
    FUZZ_CHECK(layout.genres.size() == static_cast<std::size_t>(kGenreCount));
    std::int64_t total = 0;
    bool negative = false;
    for (int g = 0; g < kGenreCount; ++g) {
        FUZZ_CHECK(layout.genres[static_cast<std::size_t>(g)].questionCount == claimedCount(bytes, g));
        negative = negative || claimedCount(bytes, g) < 0;
        total += claimedCount(bytes, g);
    }
    const bool fits = !negative && total > 0 &&
                      questionOffset(total) <= static_cast<std::int64_t>(bytes.size());
    FUZZ_CHECK(layout.accepted() == fits);
    if (layout.accepted()) {
        FUZZ_CHECK(layout.questionCount == total);
    }
}

// Counts handed out in a fixed sequence, so that game-mode draws cover every genre quickly.
class CountingRandom final : public RandomSource {
public:
    explicit CountingRandom(std::uint32_t start) : value_(start) {}
    std::uint32_t next() override { return value_ += 0x9E3779B9u; }

private:
    std::uint32_t value_;
};

// Every question in study mode, and one past the end, which must fail.
void loadEveryQuestion(const std::filesystem::path& path, const QuizLayout& layout, std::string_view bytes) {
    CountingRandom random(1);
    GameState state;
    state.options.studyMode = 1;
    for (std::int32_t q = 0; q <= layout.questionCount; ++q) {
        state.questionIndex = q;
        state.questionReady = 0;
        const LoadResult result = loadQuestion(state, random, path);
        if (q == layout.questionCount) {
            FUZZ_CHECK(result == LoadResult::Failed && state.questionReady == 0);
            break;
        }
        FUZZ_CHECK(result == LoadResult::Ok);
        checkLoadedQuestion(state, layout);
        FUZZ_CHECK(sameQuestion(state, decodeQuestionRecord(recordAt(bytes, q))));
        // Walking the counts in study mode lands in the genre that holds question q.
        FUZZ_CHECK(layout.firstQuestionOf(state.currentGenre) <= q &&
                   q < layout.firstQuestionOf(state.currentGenre + 1));
    }
}

// Game mode: each draw yields a question of the genre it names.
void drawQuestions(const std::filesystem::path& path, const QuizLayout& layout, std::string_view bytes) {
    CountingRandom random(static_cast<std::uint32_t>(bytes.size()));
    GameState state;
    state.options.studyMode = 0;
    for (int draw = 0; draw < 16; ++draw) {
        state.questionReady = 0;
        FUZZ_CHECK(loadQuestion(state, random, path) == LoadResult::Ok);
        checkLoadedQuestion(state, layout);
        const std::int32_t first = layout.firstQuestionOf(state.currentGenre);
        const std::int32_t count = layout.genres[static_cast<std::size_t>(state.currentGenre)].questionCount;
        bool found = false;
        for (std::int32_t q = first; q < first + count && !found; ++q) {
            found = sameQuestion(state, decodeQuestionRecord(recordAt(bytes, q)));
        }
        FUZZ_CHECK(found);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path& path = quizFile(bytes);

    const QuizLayout layout = readQuizLayout(path);
    checkLayout(layout, bytes);
    std::istringstream stream{std::string(bytes)};
    FUZZ_CHECK(readQuizLayout(stream).problem == layout.problem);
    FUZZ_CHECK(!describeLayout(layout).empty());

    if (!layout.accepted()) {
        for (const std::int16_t study : {0, 1}) {
            CountingRandom random(7);
            GameState state;
            state.options.studyMode = study;
            FUZZ_CHECK(loadQuestion(state, random, path) == LoadResult::Failed);
            FUZZ_CHECK(state.questionReady == 0);
        }
        return 0;
    }
    loadEveryQuestion(path, layout, bytes);
    drawQuestions(path, layout, bytes);
    return 0;
}
