#include "party/Session.h"

#include <algorithm>
#include <utility>

#include "persistence/StoredName.h"
#include "quizdata/QuestionLoader.h"
#include "quizdata/QuizFile.h"

namespace pp::party {

int pointsFor(std::int64_t leftMs) {
    if (leftMs <= 0) {
        return 0;
    }
    // The game's clock starts just under ten seconds, so the most an answer earns is 90 there and here.
    return static_cast<int>(std::min(leftMs, kAnswerWindowMs - 1) / 1000) * kPointsPerSecondLeft;
}

Session::Session(std::filesystem::path quiz, RandomSource& questions, RandomSource& secrets, std::string pin,
                 int questionCount)
    : questions_(questions), secrets_(secrets), pin_(std::move(pin)) {
    // Game-mode draws that never ask a question twice while its genre has others left.
    game_.options = kDefaultOptions;
    game_.options.studyMode = 0;
    game_.options.timeLimit = 1;
    game_.noRepeats = true;
    game_.quizPath = std::move(quiz);
    const QuizLayout layout = readQuizLayout(game_.quizPath);
    if (layout.accepted()) {
        questionCount_ = std::clamp(std::min(questionCount, layout.questionCount), 0, kMostQuestions);
    }
}

bool Session::validPin(std::string_view pin) {
    return pin.size() >= kShortestPin && pin.size() <= kPinDigits &&
           std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Session::newToken() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    while (token.size() < kTokenChars) {
        std::uint32_t bits = secrets_.next();
        for (int i = 0; i < 8; ++i, bits >>= 4) {
            token += kHex[bits & 0xF];
        }
    }
    return token;
}

JoinResult Session::join(std::string_view pin, std::u16string_view typedName) {
    if (!validPin(pin) || pin != pin_) {
        return {JoinRefusal::WrongPin};
    }
    if (phase_ == Phase::Finished) {
        return {JoinRefusal::Finished};
    }
    // The ranking's own rule, so a name here is one the ranking could keep.
    // A blank name becomes the ranking's "ななし" there; here each player must have a name to be told apart by.
    const std::u16string name = rankingName(typedName);
    if (name.find_first_not_of(u' ') == std::u16string::npos || (name == kNamelessName && typedName != kNamelessName)) {
        return {JoinRefusal::BadName};
    }
    const auto active = std::count_if(players_.begin(), players_.end(), [](const Player& p) { return !p.removed; });
    if (static_cast<std::size_t>(active) >= kMostPlayers) {
        return {JoinRefusal::Full};
    }
    if (std::any_of(players_.begin(), players_.end(), [&](const Player& p) { return !p.removed && p.name == name; })) {
        return {JoinRefusal::NameTaken};
    }
    Player& player = players_.emplace_back();
    player.id = nextId_++;
    player.name = name;
    player.token = newToken();
    player.joinedAfter = questionNumber_;
    return {JoinRefusal::None, player.id};
}

const Player* Session::playerByToken(std::string_view token) const {
    if (token.size() != kTokenChars) {
        return nullptr;
    }
    for (const Player& p : players_) {
        if (!p.removed && p.token == token) {
            return &p;
        }
    }
    return nullptr;
}

const Player* Session::player(PlayerId id) const {
    for (const Player& p : players_) {
        if (p.id == id && !p.removed) {
            return &p;
        }
    }
    return nullptr;
}

Player* Session::find(PlayerId id) { return const_cast<Player*>(std::as_const(*this).player(id)); }

bool Session::remove(PlayerId id) {
    Player* p = find(id);
    if (p == nullptr) {
        return false;
    }
    p->removed = true;
    return true;
}

bool Session::openNextQuestion(std::int64_t nowMs) {
    if (phase_ == Phase::Open || phase_ == Phase::Finished) {
        return false;
    }
    if (questionNumber_ >= questionCount_ || loadQuestion(game_, questions_, game_.quizPath) != LoadResult::Ok) {
        finish();
        return false;
    }
    ++questionNumber_;
    for (Player& p : players_) {
        p.answer = 0;
        p.answerPoints = 0;
    }
    phase_ = Phase::Open;
    paused_ = false;
    deadlineMs_ = nowMs + kAnswerWindowMs;
    return true;
}

AnswerRefusal Session::answer(PlayerId id, int questionNumber, int position, std::int64_t nowMs) {
    Player* p = find(id);
    if (p == nullptr) {
        return AnswerRefusal::UnknownPlayer;
    }
    if (phase_ != Phase::Open) {
        return AnswerRefusal::NotOpen;
    }
    if (questionNumber != questionNumber_) {
        return AnswerRefusal::WrongQuestion;
    }
    if (p->joinedAfter >= questionNumber_) {
        return AnswerRefusal::JoinedLate;
    }
    if (position < 1 || position > kChoiceCount) {
        return AnswerRefusal::BadChoice;
    }
    if (p->answer != 0) {
        return AnswerRefusal::AlreadyAnswered;
    }
    const std::int64_t left = timeLeftMs(nowMs);
    if (left <= 0) {
        return AnswerRefusal::TooLate;
    }
    p->answer = position;
    p->answerPoints = position - 1 == game_.correctPosition ? pointsFor(left) : 0;
    return AnswerRefusal::None;
}

bool Session::allAnswered() const {
    if (phase_ != Phase::Open) {
        return false;
    }
    bool anyone = false;
    for (const Player& p : players_) {
        if (!p.removed && p.joinedAfter < questionNumber_) {
            anyone = true;
            if (p.answer == 0) {
                return false;
            }
        }
    }
    return anyone;
}

void Session::judge() {
    if (phase_ != Phase::Open) {
        return;
    }
    for (Player& p : players_) {
        if (p.answer - 1 == game_.correctPosition && p.answer != 0) {
            p.score += p.answerPoints;
            ++p.rightAnswers;
        }
    }
    phase_ = Phase::Judged;
    paused_ = false;
}

void Session::finish() {
    judge();
    phase_ = Phase::Finished;
}

void Session::pause(std::int64_t nowMs) {
    if (phase_ != Phase::Open || paused_) {
        return;
    }
    leftWhenPaused_ = timeLeftMs(nowMs);
    paused_ = true;
}

void Session::resume(std::int64_t nowMs) {
    if (!paused_) {
        return;
    }
    paused_ = false;
    deadlineMs_ = nowMs + leftWhenPaused_;
}

std::int64_t Session::timeLeftMs(std::int64_t nowMs) const {
    if (phase_ != Phase::Open) {
        return 0;
    }
    if (paused_) {
        return leftWhenPaused_;
    }
    return std::max<std::int64_t>(0, deadlineMs_ - nowMs);
}

QuestionView Session::question() const {
    QuestionView view;
    if (questionNumber_ == 0) {
        return view;
    }
    view.number = questionNumber_;
    view.total = questionCount_;
    view.genre = std::u16string(game_.genres[static_cast<std::size_t>(game_.currentGenre)].name.view());
    view.text = std::u16string(game_.questionText.view());
    for (int position = 0; position < kChoiceCount; ++position) {
        view.choices[static_cast<std::size_t>(position)] = std::u16string(choiceText(game_, position));
    }
    return view;
}

int Session::rightPosition() const {
    return phase_ == Phase::Judged || (phase_ == Phase::Finished && questionNumber_ > 0) ? game_.correctPosition + 1
                                                                                         : 0;
}

std::vector<Standing> Session::standings() const {
    std::vector<Standing> rows;
    for (const Player& p : players_) {
        if (!p.removed) {
            rows.push_back({p.id, p.name, p.score, 0});
        }
    }
    // Higher scores first; among equals, who joined first, so the order never flickers.
    std::stable_sort(rows.begin(), rows.end(), [](const Standing& a, const Standing& b) { return a.score > b.score; });
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].place = i > 0 && rows[i].score == rows[i - 1].score ? rows[i - 1].place : static_cast<int>(i) + 1;
    }
    return rows;
}

std::vector<const Player*> Session::players() const {
    std::vector<const Player*> active;
    for (const Player& p : players_) {
        if (!p.removed) {
            active.push_back(&p);
        }
    }
    return active;
}

}  // namespace pp::party
