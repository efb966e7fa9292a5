#include "tools/kqd/KqdCli.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "authoring/Messages.h"
#include "authoring/ProblemReport.h"
#include "authoring/QuizBuild.h"
#include "authoring/SheetWriter.h"
#include "authoring/SourceTable.h"
#include "authoring/Spreadsheet.h"
#include "quizdata/QuizFile.h"
#include "tools/kqd/OutputFile.h"
#include "tools/kqd/QuizDump.h"

namespace pp::kqd {
namespace {

constexpr const char* kMainHelp = untranslated(
    "Usage: kqd COMMAND ...\n"
    "Builds and inspects quiz files (.kqd) for the five-choice quiz game.\n"
    "\n"
    "Commands:\n"
    "  build SOURCE -o OUT.kqd    turn a question table (.tsv, .csv, .xlsx or .ods) into a quiz file\n"
    "  dump FILE [--json|--tsv]   print the genres and every question of a quiz file, or a table of them\n"
    "  dump FILE --xlsx|--ods OUT write a quiz file as a spreadsheet to edit\n"
    "  check FILE                 tell whether the game accepts a quiz file\n"
    "  template -o OUT            write the spreadsheet a new quiz starts from (.xlsx or .ods)\n"
    "\n"
    "From a spreadsheet to a quiz file, and from a quiz file back to a table to edit:\n"
    "  kqd build quiz.xlsx -o quiz.kqd\n"
    "  kqd dump old.kqd --xlsx quiz.xlsx    then edit quiz.xlsx and   kqd build quiz.xlsx -o new.kqd\n"
    "\n"
    "Run \"kqd COMMAND --help\" for more about a command.\n");

constexpr const char* kBuildHelp = untranslated(
    "Usage: kqd build SOURCE -o OUT.kqd [--header] [--allow-duplicates] [--include-hidden] [--sheet NAME|N]\n"
    "                [--encoding utf-8|cp932]\n"
    "Builds a quiz file from a table, one question a row, in seven columns:\n"
    "  genre, question, right answer, wrong answer 1, wrong answer 2, wrong answer 3, wrong answer 4\n"
    "SOURCE is read by its extension:\n"
    "  .tsv   split at tabs, no quoting\n"
    "  .csv   comma-separated, with the usual double-quote quoting\n"
    "  .xlsx  the first sheet of an Excel workbook; .ods  the first sheet of a LibreOffice spreadsheet;\n"
    "         --sheet picks another by its name or its place (from 1)\n"
    "A .tsv or .csv is read as UTF-8 (a byte-order mark is accepted), or as Shift_JIS (code page 932,\n"
    "as Japanese Excel saves CSV) when it is not valid UTF-8 but valid Shift_JIS; --encoding says which.\n"
    "Blank rows, rows whose first cell starts with #, and empty cells after the seventh are skipped.\n"
    "A sheet's hidden rows are left out, each named in the report (--include-hidden builds them too).\n"
    "Without --sheet, the first sheet that is not hidden and holds data is read, named in the report\n"
    "when others were passed over; hidden sheets are listed (--include-hidden reads them too).\n"
    "A cell holds the text the sheet shows (dates, percentages, 0123, 12,614 as formatted); a cell\n"
    "showing an error value, a formula saved without its result, or a format kqd cannot show as\n"
    "the sheet does (an era date, a fraction) is refused: format the column as text.\n"
    "Every problem of the table is listed, by its cell, before anything is written.\n"
    "A first row that names the columns (ジャンル, 問題, 正解, 不正解 1-4, or genre, question, answer,\n"
    "wrong answer) is a header: the columns are then found by those names, in any order, and other\n"
    "columns such as 解説 are ignored with a note. Without a header, columns after the seventh are\n"
    "ignored with a note. --header skips the first row, whatever it holds.\n"
    "Every cell of the seven must be filled, and two equal choices are refused (--allow-duplicates\n"
    "only warns). Genres are numbered in order of first appearance (at most 8); the questions are\n"
    "stored grouped by genre; spaces around a genre name are dropped. Texts are stored in code page\n"
    "932 and must fit their field: a genre name 8 full-width characters (16 half-width), a question\n"
    "58 (116), each answer 14 (28). 〜 − ¢ £ ¬ ‖ are stored as ～ － ￠ ￡ ￢ ∥.\n"
    "Directives, lines of their own as \"kqd dump --tsv\" writes them:\n"
    "  #kqd: escapes      from here on \\t \\n \\r \\\\ in a cell are a tab, a line break, a carriage\n"
    "                     return and a backslash (and \\ before any other character is that character)\n"
    "  #kqd: genre NAME   opens the next genre, even one without questions\n"
    "On any error nothing is written. OUT may not be SOURCE itself.\n");

constexpr const char* kDumpHelp = untranslated(
    "Usage: kqd dump FILE [--json | --tsv | --xlsx OUT.xlsx | --ods OUT.ods]\n"
    "Prints the genre table and every question with its five stored choices, right answer first,\n"
    "decoded as the game shows them. With --json, prints one JSON object:\n"
    "  {\"genres\":[{\"name\":...,\"count\":N} x 8],\n"
    "   \"questions\":[{\"number\":q,\"genre\":g,\"text\":...,\"choices\":[5 texts]},...]}\n"
    "With --tsv, prints a table that \"kqd build\" turns back into the same file, byte for byte;\n"
    "anything that would not come back so is named on standard error. To edit a quiz file:\n"
    "  kqd dump old.kqd --tsv > quiz.tsv\n"
    "  (edit quiz.tsv in a text editor, or open it in a spreadsheet program and save it as .xlsx/.ods)\n"
    "  kqd build quiz.tsv -o new.kqd\n"
    "With --xlsx or --ods, writes the quiz as a spreadsheet instead: a header row naming the columns,\n"
    "the right answer's column marked, every cell stored as text (so 0123 stays 0123), which\n"
    "\"kqd build\" turns back into the same file.\n");

constexpr const char* kTemplateHelp = untranslated(
    "Usage: kqd template -o OUT.xlsx|OUT.ods\n"
    "Writes the spreadsheet a new quiz starts from: the header row, two example questions, and a\n"
    "second sheet on the columns and their limits. It builds as it is:\n"
    "  kqd template -o quiz.xlsx    then fill it in and    kqd build quiz.xlsx -o quiz.kqd\n");

constexpr const char* kCheckHelp = untranslated(
    "Usage: kqd check FILE\n"
    "Exits 0 when the game accepts the quiz file; otherwise prints why and exits 1.\n");

bool wantsHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

int usageError(std::ostream& err, const std::string& message, const std::string& command) {
    err << "kqd: " << fill(msg("%1 (see kqd %2--help)"), {message, command.empty() ? command : command + " "}) << '\n';
    return kExitUsage;
}

int failure(std::ostream& err, const std::string& message) {
    err << "kqd: " << message << '\n';
    return kExitFailure;
}

// `one` or `many` (each holding %1 for the count) as the count asks.
std::string counted(std::int64_t count, const std::string& one, const std::string& many) {
    return fill(count == 1 ? one : many, {std::to_string(count)});
}

// Why `file` cannot be read as an input, when it is there but not a regular file: a pipe would
// block kqd before a byte came, and a device or a folder is no table or quiz file. Asked before
// the file is opened; a missing file is left to the reader, which says so.
std::optional<std::string> notARegularFile(const std::string& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        return describeLayout(QuizLayout{{}, 0, 0, QuizFileProblem::NotAFile, -1});
    }
    return std::nullopt;
}

struct BuildArguments {
    std::string source;
    std::string output;
    std::optional<TextEncoding> encoding;
    std::optional<SheetChoice> sheet;
    BuildOptions options;
};

std::variant<BuildArguments, std::string> parseBuildArguments(const std::vector<std::string>& args) {
    BuildArguments parsed;
    std::optional<std::string> source;
    std::optional<std::string> output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (arg == "--encoding" && i + 1 < args.size()) {
            const std::string& name = args[++i];
            if (name == "utf-8" || name == "utf8") {
                parsed.encoding = TextEncoding::Utf8;
            } else if (name == "cp932" || name == "shift_jis" || name == "sjis") {
                parsed.encoding = TextEncoding::Cp932;
            } else {
                return fill(msg("build: --encoding takes utf-8 or cp932, not \"%1\""), {name});
            }
        } else if (arg == "--sheet" && i + 1 < args.size()) {
            const std::string& which = args[++i];
            SheetChoice choice;
            if (!which.empty() && which.size() <= 4 && std::all_of(which.begin(), which.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                choice.number = std::stoi(which);
                if (choice.number < 1) {
                    return msg("build: --sheet counts sheets from 1");
                }
            } else if (which.empty()) {
                return msg("build: --sheet takes a sheet's name or place");
            } else {
                choice.name = which;
            }
            parsed.sheet = choice;
        } else if (arg == "--header") {
            parsed.options.headerRow = true;
        } else if (arg == "--allow-duplicates") {
            parsed.options.allowDuplicates = true;
        } else if (arg == "--include-hidden") {
            parsed.options.includeHidden = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return fill(msg("build: unknown option \"%1\""), {arg});
        } else if (!source) {
            source = arg;
        } else {
            return msg("build: one SOURCE only");
        }
    }
    if (!source || !output) {
        return msg("build needs SOURCE and -o OUT.kqd");
    }
    parsed.source = *source;
    parsed.output = *output;
    return parsed;
}

// How the rows of the source are read, and what to say about it.
struct SourceReading {
    RowSource rows;
    std::optional<std::string> sheet;  // the sheet's name, once read
    std::string badTextHint;           // appended to an encoding error
    SpreadsheetRows csvRows;           // where a CSV table's rows sit in a spreadsheet
    std::vector<SourceError> sheetNotes;  // the sheets passed over, and the one read instead
};

std::optional<std::string> prepareSource(const BuildArguments& build, TableFormat format, SourceReading& reading,
                                         std::ostream& err) {
    const std::filesystem::path source = build.source;
    if (format == TableFormat::Xlsx || format == TableFormat::Ods) {
        reading.sheet.emplace();
        SheetChoice choice = build.sheet.value_or(SheetChoice{});
        choice.includeHidden = build.options.includeHidden;
        reading.rows = [&reading, source, format, choice](const RowSink& sink) {
            return readSpreadsheetFile(source, format, sink, &*reading.sheet, choice, &reading.sheetNotes);
        };
        return std::nullopt;
    }
    if (build.sheet) {
        return build.source + ": " + msg("--sheet picks a sheet of an .xlsx or .ods file; a text table has none");
    }
    std::ifstream probe(source, std::ios::binary);
    std::error_code ignored;
    if (!probe || std::filesystem::is_directory(source, ignored)) {
        return build.source + ": " + msg("cannot read the file");
    }
    TextEncoding encoding = build.encoding.value_or(TextEncoding::Utf8);
    if (!build.encoding) {
        TextEncoding closest = TextEncoding::Utf8;
        const std::optional<TextEncoding> detected = detectEncoding(probe, &closest);
        if (detected == TextEncoding::Cp932) {
            err << "kqd: " << build.source << ": " << msg("not UTF-8; reading it as Shift_JIS (code page 932)") << '\n';
            encoding = TextEncoding::Cp932;
        } else if (!detected) {
            // Read in the encoding that goes further, so the error names the row that is wrong.
            encoding = closest;
            reading.badTextHint = closest == TextEncoding::Utf8
                                      ? msg(", nor Shift_JIS (code page 932): save the table as UTF-8 or Shift_JIS CSV")
                                      : msg(", nor UTF-8: save the table as UTF-8 or Shift_JIS CSV");
        }
    }
    reading.rows = [&reading, source, format, encoding](const RowSink& sink) -> std::optional<SourceError> {
        std::ifstream in(source, std::ios::binary);
        if (!in) {
            return SourceError{0, 0, msg("cannot read the file")};
        }
        reading.csvRows = SpreadsheetRows();
        return readSourceTable(in, format, encoding, [&reading, &sink](SourceRow&& row) {
            std::int64_t breaks = 0;
            for (const std::u16string& cell : row.cells) {
                breaks += std::count(cell.begin(), cell.end(), u'\n');
            }
            reading.csvRows.add(row.line, breaks);
            return sink(std::move(row));
        });
    };
    return std::nullopt;
}

// Lists every problem of the build in table order, then, when there were several, how many;
// true when the build failed.
bool reportProblems(const std::string& source, const SourceReading& reading, const Problems& problems,
                    std::ostream& err) {
    for (const std::string& line : reportLines({source, reading.sheet, reading.badTextHint, &reading.csvRows}, problems)) {
        err << "kqd: " << line << '\n';
    }
    return problems.failed();
}

int runBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto parsed = parseBuildArguments(args);
    if (auto* message = std::get_if<std::string>(&parsed)) {
        return usageError(err, *message, "build");
    }
    BuildArguments& build = std::get<BuildArguments>(parsed);
    const std::optional<TableFormat> format = tableFormatOf(build.source);
    if (!format) {
        return failure(err, build.source + ": " + msg("the table must end in .tsv, .csv, .xlsx or .ods"));
    }
    if (isSameFile(build.source, build.output)) {
        return failure(err, fill(msg("%1 is the table itself; give the quiz file another name"), {build.output}));
    }
    if (auto problem = notARegularFile(build.source)) {
        return failure(err, build.source + ": " + *problem);
    }
    build.options.columnLetters = *format == TableFormat::Xlsx || *format == TableFormat::Ods;
    SourceReading reading;
    if (auto problem = prepareSource(build, *format, reading, err)) {
        return failure(err, *problem);
    }
    ReplacingFile file(build.output);
    if (auto problem = file.open()) {
        return failure(err, *problem);
    }
    FileSpill spill(build.output);
    if (auto problem = spill.open()) {
        return failure(err, *problem);
    }
    const WriteAt write = [&file](std::int64_t offset, std::string_view bytes) { return file.writeAt(offset, bytes); };
    BuildReport report = buildQuizStreaming(reading.rows, build.options, spill, write);
    for (SourceError& note : reading.sheetNotes) {
        report.problems.warning(std::move(note));
    }
    if (report.problems.failed() && (file.error() || spill.error())) {
        return failure(err, file.error() ? *file.error() : *spill.error());
    }
    if (reportProblems(build.source, reading, report.problems, err)) {
        return kExitFailure;
    }
    if (auto problem = file.commit()) {
        return failure(err, *problem);
    }
    out << fill(msg("wrote %1: %2 in %3"),
                {build.output, counted(report.questions, msg("%1 question"), msg("%1 questions")),
                 counted(report.genres, msg("%1 genre"), msg("%1 genres"))})
        << '\n';
    return kExitOk;
}

