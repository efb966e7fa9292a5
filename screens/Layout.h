#pragma once

#include <array>

#include "screens/Surface.h"

// Where everything stands on the 240 x 268 picture, in logical pixels. Rectangles are left,
// top, right, bottom with right and bottom exclusive.
namespace pp::layout {

// Separators: black lines of width 2 across the screen.
inline constexpr int kSeparatorLeft = 11;
inline constexpr int kSeparatorRight = 229;
inline constexpr int kSeparatorWidth = 2;

// Title.
inline constexpr Point kTitleIcon{104, 60};
inline constexpr Point kTitleBanner{0, 100};
inline constexpr Point kTitleBar{31, 140};
// The three instruction lines span the client width; these are their tops and bottoms.
inline constexpr std::array<int, 4> kTitleLineEdges{180, 195, 210, 225};

// Cards of QuestionIntro and LevelClear.
inline constexpr Point kCardIcon{104, 55};
inline constexpr Rect kCardFirstLine{5, 90, 235, 110};
inline constexpr int kCardSeparatorY = 120;
inline constexpr Rect kCardSecondLine{5, 130, 235, 150};

// The question block of RevealQuestion, Answering and Judging.
inline constexpr Point kQuestionIcon{3, 5};
inline constexpr Rect kQuestionText{40, 5, 235, 60};
inline constexpr int kQuestionSeparatorY = 63;

// Choice rows 1..5: 30 pixels high, 35 apart, the first at y = 65.
inline constexpr int kChoiceRowHeight = 30;
inline constexpr int kChoiceButtonX = 11;
inline constexpr int kChoiceTextLeft = 40;
inline constexpr int kChoiceTextRight = 235;
constexpr int choiceRowTop(int row) { return 30 + 35 * row; }
constexpr Rect choiceTextRect(int row) {
    return {kChoiceTextLeft, choiceRowTop(row), kChoiceTextRight, choiceRowTop(row) + kChoiceRowHeight};
}

// Taps choose a row only strictly inside its band: between these x limits and within the
// row's height, so a tap on the gap between two rows hits neither.
inline constexpr int kChoiceTapLeft = kChoiceButtonX;
inline constexpr int kChoiceTapRight = kChoiceTextRight;
// The display row 1..5 a tap at (x, y) chooses, or 0 for none.
constexpr int choiceRowAt(int x, int y) {
    if (x <= kChoiceTapLeft || x >= kChoiceTapRight) {
        return 0;
    }
    for (int row = 1; row <= 5; ++row) {
        if (y > choiceRowTop(row) && y < choiceRowTop(row) + kChoiceRowHeight) {
            return row;
        }
    }
    return 0;
}
// The middle of display row 1..5, where a tap surely chooses it.
inline constexpr Point choiceRowMiddle(int row) {
    return {(kChoiceTapLeft + kChoiceTapRight) / 2, choiceRowTop(row) + kChoiceRowHeight / 2};
}

// The large circle or cross of the verdict: the square (50, 60) - (210, 220).
inline constexpr Rect kJudgementMark{50, 60, 210, 220};

// The status strip along the bottom of the question screens.
inline constexpr int kStatusSeparatorY = 244;
inline constexpr Rect kCountdownText{11, 247, 65, 263};
inline constexpr Rect kAccuracyText{145, 247, 229, 263};
inline constexpr Rect kScoreText{70, 247, 140, 263};
// The quota marker stands in the gap after the slot the quota must reach.
inline constexpr int kQuotaMarkerBaseX = 144;
inline constexpr int kQuotaMarkerY = 247;
inline constexpr int kSlotPitch = 10;
inline constexpr int kSlotFirstX = 149;
inline constexpr int kSlotY = 255;
constexpr int quotaMarkerX(int quota) { return kQuotaMarkerBaseX + kSlotPitch * quota; }
constexpr int slotX(int slot) { return kSlotFirstX + kSlotPitch * slot; }

// ShowCorrect.
inline constexpr Rect kCorrectHeading{3, 90, 235, 110};
inline constexpr Point kCorrectIcon{3, 115};
inline constexpr Rect kCorrectQuestion{40, 115, 235, 170};
inline constexpr int kCorrectSeparatorY = 175;
inline constexpr Point kCorrectButton{11, 180};
inline constexpr Rect kCorrectChoice{40, 180, 235, 210};

// Results screens.
inline constexpr Point kResultsBanner{20, 0};
inline constexpr Rect kResultsScore{120, 40, 228, 55};
inline constexpr Rect kResultsTotals{120, 55, 228, 70};

// The genre radar chart: genre 0 points up, the others follow counter-clockwise 45 degrees
// apart. Axis directions reach 100 pixels, diagonals 70 on both axes; the inner octagon is
// the same shape at half size.
inline constexpr Point kRadarCentre{120, 160};
inline constexpr int kRadarAxisRadius = 100;
inline constexpr int kRadarDiagonalOffset = 70;
inline constexpr std::array<Point, 8> kRadarDirections{
    {{0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}}};
constexpr bool isRadarDiagonal(int genre) { return genre % 2 == 1; }
constexpr int radarReach(int genre) { return isRadarDiagonal(genre) ? kRadarDiagonalOffset : kRadarAxisRadius; }
// The point `offset` pixels out along the genre's direction (on both axes for a diagonal).
constexpr Point radarOffset(int genre, int offset) {
    return {kRadarCentre.x + kRadarDirections[genre].x * offset,
            kRadarCentre.y + kRadarDirections[genre].y * offset};
}

// Each genre's name and count rectangles, relative to its full-scale vertex.
struct RadarLabel {
    Rect name;
    Rect count;
};
inline constexpr RadarLabel kTopLabel{{-30, -10, 30, 20}, {-30, 21, 30, 37}};
inline constexpr RadarLabel kDiagonalLabel{{-30, -20, 30, 10}, {-30, 11, 30, 27}};
inline constexpr RadarLabel kLeftLabel{{-20, -20, 40, 10}, {-20, 11, 40, 27}};
inline constexpr RadarLabel kBottomLabel{{-30, -40, 30, -10}, {-30, -9, 30, 7}};
inline constexpr RadarLabel kRightLabel{{-40, -20, 20, 10}, {-40, 11, 20, 27}};
inline constexpr std::array<RadarLabel, 8> kRadarLabels{kTopLabel,    kDiagonalLabel, kLeftLabel,
                                                        kDiagonalLabel, kBottomLabel,  kDiagonalLabel,
                                                        kRightLabel,  kDiagonalLabel};
constexpr Rect offsetRect(Rect rect, Point by) {
    return {rect.left + by.x, rect.top + by.y, rect.right + by.x, rect.bottom + by.y};
}

// Ranking: ten rows 22 pixels apart, clear of the banner's 30 pixels, and a line under them that
// names the ranking on show.
inline constexpr Point kRankingBanner{20, 0};
inline constexpr int kRankingBannerHeight = 30;
inline constexpr int kPlaceX = 20;
inline constexpr int kRankNameLeft = 40;
inline constexpr int kRankNameRight = 150;
inline constexpr int kRankScoreLeft = 160;
inline constexpr int kRankScoreRight = 220;
inline constexpr int kRankTextHeight = 20;
inline constexpr int kRankFirstRowTop = kRankingBannerHeight + 2;
inline constexpr int kRankRowSpacing = 22;
constexpr int rankRowTop(int row) { return kRankFirstRowTop + kRankRowSpacing * row; }
inline constexpr Rect kRankingCaption{0, 252, 240, 268};

}  // namespace pp::layout
