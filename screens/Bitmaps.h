#pragma once

#include <array>

namespace pp::bitmap {

// Ids of the bitmap catalogue, with their sizes in the comments.
inline constexpr int kBar = 106;                // 177 x 11, decorative bar of coloured squares
inline constexpr int kButtonFirst = 107;        // 107..111, 17 x 17, "1".."5" lavender on black
inline constexpr int kButtonLitFirst = 112;     // 112..116, 17 x 17, "1".."5" orange on black
inline constexpr int kAllClearBanner = 117;     // 200 x 50
inline constexpr int kSlotOpen = 118;           // 9 x 9, empty box
inline constexpr int kSlotWrong = 119;          // 9 x 9, red cross in a box
inline constexpr int kSlotRight = 120;          // 9 x 9, blue circle in a box
inline constexpr int kGameOverBanner = 121;     // 200 x 50
inline constexpr int kIconFirst = 123;          // 123..131, 32 x 32 character icons
inline constexpr int kStudyIcon = 129;
inline constexpr int kLogo = 132;               // 150 x 20, the About box only
inline constexpr int kQuotaMarker = 133;        // 9 x 9, triangle pointing down
inline constexpr int kTitleBanner = 134;        // 240 x 35
inline constexpr int kPlaceFirst = 146;         // 146..155, 16 x 16, place numbers 1..10
inline constexpr int kRankingBanner = 156;      // 200 x 30

// The character icon of each level (level 0 is shown as level 1).
inline constexpr std::array<int, 8> kLevelIcons{125, 131, 126, 130, 123, 124, 127, 128};

// Choice button of display row k = 1..5.
inline constexpr int button(int row) { return kButtonFirst - 1 + row; }
inline constexpr int litButton(int row) { return kButtonLitFirst - 1 + row; }

struct Size {
    int width;
    int height;
};

// Every bitmap the program carries, with the size it must have.
struct CatalogueEntry {
    int id;
    Size size;
};

inline constexpr std::array<CatalogueEntry, 39> kCatalogue{{
    {106, {177, 11}},
    {107, {17, 17}}, {108, {17, 17}}, {109, {17, 17}}, {110, {17, 17}}, {111, {17, 17}},
    {112, {17, 17}}, {113, {17, 17}}, {114, {17, 17}}, {115, {17, 17}}, {116, {17, 17}},
    {117, {200, 50}},
    {118, {9, 9}}, {119, {9, 9}}, {120, {9, 9}},
    {121, {200, 50}},
    {123, {32, 32}}, {124, {32, 32}}, {125, {32, 32}}, {126, {32, 32}}, {127, {32, 32}},
    {128, {32, 32}}, {129, {32, 32}}, {130, {32, 32}}, {131, {32, 32}},
    {132, {150, 20}},
    {133, {9, 9}},
    {134, {240, 35}},
    {146, {16, 16}}, {147, {16, 16}}, {148, {16, 16}}, {149, {16, 16}}, {150, {16, 16}},
    {151, {16, 16}}, {152, {16, 16}}, {153, {16, 16}}, {154, {16, 16}}, {155, {16, 16}},
    {156, {200, 30}},
}};

}  // namespace pp::bitmap
