// The results of GameOver and AllClear: banner, genre radar chart, score and totals.
#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <string_view>

#include "screens/Bitmaps.h"
#include "screens/Format.h"
#include "screens/Layout.h"
#include "screens/Screens.h"

namespace pp {
namespace {

constexpr std::u16string_view kScoreFormat = u"得点:%8d";
constexpr std::u16string_view kTotalsFormat = u"(%d問中%d問正解)";
constexpr std::u16string_view kGenreCountFormat = u"(%d/%d)";
constexpr int kGridPenWidth = 1;
constexpr int kChartPenWidth = 2;

using Octagon = std::array<Point, kGenreCount + 1>;

// The octagon through every genre's point at `offset(genre)`, closed on genre 0.
template <typename Offset>
Octagon octagon(Offset offset) {
    Octagon points{};
    for (int genre = 0; genre < kGenreCount; ++genre) {
        points[static_cast<std::size_t>(genre)] = layout::radarOffset(genre, offset(genre));
    }
    points[kGenreCount] = points[0];
    return points;
}

void drawLine(Surface& surface, Point from, Point to, int width, Rgb colour) {
    const std::array<Point, 2> line{from, to};
    surface.drawPolyline(line, width, colour);
}

void drawGenreLabels(const GameState& state, Surface& surface) {
    for (int genre = 0; genre < kGenreCount; ++genre) {
        const auto g = static_cast<std::size_t>(genre);
        const Point vertex = layout::radarOffset(genre, layout::radarReach(genre));
        const layout::RadarLabel& label = layout::kRadarLabels[g];
        surface.setBackgroundMode(BackgroundMode::Transparent);
        // A long name or a large count is squeezed into its box rather than cut.
        surface.drawText(state.genres[g].name.view(), layout::offsetRect(label.name, vertex),
                         TextFormat::LeftCondensed);
        surface.drawText(formatText(kGenreCountFormat, state.genreCorrect[g], state.genreAnswered[g]),
                         layout::offsetRect(label.count, vertex), TextFormat::CentreCondensed);
    }
}

}  // namespace

Point radarPoint(int genre, int correct, int answered) {
    if (answered <= 0) {
        return layout::kRadarCentre;
    }
    const int reach = layout::radarReach(genre);
    // Product first, then the quotient truncated; kept within the chart whatever the counts.
    const auto offset = static_cast<std::int64_t>(correct) * reach / answered;
    return layout::radarOffset(genre, static_cast<int>(std::clamp<std::int64_t>(offset, 0, reach)));
}

void drawRadarGrid(Surface& surface) {
    const auto vertex = [](int genre) { return layout::radarOffset(genre, layout::radarReach(genre)); };
    drawLine(surface, vertex(0), vertex(4), kGridPenWidth, colour::kGreyBlue);
    drawLine(surface, vertex(1), vertex(5), kGridPenWidth, colour::kGreyBlue);
    drawLine(surface, vertex(2), vertex(6), kGridPenWidth, colour::kGreyBlue);
    drawLine(surface, vertex(3), vertex(7), kGridPenWidth, colour::kGreyBlue);
    const Octagon inner = octagon([](int genre) { return layout::radarReach(genre) / 2; });
    const Octagon outer = octagon([](int genre) { return layout::radarReach(genre); });
    surface.drawPolyline(inner, kGridPenWidth, colour::kGreyBlue);
    surface.drawPolyline(outer, kGridPenWidth, colour::kGreyBlue);
}

void drawRadarChart(const GameState& state, Surface& surface) {
    Octagon polygon{};
    for (int genre = 0; genre < kGenreCount; ++genre) {
        const auto g = static_cast<std::size_t>(genre);
        polygon[g] = radarPoint(genre, state.genreCorrect[g], state.genreAnswered[g]);
    }
    polygon[kGenreCount] = polygon[0];
    surface.drawPolyline(polygon, kChartPenWidth, colour::kOrange);
    drawGenreLabels(state, surface);
}

void paintResults(const GameState& state, Surface& surface) {
    const int banner = state.screen == Screen::AllClear ? bitmap::kAllClearBanner : bitmap::kGameOverBanner;
    surface.drawBitmap(banner, layout::kResultsBanner.x, layout::kResultsBanner.y);
    drawRadarGrid(surface);
    drawRadarChart(state, surface);
    surface.setTextColour(colour::kBlue);
    surface.drawText(formatText(kScoreFormat, state.score), layout::kResultsScore, TextFormat::Right);
    const int answered = std::accumulate(state.genreAnswered.begin(), state.genreAnswered.end(), 0);
    const int correct = std::accumulate(state.genreCorrect.begin(), state.genreCorrect.end(), 0);
    surface.drawText(formatText(kTotalsFormat, answered, correct), layout::kResultsTotals, TextFormat::Right);
}

}  // namespace pp
