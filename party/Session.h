#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/GameState.h"
#include "record/Random.h"

namespace pp::party {

// How long a question takes answers, by the host's clock; the points are the game's own: ten
// for every whole second left when the answer arrives.
inline constexpr std::int64_t kAnswerWindowMs = 10'000;
inline constexpr int kPointsPerSecondLeft = 10;
inline constexpr int kQuestionsByDefault = 10;
inline constexpr int kMostQuestions = 100;
// A room of a few classes; beyond it a join is refused rather than the host slowed for all.
inline constexpr std::size_t kMostPlayers = 300;
inline constexpr int kTopCount = 5;
inline constexpr std::size_t kTokenChars = 32;
// The host makes a PIN of kPinDigits digits; a typed one of kShortestPin digits or more is read,
// and the phones' page takes its field's length and pattern from these.
inline constexpr std::size_t kShortestPin = 4;
inline constexpr std::size_t kPinDigits = 6;

using PlayerId = std::uint32_t;

enum class Phase { Lobby, Open, Judged, Finished };

struct Player {
    PlayerId id = 0;
    std::u16string name;
    std::string token;
    std::int32_t score = 0;
    std::int32_t rightAnswers = 0;
    // Questions numbered after this one are this player's to answer: a late joiner waits for the next.
    int joinedAfter = 0;
    bool removed = false;
    // This question's answer: the display position 1..5 (0 = none) and the points it earned.
    int answer = 0;
    int answerPoints = 0;
};

enum class JoinRefusal { None, WrongPin, BadName, NameTaken, Full, Finished };

struct JoinResult {
    JoinRefusal refusal = JoinRefusal::None;
    PlayerId id = 0;
};

enum class AnswerRefusal { None, UnknownPlayer, NotOpen, WrongQuestion, TooLate, AlreadyAnswered, JoinedLate, BadChoice };

struct Standing {
    PlayerId id = 0;
    std::u16string name;
    std::int32_t score = 0;
    int place = 0;  // equal scores share a place
};

// The question as everyone sees it: the choices in the host's shuffled order, never which is right.
struct QuestionView {
    int number = 0;  // 1-based
    int total = 0;
    std::u16string genre;
    std::u16string text;
    std::array<std::u16string, kChoiceCount> choices;
};

// One shared game on a quiz file: who plays, which question is open, who answered what and
// when. Plain rules without a network or a clock of its own; the host passes its clock's
// milliseconds to every call that judges time, so that time is the host's alone.
class Session {
public:
    // `questions` draws the questions by the game's own rules; `secrets` makes the tokens, and
    // must be unpredictable outside tests.
    Session(std::filesystem::path quiz, RandomSource& questions, RandomSource& secrets, std::string pin,
            int questionCount = kQuestionsByDefault);

    // A PIN is four to six digits.
    static bool validPin(std::string_view pin);

    JoinResult join(std::string_view pin, std::u16string_view typedName);
    // The player the token names, still in the game; nothing for any other text.
    [[nodiscard]] const Player* playerByToken(std::string_view token) const;
    [[nodiscard]] const Player* player(PlayerId id) const;
    bool remove(PlayerId id);

    // Opens the next question at `nowMs`; false (and the game finished) when none is left or
    // the quiz file cannot give one.
    bool openNextQuestion(std::int64_t nowMs);
    AnswerRefusal answer(PlayerId id, int questionNumber, int position, std::int64_t nowMs);
    // True once every player who may answer the open question has.
    [[nodiscard]] bool allAnswered() const;
    // Closes the open question: from now on its right answer may be shown.
    void judge();
    void finish();

    // The clock stops while paused: the time left is kept and the deadline moves on resume.
    void pause(std::int64_t nowMs);
    void resume(std::int64_t nowMs);
    [[nodiscard]] bool paused() const { return paused_; }
    [[nodiscard]] std::int64_t timeLeftMs(std::int64_t nowMs) const;

    [[nodiscard]] Phase phase() const { return phase_; }
    [[nodiscard]] int questionNumber() const { return questionNumber_; }
    [[nodiscard]] int questionCount() const { return questionCount_; }
    [[nodiscard]] const std::string& pin() const { return pin_; }
    [[nodiscard]] QuestionView question() const;
    // The right answer's display position 1..5, once judged; 0 before.
    [[nodiscard]] int rightPosition() const;
    [[nodiscard]] std::vector<Standing> standings() const;
    [[nodiscard]] std::vector<const Player*> players() const;
    // The game's own record of the open question, for painting it in the game's pictures.
    [[nodiscard]] const GameState& gameState() const { return game_; }

private:
    Player* find(PlayerId id);
    std::string newToken();

    GameState game_;
    RandomSource& questions_;
    RandomSource& secrets_;
    std::string pin_;
    int questionCount_ = 0;
    std::vector<Player> players_;
    PlayerId nextId_ = 1;
    Phase phase_ = Phase::Lobby;
    int questionNumber_ = 0;
    std::int64_t deadlineMs_ = 0;
    bool paused_ = false;
    std::int64_t leftWhenPaused_ = 0;
};

// Points for an answer that arrives with `leftMs` of the window left.
int pointsFor(std::int64_t leftMs);

}  // namespace pp::party
