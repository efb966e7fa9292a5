#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "record/FixedText.h"

namespace pp {

// Buffer sizes of the texts the game keeps, in UTF-16 units including the terminator.
inline constexpr std::size_t kQuestionTextUnits = 116;
inline constexpr std::size_t kChoiceTextUnits = 28;
inline constexpr std::size_t kGenreNameUnits = 16;
inline constexpr std::size_t kNameUnits = 21;

inline constexpr int kGenreCount = 8;
inline constexpr int kChoiceCount = 5;
inline constexpr int kRankingRows = 10;
inline constexpr int kLevelCount = 8;
inline constexpr int kQuestionsPerLevel = 8;

// The right answers needed to clear levels 1..8.
inline constexpr std::array<std::int32_t, kLevelCount> levelQuota{3, 4, 4, 5, 5, 6, 7, 8};

enum class Screen : int {
    Title = 0,
    QuestionIntro = 1,
    LoadQuestion = 2,
    RevealQuestion = 3,
    Answering = 4,
    Judging = 5,
    ShowCorrect = 6,
    LevelClear = 7,
    GameOver = 8,
    AllClear = 9,
    Ranking = 10,
};

// The screen's name as written in replay logs and frame file names ("Answering").
std::string_view screenName(Screen screen);

using QuestionText = FixedText<kQuestionTextUnits>;
using ChoiceText = FixedText<kChoiceTextUnits>;
using GenreName = FixedText<kGenreNameUnits>;
using PlayerName = FixedText<kNameUnits>;

struct Genre {
    GenreName name;
    std::int16_t questionCount = 0;
};

struct RankEntry {
    PlayerName name;
    std::int16_t score = 0;
};

// The five options the settings dialog edits and the settings file keeps; each is 1 (on) or 0.
struct Options {
    std::int16_t soundEffects = 0;
    std::int16_t showCorrectAnswer = 0;
    std::int16_t timeLimit = 0;
    std::int16_t gradualReveal = 0;
    std::int16_t studyMode = 0;

    friend bool operator==(const Options&, const Options&) = default;
};

// What the options are when no settings file exists yet.
inline constexpr Options kDefaultOptions{1, 0, 1, 1, 0};

// The one record of the whole game. Plain data: the engine changes it; the loader and the
// settings code fill it; the painters only read it.
struct GameState {
    // Options.
    Options options;

    // Flow.
    Screen screen = Screen::Title;  // changed only through setScreen, which counts the entry
    std::int32_t tickCount = 0;      // ticks spent so far on a timed screen
    std::int32_t questionReady = 0;  // 1 once the loader has the question: LoadQuestion moves on
    std::int32_t revealDone = 0;     // 1 once the reveal has shown the whole question
    std::int32_t revealCount = 0;    // characters of the question the reveal shows
    std::int32_t selection = 0;      // highlighted display row 1..5, 0 = none
    std::int16_t confirmed = 0;      // 1 once an answer is taken: the next tick judges it
    std::int32_t timeLeftTicks = 0;  // the answer clock, counting down from 199

    // Scoring and progress.
    std::int16_t score = 0;
    std::int32_t level = 0;
    std::int32_t questionIndex = 0;
    std::int32_t levelCorrect = 0;
    std::int32_t slotsLeft = 0;
    std::array<std::int32_t, kGenreCount> genreCorrect{};
    std::array<std::int32_t, kGenreCount> genreAnswered{};

    // Current question.
    std::int32_t currentGenre = 0;
    std::int32_t currentQuestion = 0;  // its number in the file, 0-based in file order
    QuestionText questionText;
    std::array<ChoiceText, kChoiceCount> choices;  // stored order: choices[0] is the right answer
    std::array<std::int16_t, kChoiceCount> choiceOrder{};  // display position -> stored choice
    std::int16_t correctPosition = 0;

    std::array<Genre, kGenreCount> genres;
    std::array<RankEntry, kRankingRows> ranking;
    PlayerName playerName;
    // Set once this game's ranking row is stored, so that an empty name still closes the offer.
    bool rankingEntered = false;
    // The rows this game entered, which the ranking screen highlights; -1 for none.
    std::int32_t rankingHighlight = -1;
    std::int32_t fileRankingHighlight = -1;

    // The desktop's ranking of the quiz file being played, kept beside the overall one by a
    // frontend with a data folder (fileRankingKept); never in the settings file.
    bool fileRankingKept = false;
    std::array<RankEntry, kRankingRows> fileRanking;
    // The ranking screen shows the file's ranking first, then the overall one.
    bool rankingShowsFile = false;

    // The quiz file being played, kept whole whatever its length: every question is read from it.
    std::filesystem::path quizPath;

    // A review run: the question numbers to go through, in this order, under the rules of study
    // mode (questionIndex indexes this list). Empty in every other game.
    std::vector<std::int32_t> reviewQuestions;

    // "同じ問題を出さない": a game-mode draw passes over the questions this game has asked, as
    // long as their genre has others left. Off, the draws are the handheld's. A desktop option,
    // never in the settings file.
    bool noRepeats = false;
    // The question numbers this game has asked in game mode, in order.
    std::vector<std::int32_t> askedQuestions;

    // Counts entries into screens, so that the work a screen does on entry runs once per entry
    // however often it is painted. Changed only through setScreen.
    std::uint32_t screenEntry = 0;
};

// Moves to `next` as a new entry into that screen (its one-time work will run again).
inline void setScreen(GameState& state, Screen next) {
    state.screen = next;
    ++state.screenEntry;
}

// Puts the progress fields into the state of a new game (which is no review run); options,
// ranking, selection, confirmation, reveal flag and question buffers are left alone.
void resetGame(GameState& state);

// The sum of the eight genres' question counts.
int totalQuestionCount(const GameState& state);

// True when the game goes by the rules of study mode: study mode is chosen, or this is a review run.
inline bool studyRules(const GameState& state) {
    return state.options.studyMode == 1 || !state.reviewQuestions.empty();
}

// How many questions a run under study rules asks: the review list, or the whole file.
int studyQuestionCount(const GameState& state);

// The stored choice shown at display position 0..4.
std::u16string_view choiceText(const GameState& state, int position);

// True when the highlighted row is the right answer.
inline bool answerIsRight(const GameState& state) {
    return state.selection != 0 && state.selection - 1 == state.correctPosition;
}

}  // namespace pp
