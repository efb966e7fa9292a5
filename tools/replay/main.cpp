// quiz-replay: plays a script of events on the real game without a window, for tests,
// benchmarks and checking quiz files. See kUsage for the script language.

#include <QGuiApplication>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <variant>

#include <pthread.h>
#include <stdlib.h>

#include "persistence/SettingsFile.h"
#include "persistence/SafeFile.h"
#include "persistence/HistoryDb.h"
#include "tools/replay/PngFrames.h"
#include "tools/replay/Recorder.h"
#include "tools/replay/Replay.h"
#include "tools/replay/ReplayScript.h"

namespace {

constexpr int kExitScriptError = 1;
constexpr int kExitUsage = 2;
// The seed when none is given, so that a script replays the same game every time.
constexpr std::uint32_t kDefaultSeed = 1;
constexpr int kLargestScale = 16;

constexpr const char* kUsage =
    "Usage: quiz-replay [--seed N] [--documents DIR] [--frames DIR] [--scale N] [--record FILE] SCRIPT\n"
    "Plays SCRIPT on the game without a window and prints one JSON object a line: every change\n"
    "of screen (the title at start-up first), every sound the game starts, every message box,\n"
    "and a summary at the end, with the missed questions' numbers in the quiz file. \"t\" counts\n"
    "the ticks (50 ms each) run since the start.\n"
    "\n"
    "Options:\n"
    "  --seed N         seed of the question and choice draws (default: the script's seed\n"
    "                   line, or 1)\n"
    "  --documents DIR  the documents folder, with the settings file (created with defaults when\n"
    "                   missing; when it cannot be, the game's message box says why);\n"
    "                   default: a fresh temporary folder, removed at the end\n"
    "  --frames DIR     write every painted picture as DIR/NNNNN-Screen.png, in paint order\n"
    "  --scale N        the frames' scale, 1 to 16 (default 1: 240 x 268 pixels)\n"
    "  --record FILE    write the game played as a script, as the game's own recorder does\n"
    "\n"
    "SCRIPT (\"-\" for standard input) holds one event a line; blank lines and lines starting\n"
    "with # are skipped:\n"
    "  open PATH           the open command with PATH chosen; a relative PATH is taken from the\n"
    "                      script's folder (from the current folder when reading standard input)\n"
    "  tick N              N timer ticks, each followed by the paint it asked for\n"
    "  tap X Y             a tap at (X, Y) in the 240 x 268 picture\n"
    "  key NAME|CODE       a key by the browser's name (ArrowUp, ArrowDown, ArrowLeft, ArrowRight,\n"
    "                      Enter, NumpadEnter, Space) or as up, down, left, right, return, enter,\n"
    "                      space; action, app1..app4; the number keys 1..5 (answer with that row\n"
    "                      at once); or a hexadecimal key code (0x86)\n"
    "  answer right|wrong  tap the right row (or the first wrong one) twice\n"
    "  settings sound=0|1 correct=0|1 limit=0|1 reveal=0|1 study=0|1 norepeat=0|1\n"
    "                      the settings dialog confirmed; options not named keep their values\n"
    "  name TEXT           what the name dialog returns when it is next shown\n"
    "  command ID          a menu command: 40013 ranking, 40015 a review run over the missed\n"
    "                      questions, 40003 About and 40014 the missed-questions dialog\n"
    "                      (nothing here), 40008 or 1 quit (ends the replay)\n"
    "Lines that set the game up come before all others (a recorded game starts with them):\n"
    "  seed N              the draws' seed\n"
    "  quiz PATH           the quiz file the title starts again on\n"
    "  rank SCORE NAME     a row of the ranking, top first (up to ten; the others are empty)\n"
    "  options ...         the options at start, as for settings\n"
    "\n"
    "Exit status: 0 when the script ran to its end or to a quit command, 1 on a bad script line,\n"
    "an event that cannot run (reported on standard error with its line), a frame or output that\n"
    "cannot be written, 2 on bad arguments.\n";

struct Arguments {
    std::optional<std::uint32_t> seed;
    std::optional<std::filesystem::path> documents;
    std::optional<std::string> frames;
    std::optional<std::filesystem::path> record;
    int scale = 1;
    std::string script;
};

template <typename Number>
std::optional<Number> number(const char* text, Number low, Number high) {
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used);
        if (used == std::strlen(text) && value >= static_cast<long long>(low) && value <= static_cast<long long>(high)) {
            return static_cast<Number>(value);
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

std::optional<Arguments> parseArguments(int argc, char** argv) {
    Arguments args;
    bool haveScript = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--seed" && hasValue) {
            const auto seed = number<std::uint32_t>(argv[++i], 0, 0xFFFFFFFFu);
            if (!seed) return std::nullopt;
            args.seed = *seed;
        } else if (arg == "--documents" && hasValue) {
            args.documents = std::filesystem::path(argv[++i]);
        } else if (arg == "--record" && hasValue) {
            args.record = std::filesystem::path(argv[++i]);
        } else if (arg == "--frames" && hasValue) {
            args.frames = argv[++i];
        } else if (arg == "--scale" && hasValue) {
            const auto scale = number<int>(argv[++i], 1, kLargestScale);
            if (!scale) return std::nullopt;
            args.scale = *scale;
        } else if (!haveScript && (arg == "-" || !arg.starts_with("-"))) {
            args.script = arg;
            haveScript = true;
        } else {
            return std::nullopt;
        }
    }
    return haveScript ? std::optional(args) : std::nullopt;
}

