#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "record/Utf16.h"

namespace pp {

// Returns how many UTF-16 units of `text` fit in `maxUnits` without splitting a surrogate pair.
inline std::size_t fittingLength(std::u16string_view text, std::size_t maxUnits) {
    if (text.size() <= maxUnits) {
        return text.size();
    }
    std::size_t n = maxUnits;
    // A high surrogate left as the last unit would lose its partner: drop it too.
    if (n > 0 && isHighSurrogate(text[n - 1])) {
        --n;
    }
    return n;
}

// A zero-terminated UTF-16 text in a buffer of Capacity units, terminator included.
// Assignment cuts a longer text at a character boundary, so the buffer can never overflow.
template <std::size_t Capacity>
class FixedText {
    static_assert(Capacity >= 1);

public:
    static constexpr std::size_t capacity = Capacity;
    static constexpr std::size_t maxLength = Capacity - 1;

    FixedText() = default;
    FixedText(std::u16string_view text) { assign(text); }  // NOLINT: implicit by design

    void assign(std::u16string_view text) {
        // Stop at an embedded terminator, as a C string would.
        if (auto nul = text.find(u'\0'); nul != std::u16string_view::npos) {
            text = text.substr(0, nul);
        }
        length_ = fittingLength(text, maxLength);
        std::copy_n(text.data(), length_, units_.data());
        std::fill(units_.begin() + static_cast<std::ptrdiff_t>(length_), units_.end(), u'\0');
    }

    FixedText& operator=(std::u16string_view text) {
        assign(text);
        return *this;
    }

    // Keeps only the first `n` units (and never half of a surrogate pair).
    void truncate(std::size_t n) { assign(view().substr(0, fittingLength(view(), n))); }

    void clear() { assign({}); }

    [[nodiscard]] std::u16string_view view() const { return {units_.data(), length_}; }
    [[nodiscard]] std::u16string str() const { return std::u16string(view()); }
    [[nodiscard]] std::size_t size() const { return length_; }
    [[nodiscard]] bool empty() const { return length_ == 0; }
    [[nodiscard]] const char16_t* c_str() const { return units_.data(); }

    friend bool operator==(const FixedText& a, const FixedText& b) { return a.view() == b.view(); }
    friend bool operator==(const FixedText& a, std::u16string_view b) { return a.view() == b; }

private:
    std::array<char16_t, Capacity> units_{};
    std::size_t length_ = 0;
};

}  // namespace pp