// Reads the one FILE argument of dump and check, with the flags each allows.
std::optional<std::string> fileArgument(const std::vector<std::string>& args, bool allowFormats) {
    std::optional<std::string> file;
    int formats = 0;
    for (const std::string& arg : args) {
        if ((arg == "--json" || arg == "--tsv") && allowFormats) {
            ++formats;
            continue;
        }
        if ((!arg.empty() && arg[0] == '-') || file) {
            return std::nullopt;
        }
        file = arg;
    }
    return formats > 1 ? std::nullopt : file;
}

// Writes the quiz file as a spreadsheet to `output`, naming what will not come back byte for byte.
int dumpSpreadsheet(const std::string& file, SheetFormat format, const std::string& output, std::ostream& out,
                    std::ostream& err) {
    if (auto problem = notARegularFile(file)) {
        return failure(err, file + ": " + *problem);
    }
    if (isSameFile(file, output)) {
        return failure(err, output + " is the quiz file itself; give the spreadsheet another name");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return failure(err, file + ": " + describeLayout(QuizLayout{{}, 0, 0, QuizFileProblem::CannotOpen, -1}));
    }
    std::string bytes;
    std::vector<std::string> warnings;
    if (auto reason = quizAsSpreadsheet(in, format, bytes, warnings)) {
        return failure(err, file + ": " + *reason);
    }
    constexpr std::size_t kShownWarnings = 10;
    for (std::size_t w = 0; w < std::min(warnings.size(), kShownWarnings); ++w) {
        err << "kqd: warning: " << warnings[w] << '\n';
    }
    if (warnings.size() > kShownWarnings) {
        err << "kqd: warning: and " << warnings.size() - kShownWarnings << " more like these\n";
    }
    if (auto problem = writeFileReplacing(output, bytes)) {
        return failure(err, *problem);
    }
    out << "wrote " << output << '\n';
    return kExitOk;
}

int runDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--xlsx" && args[i] != "--ods") {
            continue;
        }
        std::vector<std::string> rest = args;
        rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i), rest.begin() + static_cast<std::ptrdiff_t>(std::min(i + 2, args.size())));
        const std::optional<std::string> file = fileArgument(rest, false);
        if (i + 1 == args.size() || !file) {
            return usageError(err, "dump takes one FILE and " + args[i] + " OUT", "dump");
        }
        return dumpSpreadsheet(*file, args[i] == "--xlsx" ? SheetFormat::Xlsx : SheetFormat::Ods, args[i + 1], out,
                               err);
    }
    const std::optional<std::string> file = fileArgument(args, true);
    if (!file) {
        return usageError(err, msg("dump takes one FILE and optionally --json or --tsv"), "dump");
    }
    if (auto problem = notARegularFile(*file)) {
        return failure(err, *file + ": " + *problem);
    }
    DumpFormat format = DumpFormat::Text;
    if (std::find(args.begin(), args.end(), "--json") != args.end()) {
        format = DumpFormat::Json;
    } else if (std::find(args.begin(), args.end(), "--tsv") != args.end()) {
        format = DumpFormat::Tsv;
    }
    if (auto reason = dumpQuiz(std::filesystem::path(*file), format, out, err)) {
        return failure(err, *file + ": " + *reason);
    }
    return kExitOk;
}

