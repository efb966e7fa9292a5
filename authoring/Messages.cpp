#include "authoring/Messages.h"

namespace pp::kqd {
namespace {

MessageCatalogue& catalogue() {
    static MessageCatalogue chosen;
    return chosen;
}

}  // namespace

void setMessageCatalogue(MessageCatalogue chosen) { catalogue() = std::move(chosen); }

std::string msg(const char* english) {
    const MessageCatalogue& chosen = catalogue();
    return chosen ? chosen(english) : std::string(english);
}

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 16 * args.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (index < args.size()) {
                out += *(args.begin() + index);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string warning(std::string_view message) { return fill(msg("warning: %1"), {message}); }

std::string note(std::string_view message) { return fill(msg("note: %1"), {message}); }

bool isWarningOrNote(std::string_view message) {
    for (const std::string& opening : {msg("warning: %1"), msg("note: %1")}) {
        const std::string_view prefix = std::string_view(opening).substr(0, opening.find("%1"));
        if (message.starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

}  // namespace pp::kqd
