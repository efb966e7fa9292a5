#include <gtest/gtest.h>

#include <map>

#include "screens/Bitmaps.h"
#include "screens/ScreenFixture.h"
#include "screens/Screens.h"
#include "screens/TextLayout.h"

namespace pp {
namespace {

using Kind = test::RecordingSurface::Kind;
using PlayScreens = test::ScreenTest;

TEST_F(PlayScreens, TitleCentresItsThreeLinesAcrossTheWindow) {
    enterAndPaint(Screen::Title);
    EXPECT_EQ(surface.calls[0].kind, Kind::Erase);
    EXPECT_EQ(surface.calls[0].rect, (Rect{0, 0, 241, 269}));  // the last column and row too
    EXPECT_EQ(bitmaps(), (std::vector<int>{125, 134, 106}));
    const auto* second = surface.findText(u"「ファイル」→「開く...」で");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->rect, (Rect{0, 195, 240, 210}));
    EXPECT_EQ(second->format, TextFormat::WrapCentre);
    EXPECT_EQ(second->background, BackgroundMode::Opaque);
    ASSERT_NE(surface.findText(u"開いてください。"), nullptr);
    EXPECT_EQ(surface.findText(u"開いてください。")->rect, (Rect{0, 210, 240, 225}));
}

TEST_F(PlayScreens, GameIntroShowsTheLevelAndItsQuota) {
    state.level = 2;
    state.questionIndex = 4;
    enterAndPaint(Screen::QuestionIntro);
    EXPECT_EQ(bitmaps(), (std::vector<int>{126}));
    EXPECT_EQ(surface.of(Kind::Bitmap)[0].at, (Point{104, 55}));
    const auto* number = surface.findText(u"問題 5");
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->rect, (Rect{5, 90, 235, 110}));
    EXPECT_EQ(number->format, TextFormat::WrapCentreMiddle);
    EXPECT_EQ(number->background, BackgroundMode::Transparent);
    const auto* quota = surface.findText(u"レベル:3    正解ノルマ:4問");
    ASSERT_NE(quota, nullptr);
    EXPECT_EQ(quota->rect, (Rect{5, 130, 235, 150}));
    EXPECT_EQ(surface.of(Kind::Polyline)[0].points, (std::vector<Point>{{11, 120}, {229, 120}}));
}

TEST_F(PlayScreens, StudyIntroCountsTheQuestionsLeft) {
    state.options.studyMode = 1;
    state.genres[0].questionCount = 6;
    state.genres[7].questionCount = 4;
    state.questionIndex = 7;
    enterAndPaint(Screen::QuestionIntro);
    EXPECT_NE(surface.findText(u"問題 8"), nullptr);
    EXPECT_NE(surface.findText(u"あと3問"), nullptr);
    EXPECT_EQ(bitmaps(), (std::vector<int>{bitmap::kStudyIcon}));
    state.questionIndex = 9;
    paint();
    EXPECT_NE(surface.findText(u"最終問題"), nullptr);
    EXPECT_EQ(surface.findText(u"あと1問"), nullptr);
}

TEST_F(PlayScreens, RevealShowsTheQuestionAsFarAsItHasGotThenWhole) {
    state.questionText = u"首都は？";
    std::vector<std::u16string> shown;
    for (int count = 1; count <= 4; ++count) {
        state.revealCount = count;
        enterAndPaint(Screen::RevealQuestion);
        const auto texts = surface.of(Kind::Text);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].rect, (Rect{40, 5, 235, 60}));
        EXPECT_EQ(texts[0].background, BackgroundMode::Opaque);
        EXPECT_EQ(texts[0].text, u"首都は？");  // laid out whole on every step
        shown.push_back(texts[0].text.substr(0, texts[0].shown));
    }
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"首", u"首都", u"首都は", u"首都は？"}));
    state.revealCount = 0;
    state.revealDone = 1;
    paint();
    EXPECT_EQ(surface.of(Kind::Text)[0].text, u"首都は？");
    EXPECT_EQ(surface.of(Kind::Text)[0].shown, 4u);
    EXPECT_EQ(bitmaps(), (std::vector<int>{125}));
}

// Half-width characters 6 pixels wide, the rest 12, like the game's font.
int fixedWidth(std::u16string_view character) { return character[0] < 0x2E80 ? 6 : 12; }

