#include "engine/StudyHistory.h"

#include <algorithm>
#include <utility>

#include "engine/ReviewSchedule.h"
#include "quizdata/QuestionLoader.h"

namespace pp {

const char* gameMode(const GameState& state) {
    if (!state.reviewQuestions.empty()) {
        return "review";
    }
    return state.options.studyMode == 1 ? "study" : "game";
}

void StudyHistory::quizOpened(const std::filesystem::path& path) {
    cards_.clear();
    quizSelected_ = false;
    if (!history_) {
        return;
    }
    const std::optional<QuizFingerprint> print = fingerprintQuizFile(path);
    if (!print) {
        return;
    }
    history_->selectQuiz(*print);
    for (const ReviewCard& card : history_->cards()) {
        cards_[card.question] = card;
    }
    quizSelected_ = true;
    noteProblem();
}

void StudyHistory::quizLost() {
    cards_.clear();
    quizSelected_ = false;
}

void StudyHistory::judged(const GameState& state, std::int32_t day) {
    if (!history_ || !quizSelected_) {
        return;
    }
    const bool right = answerIsRight(state);
    AnswerRecord answer;
    answer.day = day;
    answer.question = state.currentQuestion;
    answer.genre = state.currentGenre;
    if (state.selection >= 1 && state.selection <= kChoiceCount) {
        answer.choice = state.choiceOrder[static_cast<std::size_t>(state.selection - 1)];
    }
    answer.right = right;
    answer.timeLeftTicks = state.timeLeftTicks;

    ReviewCard before;
    before.question = state.currentQuestion;
    if (const auto found = cards_.find(state.currentQuestion); found != cards_.end()) {
        before = found->second;
    }
    const ReviewCard after = reviewCard(before, gradeAnswer(state), day);
    history_->recordAnswer(answer, after);
    // The schedule follows the answer even when the file could not keep it, so this run's
    // review list stays right.
    cards_[state.currentQuestion] = after;
    noteProblem();
}

void StudyHistory::gameFinished(const GameState& state, std::int32_t day) {
    if (!history_ || !quizSelected_) {
        return;
    }
    GameRecord game;
    game.day = day;
    game.mode = gameMode(state);
    game.score = state.score;
    game.genreCorrect = state.genreCorrect;
    game.genreAnswered = state.genreAnswered;
    history_->recordGame(game);
    noteProblem();
}

Progress StudyHistory::progress(const std::filesystem::path& path, std::int32_t day) {
    Progress progress;
    progress.dueByDay = dueCounts(cards(), day, kProgressDays);
    if (!history_ || !quizSelected_) {
        return progress;
    }
    progress.games = history_->games();
    if (progress.games.size() > static_cast<std::size_t>(kProgressGames)) {
        progress.games.erase(progress.games.begin(), progress.games.end() - kProgressGames);
    }
    progress.genreDays = history_->genreDays();
    if (progress.genreDays.size() > kProgressGenreDays) {
        progress.genreDays.erase(progress.genreDays.begin(), progress.genreDays.end() - kProgressGenreDays);
    }
    for (const MissCount& count : history_->mostMissed(kProgressMissed)) {
        OftenMissed row{count.question, count.misses, count.answers, {}, {}};
        if (const std::optional<NumberedQuestion> read = readNumberedQuestion(path, count.question)) {
            row.text = std::u16string(read->question.text.view());
            row.right = std::u16string(read->question.choices[0].view());
        }
        progress.mostMissed.push_back(std::move(row));
    }
    noteProblem();
    return progress;
}

std::string historyCsv(const std::vector<AnswerRecord>& answers) {
    std::string csv = "\xEF\xBB\xBF日付,問題番号,ジャンル番号,選んだ答え,正誤,残り時間(秒)\r\n";
    for (const AnswerRecord& answer : answers) {
        // Numbers as players count them: the first question and the first genre are 1.
        csv += civilFromDay(answer.day) + ',' + std::to_string(answer.question + 1) + ',' +
               std::to_string(answer.genre + 1) + ',';
        csv += answer.choice == kNoChoice ? std::string("時間切れ") : std::to_string(answer.choice + 1);
        csv += answer.right ? ",正解," : ",不正解,";
        csv += std::to_string(std::max(answer.timeLeftTicks, 0) / 20) + "\r\n";
    }
    return csv;
}

std::vector<ReviewCard> StudyHistory::cards() const {
    std::vector<ReviewCard> all;
    all.reserve(cards_.size());
    for (const auto& [question, card] : cards_) {
        all.push_back(card);
    }
    return all;
}

int StudyHistory::dueCount(std::int32_t day) const {
    int count = 0;
    for (const auto& [question, card] : cards_) {
        count += card.reps > 0 && card.dueDay <= day ? 1 : 0;
    }
    return count;
}

std::vector<std::int32_t> StudyHistory::due(std::int32_t day) const { return dueQuestions(cards(), day); }

void StudyHistory::noteProblem() {
    const HistoryProblem problem = history_->takeProblem();
    if (problem == HistoryProblem::None) {
        return;
    }
    const std::uint32_t bit = 1u << static_cast<unsigned>(problem);
    if ((toldProblems_ & bit) == 0) {
        toldProblems_ |= bit;
        notice_ = problem;
    }
}

std::optional<HistoryProblem> StudyHistory::takeNotice() { return std::exchange(notice_, std::nullopt); }

}  // namespace pp