// Whether the file is a question table rather than a quiz file: by its extension, or by text
// where a quiz file's headers hold zero bytes.
bool looksLikeTable(const std::string& file) {
    if (tableFormatOf(file)) {
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    std::string start(kHeadersSize, '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(in.gcount()));
    return !start.empty() && start.find('\0') == std::string::npos && start.find('\n') != std::string::npos;
}

int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<std::string> file = fileArgument(args, false);
    if (!file) {
        return usageError(err, msg("check takes one FILE"), "check");
    }
    if (auto problem = notARegularFile(*file)) {
        return failure(err, fill(msg("%1: refused: %2"), {*file, *problem}));
    }
    const QuizLayout layout = readQuizLayout(std::filesystem::path(*file));
    if (layout.problem != QuizFileProblem::CannotOpen && looksLikeTable(*file)) {
        return failure(err, fill(msg("%1: this looks like a question table, not a quiz file; build one with: kqd "
                                     "build %1 -o quiz.kqd"),
                                 {*file}));
    }
    if (!layout.accepted()) {
        return failure(err, fill(msg("%1: refused: %2"), {*file, describeLayout(layout)}));
    }
    out << fill(msg("%1: accepted, %2"), {*file, describeLayout(layout)}) << '\n';
    return kExitOk;
}

int runTemplate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2 || args[0] != "-o") {
        return usageError(err, "template takes -o OUT.xlsx or -o OUT.ods", "template");
    }
    const std::optional<SheetFormat> format = sheetFormatOf(args[1]);
    if (!format) {
        return usageError(err, "template writes a .xlsx or .ods file, not \"" + args[1] + "\"", "template");
    }
    if (auto problem = writeFileReplacing(args[1], writeWorkbook(templateWorkbook(), *format))) {
        return failure(err, *problem);
    }
    out << "wrote " << args[1] << '\n';
    return kExitOk;
}

// Output that never reached its reader (a full disk, a closed pipe) is a failure too.
int finishOutput(int status, std::ostream& out, std::ostream& err) {
    out.flush();
    if (!out) {
        err << "kqd: " << msg("cannot write the output (standard output is full or closed)") << '\n';
        return status == kExitOk ? kExitFailure : status;
    }
    return status;
}

}  // namespace

int runKqd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        return usageError(err, msg("no command given"), "");
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << msg(kMainHelp);
        return finishOutput(kExitOk, out, err);
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
        {"template", kTemplateHelp, runTemplate},
    };
    for (const Command& candidate : kCommands) {
        if (command == candidate.name) {
            if (wantsHelp(rest)) {
                out << msg(candidate.help);
                return finishOutput(kExitOk, out, err);
            }
            return finishOutput(candidate.run(rest, out, err), out, err);
        }
    }
    return usageError(err, fill(msg("unknown command \"%1\""), {command}), "");
}

}  // namespace pp::kqd
