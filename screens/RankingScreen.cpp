// The top-ten list: place numbers, names and scores, in the order stored, the new row in red.
#include <string_view>

#include "screens/Bitmaps.h"
#include "screens/Format.h"
#include "screens/Layout.h"
#include "screens/Screens.h"

namespace pp {
namespace {

constexpr std::u16string_view kPointsFormat = u"%d点";
constexpr std::u16string_view kFileRankingCaption = u"この問題ファイルのランキング";
constexpr std::u16string_view kOverallRankingCaption = u"すべての問題ファイルのランキング";

}  // namespace

void paintRanking(const GameState& state, Surface& surface) {
    surface.drawBitmap(bitmap::kRankingBanner, layout::kRankingBanner.x, layout::kRankingBanner.y);
    surface.setTextColour(colour::kBlack);
    for (int row = 0; row < kRankingRows; ++row) {
        surface.drawBitmap(bitmap::kPlaceFirst + row, layout::kPlaceX, layout::rankRowTop(row));
    }
    const bool fileRows = state.fileRankingKept && state.rankingShowsFile;
    const auto& rows = fileRows ? state.fileRanking : state.ranking;
    const int highlight = fileRows ? state.fileRankingHighlight : state.rankingHighlight;
    // Every row is drawn, filled or not; the background stays opaque.
    for (int row = 0; row < kRankingRows; ++row) {
        const RankEntry& entry = rows[static_cast<std::size_t>(row)];
        const int top = layout::rankRowTop(row);
        const int bottom = top + layout::kRankTextHeight;
        surface.setTextColour(row == highlight ? colour::kRed : colour::kBlack);
        // A name always shows whole on its line: one too wide for the row is squeezed into it.
        surface.drawText(entry.name.view(), {layout::kRankNameLeft, top, layout::kRankNameRight, bottom},
                         TextFormat::LeftCondensed);
        surface.drawText(formatText(kPointsFormat, entry.score),
                         {layout::kRankScoreLeft, top, layout::kRankScoreRight, bottom}, TextFormat::WrapRight);
    }
    surface.setTextColour(colour::kBlack);
    // Only where two rankings are kept does the player need to be told which one this is.
    if (state.fileRankingKept) {
        surface.drawText(fileRows ? kFileRankingCaption : kOverallRankingCaption, layout::kRankingCaption,
                         TextFormat::WrapCentre);
    }
}

}  // namespace pp
