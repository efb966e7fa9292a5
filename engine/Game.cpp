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

class Game::Call {
public:
    explicit Call(Game& game) : game_(game) { ++game_.callDepth_; }
    ~Call() {
        if (--game_.callDepth_ == 0) {
            game_.runWaitingOpen();
        }
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    Game& game_;
};

namespace {

// Counts a dialog of the game as open for as long as it runs.
class DialogOpen {
public:
    explicit DialogOpen(int& count) : count_(count) { ++count_; }
    ~DialogOpen() { --count_; }
    DialogOpen(const DialogOpen&) = delete;
    DialogOpen& operator=(const DialogOpen&) = delete;

private:
    int& count_;
};

}  // namespace

Game::Game(Host& host, std::filesystem::path settingsPath, std::unique_ptr<RandomSource> random)
    : host_(host),
      random_(random ? std::move(random) : std::make_unique<MersenneRandom>()),
      context_{state_, *this, *random_, std::move(settingsPath)} {}

Game::~Game() = default;

void Game::start() {
    Call call(*this);
    loadSettingsFile(context_);
    if (auto last = host_.lastQuizFile(); last && !last->empty()) {
        context_.lastQuizFile = *last;
        missed_.quizOpened(*last);
        tellMissedStore();
    }
    requestRepaint();
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

void Game::tick() {
    Call call(*this);
    pp::tick(context_);
}

void Game::key(int keyCode) {
    Call call(*this);
    onKeyDown(context_, keyCode);
}

void Game::tap(int x, int y) {
    Call call(*this);
    onStylusUp(context_, x, y);
}

void Game::open(const std::filesystem::path& path) {
    // A new game must not start under a dialog of the running one: the name dialog, for one,
    // is about to store this game's score.
    if (dialogsOpen_ > 0) {
        waitingOpen_ = path;
        return;
    }
    Call call(*this);
    openQuizFile(context_, path);
}

void Game::confirmSettings(const Options& chosen) {
    Call call(*this);
    pp::confirmSettings(context_, chosen);
}

void Game::showRanking() {
    Call call(*this);
    pp::showRanking(context_);
}

void Game::command(int id) {
    Call call(*this);
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
            if (auto chosen = chooseQuizFile()) {
                openQuizFile(context_, *chosen);
            }
            break;
        case command::kSettings:
            // The game keeps running behind the dialog on the old options until it is confirmed.
            if (auto chosen = editOptions(state_.options)) {
                pp::confirmSettings(context_, *chosen);
            }
            break;
        case command::kShowRanking:
            pp::showRanking(context_);
            break;
        case command::kMissedQuestions:
            if (!missed_.stillMatches(context_.lastQuizFile)) {
                tellMissedStore();
                showMessage(kMissedStaleText, kMissedStoreCaption);
            } else if (const auto rows = missed_.rows(context_.lastQuizFile); !rows.empty() && showMissedQuestions(rows)) {
                reviewMissed();
            }
            break;
        case command::kReviewMissed:
            reviewMissed();
            break;
        default:
            break;
    }
}

void Game::paint(Surface& surface) {
    if (painting_) {
        return;  // asked from a dialog that this paint opened: the paint under way draws last
    }
    Call call(*this);
    painting_ = true;
    needsPaint_ = false;
    runEntryWork();
    paintScreen(state_, surface);
    painting_ = false;
    if (needsPaint_) {
        host_.requestRepaint();  // asked for while the entry work ran
    }
}

void Game::runEntryWork() {
    if (entryWorkDone_ == state_.screenEntry) {
        return;
    }
    entryWorkDone_ = state_.screenEntry;
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
            break;
        case Screen::ShowCorrect:
            playEffect(context_, sound::kShowCorrect);
            break;
        case Screen::LevelClear:
            playEffect(context_, sound::kLevelClear);
            break;
        case Screen::GameOver:
        case Screen::AllClear:
            // The name dialog shows over the previous picture; the results are drawn after it.
            playEffect(context_, state_.screen == Screen::GameOver ? sound::kGameOver : sound::kAllClear);
            missed_.gameFinished();
            tellMissedStore();
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
    const std::u16string name = askPlayerName();
    enterRanking(state_, name);
    saveSettingsFile(context_);
}

void Game::reviewMissed() {
    const std::vector<std::int32_t> questions = missed_.questionNumbers();
    if (questions.empty() || context_.lastQuizFile.empty()) {
        return;
    }
    const std::filesystem::path path = context_.lastQuizFile;
    if (!missed_.stillMatches(path)) {
        tellMissedStore();
        showMessage(kMissedStaleText, kMissedStoreCaption);
        return;
    }
    if (startReviewRun(context_, path, questions)) {
        missed_.gameStarted();
    }
}

void Game::tellMissedStore() {
    const std::optional<MissedListNotice> notice = missed_.takeNotice();
    if (!notice) {
        return;
    }
    if (notice->state == DataFileState::KeptAside) {
        showMessage(std::u16string(kMissedStoreKeptAsideText) + u"\n" + messagePath(notice->keptAs), kMissedStoreCaption);
    } else {
        showMessage(std::u16string(kMissedStoreBlockedText) + u"\n" + messagePath(missed_.storeFile()), kMissedStoreCaption);
    }
}

void Game::runWaitingOpen() {
    if (waitingOpen_ && dialogsOpen_ == 0) {
        const std::filesystem::path path = std::exchange(waitingOpen_, std::nullopt).value();
        open(path);
    }
}

void Game::requestRepaint() {
    if (!needsPaint_) {
        needsPaint_ = true;
        host_.requestRepaint();
    }
}

void Game::showMessage(std::u16string_view text, std::u16string_view caption) {
    DialogOpen open(dialogsOpen_);
    host_.showMessage(text, caption);
}

std::u16string Game::askPlayerName() {
    DialogOpen open(dialogsOpen_);
    return host_.askPlayerName();
}

std::optional<std::filesystem::path> Game::chooseQuizFile() {
    DialogOpen open(dialogsOpen_);
    return host_.chooseQuizFile();
}

std::optional<Options> Game::editOptions(const Options& current) {
    DialogOpen open(dialogsOpen_);
    return host_.editOptions(current);
}

void Game::showAbout() {
    DialogOpen open(dialogsOpen_);
    host_.showAbout();
}

bool Game::showMissedQuestions(const std::vector<MissedQuestionRow>& rows) {
    DialogOpen open(dialogsOpen_);
    return host_.showMissedQuestions(rows);
}

void Game::quizFileOpened(const std::filesystem::path& path, bool accepted) {
    if (accepted) {
        context_.lastQuizFile = path;
        missed_.quizOpened(path);
        tellMissedStore();
    } else if (path == context_.lastQuizFile) {
        // The file to start again on is gone: the title asks for another one next time.
        context_.lastQuizFile.clear();
        missed_.quizLost();
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
