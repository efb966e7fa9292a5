#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace pp {

// The screens format their numbers into a buffer of this many UTF-16 units, terminator
// included; a longer result is cut.
inline constexpr std::size_t kFormatBufferUnits = 100;

// One number handed to the formatter: an integer for %d, a double for %f. Narrower integer
// types widen to int; wider ones are refused at compile time rather than silently cut.
class FormatArg {
public:
    template <std::integral T>
        requires(sizeof(T) <= sizeof(int))
    FormatArg(T value) : isDouble_(false), integer_(static_cast<int>(value)) {}  // NOLINT
    FormatArg(double value) : isDouble_(true), real_(value) {}                    // NOLINT

    [[nodiscard]] bool isDouble() const { return isDouble_; }
    [[nodiscard]] long long asInteger() const;
    [[nodiscard]] double asDouble() const { return isDouble_ ? real_ : integer_; }

private:
    bool isDouble_;
    int integer_ = 0;
    double real_ = 0.0;
};

// Formats like the platform's wsprintf for the directives the screens use: %d (and %i) with
// an optional width, "-" or "0" flag; %f with width and precision; %%. An argument of the
// other kind is converted; a missing one prints nothing; an unknown directive is copied as it
// stands. The result holds at most kFormatBufferUnits - 1 units.
std::u16string formatTextWith(std::u16string_view format, std::span<const FormatArg> args);

template <typename... Args>
std::u16string formatText(std::u16string_view format, Args... args) {
    const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
    return formatTextWith(format, list);
}

}  // namespace pp
