#include <gtest/gtest.h>

#include "screens/Bitmaps.h"
#include "screens/ScreenFixture.h"
#include "screens/Screens.h"

namespace pp {
namespace {

using Kind = test::RecordingSurface::Kind;
using ResultsScreens = test::ScreenTest;
using Points = std::vector<Point>;

const Points kOuterOctagon{{120, 60}, {50, 90},   {20, 160}, {50, 230}, {120, 260},
                           {190, 230}, {220, 160}, {190, 90}, {120, 60}};

TEST(RadarPoint, ThreeOfFourIsThreeQuartersOut) {
    EXPECT_EQ(radarPoint(0, 3, 4), (Point{120, 85}));   // 75 up
    EXPECT_EQ(radarPoint(2, 3, 4), (Point{45, 160}));   // 75 left
    EXPECT_EQ(radarPoint(4, 3, 4), (Point{120, 235}));  // 75 down
    EXPECT_EQ(radarPoint(6, 3, 4), (Point{195, 160}));  // 75 right
    // Diagonals: 210 / 4 = 52.5, truncated to 52 on both axes.
    EXPECT_EQ(radarPoint(1, 3, 4), (Point{68, 108}));
    EXPECT_EQ(radarPoint(3, 3, 4), (Point{68, 212}));
    EXPECT_EQ(radarPoint(5, 3, 4), (Point{172, 212}));
    EXPECT_EQ(radarPoint(7, 3, 4), (Point{172, 108}));
}

TEST(RadarPoint, NothingRightOrNothingAskedSitsAtTheCentre) {
    EXPECT_EQ(radarPoint(3, 0, 5), (Point{120, 160}));
    EXPECT_EQ(radarPoint(3, 0, 0), (Point{120, 160}));
    EXPECT_EQ(radarPoint(6, 2, 3), (Point{186, 160}));  // 200 / 3 = 66.7, truncated
}

TEST(RadarPoint, CountsOutOfOrderStayInsideTheChart) {
    EXPECT_EQ(radarPoint(0, 9, 3), (Point{120, 60}));
    EXPECT_EQ(radarPoint(0, -2, 3), (Point{120, 160}));
    EXPECT_EQ(radarPoint(0, 2'000'000'000, 2'000'000'000), (Point{120, 60}));
}

TEST_F(ResultsScreens, GridIsTheAxesAndTwoOctagonsInGreyBlue) {
    drawRadarGrid(surface);
    const auto lines = surface.of(Kind::Polyline);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].points, (Points{{120, 60}, {120, 260}}));
    EXPECT_EQ(lines[1].points, (Points{{50, 90}, {190, 230}}));
    EXPECT_EQ(lines[2].points, (Points{{20, 160}, {220, 160}}));
    EXPECT_EQ(lines[3].points, (Points{{50, 230}, {190, 90}}));
    EXPECT_EQ(lines[4].points, (Points{{120, 110}, {85, 125}, {70, 160}, {85, 195}, {120, 210},
                                       {155, 195}, {170, 160}, {155, 125}, {120, 110}}));
    EXPECT_EQ(lines[5].points, kOuterOctagon);
    for (const auto& line : lines) {
        EXPECT_EQ(line.width, 1);
        EXPECT_EQ(line.colour, colour::kGreyBlue);
    }
}

TEST_F(ResultsScreens, PerfectGameLiesOnTheOuterOctagon) {
    state.genreAnswered.fill(8);
    state.genreCorrect.fill(8);
    drawRadarChart(state, surface);
    const auto lines = surface.of(Kind::Polyline);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].points, kOuterOctagon);
    EXPECT_EQ(lines[0].width, 2);
    EXPECT_EQ(lines[0].colour, colour::kOrange);
}

TEST_F(ResultsScreens, LabelsStandInTheirRectanglesOverThePolygon) {
    state.genres[0].name = u"歴史";
    state.genres[4].name = u"スポーツ";
    state.genres[6].name = u"科学";
    state.genreAnswered[4] = 5;
    state.genreCorrect[4] = 2;
    drawRadarChart(state, surface);
    EXPECT_EQ(surface.calls[0].kind, Kind::Polyline);
    const auto texts = surface.of(Kind::Text);
    ASSERT_EQ(texts.size(), 16u);
    EXPECT_EQ(texts[0].text, u"歴史");
    EXPECT_EQ(texts[0].rect, (Rect{90, 50, 150, 80}));
    EXPECT_EQ(texts[1].rect, (Rect{90, 81, 150, 97}));
    EXPECT_EQ(texts[3].rect, (Rect{20, 101, 80, 117}));
    EXPECT_EQ(texts[4].rect, (Rect{0, 140, 60, 170}));
    EXPECT_EQ(texts[8].text, u"スポーツ");
    EXPECT_EQ(texts[8].rect, (Rect{90, 220, 150, 250}));
    EXPECT_EQ(texts[9].text, u"(2/5)");
    EXPECT_EQ(texts[9].rect, (Rect{90, 251, 150, 267}));
    EXPECT_EQ(texts[12].rect, (Rect{180, 140, 240, 170}));
    EXPECT_EQ(texts[15].text, u"(0/0)");
    EXPECT_EQ(texts[15].rect, (Rect{160, 101, 220, 117}));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].background, BackgroundMode::Transparent);
        EXPECT_EQ(texts[i].colour, colour::kBlack);
        const TextFormat expected = i % 2 == 0 ? TextFormat::LeftCondensed : TextFormat::CentreCondensed;
        EXPECT_EQ(texts[i].format, expected) << i;
    }
}

TEST_F(ResultsScreens, GameOverShowsBannerChartScoreAndTotals) {
    state.score = 350;
    state.genreAnswered = {4, 2, 0, 0, 3, 0, 0, 3};
    state.genreCorrect = {3, 1, 0, 0, 2, 0, 0, 1};
    state.ranking[kRankingRows - 1].score = 400;  // not enough to enter the ranking
    enterAndPaint(Screen::GameOver);
    EXPECT_EQ(surface.calls[0].kind, Kind::Erase);
    EXPECT_EQ(surface.calls[1].bitmap, bitmap::kGameOverBanner);
    EXPECT_EQ(surface.calls[1].at, (Point{20, 0}));
    EXPECT_EQ(surface.of(Kind::Polyline).size(), 7u);
    const auto* score = surface.findText(u"得点:     350");
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(score->rect, (Rect{120, 40, 228, 55}));
    EXPECT_EQ(score->format, TextFormat::Right);
    EXPECT_EQ(score->colour, colour::kBlue);
    // Questions answered first, then those answered right.
    const auto* totals = surface.findText(u"(12問中7問正解)");
    ASSERT_NE(totals, nullptr);
    EXPECT_EQ(totals->rect, (Rect{120, 55, 228, 70}));
    EXPECT_EQ(totals->colour, colour::kBlue);
    EXPECT_EQ(totals->background, BackgroundMode::Transparent);
}

TEST_F(ResultsScreens, AllClearShowsTheCongratulationBanner) {
    state.ranking[kRankingRows - 1].score = 32767;
    enterAndPaint(Screen::AllClear);
    EXPECT_EQ(surface.calls[1].bitmap, bitmap::kAllClearBanner);
}

}  // namespace
}  // namespace pp
