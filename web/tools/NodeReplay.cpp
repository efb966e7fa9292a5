// quiz-replay for node: the headless driver compiled to WebAssembly, with the files of the real
// file system, so the golden transcripts can be checked against the browser's build of the game.
// The same options as quiz-replay, less the frames (drawn with Qt) and the temporary folder.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <variant>

#include <sys/stat.h>

#include "persistence/SettingsFile.h"
#include "tools/replay/Replay.h"
#include "tools/replay/ReplayScript.h"

namespace {

constexpr int kExitScriptError = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: quiz-replay-node.js [--seed N] --documents DIR SCRIPT\n"
    "Plays SCRIPT on the game's WebAssembly build and prints the JSON lines of quiz-replay.\n";

int scriptError(const std::string& script, const pp::replay::ScriptError& error) {
    std::cerr << "quiz-replay: " << script << ":" << error.line << ": " << error.message << "\n";
    return kExitScriptError;
}

}  // namespace

int main(int argc, char** argv) {
    // This C library starts with a umask that would write the settings file without permissions.
    ::umask(022);
    std::optional<std::uint32_t> seed;
    std::string documents;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc) {
            seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--documents" && i + 1 < argc) {
            documents = argv[++i];
        } else if (script.empty() && !arg.starts_with("-")) {
            script = arg;
        } else {
            std::cerr << kUsage;
            return kExitUsage;
        }
    }
    if (script.empty() || documents.empty()) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        return scriptError(script, {0, "cannot read the script"});
    }
    auto parsed = pp::replay::parseScript(in, std::filesystem::absolute(script).parent_path());
    if (auto* error = std::get_if<pp::replay::ScriptError>(&parsed)) {
        return scriptError(script, *error);
    }
    std::error_code ignored;
    std::filesystem::create_directories(documents, ignored);

    // As the desktop's replay: the script's seed line unless --seed gives another, and its set-up
    // lines written into the documents folder before the start.
    const auto& events = std::get<std::vector<pp::replay::Event>>(parsed);
    std::uint32_t scriptSeed = 1;
    for (const pp::replay::Event& event : events) {
        if (!pp::replay::setsUp(event.kind)) {
            break;
        }
        if (event.kind == pp::replay::Event::Kind::Seed) {
            scriptSeed = event.seed;
        }
    }
    pp::replay::NullFrames frames;
    pp::replay::Replayer replayer(pp::settingsPathIn(documents), seed.value_or(scriptSeed), frames, std::cout);
    if (auto error = replayer.setUp(events)) {
        return scriptError(script, *error);
    }
    if (auto error = replayer.start()) {
        return scriptError(script, *error);
    }
    for (const pp::replay::Event& event : events) {
        if (auto error = replayer.run(event)) {
            std::cout.flush();
            return scriptError(script, *error);
        }
        if (replayer.quitting()) {
            break;
        }
    }
    replayer.finish();
    return 0;
}
