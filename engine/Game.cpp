#include "engine/Game.h"

#include <utility>

#include "engine/Commands.h"
#include "engine/Input.h"
#include "engine/Judge.h"
#include "engine/Messages.h"
#include "engine/Sounds.h"
#include "engine/Ticker.h"
#include "persistence/Ranking.h"
#include "quizdata/QuestionLoader.h"
#include "screens/Painter.h"

namespace pp {

Game::Game(Host& host, std::filesystem::path settingsPath, std::unique_ptr<RandomSource> random)
    : host_(host),
      random_(random ? std::move(random) : std::make_unique<MersenneRandom>()),
      context_{state_, *this, *random_, std::move(settingsPath)} {}

Game::~Game() = default;

void Game::start() {
    loadSettingsFile(context_);
    if (auto last = host_.lastQuizFile(); last && !last->empty()) {
        context_.lastQuizFile = *last;
        missed_.quizOpened(*last);
        tellMissedStore();
        readFileRanking(*last);
        history_.quizOpened(*last);
        tellHistoryStore();
    }
    offerKeptRun();
    requestRepaint();
    settle();
}

bool Game::playing() const {
    switch (state_.screen) {
        case Screen::Title:
        case Screen::GameOver:
        case Screen::AllClear:
        case Screen::Ranking:
            return false;
        default:
            return true;
    }
}

bool Game::requestPending() const {
    return pending_.messages > 0 || pending_.name || pending_.file || pending_.settings || pending_.about ||
           pending_.missed || pending_.leave || pending_.resume;
}

void Game::listen(GameEvents* events) {
    events_ = events;
    if (events_ != nullptr) {
        events_->listening(state_, context_.lastQuizFile);
        if (!rankingsFile_.empty()) {
            events_->keepsPlayerRecords();
        }
        if (history_.inUse()) {
            toldDay_ = host_.today();
            events_->keepsHistory(toldDay_);
        }
        if (!context_.lastQuizFile.empty()) {
            tellKept(context_.lastQuizFile);
        }
        if (pending_.resume) {
            events_->runOffered(*pending_.resume);
        }
    }
}

void Game::setNoRepeats(bool on) {
    state_.noRepeats = on;
    if (events_ != nullptr) {
        events_->noRepeatsSet(on);
    }
}

void Game::tick() {
    if (events_ != nullptr) {
        noteDay();
        events_->ticked();
    }
    pp::tick(context_);
    settle();
}

void Game::key(int keyCode) {
    if (pending_.name) {
        return;  // the name dialog has the keys
    }
    if (events_ != nullptr) {
        noteDay();
        events_->keyPressed(keyCode);
    }
    onKeyDown(context_, keyCode);
    settle();
}

void Game::tap(int x, int y) {
    if (pending_.name) {
        return;
    }
    if (events_ != nullptr) {
        noteDay();
        events_->tapped(x, y);
    }
    onStylusUp(context_, x, y);
    settle();
}

void Game::open(const std::filesystem::path& path) {
    // A new game must not start under the name dialog of the running one, which is about to
    // store this game's score.
    if (pending_.name) {
        waitingOpen_ = path;
        return;
    }
    if (events_ != nullptr) {
        noteDay();
        events_->opened(path);
    }
    openAsking(path);
    settle();
}

void Game::showRanking() {
    if (pending_.name) {
        return;
    }
    if (events_ != nullptr) {
        events_->commanded(command::kShowRanking);
    }
    pp::showRanking(context_);
    settle();
}

void Game::command(int id) {
    if (pending_.name) {
        return;
    }
    if (events_ != nullptr) {
        noteDay();
        events_->commanded(id);
    }
    switch (id) {
        case command::kQuitAccelerator:
        case command::kQuit:
            // Nothing is saved here: the settings file is written on every change already.
            quit();
            break;
        case command::kAbout:
            showAbout();
            break;
        case command::kOpen:
            chooseQuizFile();
            break;
        case command::kSettings:
            // The game keeps running behind the dialog on the old options until it is confirmed.
            editOptions(state_.options);
            break;
        case command::kShowRanking:
            pp::showRanking(context_);
            break;
        case command::kMissedQuestions:
            if (!missed_.stillMatches(context_.lastQuizFile)) {
                tellMissedStale();
            } else if (const auto rows = missed_.rows(context_.lastQuizFile); !rows.empty()) {
                showMissedQuestions(rows);
            }
            break;
        case command::kReviewMissed:
            reviewMissed();
            break;
        case command::kBackToTitle:
            if (playing()) {
                askLeave(LeaveReason::BackToTitle);
            } else if (state_.screen != Screen::Title) {
                backToTitle();  // nothing is lost from the results or the ranking
            }
            break;
        case command::kReviewDue:
            reviewDue();
            break;
        default:
            break;
    }
    settle();
}

void Game::dismissMessage() {
    if (pending_.messages > 0) {
        --pending_.messages;
    }
}

void Game::enterName(std::u16string_view name) {
    if (!std::exchange(pending_.name, false)) {
        return;
    }
    if (events_ != nullptr) {
        events_->nameEntered(name);
    }
    enterRanking(state_, name);
    saveSettingsFile(context_);
    saveFileRanking();
    // The results were held back behind the dialog: their paint is due now.
    needsPaint_ = false;
    requestRepaint();
    settle();
}

void Game::chooseFile(const std::filesystem::path& path) {
    if (!std::exchange(pending_.file, false)) {
        return;
    }
    if (events_ != nullptr) {
        events_->opened(path);
    }
    openAsking(path);
    settle();
}

void Game::cancelFile() { pending_.file = false; }

void Game::confirmSettings(const Options& chosen) {
    pending_.settings = false;
    if (events_ != nullptr) {
        events_->settingsConfirmed(chosen);
    }
    pp::confirmSettings(context_, chosen);
    settle();
}

void Game::cancelSettings() { pending_.settings = false; }

void Game::closeAbout() { pending_.about = false; }

void Game::answerLeave(bool leave) {
    const std::optional<LeaveReason> reason = std::exchange(pending_.leave, std::nullopt);
    const std::filesystem::path path = std::exchange(leaveFor_, {});
    if (reason && events_ != nullptr) {
        events_->leaveAnswered(leave);
    }
    if (!reason || !leave) {
        return;  // the game goes on as it was
    }
    if (*reason == LeaveReason::BackToTitle) {
        backToTitle();
    } else {
        missed_.gameStarted();  // the abandoned game's misses are no finished game's list
        openQuizFile(context_, path);
    }
    settle();
}

void Game::answerResume(bool resume) {
    std::optional<ResumePoint> point = std::exchange(pending_.resume, std::nullopt);
    if (!point) {
        return;
    }
    if (events_ != nullptr) {
        events_->resumeAnswered(resume);
    }
    saveResumePoint(resumeFile_, std::nullopt);  // taken up or turned down, it is used once
    if (!resume || state_.screen != Screen::Title) {
        return;
    }
    resumeRun(context_, std::filesystem::path(point->quiz.path), *point);
    settle();
}

void Game::keepPlayerRecordsIn(const std::filesystem::path& folder) {
    resumeFile_ = folder / std::string(kResumeFileName);
    rankingsFile_ = folder / std::string(kFileRankingsName);
}

void Game::suspend() {
    if (resumeFile_.empty() || pending_.resume) {
        return;  // an offer not answered yet stands for the next start
    }
    std::optional<ResumePoint> point;
    if (studyRules(state_) && playing()) {
        point = placeOfRun(state_);
        if (point) {
            if (std::optional<QuizFingerprint> print = fingerprintQuizFile(state_.quizPath)) {
                point->quiz = std::move(*print);
            } else {
                point.reset();
            }
        }
    }
    saveResumePoint(resumeFile_, point);
}

void Game::closeMissedQuestions(bool review) {
    if (!std::exchange(pending_.missed, false)) {
        return;
    }
    if (review) {
        if (events_ != nullptr) {
            events_->commanded(command::kReviewMissed);
        }
        reviewMissed();
    }
    settle();
}

bool Game::takePaintRequest() {
    if (pending_.name) {
        return false;
    }
    return std::exchange(needsPaint_, false);
}

void Game::paint(Surface& surface) const {
    // Only the title tells of the questions due, so no other screen asks the history.
    const int due = state_.screen == Screen::Title && history_.inUse() ? history_.dueCount(host_.today()) : 0;
    paintScreen(state_, surface, due);
}

void Game::settle() {
    runEntryWork();
    if (waitingOpen_ && !pending_.name) {
        const std::filesystem::path path = std::exchange(waitingOpen_, std::nullopt).value();
        open(path);
    }
}

void Game::runEntryWork() {
    // A screen's work could enter another screen: that one's work runs next, before the call
    // returns.
    while (entryWorkDone_ != state_.screenEntry) {
        entryWorkDone_ = state_.screenEntry;
        host_.screenEntered(state_);
        if (events_ != nullptr) {
            events_->screenEntered(state_);
        }
        runScreenWork();
    }
}

void Game::runScreenWork() {
    switch (state_.screen) {
        case Screen::LoadQuestion:
            // A failure leaves questionReady false, and the tick waits on this screen.
            if (loadQuestion(state_, *random_, state_.quizPath) != LoadResult::Ok) {
                showMessage(loadErrorText(state_.quizPath), kLoadErrorCaption);
            }
            break;
        case Screen::Judging:
            judgeAnswer(context_);
            missed_.judged(state_);
            if (history_.inUse()) {
                history_.judged(state_, host_.today());
                tellHistoryStore();
            }
            break;
        case Screen::ShowCorrect:
            playEffect(context_, sound::kShowCorrect);
            break;
        case Screen::LevelClear:
            playEffect(context_, sound::kLevelClear);
            break;
        case Screen::GameOver:
        case Screen::AllClear:
            // The name dialog shows over the previous picture; the results are drawn after it
            // (takePaintRequest holds their paint back until the name is in).
            playEffect(context_, state_.screen == Screen::GameOver ? sound::kGameOver : sound::kAllClear);
            missed_.gameFinished();
            tellMissedStore();
            if (history_.inUse()) {
                history_.gameFinished(state_, host_.today());
                tellHistoryStore();
            }
            offerRanking();
            break;
        default:
            break;
    }
}

void Game::offerRanking() {
    // A review run goes over questions already played: its score is no game's.
    if (!state_.reviewQuestions.empty() || !rankingOffered(state_)) {
        return;
    }
    askPlayerName();
}

void Game::reviewMissed() {
    const std::vector<std::int32_t> questions = missed_.questionNumbers();
    if (questions.empty() || context_.lastQuizFile.empty()) {
        return;
    }
    const std::filesystem::path path = context_.lastQuizFile;
    if (!missed_.stillMatches(path)) {
        tellMissedStale();
        return;
    }
    if (startReviewRun(context_, path, questions)) {
        missed_.gameStarted();
    }
}

void Game::openAsking(const std::filesystem::path& path) {
    // A file that would be refused costs the game nothing: its load error shows without a question.
    if (askBeforeOpening_ && playing() && quizFileOpens(path)) {
        leaveFor_ = path;
        askLeave(LeaveReason::OpenFile);
        return;
    }
    openQuizFile(context_, path);
}

void Game::askLeave(LeaveReason reason) {
    if (pending_.leave) {
        return;  // the question already on show answers for this one too
    }
    pending_.leave = reason;
    host_.confirmLeave(reason);
}

void Game::backToTitle() {
    missed_.gameStarted();
    resetGame(state_);
    state_.rankingShowsFile = false;
    requestRepaint();
}

void Game::offerKeptRun() {
    if (resumeFile_.empty()) {
        return;
    }
    std::optional<ResumePoint> point = loadResumePoint(resumeFile_);
    if (!point) {
        return;
    }
    // A study run goes on only in study mode; a review run goes on whatever the mode.
    const bool fits = point->reviewQuestions.empty() ? state_.options.studyMode == 1 : true;
    if (!fits || fingerprintQuizFile(point->quiz.path) != point->quiz) {
        saveResumePoint(resumeFile_, std::nullopt);  // its questions are numbered in another file now
        return;
    }
    pending_.resume = std::move(point);
    host_.offerResume();
}

void Game::readFileRanking(const std::filesystem::path& path) {
    rankedQuiz_.reset();
    state_.fileRankingKept = false;
    if (rankingsFile_.empty()) {
        return;
    }
    rankedQuiz_ = fingerprintQuizFile(path);
    if (rankedQuiz_) {
        state_.fileRanking = loadFileRanking(rankingsFile_, *rankedQuiz_);
        state_.fileRankingKept = true;
    }
}

void Game::saveFileRanking() {
    if (rankedQuiz_ && state_.fileRankingHighlight >= 0) {
        pp::saveFileRanking(rankingsFile_, *rankedQuiz_, state_.fileRanking);
    }
}

void Game::reviewDue() {
    if (context_.lastQuizFile.empty()) {
        return;
    }
    const std::vector<std::int32_t> due = dueToday();
    if (startReviewRun(context_, context_.lastQuizFile, due)) {
        missed_.gameStarted();
    }
}

void Game::noteDay() {
    if (!history_.inUse()) {
        return;
    }
    const std::int32_t day = host_.today();
    if (day != toldDay_) {
        toldDay_ = day;
        events_->dayChanged(day);
    }
}

void Game::tellKept(const std::filesystem::path& path) {
    if (events_ == nullptr) {
        return;
    }
    KeptForQuiz kept;
    kept.missed = missed_.questionNumbers();
    if (state_.fileRankingKept) {
        kept.fileRanking = state_.fileRanking;
    }
    if (history_.inUse()) {
        kept.cards = history_.cards();
    }
    events_->keptRead(path, kept);
}

void Game::tellHistoryStore() {
    history_.checkStore();
    const std::optional<HistoryProblem> problem = history_.takeNotice();
    if (!problem) {
        return;
    }
    std::u16string_view text = kHistoryUnavailableText;
    switch (*problem) {
        case HistoryProblem::Damaged: text = kHistoryDamagedText; break;
        case HistoryProblem::Locked: text = kHistoryLockedText; break;
        case HistoryProblem::ReadOnly: text = kHistoryReadOnlyText; break;
        case HistoryProblem::Full: text = kHistoryFullText; break;
        default: break;
    }
    showMessage(text, kHistoryCaption);
}

void Game::tellMissedStore() {
    if (const std::optional<MissedListNotice> notice = missed_.takeNotice(); !notice) {
        // Nothing about a list file; a history keeping the lists may have a problem to tell.
    } else if (notice->state == DataFileState::KeptAside) {
        showMessage(std::u16string(kMissedStoreKeptAsideText) + u"\n" + messagePath(notice->keptAs), kMissedStoreCaption);
    } else {
        showMessage(std::u16string(kMissedStoreBlockedText) + u"\n" + messagePath(missed_.storeFile()), kMissedStoreCaption);
    }
    if (history_.inUse()) {
        tellHistoryStore();
    }
}

void Game::tellMissedStale() {
    // The file changed under the lists: its review schedule is another file's now too.
    history_.quizOpened(context_.lastQuizFile);
    tellMissedStore();
    showMessage(kMissedStaleText, kMissedStoreCaption);
}

void Game::requestRepaint() {
    if (!needsPaint_) {
        needsPaint_ = true;
        host_.requestRepaint();
    }
}

void Game::showMessage(std::u16string_view text, std::u16string_view caption) {
    ++pending_.messages;
    host_.showMessage(text, caption);
}

void Game::askPlayerName() {
    pending_.name = true;
    if (events_ != nullptr) {
        events_->nameAsked();
    }
    host_.askPlayerName();
}

void Game::chooseQuizFile() {
    pending_.file = true;
    host_.chooseQuizFile();
}

void Game::editOptions(const Options& current) {
    pending_.settings = true;
    host_.editOptions(current);
}

void Game::showAbout() {
    pending_.about = true;
    host_.showAbout();
}

void Game::showMissedQuestions(const std::vector<MissedQuestionRow>& rows) {
    pending_.missed = true;
    host_.showMissedQuestions(rows);
}

void Game::quizFileOpened(const std::filesystem::path& path, bool accepted) {
    if (accepted) {
        context_.lastQuizFile = path;
        missed_.quizOpened(path);
        tellMissedStore();
        readFileRanking(path);
        history_.quizOpened(path);
        tellHistoryStore();
        tellKept(path);
    } else if (path == context_.lastQuizFile) {
        // The file to start again on is gone: the title asks for another one next time.
        context_.lastQuizFile.clear();
        missed_.quizLost();
        rankedQuiz_.reset();
        state_.fileRankingKept = false;
        history_.quizLost();
    }
    host_.quizFileOpened(path, accepted);
}

std::optional<std::filesystem::path> Game::lastQuizFile() {
    if (context_.lastQuizFile.empty()) {
        return std::nullopt;
    }
    return context_.lastQuizFile;
}

}  // namespace pp
