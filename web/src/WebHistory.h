#pragma once

#include <string>
#include <vector>

#include "persistence/History.h"

namespace pp::web {

// The history port on the page's storage (history.js, over IndexedDB): the page holds the rows
// of the quiz files in memory, answers at once from them, and writes each change in the
// background in the order made. The page must have read the cards before a quiz file is opened
// and a quiz's answers and games before the progress window or the export asks for them.
class WebHistory final : public History {
public:
    void selectQuiz(const QuizFingerprint& quiz) override;
    std::vector<ReviewCard> cards() override;
    void recordAnswer(const AnswerRecord& answer, const ReviewCard& card) override;
    void recordGame(const GameRecord& game) override;
    std::vector<GameRecord> games() override;
    std::vector<GenreDay> genreDays() override;
    std::vector<MissCount> mostMissed(int count) override;
    std::vector<AnswerRecord> answers() override;
    HistoryProblem takeProblem() override;
};

// The page's key for a quiz file. The page writes its quiz files anew on every visit, so their
// times say nothing: the key is the name, the size and the sampled hash.
std::string quizKey(const QuizFingerprint& quiz);

}  // namespace pp::web
