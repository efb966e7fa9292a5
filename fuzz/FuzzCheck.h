#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// What every harness asserts with: a broken promise prints where and what, then aborts, which
// libFuzzer reports as a crash and saves the input that caused it.
#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (false)

namespace pp::fuzz {

// Takes the fuzzer's bytes apart: fixed-size values from the front, the rest as text.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t byte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto value = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return value;
    }

    std::uint32_t u32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | byte();
        }
        return value;
    }

    [[nodiscard]] std::string_view rest() const { return rest_; }

    // The remaining bytes as UTF-16 units, two bytes each, low byte first.
    [[nodiscard]] std::u16string restAsUtf16() const {
        std::u16string text;
        for (std::size_t i = 0; i + 1 < rest_.size(); i += 2) {
            text += static_cast<char16_t>(static_cast<std::uint8_t>(rest_[i]) |
                                          (static_cast<std::uint8_t>(rest_[i + 1]) << 8));
        }
        return text;
    }

private:
    std::string_view rest_;
};

inline bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// True when every surrogate in `text` is half of a proper pair.
inline bool isValidUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isHighSurrogate(text[i])) {
            if (i + 1 >= text.size() || !isLowSurrogate(text[i + 1])) {
                return false;
            }
            ++i;
        } else if (isLowSurrogate(text[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace pp::fuzz
