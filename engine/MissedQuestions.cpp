#include "engine/MissedQuestions.h"

#include <algorithm>
#include <utility>

#include "quizdata/QuestionLoader.h"

namespace pp {

void MissedQuestions::quizOpened(const std::filesystem::path& path) {
    current_.clear();
    currentTimes_.clear();
    keptTimes_.clear();
    std::optional<QuizFingerprint> print = fingerprintQuizFile(path);
    if (!print) {
        quizLost();
        return;
    }
    std::optional<std::vector<MissedAnswer>> stored;
    if (history_ != nullptr) {
        history_->selectQuiz(*print);
        stored = history_->missedList();
    } else if (!storeFile_.empty()) {
        MissedListNotice notice;
        stored = loadMissedList(storeFile_, *print, &notice);
        noteStore(notice);
    }
    if (stored) {
        kept_ = std::move(*stored);
    } else if (!quiz_ || !(*quiz_ == *print)) {
        kept_.clear();  // kept in memory for the same unchanged file only
    }
    quiz_ = std::move(print);
}

void MissedQuestions::quizLost() {
    quiz_.reset();
    kept_.clear();
    current_.clear();
    keptTimes_.clear();
    currentTimes_.clear();
}

void MissedQuestions::judged(const GameState& state) {
    if (answerIsRight(state)) {
        return;
    }
    const bool known = std::any_of(current_.begin(), current_.end(),
                                   [&](const MissedAnswer& missed) { return missed.question == state.currentQuestion; });
    if (known) {
        // A game may draw the same question again; the list names it once and counts the misses.
        ++currentTimes_.try_emplace(state.currentQuestion, 1).first->second;
        return;
    }
    std::int16_t choice = kNoChoice;
    if (state.selection >= 1 && state.selection <= kChoiceCount) {
        choice = state.choiceOrder[static_cast<std::size_t>(state.selection - 1)];
    }
    current_.push_back(MissedAnswer{state.currentQuestion, choice});
}

void MissedQuestions::gameFinished() {
    kept_ = current_;
    current_.clear();
    keptTimes_ = std::exchange(currentTimes_, {});
    if (quiz_ && history_ != nullptr) {
        history_->keepMissedList(kept_);  // a list the history cannot keep still lasts this run
    } else if (quiz_ && !storeFile_.empty()) {
        // A list that cannot be kept is no reason to trouble the player: the game has ended well.
        MissedListNotice notice;
        saveMissedList(storeFile_, *quiz_, kept_, &notice);
        noteStore(notice);
    }
}

bool MissedQuestions::stillMatches(const std::filesystem::path& path) {
    const std::optional<QuizFingerprint> print = fingerprintQuizFile(path);
    if (quiz_ && print && *print == *quiz_) {
        return true;
    }
    quizOpened(path);  // reads what is kept for the file as it is now, dropping the stale list
    current_.clear();
    kept_.clear();
    currentTimes_.clear();
    keptTimes_.clear();
    return false;
}

void MissedQuestions::noteStore(const MissedListNotice& notice) {
    const std::uint32_t bit = 1u << static_cast<unsigned>(notice.state);
    if (notice.worthTelling() && (toldStates_ & bit) == 0) {
        toldStates_ |= bit;
        notice_ = notice;
    }
}

std::optional<MissedListNotice> MissedQuestions::takeNotice() { return std::exchange(notice_, std::nullopt); }

std::vector<std::int32_t> MissedQuestions::questionNumbers() const {
    std::vector<std::int32_t> numbers;
    for (const MissedAnswer& missed : list()) {
        numbers.push_back(missed.question);
    }
    return numbers;
}

std::vector<MissedQuestionRow> MissedQuestions::rows(const std::filesystem::path& path) const {
    std::vector<MissedQuestionRow> rows;
    for (const MissedAnswer& missed : list()) {
        const std::optional<NumberedQuestion> read = readNumberedQuestion(path, missed.question);
        if (!read) {
            continue;
        }
        MissedQuestionRow row;
        row.number = missed.question;
        row.genre = std::u16string(read->genreName.view());
        row.question = std::u16string(read->question.text.view());
        row.timedOut = missed.choice < 1 || missed.choice >= kChoiceCount;
        if (!row.timedOut) {
            row.given = std::u16string(read->question.choices[static_cast<std::size_t>(missed.choice)].view());
        }
        row.right = std::u16string(read->question.choices[0].view());
        const std::map<std::int32_t, int>& times = current_.empty() ? keptTimes_ : currentTimes_;
        if (const auto found = times.find(missed.question); found != times.end()) {
            row.timesMissed = found->second;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace pp
