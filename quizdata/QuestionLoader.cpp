#include "quizdata/QuestionLoader.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "quizdata/QuizFile.h"

namespace pp {
namespace {

// The question to read and the genre it belongs to.
struct Pick {
    std::int32_t question = 0;
    std::int32_t genre = 0;
};

// The headers of the file loaded last, with the genre names decoded. A game reads the same
// file for every question; the headers are decoded again only when their bytes or the file's
// size differ. Times and sizes alone miss a rewrite within the file system's time step (two
// seconds on FAT), while 2 KB of headers cost one small read.
struct KnownHeaders {
    std::array<char, kHeadersSize> bytes{};
    std::size_t length = 0;
    std::int64_t fileSize = 0;
    QuizLayout layout;
    std::array<GenreName, kGenreCount> names;

    [[nodiscard]] bool sameAs(std::span<const char> read, std::int64_t size) const {
        return fileSize == size && std::equal(read.begin(), read.end(), bytes.begin(), bytes.begin() + length);
    }
};
thread_local std::optional<KnownHeaders> knownHeaders;

// The headers of `file`, as known from the last load when their bytes are unchanged, or decoded anew.
const KnownHeaders& headersOf(const QuizFileReader& file) {
    std::array<char, kHeadersSize> bytes{};
    const std::size_t length = file.readAt(0, bytes);
    const std::span<const char> read(bytes.data(), length);
    if (knownHeaders && knownHeaders->length == length && knownHeaders->sameAs(read, file.size())) {
        return *knownHeaders;
    }
    KnownHeaders& fresh = knownHeaders.emplace();
    fresh.bytes = bytes;
    fresh.length = length;
    fresh.fileSize = file.size();
    fresh.layout = readQuizLayout(file);
    for (std::size_t g = 0; g < fresh.layout.genres.size(); ++g) {
        fresh.names[g] = decodeGenreName(fresh.layout.genres[g]);
    }
    return fresh;
}

// Question `index` in file order, its genre found by walking the counts.
std::optional<Pick> pickNumberedQuestion(const QuizLayout& layout, std::int32_t index) {
    if (index < 0 || index >= layout.questionCount) {
        return std::nullopt;  // past the last question there is no record to read
    }
    std::int32_t remaining = index + 1;
    for (std::size_t g = 0; g < layout.genres.size(); ++g) {
        const std::int32_t count = layout.genres[g].questionCount;
        if (remaining <= count) {
            return Pick{index, static_cast<std::int32_t>(g)};
        }
        remaining -= count;
    }
    return std::nullopt;
}

// Under study rules: question `questionIndex` in file order, or in a review run the question the
// review list holds at `questionIndex`.
std::optional<Pick> pickStudyQuestion(const GameState& state, const QuizLayout& layout) {
    if (state.reviewQuestions.empty()) {
        return pickNumberedQuestion(layout, state.questionIndex);
    }
    if (state.questionIndex < 0 || static_cast<std::size_t>(state.questionIndex) >= state.reviewQuestions.size()) {
        return std::nullopt;
    }
    return pickNumberedQuestion(layout, state.reviewQuestions[static_cast<std::size_t>(state.questionIndex)]);
}

// Question `k` (0-based) among those of `genre` that `asked` does not hold.
std::int32_t unaskedQuestion(const QuizLayout& layout, std::int32_t genre, const std::vector<std::int32_t>& asked,
                             std::uint32_t k) {
    const std::int32_t first = layout.firstQuestionOf(genre);
    const std::int32_t count = layout.genres[static_cast<std::size_t>(genre)].questionCount;
    for (std::int32_t q = first; q < first + count; ++q) {
        if (std::find(asked.begin(), asked.end(), q) == asked.end() && k-- == 0) {
            return q;
        }
    }
    return first;
}

// How many questions of `genre` `asked` does not hold.
std::uint32_t unaskedCount(const QuizLayout& layout, std::int32_t genre, const std::vector<std::int32_t>& asked) {
    const std::int32_t first = layout.firstQuestionOf(genre);
    const std::int32_t count = layout.genres[static_cast<std::size_t>(genre)].questionCount;
    std::uint32_t unasked = 0;
    for (std::int32_t q = first; q < first + count; ++q) {
        unasked += std::find(asked.begin(), asked.end(), q) == asked.end() ? 1 : 0;
    }
    return unasked;
}

// Game mode: a genre first, each non-empty genre equally likely, then a question within it.
// Drawing over the non-empty genres in genre order makes a file with all eight genres filled
// take exactly the draws of a plain draw(8). Without repeats the question is drawn among the
// genre's unasked ones, with the same number of draws, so only the pick differs.
Pick pickGameQuestion(const QuizLayout& layout, RandomSource& random, const GameState& state) {
    std::array<std::int32_t, kGenreCount> filledGenres{};
    std::uint32_t filled = 0;
    for (std::size_t g = 0; g < layout.genres.size(); ++g) {
        if (layout.genres[g].questionCount > 0) {
            filledGenres[filled++] = static_cast<std::int32_t>(g);
        }
    }
    Pick pick;
    pick.genre = filledGenres[draw(random, filled)];
    const auto count = static_cast<std::uint32_t>(layout.genres[static_cast<std::size_t>(pick.genre)].questionCount);
    if (state.noRepeats) {
        if (const std::uint32_t unasked = unaskedCount(layout, pick.genre, state.askedQuestions); unasked > 0) {
            pick.question = unaskedQuestion(layout, pick.genre, state.askedQuestions, draw(random, unasked));
            return pick;
        }
    }
    pick.question = layout.firstQuestionOf(pick.genre) + static_cast<std::int32_t>(draw(random, count));
    return pick;
}

// Takes draw(5), draw(4), draw(3), draw(2) from a shrinking list 0..4, so every order is
// equally likely.
std::array<std::int16_t, kChoiceCount> shuffledChoiceOrder(RandomSource& random) {
    std::array<std::int16_t, kChoiceCount> left{0, 1, 2, 3, 4};
    std::array<std::int16_t, kChoiceCount> order{};
    auto leftCount = static_cast<std::uint32_t>(kChoiceCount);
    for (std::size_t p = 0; p + 1 < order.size(); ++p) {
        const std::uint32_t i = draw(random, leftCount);
        order[p] = left[i];
        std::copy(left.begin() + i + 1, left.begin() + leftCount, left.begin() + i);
        --leftCount;
    }
    order.back() = left[0];
    return order;
}

std::int16_t positionOfRightAnswer(const std::array<std::int16_t, kChoiceCount>& order) {
    for (std::size_t p = 0; p < order.size(); ++p) {
        if (order[p] == 0) {
            return static_cast<std::int16_t>(p);
        }
    }
    return 0;
}

}  // namespace

LoadResult loadQuestion(GameState& state, RandomSource& random, const std::filesystem::path& path) {
    state.selection = 0;
    state.confirmed = 0;

    const QuizFileReader file(path);
    if (file.problem() != QuizFileProblem::None) {
        return LoadResult::Failed;
    }
    const KnownHeaders& headers = headersOf(file);
    const QuizLayout& layout = headers.layout;
    // The genre table is filled even when the file is then refused.
    for (std::size_t g = 0; g < layout.genres.size(); ++g) {
        state.genres[g].name = headers.names[g];
        state.genres[g].questionCount = layout.genres[g].questionCount;
    }
    if (!layout.accepted()) {
        return LoadResult::Failed;
    }
    const std::optional<Pick> pick =
        studyRules(state) ? pickStudyQuestion(state, layout) : pickGameQuestion(layout, random, state);
    if (!pick) {
        return LoadResult::Failed;
    }
    const std::optional<Record> record = readQuestionRecord(file, pick->question);
    if (!record) {
        return LoadResult::Failed;
    }

    decodeQuestionTexts(*record, state.questionText, state.choices);
    state.currentGenre = pick->genre;
    state.currentQuestion = pick->question;
    state.choiceOrder = shuffledChoiceOrder(random);
    state.correctPosition = positionOfRightAnswer(state.choiceOrder);
    state.questionReady = 1;
    if (!studyRules(state)) {
        state.askedQuestions.push_back(pick->question);
    }
    return LoadResult::Ok;
}

std::optional<NumberedQuestion> readNumberedQuestion(const std::filesystem::path& path, std::int32_t number) {
    const QuizFileReader file(path);
    const QuizLayout layout = readQuizLayout(file);
    if (!layout.accepted()) {
        return std::nullopt;
    }
    const std::optional<Pick> pick = pickNumberedQuestion(layout, number);
    if (!pick) {
        return std::nullopt;
    }
    const std::optional<Record> record = readQuestionRecord(file, pick->question);
    if (!record) {
        return std::nullopt;
    }
    return NumberedQuestion{pick->genre, decodeGenreName(layout.genres[static_cast<std::size_t>(pick->genre)]),
                            decodeQuestionRecord(*record)};
}

}  // namespace pp
