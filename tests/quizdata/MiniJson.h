#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/Utf8.h"

namespace pp::test {

// Just enough JSON to read back what `kqd dump --json` prints, written apart from the code
// under test so that its escaping is checked rather than mirrored.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    double number = 0;
    bool boolean = false;
    std::string string;  // UTF-8
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json& operator[](const std::string& key) const { return members.at(key); }
    const Json& operator[](std::size_t i) const { return items.at(i); }
};

class JsonParser {
public:
    // The single value in `text`, or nothing when it is not exactly one well-formed value.
    static std::optional<Json> parse(std::string_view text) {
        JsonParser parser(text);
        std::optional<Json> value = parser.value();
        parser.skipSpace();
        if (!value || parser.pos_ != text.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    explicit JsonParser(std::string_view text) : text_(text) {}

    void skipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t')) {
            ++pos_;
        }
    }

    bool take(char c) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    std::optional<Json> value() {
        skipSpace();
        if (pos_ >= text_.size()) {
            return std::nullopt;
        }
        const char c = text_[pos_];
        Json json;
        if (c == '{') {
            return object();
        }
        if (c == '[') {
            return array();
        }
        if (c == '"') {
            json.kind = Json::Kind::String;
            if (!string(json.string)) {
                return std::nullopt;
            }
            return json;
        }
        if (text_.substr(pos_, 4) == "null") {
            pos_ += 4;
            return json;
        }
        if (text_.substr(pos_, 4) == "true" || text_.substr(pos_, 5) == "false") {
            json.kind = Json::Kind::Bool;
            json.boolean = c == 't';
            pos_ += json.boolean ? 4 : 5;
            return json;
        }
        return number();
    }

    std::optional<Json> number() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && std::string_view("-+.eE0123456789").find(text_[pos_]) != std::string_view::npos) {
            ++pos_;
        }
        if (pos_ == start) {
            return std::nullopt;
        }
        Json json;
        json.kind = Json::Kind::Number;
        json.number = std::stod(std::string(text_.substr(start, pos_ - start)));
        return json;
    }

    std::optional<Json> array() {
        Json json;
        json.kind = Json::Kind::Array;
        ++pos_;
        if (take(']')) {
            return json;
        }
        do {
            std::optional<Json> item = value();
            if (!item) {
                return std::nullopt;
            }
            json.items.push_back(std::move(*item));
        } while (take(','));
        return take(']') ? std::optional<Json>(std::move(json)) : std::nullopt;
    }

    std::optional<Json> object() {
        Json json;
        json.kind = Json::Kind::Object;
        ++pos_;
        if (take('}')) {
            return json;
        }
        do {
            skipSpace();
            std::string key;
            if (pos_ >= text_.size() || text_[pos_] != '"' || !string(key) || !take(':')) {
                return std::nullopt;
            }
            std::optional<Json> item = value();
            if (!item || json.members.count(key) != 0) {
                return std::nullopt;
            }
            json.members.emplace(std::move(key), std::move(*item));
        } while (take(','));
        return take('}') ? std::optional<Json>(std::move(json)) : std::nullopt;
    }


    std::optional<std::uint32_t> hex4() {
        if (pos_ + 4 > text_.size()) {
            return std::nullopt;
        }
        const std::string digits(text_.substr(pos_, 4));
        if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return std::nullopt;
        }
        pos_ += 4;
        return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    }

    bool string(std::string& out) {
        ++pos_;  // the opening quote
        while (pos_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[pos_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false;  // control characters must be escaped
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            const char escape = text_[pos_++];
            switch (escape) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    std::optional<std::uint32_t> unit = hex4();
                    if (!unit) {
                        return false;
                    }
                    std::uint32_t code = *unit;
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        if (text_.substr(pos_, 2) != "\\u") {
                            return false;
                        }
                        pos_ += 2;
                        std::optional<std::uint32_t> low = hex4();
                        if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                            return false;
                        }
                        code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                    }
                    appendUtf8(out, static_cast<char32_t>(code));
                    break;
                }
                default: return false;
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace pp::test