// Where each drawn character of a text call lands in the picture, by its unit in the text.
std::map<std::size_t, Point> characterPlaces(const test::RecordingSurface::Call& call) {
    std::map<std::size_t, Point> places;
    for (const PlacedLine& line : layoutText(call.text, call.rect.width(), call.rect.height(), call.format, fixedWidth)) {
        int x = call.rect.left + line.left;
        for (std::size_t i = line.start; i < line.start + line.length && i < call.shown; ++i) {
            places[i] = {x, call.rect.top + line.top};
            x += fixedWidth(call.text.substr(i, 1));
        }
    }
    return places;
}

TEST_F(PlayScreens, RevealNeverDrawsACharacterAtTwoPlaces) {
    // The first line holds up to "戦い" (192 of 195 pixels); "」" may not start the next line,
    // so once it is shown, "い" goes down with it.
    state.questionText = u"1600年に起きた「天下分け目の戦い」とは？";
    std::map<std::size_t, Point> firstSeen;
    for (int count = 1; count <= static_cast<int>(state.questionText.size()); ++count) {
        state.revealCount = count;
        enterAndPaint(Screen::RevealQuestion);
        for (const auto& [unit, at] : characterPlaces(surface.of(Kind::Text).at(0))) {
            const auto [first, _] = firstSeen.emplace(unit, at);
            EXPECT_EQ(first->second, at) << "unit " << unit << " moved on step " << count;
        }
    }
    EXPECT_EQ(firstSeen.at(17).y, 17);  // "い" stood on the second line from the start
}

TEST_F(PlayScreens, ShowCorrectShowsTheRightChoiceWithItsLitButton) {
    state.choiceOrder = {3, 1, 0, 4, 2};
    state.correctPosition = 2;
    enterAndPaint(Screen::ShowCorrect);
    EXPECT_EQ(surface.calls[0].kind, Kind::Erase);
    const auto* heading = surface.findText(u"正解...");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->rect, (Rect{3, 90, 235, 110}));
    EXPECT_EQ(heading->background, BackgroundMode::Opaque);
    const auto* question = surface.findText(u"日本で一番高い山は？");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->rect, (Rect{40, 115, 235, 170}));
    EXPECT_EQ(question->background, BackgroundMode::Transparent);
    const auto* answer = surface.findText(u"富士山");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer->rect, (Rect{40, 180, 235, 210}));
    EXPECT_EQ(answer->colour, colour::kBlack);
    EXPECT_EQ(bitmaps(), (std::vector<int>{125, 114}));
    EXPECT_EQ(surface.of(Kind::Bitmap)[1].at, (Point{11, 180}));
    EXPECT_EQ(surface.of(Kind::Polyline)[0].points[0], (Point{11, 175}));
}

TEST_F(PlayScreens, LevelClearShowsRightAnswersAndTheirShare) {
    state.level = 2;
    state.levelCorrect = 6;
    enterAndPaint(Screen::LevelClear);
    const auto* heading = surface.findText(u"レベル:3    クリア");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->colour, colour::kBlue);
    EXPECT_EQ(heading->background, BackgroundMode::Opaque);
    EXPECT_EQ(heading->format, TextFormat::WrapCentre);
    const auto* result = surface.findText(u"正解数:6問    正解確率: 75%");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->colour, colour::kBlue);
    EXPECT_EQ(result->background, BackgroundMode::Transparent);
    EXPECT_EQ(result->rect, (Rect{5, 130, 235, 150}));
    EXPECT_EQ(bitmaps(), (std::vector<int>{126}));
}

TEST_F(PlayScreens, LevelIconFollowsTheLevelOrStudyMode) {
    const std::vector<int> expected{125, 131, 126, 130, 123, 124, 127, 128};
    for (int level = 0; level < 8; ++level) {
        state.level = level;
        EXPECT_EQ(levelIcon(state), expected[static_cast<std::size_t>(level)]);
    }
    state.level = 99;  // out of range: the last level's icon, never a read past the table
    EXPECT_EQ(levelIcon(state), 128);
    state.options.studyMode = 1;
    EXPECT_EQ(levelIcon(state), 129);
    EXPECT_EQ(gameLevelIcon(state), 128);
}

TEST_F(PlayScreens, LoadQuestionLeavesTheScreenWhite) {
    enterAndPaint(Screen::LoadQuestion);
    ASSERT_FALSE(surface.calls.empty());
    EXPECT_EQ(surface.calls[0].kind, Kind::Erase);
    EXPECT_TRUE(surface.of(Kind::Text).empty());
    EXPECT_TRUE(surface.of(Kind::Bitmap).empty());
}

}  // namespace
}  // namespace pp
