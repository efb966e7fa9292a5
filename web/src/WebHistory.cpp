#include "WebHistory.h"

#include <emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "persistence/HistorySummary.h"

namespace pp::web {
namespace {

// The rows the page hands over, as flat runs of numbers: what each kind is, and its width.
enum RowKind : int { kCardRows = 0, kAnswerRows = 1, kGameRows = 2 };
constexpr int kCardWidth = 7;
constexpr int kAnswerWidth = 6;
constexpr int kGameWidth = 3 + 2 * kGenreCount;
// A game's mode travels as its place here.
constexpr const char* kModes[] = {"game", "study", "review"};

EM_JS(void, web_history_select, (const char* key), { Module.page.history.select(UTF8ToString(key)); });
// A buffer of `*count` doubles made with malloc, which the caller frees; null when there are none.
EM_JS(double*, web_history_rows, (int kind, int* count), {
    const values = Module.page.history.rows(kind);
    HEAP32[count >> 2] = values.length;
    if (values.length === 0) return 0;
    const buffer = _malloc(values.length * 8);
    HEAPF64.set(values, buffer >> 3);
    return buffer;
});
EM_JS(void, web_history_answer, (const double* values, int count), {
    Module.page.history.recordAnswer(Array.from(HEAPF64.subarray(values >> 3, (values >> 3) + count)));
});
EM_JS(void, web_history_game, (const double* values, int count), {
    Module.page.history.recordGame(Array.from(HEAPF64.subarray(values >> 3, (values >> 3) + count)));
});
EM_JS(int, web_history_problem, (), { return Module.page.history.takeProblem(); });

std::vector<double> rows(RowKind kind, int width) {
    int count = 0;
    double* buffer = web_history_rows(kind, &count);
    std::vector<double> values;
    if (buffer != nullptr) {
        // Only whole rows: a short run from a damaged store never reads past its end.
        values.assign(buffer, buffer + (count - count % width));
        std::free(buffer);
    }
    return values;
}

// A stored number as a whole number within the range the game uses; anything else becomes 0.
std::int32_t whole(double value) {
    return std::isfinite(value) && std::fabs(value) < 1e9 ? static_cast<std::int32_t>(value) : 0;
}

double finite(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

std::string quizKey(const QuizFingerprint& quiz) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(quiz.hash));
    return quiz.path + '\n' + std::to_string(quiz.size) + '\n' + hash;
}

void WebHistory::selectQuiz(const QuizFingerprint& quiz) { web_history_select(quizKey(quiz).c_str()); }

std::vector<ReviewCard> WebHistory::cards() {
    const std::vector<double> values = rows(kCardRows, kCardWidth);
    std::vector<ReviewCard> cards;
    for (std::size_t i = 0; i < values.size(); i += kCardWidth) {
        const double* row = &values[i];
        cards.push_back(ReviewCard{whole(row[0]), finite(row[1]), finite(row[2]), whole(row[3]), whole(row[4]),
                                   whole(row[5]), whole(row[6])});
    }
    return cards;
}

void WebHistory::recordAnswer(const AnswerRecord& answer, const ReviewCard& card) {
    const double values[] = {static_cast<double>(answer.day), static_cast<double>(answer.question),
                             static_cast<double>(answer.genre), static_cast<double>(answer.choice),
                             answer.right ? 1.0 : 0.0, static_cast<double>(answer.timeLeftTicks),
                             static_cast<double>(card.question), card.stability, card.difficulty,
                             static_cast<double>(card.lastDay), static_cast<double>(card.dueDay),
                             static_cast<double>(card.reps), static_cast<double>(card.lapses)};
    web_history_answer(values, static_cast<int>(std::size(values)));
}

void WebHistory::recordGame(const GameRecord& game) {
    double values[kGameWidth] = {};
    values[0] = game.day;
    values[1] = 0;
    for (std::size_t mode = 0; mode < std::size(kModes); ++mode) {
        if (game.mode == kModes[mode]) {
            values[1] = static_cast<double>(mode);
        }
    }
    values[2] = game.score;
    for (std::size_t genre = 0; genre < kGenreCount; ++genre) {
        values[3 + genre] = game.genreCorrect[genre];
        values[3 + kGenreCount + genre] = game.genreAnswered[genre];
    }
    web_history_game(values, kGameWidth);
}

std::vector<GameRecord> WebHistory::games() {
    const std::vector<double> values = rows(kGameRows, kGameWidth);
    std::vector<GameRecord> games;
    for (std::size_t i = 0; i < values.size(); i += kGameWidth) {
        const double* row = &values[i];
        GameRecord game;
        game.day = whole(row[0]);
        const std::int32_t mode = whole(row[1]);
        game.mode = kModes[mode >= 0 && mode < static_cast<std::int32_t>(std::size(kModes)) ? mode : 0];
        game.score = whole(row[2]);
        for (std::size_t genre = 0; genre < kGenreCount; ++genre) {
            game.genreCorrect[genre] = whole(row[3 + genre]);
            game.genreAnswered[genre] = whole(row[3 + kGenreCount + genre]);
        }
        games.push_back(std::move(game));
    }
    return games;
}

std::vector<AnswerRecord> WebHistory::answers() {
    const std::vector<double> values = rows(kAnswerRows, kAnswerWidth);
    std::vector<AnswerRecord> answers;
    for (std::size_t i = 0; i < values.size(); i += kAnswerWidth) {
        const double* row = &values[i];
        const std::int32_t choice = whole(row[3]);
        answers.push_back(AnswerRecord{whole(row[0]), whole(row[1]), whole(row[2]),
                                       static_cast<std::int16_t>(choice >= 0 && choice < kChoiceCount ? choice : kNoChoice),
                                       row[4] != 0.0, whole(row[5])});
    }
    return answers;
}

std::vector<GenreDay> WebHistory::genreDays() { return genreDaysOf(answers()); }

std::vector<MissCount> WebHistory::mostMissed(int count) { return mostMissedOf(answers(), count); }

HistoryProblem WebHistory::takeProblem() {
    const int problem = web_history_problem();
    return problem > 0 && problem <= static_cast<int>(HistoryProblem::Unavailable) ? static_cast<HistoryProblem>(problem)
                                                                                      : HistoryProblem::None;
}

}  // namespace pp::web
