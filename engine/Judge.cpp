#include "engine/Judge.h"

#include <algorithm>
#include <array>
#include <limits>

#include "engine/GameState.h"
#include "engine/Sounds.h"

namespace pp {
namespace {

// The large mark drawn over the question.
constexpr int kMarkPenWidth = 40;
constexpr Rgb kCircleColour = colour::kBlue;
constexpr Rgb kCrossColour = colour::kRed;
// Insets of the mark from the client's left and right edges; the vertical edges are taken from
// the horizontal ones, so the mark is the square 50,60 - 210,220 on the 240-pixel client.
constexpr int kMarkNearLeft = 50;
constexpr int kMarkNearTop = 60;
constexpr int kMarkFarRight = 30;
constexpr int kMarkFarBottom = 20;

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

void drawCircle(Surface& surface, Rect client) {
    const Rect box{client.left + kMarkNearLeft, client.left + kMarkNearTop,
                   client.right - kMarkFarRight, client.right - kMarkFarBottom};
    surface.drawEllipse(box, kMarkPenWidth, kCircleColour);
}

void drawCross(Surface& surface, Rect client) {
    const int near = client.left;
    const int far = client.right;
    const std::array<Point, 2> falling{
        Point{far - kMarkFarRight, far - kMarkFarBottom}, Point{near + kMarkNearLeft, near + kMarkNearTop}};
    const std::array<Point, 2> rising{
        Point{near + kMarkNearLeft, far - kMarkFarBottom}, Point{far - kMarkFarRight, near + kMarkNearTop}};
    surface.drawPolyline(falling, kMarkPenWidth, kCrossColour);
    surface.drawPolyline(rising, kMarkPenWidth, kCrossColour);
}

void countRightAnswer(Context& context, Surface& surface, Rect client) {
    GameState& state = context.state;
    state.score = addPoints(state.score, pointsForRightAnswer(state));
    drawCircle(surface, client);
    if (state.options.studyMode != 1) {
        ++state.levelCorrect;
        --state.slotsLeft;
    }
    if (genreInRange(state.currentGenre)) {
        ++state.genreAnswered[static_cast<std::size_t>(state.currentGenre)];
        ++state.genreCorrect[static_cast<std::size_t>(state.currentGenre)];
    }
    playEffect(context, sound::kRight);
}

void countWrongAnswer(Context& context, Surface& surface, Rect client) {
    GameState& state = context.state;
    drawCross(surface, client);
    --state.slotsLeft;  // study mode never shows it
    if (genreInRange(state.currentGenre)) {
        ++state.genreAnswered[static_cast<std::size_t>(state.currentGenre)];
    }
    playEffect(context, sound::kWrong);
}

}  // namespace

bool answerIsRight(const GameState& state) {
    return state.selection != 0 && state.selection - 1 == state.correctPosition;
}

void judgeAnswer(Context& context, Surface& surface, Rect client) {
    if (answerIsRight(context.state)) {
        countRightAnswer(context, surface, client);
    } else {
        countWrongAnswer(context, surface, client);
    }
}

}  // namespace pp
