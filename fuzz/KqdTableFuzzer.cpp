// kqd's text table readers on any bytes, in either encoding: an error names a line of the
// table; rows come in order, each on a line that exists, with valid UTF-16 cells; the streaming
// reader agrees with the in-memory one; a table that builds makes a quiz file the game accepts,
// the same bytes whether built in memory or a question at a time.

#include <algorithm>
#include <sstream>

#include "FuzzCheck.h"
#include "authoring/QuizBuild.h"
#include "authoring/SourceTable.h"
#include "quizdata/QuizFile.h"

namespace {

using namespace pp;
using namespace pp::kqd;

// Physical lines as an editor numbers them: one more than the line breaks, where a carriage
// return alone (as old Mac programs end lines) is one too.
LineNumber lineCount(std::string_view text) {
    LineNumber breaks = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        breaks += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    }
    return breaks + 1;
}

struct Reading {
    SourceTable rows;
    std::optional<SourceError> error;
};

bool sameRows(const SourceTable& a, const SourceTable& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const SourceRow& x, const SourceRow& y) {
        return x.line == y.line && x.cells == y.cells && x.directive == y.directive;
    });
}

void checkReading(const Reading& reading, LineNumber lines) {
    if (reading.error) {
        FUZZ_CHECK(reading.error->line >= 0 && reading.error->line <= lines);
        FUZZ_CHECK(reading.error->column >= 0);
        FUZZ_CHECK(!reading.error->message.empty());
    }
    LineNumber previous = 0;
    for (const SourceRow& row : reading.rows) {
        FUZZ_CHECK(row.line > previous && row.line <= lines);
        previous = row.line;
        FUZZ_CHECK(!row.cells.empty());
        for (const std::u16string& cell : row.cells) {
            FUZZ_CHECK(fuzz::isValidUtf16(cell));
        }
    }
}

// Spill and output in memory, for the build that goes a question at a time.
class MemorySpill final : public Spill {
public:
    bool append(std::string_view bytes) override {
        bytes_ += bytes;
        return true;
    }
    bool replay(const std::function<bool(std::string_view)>& piece) override {
        for (std::size_t at = 0; at < bytes_.size(); at += 4096) {
            if (!piece(std::string_view(bytes_).substr(at, 4096))) {
                return false;
            }
        }
        return true;
    }

private:
    std::string bytes_;
};

void checkBuilds(const SourceTable& table, const BuildOptions& options, LineNumber lines) {
    auto built = buildQuiz(table, options);
    MemorySpill spill;
    std::string streamed;
    const auto streamedReport = buildQuizStreaming(
        [&](const RowSink& sink) -> std::optional<SourceError> {
            for (SourceRow row : table) {
                if (auto error = sink(std::move(row))) {
                    return error;
                }
            }
            return std::nullopt;
        },
        options, spill,
        [&](std::int64_t offset, std::string_view bytes) {
            const auto end = static_cast<std::size_t>(offset) + bytes.size();
            streamed.resize(std::max(streamed.size(), end));
            std::copy(bytes.begin(), bytes.end(), streamed.begin() + offset);
            return true;
        });
    if (const auto* error = std::get_if<SourceError>(&built)) {
        FUZZ_CHECK(error->line >= 0 && error->line <= lines);  // 0: the table as a whole
        FUZZ_CHECK(!error->message.empty());
        FUZZ_CHECK(streamedReport.problems.failed());
        return;
    }
    const BuiltQuiz& quiz = std::get<BuiltQuiz>(built);
    FUZZ_CHECK(!streamedReport.problems.failed());
    FUZZ_CHECK(streamed == quiz.file);
    std::istringstream file(quiz.file);
    const QuizLayout layout = readQuizLayout(file);
    FUZZ_CHECK(layout.accepted());
    FUZZ_CHECK(layout.questionCount == quiz.questions);
    FUZZ_CHECK(layout.fileSize == questionOffset(quiz.questions));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    const TableFormat format = (choice & 1) != 0 ? TableFormat::Csv : TableFormat::Tsv;
    const TextEncoding encoding = (choice & 2) != 0 ? TextEncoding::Cp932 : TextEncoding::Utf8;
    BuildOptions options;
    options.headerRow = (choice & 4) != 0;
    options.allowDuplicates = (choice & 8) != 0;
    const std::string_view text = input.rest();
    const LineNumber lines = lineCount(text);

    Reading inMemory;
    inMemory.error = parseSourceTable(text, format, encoding, [&](SourceRow&& row) -> std::optional<SourceError> {
        inMemory.rows.push_back(std::move(row));
        return std::nullopt;
    });
    checkReading(inMemory, lines);

    Reading streamed;
    std::istringstream stream{std::string(text)};
    streamed.error = readSourceTable(stream, format, encoding, [&](SourceRow&& row) -> std::optional<SourceError> {
        streamed.rows.push_back(std::move(row));
        return std::nullopt;
    });
    FUZZ_CHECK(sameRows(streamed.rows, inMemory.rows));
    FUZZ_CHECK(streamed.error.has_value() == inMemory.error.has_value());
    if (inMemory.error) {
        FUZZ_CHECK(streamed.error->line == inMemory.error->line && streamed.error->column == inMemory.error->column);
        return 0;
    }
    checkBuilds(inMemory.rows, options, lines);
    return 0;
}
