#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace pp {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Left, top, right, bottom; right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    [[nodiscard]] int width() const { return right - left; }
    [[nodiscard]] int height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The palette of every picture the game paints.
namespace colour {
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{50, 150, 255};
inline constexpr Rgb kGreyBlue{150, 150, 200};
inline constexpr Rgb kOrange{255, 150, 50};
}  // namespace colour

// The six ways text is laid out in its rectangle. In every one the first line starts at the
// rectangle's top and the text is clipped to the rectangle.
enum class TextFormat : int {
    Left = 8,               // left-aligned, one line per line break, never wrapped
    Right = 10,             // right-aligned, never wrapped
    Wrap = 16,              // left-aligned, wrapped to the width
    WrapCentre = 17,        // centred, wrapped
    WrapRight = 18,         // right-aligned, wrapped
    WrapCentreMiddle = 21,  // laid out exactly like WrapCentre
    // One line per line break, never wrapped; a line wider than the rectangle is squeezed
    // horizontally to its width, so a name or label always shows whole on its line.
    LeftCondensed = 40,
    CentreCondensed = 41,
};

inline bool wraps(TextFormat format) { return static_cast<int>(format) & 16; }
inline bool condenses(TextFormat format) { return static_cast<int>(format) & 32; }

enum class BackgroundMode {
    Opaque,       // each line of text first fills its own extent with white
    Transparent,  // text is drawn over what is there
};

// The logical size of the picture the screens are laid out for.
inline constexpr int kClientWidth = 240;
inline constexpr int kClientHeight = 268;

// The drawing primitives every painter uses, in logical pixels of the 240 x 268 picture.
// One paint starts with black text on an opaque background; nothing else carries over
// between paints except the picture itself.
class Surface {
public:
    virtual ~Surface() = default;

    // The client rectangle: (0, 0, 240, 268) on every surface of the game.
    [[nodiscard]] virtual Rect clientRect() const = 0;

    // Fills left..right-2, top..bottom-2 with white, with no outline (like a rectangle drawn
    // without a pen, which leaves the last column and row alone).
    virtual void eraseRect(Rect rect) = 0;

    // Copies bitmap `id` opaque, at its own size, with its top-left corner at (x, y).
    // A bitmap the catalogue does not have draws nothing.
    virtual void drawBitmap(int id, int x, int y) = 0;

    // Draws text in the rectangle with the current text colour and background mode.
    virtual void drawText(std::u16string_view text, Rect rect, TextFormat format) = 0;

    // Lays the whole text out as drawText would, but draws only its first `shownUnits` UTF-16
    // units, each where it stands in the whole layout: a text revealed step by step never moves.
    virtual void drawTextPrefix(std::u16string_view text, std::size_t shownUnits, Rect rect,
                                TextFormat format) = 0;

    // A solid line through the points in order.
    virtual void drawPolyline(std::span<const Point> points, int width, Rgb colour) = 0;

    // An ellipse in the bounding box, outlined with a solid pen of the width and colour and
    // filled white.
    virtual void drawEllipse(Rect box, int penWidth, Rgb colour) = 0;

    virtual void setTextColour(Rgb colour) = 0;
    virtual void setBackgroundMode(BackgroundMode mode) = 0;
};

// Erases the whole client rectangle (which leaves its last column and row as they were).
inline void eraseClient(Surface& surface) { surface.eraseRect(surface.clientRect()); }

// Makes the whole picture white, its last column and row included.
inline void erasePicture(Surface& surface) {
    const Rect client = surface.clientRect();
    surface.eraseRect({client.left, client.top, client.right + 1, client.bottom + 1});
}

}  // namespace pp
