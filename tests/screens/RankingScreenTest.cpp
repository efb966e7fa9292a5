#include <gtest/gtest.h>

#include "screens/ScreenFixture.h"

namespace pp {
namespace {

using Kind = test::RecordingSurface::Kind;
using RankingScreen = test::ScreenTest;

TEST_F(RankingScreen, TenRowsInStoredOrderWithPlaceNumbers) {
    const std::vector<std::pair<std::u16string, std::int16_t>> rows{
        {u"はなこ", 900}, {u"たろう", 950}, {u"Alice", 700}, {u"", 0},      {u"じろう", -5536},
        {u"", 0},         {u"", 0},         {u"", 0},        {u"", 0},      {u"最後", 1}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        state.ranking[i].name = rows[i].first;
        state.ranking[i].score = rows[i].second;
    }
    enterAndPaint(Screen::Ranking);
    EXPECT_EQ(surface.calls[0].kind, Kind::Erase);
    const auto bitmapCalls = surface.of(Kind::Bitmap);
    ASSERT_EQ(bitmapCalls.size(), 11u);
    EXPECT_EQ(bitmapCalls[0].bitmap, 156);
    EXPECT_EQ(bitmapCalls[0].at, (Point{20, 0}));
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(bitmapCalls[static_cast<std::size_t>(i) + 1].bitmap, 146 + i);
        EXPECT_EQ(bitmapCalls[static_cast<std::size_t>(i) + 1].at, (Point{20, 32 + 22 * i}));
    }
    const auto texts = surface.of(Kind::Text);
    ASSERT_EQ(texts.size(), 20u);
    const std::vector<std::u16string> scores{u"900点", u"950点", u"700点", u"0点", u"-5536点",
                                             u"0点",   u"0点",   u"0点",   u"0点", u"1点"};
    for (std::size_t i = 0; i < 10; ++i) {
        const int top = 32 + 22 * static_cast<int>(i);
        const auto& name = texts[2 * i];
        const auto& score = texts[2 * i + 1];
        EXPECT_EQ(name.text, rows[i].first);
        EXPECT_EQ(name.rect, (Rect{40, top, 150, top + 20}));
        EXPECT_EQ(name.format, TextFormat::LeftCondensed);
        EXPECT_EQ(score.text, scores[i]);
        EXPECT_EQ(score.rect, (Rect{160, top, 220, top + 20}));
        EXPECT_EQ(score.format, TextFormat::WrapRight);
        EXPECT_EQ(score.colour, colour::kBlack);
        EXPECT_EQ(score.background, BackgroundMode::Opaque);
    }
    // The first row stays clear of the banner's 30 pixels.
    EXPECT_GT(texts[0].rect.top, 30);
}

TEST_F(RankingScreen, TheNewRowIsRedAndAKeptFileRankingComesFirstWithItsCaption) {
    state.ranking[3].name = u"全体";
    state.rankingHighlight = 3;
    enterAndPaint(Screen::Ranking);
    auto texts = surface.of(Kind::Text);
    ASSERT_EQ(texts.size(), 20u);  // no caption where only one ranking is kept
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].colour, i / 2 == 3 ? colour::kRed : colour::kBlack) << i;
    }

    state.fileRankingKept = true;
    state.rankingShowsFile = true;
    state.fileRanking[0].name = u"この問題";
    state.fileRankingHighlight = 0;
    enterAndPaint(Screen::Ranking);
    texts = surface.of(Kind::Text);
    ASSERT_EQ(texts.size(), 21u);
    EXPECT_EQ(texts[0].text, u"この問題");
    EXPECT_EQ(texts[0].colour, colour::kRed);
    EXPECT_EQ(texts[6].colour, colour::kBlack);
    EXPECT_EQ(texts[20].text, u"この問題ファイルのランキング");
    EXPECT_EQ(texts[20].colour, colour::kBlack);

    state.rankingShowsFile = false;
    enterAndPaint(Screen::Ranking);
    texts = surface.of(Kind::Text);
    EXPECT_EQ(texts[6].text, u"全体");
    EXPECT_EQ(texts[6].colour, colour::kRed);
    EXPECT_EQ(texts[20].text, u"すべての問題ファイルのランキング");
}

}  // namespace
}  // namespace pp
