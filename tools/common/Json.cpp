#include "tools/common/Json.h"

#include <cstdio>

#include "tools/common/Utf8.h"

namespace pp {
namespace {

void appendControlEscape(std::string& out, unsigned char c) {
    switch (c) {
        case '\b': out += "\\b"; return;
        case '\f': out += "\\f"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: break;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", c);
    out += escape;
}

}  // namespace

std::string jsonString(std::u16string_view text) {
    const std::string bytes = utf8FromUtf16(text);
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            appendControlEscape(out, byte);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace pp
