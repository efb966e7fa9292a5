#include <gtest/gtest.h>

#include "screens/Bitmaps.h"
#include "screens/ScreenFixture.h"

namespace pp {
namespace {

using test::RecordingSurface;
using Kind = RecordingSurface::Kind;

struct QuestionScreens : test::ScreenTest {
    // The strip's bitmaps (quota marker and slots), in order, with their positions.
    std::vector<RecordingSurface::Call> stripBitmaps() const {
        std::vector<RecordingSurface::Call> strip;
        for (const auto& call : surface.of(Kind::Bitmap)) {
            if (call.at.y >= 247) {
                strip.push_back(call);
            }
        }
        return strip;
    }
};

TEST_F(QuestionScreens, ProgressRowFillsRightFromTheLeftAndWrongFromTheRight) {
    // Two right and one wrong of the level's eight.
    state.levelCorrect = 2;
    state.slotsLeft = 5;
    enterAndPaint(Screen::Answering);
    const auto strip = stripBitmaps();
    ASSERT_EQ(strip.size(), 9u);
    EXPECT_EQ(strip[0].bitmap, bitmap::kQuotaMarker);
    const std::vector<int> expected{120, 120, 118, 118, 118, 118, 118, 119};
    for (int slot = 0; slot < 8; ++slot) {
        const auto& call = strip[static_cast<std::size_t>(slot) + 1];
        EXPECT_EQ(call.bitmap, expected[static_cast<std::size_t>(slot)]) << slot;
        EXPECT_EQ(call.at, (Point{149 + 10 * slot, 255}));
    }
}

TEST_F(QuestionScreens, QuotaMarkerPointsAfterTheSlotTheQuotaMustReach) {
    state.level = 2;  // shown as level 3, quota 4
    enterAndPaint(Screen::Answering);
    EXPECT_EQ(stripBitmaps()[0].at, (Point{184, 247}));
    state.level = 7;  // quota 8: after the last slot
    paint();
    EXPECT_EQ(stripBitmaps()[0].at, (Point{224, 247}));
}

TEST_F(QuestionScreens, StudyModeShowsAccuracyInsteadOfProgress) {
    state.options.studyMode = 1;
    enterAndPaint(Screen::Answering);
    EXPECT_TRUE(stripBitmaps().empty());
    const auto* none = surface.findText(u"正解確率:  0%");
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->rect, (Rect{145, 247, 229, 263}));
    EXPECT_EQ(none->format, TextFormat::Right);
    EXPECT_EQ(none->colour, colour::kBlue);

    state.genreAnswered = {2, 0, 0, 0, 0, 0, 1, 0};
    state.genreCorrect = {0, 0, 0, 0, 0, 0, 1, 0};
    paint();
    EXPECT_NE(surface.findText(u"正解確率: 33%"), nullptr);
    EXPECT_EQ(bitmaps().front(), bitmap::kStudyIcon);
    state.genreCorrect[0] = 1;  // 2 of 3 is 66.7%, rounded
    paint();
    EXPECT_NE(surface.findText(u"正解確率: 67%"), nullptr);
}

TEST_F(QuestionScreens, CountdownShowsWholeSecondsAndZeroOnTimeOut) {
    state.timeLeftTicks = -1;
    enterAndPaint(Screen::Answering);
    const auto* countdown = surface.findText(u"あと 0秒");
    ASSERT_NE(countdown, nullptr);
    EXPECT_EQ(countdown->rect, (Rect{11, 247, 65, 263}));
    EXPECT_EQ(countdown->format, TextFormat::Left);
    EXPECT_EQ(countdown->colour, colour::kRed);
    state.timeLeftTicks = 199;
    paint();
    EXPECT_NE(surface.findText(u"あと 9秒"), nullptr);
}

TEST_F(QuestionScreens, WithoutTimeLimitNoCountdownIsDrawn) {
    state.options.timeLimit = 0;
    enterAndPaint(Screen::Answering);
    for (const auto& text : surface.of(Kind::Text)) {
        EXPECT_NE(text.rect, (Rect{11, 247, 65, 263}));
    }
}

TEST_F(QuestionScreens, AnsweringDrawsStripThenQuestionThenChoicesTransparently) {
    state.selection = 3;
    state.score = 1234;
    enterAndPaint(Screen::Answering);
    const int score = indexOfText(u"得点:    1234");
    const int question = indexOfText(u"日本で一番高い山は？");
    const int firstChoice = indexOfText(u"富士山");
    ASSERT_GE(score, 0);
    EXPECT_LT(score, question);
    EXPECT_LT(question, firstChoice);
    EXPECT_EQ(surface.calls[static_cast<std::size_t>(score)].rect, (Rect{70, 247, 140, 263}));
    EXPECT_EQ(surface.calls[static_cast<std::size_t>(question)].rect, (Rect{40, 5, 235, 60}));
    for (const auto& text : surface.of(Kind::Text)) {
        EXPECT_EQ(text.background, BackgroundMode::Transparent);
    }
    // Separators at 244 and 63, black, width 2, across the screen.
    const auto lines = surface.of(Kind::Polyline);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points, (std::vector<Point>{{11, 244}, {229, 244}}));
    EXPECT_EQ(lines[1].points, (std::vector<Point>{{11, 63}, {229, 63}}));
    EXPECT_EQ(lines[1].width, 2);
    EXPECT_EQ(surface.of(Kind::Erase).size(), 1u);  // only the whole picture
}

