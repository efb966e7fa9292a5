#include "KqdCli.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "QuizBuild.h"
#include "QuizDump.h"
#include "SourceTable.h"

namespace pp::kqd {
namespace {

constexpr const char* kMainHelp =
    "Usage: kqd COMMAND ...\n"
    "Builds and inspects quiz files (.kqd) for the five-choice quiz game.\n"
    "\n"
    "Commands:\n"
    "  build SOURCE -o OUT.kqd   turn a question table (.tsv or .csv) into a quiz file\n"
    "  dump FILE [--json]        print the genres and every question of a quiz file\n"
    "  check FILE                tell whether the game accepts a quiz file\n"
    "\n"
    "Run \"kqd COMMAND --help\" for more about a command.\n";

constexpr const char* kBuildHelp =
    "Usage: kqd build SOURCE -o OUT.kqd\n"
    "Builds a quiz file from a UTF-8 table, one question a line, in seven columns:\n"
    "  genre, question, right answer, wrong answer 1, wrong answer 2, wrong answer 3, wrong answer 4\n"
    "SOURCE ending in .tsv is split at tabs (no quoting); .csv is comma-separated with the usual\n"
    "double-quote quoting. A byte-order mark is accepted; blank lines and lines starting with #\n"
    "are skipped.\n"
    "Genres are numbered in order of first appearance (at most 8); the questions are stored\n"
    "grouped by genre. Texts are stored in code page 932 and must fit their field: genre 16 bytes,\n"
    "question 116, each answer 28 (a full-width character takes 2). 〜 − ¢ £ ¬ ‖ are stored as\n"
    "～ － ￠ ￡ ￢ ∥. On any error nothing is written.\n";

constexpr const char* kDumpHelp =
    "Usage: kqd dump FILE [--json]\n"
    "Prints the genre table and every question with its five stored choices, right answer first,\n"
    "decoded as the game shows them. With --json, prints one JSON object:\n"
    "  {\"genres\":[{\"name\":...,\"count\":N} x 8],\n"
    "   \"questions\":[{\"number\":q,\"genre\":g,\"text\":...,\"choices\":[5 texts]},...]}\n";

constexpr const char* kCheckHelp =
    "Usage: kqd check FILE\n"
    "Exits 0 when the game accepts the quiz file; otherwise prints why and exits 1.\n";

bool wantsHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

int usageError(std::ostream& err, const std::string& message, const std::string& command) {
    err << "kqd: " << message << " (see kqd " << command << (command.empty() ? "" : " ") << "--help)\n";
    return kExitUsage;
}

int failure(std::ostream& err, const std::string& message) {
    err << "kqd: " << message << '\n';
    return kExitFailure;
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "FILE:LINE:COLUMN: message", leaving out what the error does not name.
std::string locate(const std::string& file, const SourceError& error) {
    std::string where = file;
    if (error.line > 0) {
        where += ":" + std::to_string(error.line);
        if (error.column > 0) {
            where += ":" + std::to_string(error.column);
        }
    }
    return where + ": " + error.message;
}

int runBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> source;
    std::optional<std::string> output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usageError(err, "build: unknown option \"" + args[i] + "\"", "build");
        } else if (!source) {
            source = args[i];
        } else {
            return usageError(err, "build: one SOURCE only", "build");
        }
    }
    if (!source || !output) {
        return usageError(err, "build needs SOURCE and -o OUT.kqd", "build");
    }
    const std::optional<TableFormat> format = tableFormatOf(*source);
    if (!format) {
        return failure(err, *source + ": the table must end in .tsv or .csv");
    }
    const std::optional<std::string> text = readWholeFile(*source);
    if (!text) {
        return failure(err, *source + ": cannot read the file");
    }
    auto table = parseSourceTable(*text, *format);
    if (auto* error = std::get_if<SourceError>(&table)) {
        return failure(err, locate(*source, *error));
    }
    auto built = buildQuiz(std::get<SourceTable>(table));
    if (auto* error = std::get_if<SourceError>(&built)) {
        return failure(err, locate(*source, *error));
    }
    const BuiltQuiz& quiz = std::get<BuiltQuiz>(built);
    for (const SourceError& warning : quiz.warnings) {
        err << "kqd: " << locate(*source, warning) << '\n';
    }
    if (auto error = writeFileReplacing(*output, quiz.file)) {
        return failure(err, *error);
    }
    out << "wrote " << *output << ": " << quiz.questions << " questions in " << quiz.genres << " genres\n";
    return kExitOk;
}

// Reads the one FILE argument of dump and check, with the flags each allows.
std::optional<std::string> fileArgument(const std::vector<std::string>& args, bool allowJson) {
    std::optional<std::string> file;
    for (const std::string& arg : args) {
        if (arg == "--json" && allowJson) {
            continue;
        }
        if ((!arg.empty() && arg[0] == '-') || file) {
            return std::nullopt;
        }
        file = arg;
    }
    return file;
}

int runDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<std::string> file = fileArgument(args, true);
    if (!file) {
        return usageError(err, "dump takes one FILE and optionally --json", "dump");
    }
    const bool json = std::find(args.begin(), args.end(), "--json") != args.end();
    auto contents = readQuizContents(*file);
    if (auto* reason = std::get_if<std::string>(&contents)) {
        return failure(err, *file + ": " + *reason);
    }
    const QuizContents& quiz = std::get<QuizContents>(contents);
    out << (json ? dumpJson(quiz) : dumpText(quiz));
    return kExitOk;
}

int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<std::string> file = fileArgument(args, false);
    if (!file) {
        return usageError(err, "check takes one FILE", "check");
    }
    const QuizLayout layout = readQuizLayout(std::filesystem::path(*file));
    if (!layout.accepted()) {
        return failure(err, *file + ": refused: " + describeLayout(layout));
    }
    out << *file << ": accepted, " << describeLayout(layout) << '\n';
    return kExitOk;
}

}  // namespace

int runKqd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        return usageError(err, "no command given", "");
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kMainHelp;
        return kExitOk;
    }
    struct Command {
        const char* name;
        const char* help;
        int (*run)(const std::vector<std::string>&, std::ostream&, std::ostream&);
    };
    static constexpr Command kCommands[] = {
        {"build", kBuildHelp, runBuild},
        {"dump", kDumpHelp, runDump},
        {"check", kCheckHelp, runCheck},
    };
    for (const Command& candidate : kCommands) {
        if (command == candidate.name) {
            if (wantsHelp(rest)) {
                out << candidate.help;
                return kExitOk;
            }
            return candidate.run(rest, out, err);
        }
    }
    return usageError(err, "unknown command \"" + command + "\"", "");
}

}  // namespace pp::kqd