// A documents folder of its own, removed again at the end, so a replay never touches the
// player's settings and ranking.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "quiz-replay-XXXXXX").string();
        if (!error && ::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            removeOnSignal(path_);
        }
    }
    ~TemporaryFolder() {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    // A replay stopped with Ctrl+C or kill would end without running the destructor: a thread
    // waits for those signals instead, removes the folder and then lets the signal end the
    // process as it would have. (Nothing can be done about SIGKILL.)
    static void removeOnSignal(const std::filesystem::path& folder) {
        sigset_t stopping;
        sigemptyset(&stopping);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&stopping, signal);
        }
        // Blocked before any other thread exists, so that every thread leaves them to this one.
        pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
        std::thread([folder, stopping] {
            int signal = 0;
            if (sigwait(&stopping, &signal) != 0) {
                return;
            }
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
            std::signal(signal, SIG_DFL);
            pthread_sigmask(SIG_UNBLOCK, &stopping, nullptr);
            std::raise(signal);
        }).detach();
    }

    std::filesystem::path path_;
};

// Standard output is checked at the end, so that a full disk or a closed pipe is not taken
// for a replay that printed everything.
int checkOutput(int status) {
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::cerr << "quiz-replay: cannot write the output: " << std::strerror(errno) << "\n";
        return status == 0 ? kExitScriptError : status;
    }
    return status;
}

int reportScriptError(const std::string& script, const pp::replay::ScriptError& error) {
    std::cerr << "quiz-replay: " << script << ":" << error.line << ": " << error.message << "\n";
    return kExitScriptError;
}

// Reads the whole script before anything runs, so a bad line is reported before any output.
std::variant<std::vector<pp::replay::Event>, pp::replay::ScriptError> readScript(const std::string& script) {
    if (script == "-") {
        return pp::replay::parseScript(std::cin, std::filesystem::current_path());
    }
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        return pp::replay::ScriptError{0, "cannot read the script"};
    }
    const std::filesystem::path folder = std::filesystem::absolute(std::filesystem::path(script)).parent_path();
    return pp::replay::parseScript(in, folder);
}

int play(const Arguments& args, const std::vector<pp::replay::Event>& events, pp::replay::FrameSink& frames,
         const std::filesystem::path& documents) {
    // A recorded game names its seed; --seed still wins, to try the same play on other draws.
    std::uint32_t seed = kDefaultSeed;
    for (const pp::replay::Event& event : events) {
        if (!pp::replay::setsUp(event.kind)) {
            break;
        }
        if (event.kind == pp::replay::Event::Kind::Seed) {
            seed = event.seed;
        }
    }
    pp::replay::Replayer replayer(pp::settingsPathIn(documents), args.seed.value_or(seed), frames, std::cout);
    if (auto error = replayer.setUp(events)) {
        return reportScriptError(args.script, *error);
    }
    // A script that names its days studies across them: the history is kept beside the settings.
    const bool dated = std::any_of(events.begin(), events.end(),
                                   [](const pp::replay::Event& event) { return event.kind == pp::replay::Event::Kind::Date; });
    if (dated) {
        replayer.useHistory(std::make_unique<pp::HistoryDb>(documents / std::string(pp::kHistoryFileName)));
    }
    if (auto error = replayer.start()) {
        return reportScriptError(args.script, *error);
    }
    pp::replay::Recorder recorder(args.seed.value_or(seed));
    if (args.record) {
        replayer.listen(&recorder);
    }
    int status = 0;
    for (const pp::replay::Event& event : events) {
        if (auto error = replayer.run(event)) {
            std::cout.flush();
            status = reportScriptError(args.script, *error);
            break;
        }
        if (replayer.quitting()) {
            break;
        }
    }
    if (status == 0) {
        replayer.finish();
    }
    // Also after a failed event, so that the game up to it can be looked at.
    if (args.record && pp::replaceFileContents(*args.record, recorder.script()) != pp::FileStatus::Ok) {
        std::cerr << "quiz-replay: cannot write the recording " << args.record->string() << "\n";
        return kExitScriptError;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Arguments> args = parseArguments(argc, argv);
    if (!args) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    auto script = readScript(args->script);
    if (auto* error = std::get_if<pp::replay::ScriptError>(&script)) {
        return reportScriptError(args->script, *error);
    }
    const auto& events = std::get<std::vector<pp::replay::Event>>(script);

    // Only made when no folder is given, so that nothing is left in the temporary folder.
    std::optional<TemporaryFolder> temporary;
    std::filesystem::path documents;
    if (args->documents) {
        // A folder that cannot be made (a file stands there, say) is the game's to report, in its
        // message boxes, as on a desktop.
        documents = *args->documents;
        std::error_code ignored;
        std::filesystem::create_directories(documents, ignored);
    } else {
        documents = temporary.emplace().path();
        if (documents.empty()) {
            std::cerr << "quiz-replay: no temporary documents folder to use\n";
            return kExitUsage;
        }
    }

    if (!args->frames) {
        pp::replay::NullFrames frames;
        return checkOutput(play(*args, events, frames, documents));
    }
    // Frames are painted with Qt, which needs an application; the replay never shows a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    pp::replay::PngFrames frames(QString::fromStdString(*args->frames), args->scale);
    if (!frames.ready()) {
        std::cerr << "quiz-replay: cannot make the frames folder " << *args->frames << "\n";
        return kExitUsage;
    }
    return checkOutput(play(*args, events, frames, documents));
}
