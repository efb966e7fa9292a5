#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Calendar.h"
#include "persistence/History.h"
#include "record/GameState.h"

namespace pp {

// How well a question was known, as the scheduler's four grades.
enum class Grade : int { Again = 1, Hard = 2, Good = 3, Easy = 4 };

// The answer clock's thresholds for the grades of a right answer, in ticks left of the 199: with
// two thirds of the time or more left the answer came at once (Easy); in the last quarter it
// came only after thinking it over (Hard); anything between is Good.
inline constexpr std::int32_t kEasyTicksLeft = 133;
inline constexpr std::int32_t kHardTicksLeft = 50;

// The grade of the answer judged in `state`: a miss or a time-out is Again; without the time
// limit the clock says nothing, so a right answer is Good.
Grade gradeAnswer(const GameState& state);
Grade gradeAnswer(bool right, bool timeLimit, std::int32_t timeLeftTicks);

// The spaced-repetition scheduler (FSRS-6 with its published default weights, desired retention
// 0.9, no fuzz, whole days): the card after a review on `today` with `grade`. A card that was
// never reviewed (reps == 0) starts its memory from the grade.
ReviewCard reviewCard(const ReviewCard& card, Grade grade, std::int32_t today);

// The probability of recalling a card `elapsedDays` after its last review.
double retrievability(double stability, double elapsedDays);

// The questions due on `day` (due on it or before), hardest first: the highest difficulty, then
// the lowest recall probability, then file order.
std::vector<std::int32_t> dueQuestions(const std::vector<ReviewCard>& cards, std::int32_t day);

// How many cards fall due on each of the `days` days from `today` on; the first counts those
// overdue too.
std::vector<int> dueCounts(const std::vector<ReviewCard>& cards, std::int32_t today, int days);


}  // namespace pp