TEST_F(QuestionScreens, HighlightedRowIsBlackWithTheLitButton) {
    state.selection = 3;
    enterAndPaint(Screen::Answering);
    const char16_t* texts[] = {u"富士山", u"北岳", u"奥穂高岳", u"間ノ岳", u"槍ヶ岳"};
    for (int row = 1; row <= 5; ++row) {
        const auto* text = surface.findText(texts[row - 1]);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->rect, (Rect{40, 30 + 35 * row, 235, 60 + 35 * row}));
        EXPECT_EQ(text->colour, row == 3 ? colour::kBlack : colour::kGreyBlue) << row;
    }
    const std::vector<int> ids = bitmaps();
    const std::vector<int> buttons(ids.end() - 5, ids.end());
    EXPECT_EQ(buttons, (std::vector<int>{107, 108, 114, 110, 111}));
    EXPECT_EQ(surface.of(Kind::Bitmap).back().at, (Point{11, 205}));
}

TEST_F(QuestionScreens, TimeOutWithoutSelectionShowsGreyRowsOverTheCross) {
    state.selection = 0;
    state.timeLeftTicks = -1;
    state.slotsLeft = 7;  // the miss, as the judgement has just counted it
    enterAndPaint(Screen::Judging);
    ASSERT_GE(surface.calls.size(), 3u);
    // The cross right after the white picture, then everything else over it.
    EXPECT_EQ(surface.calls[1].kind, Kind::Polyline);
    EXPECT_EQ(surface.calls[1].colour, colour::kRed);
    EXPECT_EQ(surface.calls[1].points, (std::vector<Point>{{210, 220}, {50, 60}}));
    EXPECT_EQ(surface.calls[2].points, (std::vector<Point>{{50, 220}, {210, 60}}));
    EXPECT_EQ(surface.calls[2].width, 40);
    const std::vector<int> ids = bitmaps();
    EXPECT_EQ(std::vector<int>(ids.end() - 5, ids.end()), (std::vector<int>{107, 108, 109, 110, 111}));
    for (const auto& text : surface.of(Kind::Text)) {
        EXPECT_EQ(text.background, BackgroundMode::Transparent);
        if (text.rect.top >= 65 && text.rect.top < 240) {
            EXPECT_EQ(text.colour, colour::kGreyBlue);
        }
    }
    EXPECT_NE(surface.findText(u"あと 0秒"), nullptr);
    // The miss shows as a cross at the right end of the progress row.
    for (const auto& call : surface.of(Kind::Bitmap)) {
        if (call.at.y == 255) {
            EXPECT_EQ(call.bitmap, call.at.x == 219 ? bitmap::kSlotWrong : bitmap::kSlotOpen);
        }
    }
}

TEST_F(QuestionScreens, RightAnswerShowsTheBlueCircleOnEveryPaint) {
    state.selection = 1;
    enterAndPaint(Screen::Judging);
    const auto circles = surface.of(Kind::Ellipse);
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0].rect, (Rect{50, 60, 210, 220}));
    EXPECT_EQ(circles[0].width, 40);
    EXPECT_EQ(circles[0].colour, colour::kBlue);
    EXPECT_EQ(surface.calls[1].kind, Kind::Ellipse);  // under everything but the white picture
    EXPECT_EQ(surface.findText(u"富士山")->colour, colour::kBlack);
    const auto first = surface.calls.size();
    paint();
    EXPECT_EQ(surface.calls.size(), first);
    EXPECT_EQ(surface.of(Kind::Ellipse).size(), 1u);
}

}  // namespace
}  // namespace pp
