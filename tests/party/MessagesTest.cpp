#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "party/Messages.h"
#include "encoding/Utf8.h"
#include "quizdata/QuizFixtures.h"

namespace pp::party {
namespace {

const std::string kToken(kTokenChars, 'a');

TEST(PartyMessages, ReadsEachKnownMessage) {
    const auto join = parseClientMessage(R"({"type":"join","pin":"0123","name":"はなこ"})");
    ASSERT_TRUE(join && std::holds_alternative<JoinMessage>(*join));
    EXPECT_EQ(std::get<JoinMessage>(*join).pin, "0123");
    EXPECT_EQ(std::get<JoinMessage>(*join).name, u"はなこ");

    const auto rejoin = parseClientMessage(R"({"type":"rejoin","token":")" + kToken + R"("})");
    ASSERT_TRUE(rejoin && std::holds_alternative<RejoinMessage>(*rejoin));

    const auto answer = parseClientMessage(R"({"choice":5,"type":"answer","question":3})");
    ASSERT_TRUE(answer && std::holds_alternative<AnswerMessage>(*answer));
    EXPECT_EQ(std::get<AnswerMessage>(*answer).question, 3);
    EXPECT_EQ(std::get<AnswerMessage>(*answer).choice, 5);

    const auto remove = parseClientMessage(R"({"type":"host","key":")" + kToken + R"(","action":"remove","player":7})");
    ASSERT_TRUE(remove && std::holds_alternative<HostMessage>(*remove));
    EXPECT_EQ(std::get<HostMessage>(*remove).action, HostAction::Remove);
    EXPECT_EQ(std::get<HostMessage>(*remove).player, 7U);
}

TEST(PartyMessages, RefusesAnythingNotExactlyAKnownMessage) {
    const std::string host = R"({"type":"host","key":")" + kToken + R"(",)";
    for (const std::string& text : {
             std::string(""), std::string("null"), std::string("[]"), std::string("{}"), std::string("{\"type\":1}"),
             std::string(R"({"type":"join","pin":"1234"})"),                          // a field missing
             std::string(R"({"type":"join","pin":"1234","name":"a","x":1})"),        // a field too many
             std::string(R"({"type":"join","pin":1234,"name":"a"})"),                 // a number for a string
             std::string(R"({"type":"join","pin":"12 4","name":"a"})"),
             std::string(R"({"type":"join","pin":"1234","name":")") + std::string(65, 'x') + "\"}",
             std::string("{\"type\":\"join\",\"pin\":\"1234\",\"name\":\"\xff\"}"),  // not UTF-8
             std::string(R"({"type":"rejoin","token":"ABCDEF"})"),
             std::string(R"({"type":"rejoin","token":")") + std::string(kTokenChars, 'G') + "\"}",
             std::string(R"({"type":"answer","question":1,"choice":6})"),
             std::string(R"({"type":"answer","question":1,"choice":0})"),
             std::string(R"({"type":"answer","question":1,"choice":2.0})"),
             std::string(R"({"type":"answer","question":0,"choice":2})"),
             std::string(R"({"type":"answer","question":1,"choice":2,"token":")") + kToken + "\"}",  // for another
             host + R"("action":"remove"})",                                         // remove whom?
             host + R"("action":"start","player":1})",
             host + R"("action":"explode"})",
             std::string(R"({"type":"chat","text":"hi"})"),
             std::string(R"({"type":"answer","question":1,"choice":2)"),             // cut short
         }) {
        EXPECT_FALSE(parseClientMessage(text)) << text;
    }
    // Within the size limit a message is read; one byte over and it is not, however well formed.
    std::string padded = R"({"type":"answer","question":1,"choice":2})";
    padded.insert(1, kLargestMessage - padded.size(), ' ');
    EXPECT_TRUE(parseClientMessage(padded));
    padded.insert(1, " ");
    EXPECT_FALSE(parseClientMessage(padded));
    EXPECT_FALSE(parseClientMessage(std::string(kLargestMessage, '[')));
}

TEST(PartyMessages, Utf8RoundTripsAndRefusesBrokenSequences) {
    EXPECT_EQ(utf16FromUtf8("a\xc3\xa9\xe3\x81\x82\xf0\x9f\x98\x80"), std::u16string(u"aéあ\U0001F600"));
    EXPECT_EQ(utf8FromUtf16(u"aéあ\U0001F600"), "a\xc3\xa9\xe3\x81\x82\xf0\x9f\x98\x80");
    EXPECT_FALSE(utf16FromUtf8("\xc0\x80"));          // overlong
    EXPECT_FALSE(utf16FromUtf8("\xed\xa0\x80"));      // a surrogate
    EXPECT_FALSE(utf16FromUtf8("\xe3\x81"));          // cut short
    EXPECT_EQ(utf8FromUtf16(std::u16string(1, u'\xD800')), "\xef\xbf\xbd");
}

TEST(PartyMessages, AQuestionNeverSaysWhichChoiceIsRightUntilJudged) {
    test::TempDir dir;
    test::writeBytes(dir / "q.kqd", test::quizBytes(test::labelledQuiz({2})));
    MersenneRandom draws(3);
    MersenneRandom secrets(4);
    Session session(dir / "q.kqd", draws, secrets, "1234");
    const PlayerId id = session.join("1234", u"p").id;
    ASSERT_TRUE(session.openNextQuestion(0));
    const auto question = nlohmann::json::parse(questionMessage(session, 2'500, true));
    EXPECT_EQ(question["timeLeftMs"], 7'500);
    ASSERT_EQ(question["choices"].size(), 5U);
    const int right = session.gameState().correctPosition + 1;
    // The choices go out in the host's order, and the right one carries no mark of its own.
    EXPECT_EQ(question["choices"][right - 1], utf8FromUtf16(test::choiceLabel(0, session.gameState().currentQuestion, 0)));
    EXPECT_FALSE(question.contains("right"));
    EXPECT_EQ(nlohmann::json::parse(resultMessage(session, session.player(id)))["right"], 0);

    session.answer(id, 1, right, 1'000);
    EXPECT_EQ(nlohmann::json::parse(resultMessage(session, session.player(id)))["right"], 0);
    session.judge();
    const auto result = nlohmann::json::parse(resultMessage(session, session.player(id)));
    EXPECT_EQ(result["right"], right);
    EXPECT_EQ(result["correct"], true);
    EXPECT_EQ(result["points"], 90);
    EXPECT_EQ(result["score"], 90);
    EXPECT_EQ(result["place"], 1);
    EXPECT_EQ(result["top"][0]["name"], "p");
}

}  // namespace
}  // namespace pp::party
