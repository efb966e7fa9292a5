#include "encoding/Json.h"

#include <cstdio>

#include "encoding/Utf8.h"

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
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    std::size_t plain = 0;  // the start of the bytes that need no escape, appended in one go
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') {
            continue;
        }
        out.append(bytes, plain, i - plain);
        plain = i + 1;
        if (byte < 0x20) {
            appendControlEscape(out, byte);
        } else {
            out += '\\';
            out += static_cast<char>(byte);
        }
    }
    out.append(bytes, plain, bytes.size() - plain);
    return out + '"';
}

}  // namespace pp
