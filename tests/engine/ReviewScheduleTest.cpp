#include <gtest/gtest.h>

#include "engine/ReviewSchedule.h"

namespace pp {
namespace {

TEST(ReviewSchedule, TheClockGradesARightAnswerAtItsThresholds) {
    EXPECT_EQ(gradeAnswer(false, true, 199), Grade::Again);
    EXPECT_EQ(gradeAnswer(false, false, 199), Grade::Again);
    EXPECT_EQ(gradeAnswer(true, true, kEasyTicksLeft), Grade::Easy);
    EXPECT_EQ(gradeAnswer(true, true, kEasyTicksLeft - 1), Grade::Good);
    EXPECT_EQ(gradeAnswer(true, true, kHardTicksLeft), Grade::Good);
    EXPECT_EQ(gradeAnswer(true, true, kHardTicksLeft - 1), Grade::Hard);
    EXPECT_EQ(gradeAnswer(true, false, 0), Grade::Good);  // no clock, no haste to judge
}

TEST(ReviewSchedule, ANewQuestionsFirstIntervalsKeepTheGradesApart) {
    const ReviewCard fresh{7, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(reviewCard(fresh, Grade::Again, 100).dueDay, 101);
    EXPECT_EQ(reviewCard(fresh, Grade::Hard, 100).dueDay, 102);
    EXPECT_EQ(reviewCard(fresh, Grade::Good, 100).dueDay, 103);
    EXPECT_EQ(reviewCard(fresh, Grade::Easy, 100).dueDay, 108);
    const ReviewCard again = reviewCard(reviewCard(fresh, Grade::Good, 100), Grade::Again, 103);
    EXPECT_EQ(again.reps, 2);
    EXPECT_EQ(again.lapses, 1);
    EXPECT_EQ(again.lastDay, 103);
    // Forgotten after a century away, a weak memory comes back no stronger than it was.
    const ReviewCard weak = reviewCard(fresh, Grade::Again, 0);
    EXPECT_LE(reviewCard(weak, Grade::Again, 36500).stability, weak.stability);
}

TEST(ReviewSchedule, DueQuestionsComeHardestFirstAndCountByDay) {
    const std::vector<ReviewCard> cards{
        {1, 3.0, 4.0, 10, 12, 1, 0},  // due
        {2, 3.0, 8.0, 10, 11, 1, 0},  // due, harder
        {3, 3.0, 4.0, 8, 12, 1, 0},   // due, as hard as 1 but longer unseen
        {4, 3.0, 9.0, 10, 13, 1, 0},  // tomorrow
        {5, 0, 0, 0, 0, 0, 0},        // never reviewed
    };
    EXPECT_EQ(dueQuestions(cards, 12), (std::vector<std::int32_t>{2, 3, 1}));
    EXPECT_EQ(dueQuestions(cards, 10), std::vector<std::int32_t>{});
    EXPECT_EQ(dueCounts(cards, 12, 3), (std::vector<int>{3, 1, 0}));
}

TEST(ReviewSchedule, DaysAndDatesConvertBothWays) {
    EXPECT_EQ(dayFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(dayFromCivil(2024, 3, 1) - dayFromCivil(2024, 2, 28), 2);  // a leap year
    for (const std::int32_t day : {-1, 0, 11016, 20544, 60000}) {
        const std::string text = civilFromDay(day);
        EXPECT_EQ(dayFromCivil(std::stoi(text.substr(0, 4)), static_cast<unsigned>(std::stoi(text.substr(5, 2))),
                               static_cast<unsigned>(std::stoi(text.substr(8, 2)))),
                  day)
            << text;
    }
}

}  // namespace
}  // namespace pp
