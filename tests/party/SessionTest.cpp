#include <gtest/gtest.h>

#include <set>

#include "party/Session.h"
#include "quizdata/QuizFixtures.h"
#include "support/FakeHost.h"

namespace pp::party {
namespace {

using test::TempDir;

// A session on a labelled quiz of `counts` questions per genre, with PIN 1234.
class SessionTest : public ::testing::Test {
protected:
    explicit SessionTest(std::vector<int> counts = {3, 2}) {
        test::writeBytes(dir_ / "quiz.kqd", test::quizBytes(test::labelledQuiz(counts)));
    }

    Session makeSession(int questions = kQuestionsByDefault) {
        return Session(dir_ / "quiz.kqd", draws_, secrets_, "1234", questions);
    }

    PlayerId joined(Session& session, std::u16string_view name) {
        const JoinResult result = session.join("1234", name);
        EXPECT_EQ(result.refusal, JoinRefusal::None);
        return result.id;
    }

    TempDir dir_;
    MersenneRandom draws_{7};
    MersenneRandom secrets_{99};
};

TEST_F(SessionTest, JoinNeedsThePinAndANameTheRankingCouldKeep) {
    Session session = makeSession();
    EXPECT_EQ(session.join("1235", u"あ").refusal, JoinRefusal::WrongPin);
    EXPECT_EQ(session.join("", u"あ").refusal, JoinRefusal::WrongPin);
    EXPECT_EQ(session.join("1234", u"   ").refusal, JoinRefusal::BadName);
    EXPECT_EQ(session.join("1234", u"\u0001\u0002").refusal, JoinRefusal::BadName);

    const PlayerId id = joined(session, u"とても長い名前のプレイヤーです,x");
    EXPECT_EQ(session.player(id)->name, u"とても長い名前のプレ");
    EXPECT_EQ(session.join("1234", u"とても長い名前のプレイヤー二号").refusal, JoinRefusal::NameTaken);

    const PlayerId other = joined(session, u"a,b");
    EXPECT_EQ(session.player(other)->name, u"a，b");
    const std::string& token = session.player(id)->token;
    EXPECT_EQ(token.size(), kTokenChars);
    EXPECT_NE(token, session.player(other)->token);
    EXPECT_EQ(session.playerByToken(token)->id, id);
    EXPECT_EQ(session.playerByToken(token.substr(1)), nullptr);
    EXPECT_EQ(session.playerByToken(std::string(kTokenChars, '0')), nullptr);
}

TEST_F(SessionTest, ARemovedPlayersTokenStopsWorkingAndTheNameIsFreeAgain) {
    Session session = makeSession();
    const PlayerId id = joined(session, u"taro");
    const std::string token = session.player(id)->token;
    EXPECT_TRUE(session.remove(id));
    EXPECT_FALSE(session.remove(id));
    EXPECT_EQ(session.playerByToken(token), nullptr);
    EXPECT_NE(joined(session, u"taro"), id);
}

TEST_F(SessionTest, ARoomHasItsLimit) {
    Session session = makeSession();
    for (std::size_t i = 0; i < kMostPlayers; ++i) {
        ASSERT_EQ(session.join("1234", u"p" + test::u16(std::to_string(i))).refusal, JoinRefusal::None);
    }
    EXPECT_EQ(session.join("1234", u"one more").refusal, JoinRefusal::Full);
    session.remove(session.players().front()->id);
    EXPECT_EQ(session.join("1234", u"one more").refusal, JoinRefusal::None);
}

TEST_F(SessionTest, PinsAreFourToSixDigits) {
    EXPECT_TRUE(Session::validPin("0000"));
    EXPECT_TRUE(Session::validPin("123456"));
    EXPECT_FALSE(Session::validPin("123"));
    EXPECT_FALSE(Session::validPin("1234567"));
    EXPECT_FALSE(Session::validPin("12a4"));
}

TEST_F(SessionTest, PointsAreTenForEachWholeSecondLeftWhenTheAnswerArrives) {
    EXPECT_EQ(pointsFor(10'000), 90);
    EXPECT_EQ(pointsFor(9'999), 90);
    EXPECT_EQ(pointsFor(1'000), 10);
    EXPECT_EQ(pointsFor(999), 0);
    EXPECT_EQ(pointsFor(-5), 0);

    Session session = makeSession();
    const PlayerId fast = joined(session, u"fast");
    const PlayerId slow = joined(session, u"slow");
    const PlayerId wrong = joined(session, u"wrong");
    const PlayerId late = joined(session, u"late");
    ASSERT_TRUE(session.openNextQuestion(1'000));
    const int right = session.gameState().correctPosition + 1;
    const int miss = right % kChoiceCount + 1;
    EXPECT_EQ(session.answer(fast, 1, right, 1'000), AnswerRefusal::None);
    EXPECT_EQ(session.answer(slow, 1, right, 9'500), AnswerRefusal::None);
    EXPECT_EQ(session.answer(wrong, 1, miss, 1'200), AnswerRefusal::None);
    EXPECT_EQ(session.answer(late, 1, right, 11'000), AnswerRefusal::TooLate);
    // Nothing counts, and nothing tells which is right, until the host judges.
    EXPECT_EQ(session.player(fast)->score, 0);
    EXPECT_EQ(session.rightPosition(), 0);
    session.judge();
    EXPECT_EQ(session.rightPosition(), right);
    EXPECT_EQ(session.player(fast)->score, 90);
    EXPECT_EQ(session.player(slow)->score, 10);
    EXPECT_EQ(session.player(wrong)->score, 0);
    EXPECT_EQ(session.player(late)->score, 0);
}

TEST_F(SessionTest, AnAnswerCountsOnceOnlyWhileItsQuestionIsOpenAndOnlyForItsPlayer) {
    Session session = makeSession();
    const PlayerId first = joined(session, u"first");
    EXPECT_EQ(session.answer(first, 1, 1, 0), AnswerRefusal::NotOpen);
    ASSERT_TRUE(session.openNextQuestion(0));
    const PlayerId latecomer = joined(session, u"latecomer");
    EXPECT_EQ(session.answer(latecomer, 1, 1, 10), AnswerRefusal::JoinedLate);
    EXPECT_FALSE(session.allAnswered());
    EXPECT_EQ(session.answer(first, 2, 1, 10), AnswerRefusal::WrongQuestion);
    EXPECT_EQ(session.answer(first, 1, 0, 10), AnswerRefusal::BadChoice);
    EXPECT_EQ(session.answer(first, 1, 6, 10), AnswerRefusal::BadChoice);
    EXPECT_EQ(session.answer(999, 1, 1, 10), AnswerRefusal::UnknownPlayer);
    const int right = session.gameState().correctPosition + 1;
    EXPECT_EQ(session.answer(first, 1, right, 10), AnswerRefusal::None);
    EXPECT_EQ(session.answer(first, 1, right, 20), AnswerRefusal::AlreadyAnswered);
    EXPECT_TRUE(session.allAnswered());  // the latecomer waits for the next question
    session.judge();
    EXPECT_EQ(session.answer(first, 1, right, 30), AnswerRefusal::NotOpen);
    session.judge();  // judging twice adds nothing
    EXPECT_EQ(session.player(first)->score, 90);

    ASSERT_TRUE(session.openNextQuestion(100));
    EXPECT_EQ(session.answer(latecomer, 2, 1, 110), AnswerRefusal::None);
    EXPECT_TRUE(session.remove(first));
    EXPECT_EQ(session.answer(first, 2, 1, 120), AnswerRefusal::UnknownPlayer);
    EXPECT_EQ(session.playerByToken(session.players().front()->token)->id, latecomer);
    EXPECT_EQ(session.players().size(), 1U);
}

TEST_F(SessionTest, PauseStopsTheClockAndResumeMovesTheDeadline) {
    Session session = makeSession();
    const PlayerId id = joined(session, u"p");
    ASSERT_TRUE(session.openNextQuestion(0));
    session.pause(4'000);
    EXPECT_EQ(session.timeLeftMs(60'000), 6'000);
    session.resume(60'000);
    EXPECT_EQ(session.timeLeftMs(61'000), 5'000);
    EXPECT_EQ(session.answer(id, 1, session.gameState().correctPosition + 1, 61'000), AnswerRefusal::None);
    session.judge();
    EXPECT_EQ(session.player(id)->score, 50);
}

TEST_F(SessionTest, QuestionsAreDrawnWithoutRepeatsUpToTheFileOrTheCount) {
    Session whole = makeSession(50);
    EXPECT_EQ(whole.questionCount(), 5);
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(whole.openNextQuestion(n * 100));
        EXPECT_EQ(whole.question().number, n);
        EXPECT_EQ(whole.question().total, 5);
        whole.judge();
    }
    EXPECT_FALSE(whole.openNextQuestion(1'000));
    EXPECT_EQ(whole.phase(), Phase::Finished);

    // While a genre has questions left none is asked twice.
    test::writeBytes(dir_ / "big.kqd", test::quizBytes(test::labelledQuiz({8, 8})));
    Session big(dir_ / "big.kqd", draws_, secrets_, "1234", 8);
    std::set<std::u16string> asked;
    while (big.openNextQuestion(0)) {
        asked.insert(big.question().text);
        big.judge();
    }
    EXPECT_EQ(asked.size(), 8U);

    Session two = makeSession(2);
    ASSERT_TRUE(two.openNextQuestion(0));
    EXPECT_FALSE(two.openNextQuestion(0));  // not while one is open
    two.judge();
    ASSERT_TRUE(two.openNextQuestion(0));
    two.judge();
    EXPECT_FALSE(two.openNextQuestion(0));
    EXPECT_EQ(two.join("1234", u"too late").refusal, JoinRefusal::Finished);
}

TEST_F(SessionTest, AFileTheGameRefusesGivesNoQuestions) {
    test::writeBytes(dir_ / "quiz.kqd", "not a quiz");
    Session session = makeSession();
    EXPECT_EQ(session.questionCount(), 0);
    EXPECT_FALSE(session.openNextQuestion(0));
}

TEST_F(SessionTest, StandingsShareAPlaceOnEqualScores) {
    Session session = makeSession();
    const PlayerId a = joined(session, u"a");
    const PlayerId b = joined(session, u"b");
    const PlayerId c = joined(session, u"c");
    ASSERT_TRUE(session.openNextQuestion(0));
    const int right = session.gameState().correctPosition + 1;
    session.answer(b, 1, right, 500);
    session.answer(c, 1, right, 700);
    session.answer(a, 1, right % kChoiceCount + 1, 100);
    session.judge();
    const std::vector<Standing> rows = session.standings();
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0].name, u"b");
    EXPECT_EQ(rows[1].name, u"c");
    EXPECT_EQ(rows[0].place, 1);
    EXPECT_EQ(rows[1].place, 1);
    EXPECT_EQ(rows[2].name, u"a");
    EXPECT_EQ(rows[2].place, 3);
}

}  // namespace
}  // namespace pp::party
