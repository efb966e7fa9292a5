// The replay script reader on any bytes: an error names a line of the script, events come in
// order, each on a line that exists.

#include <algorithm>
#include <sstream>

#include "FuzzCheck.h"
#include "tools/replay/ReplayScript.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pp::replay;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The lines getline hands out: one per line break, and one more for text after the last.
    const long long lines = std::count(bytes.begin(), bytes.end(), '\n') +
                            (!bytes.empty() && bytes.back() != '\n' ? 1 : 0);

    std::istringstream in(bytes);
    auto parsed = parseScript(in, "/scripts");
    if (const auto* error = std::get_if<ScriptError>(&parsed)) {
        FUZZ_CHECK(error->line >= 1 && error->line <= lines);
        FUZZ_CHECK(!error->message.empty());
        return 0;
    }
    int previous = 0;
    for (const Event& event : std::get<std::vector<Event>>(parsed)) {
        FUZZ_CHECK(event.line > previous && event.line <= lines);
        previous = event.line;
        if (event.kind == Event::Kind::Open) {
            FUZZ_CHECK(event.path.is_absolute());
        }
        if (event.kind == Event::Kind::Tap) {
            FUZZ_CHECK(event.x <= 0xFFFF && event.y <= 0xFFFF);
        }
    }
    return 0;
}
