#include "engine/Judge.h"

#include <algorithm>
#include <limits>

#include "engine/Sounds.h"

namespace pp {
namespace {

constexpr int kTicksPerSecond = 20;
constexpr int kPointsPerSecondLeft = 10;
constexpr int kPointsWithoutLimit = 10;

// Points for a right answer: ten per whole second left on the clock, or a flat ten without it.
int pointsForRightAnswer(const GameState& state) {
    if (state.options.timeLimit != 1) {
        return kPointsWithoutLimit;
    }
    return (state.timeLeftTicks / kTicksPerSecond) * kPointsPerSecondLeft;
}

// Adds points without wrapping: a long study run keeps the best score a 16-bit value can hold
// instead of turning negative and dropping out of the ranking.
std::int16_t addPoints(std::int16_t score, int points) {
    const int sum = score + points;
    return static_cast<std::int16_t>(std::clamp(sum, int{std::numeric_limits<std::int16_t>::min()},
                                                int{std::numeric_limits<std::int16_t>::max()}));
}

// The genre counters are indexed by the loaded question's genre; a value outside the table
// (no question loaded yet) counts nowhere rather than writing past it.
bool genreInRange(std::int32_t genre) { return genre >= 0 && genre < kGenreCount; }

void countRightAnswer(Context& context) {
    GameState& state = context.state;
    state.score = addPoints(state.score, pointsForRightAnswer(state));
    if (!studyRules(state)) {
        ++state.levelCorrect;
        --state.slotsLeft;
    }
    if (genreInRange(state.currentGenre)) {
        ++state.genreAnswered[static_cast<std::size_t>(state.currentGenre)];
        ++state.genreCorrect[static_cast<std::size_t>(state.currentGenre)];
    }
    playEffect(context, sound::kRight);
}

void countWrongAnswer(Context& context) {
    GameState& state = context.state;
    --state.slotsLeft;  // study mode never shows it
    if (genreInRange(state.currentGenre)) {
        ++state.genreAnswered[static_cast<std::size_t>(state.currentGenre)];
    }
    playEffect(context, sound::kWrong);
}

}  // namespace

void judgeAnswer(Context& context) {
    if (answerIsRight(context.state)) {
        countRightAnswer(context);
    } else {
        countWrongAnswer(context);
    }
}

}  // namespace pp
