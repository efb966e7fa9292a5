// kqd's table readers on any bytes: an error names a line of the table; rows come in order,
// each on a line that exists, with valid UTF-16 cells; a table that builds makes a quiz file
// the game accepts, with every question the build counted.

#include <algorithm>
#include <sstream>

#include "FuzzCheck.h"
#include "QuizBuild.h"
#include "SourceTable.h"
#include "quizdata/QuizFile.h"

namespace {

using namespace pp;
using namespace pp::kqd;

// Physical lines as an editor numbers them: one more than the line breaks.
long long lineCount(std::string_view text) { return std::count(text.begin(), text.end(), '\n') + 1; }

void checkBuilt(const BuiltQuiz& quiz, const SourceTable& table) {
    FUZZ_CHECK(quiz.questions == static_cast<int>(table.size()));
    FUZZ_CHECK(quiz.genres >= 1 && quiz.genres <= kGenreCount);
    std::istringstream file(quiz.file);
    const QuizLayout layout = readQuizLayout(file);
    FUZZ_CHECK(layout.accepted());
    FUZZ_CHECK(layout.questionCount == quiz.questions);
    FUZZ_CHECK(layout.fileSize == questionOffset(quiz.questions));
    const auto filled = std::count_if(layout.genres.begin(), layout.genres.end(),
                                      [](const GenreHeader& genre) { return genre.questionCount > 0; });
    FUZZ_CHECK(filled == quiz.genres);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const TableFormat format = input.byte() % 2 == 0 ? TableFormat::Tsv : TableFormat::Csv;
    const std::string_view text = input.rest();
    const long long lines = lineCount(text);

    auto parsed = parseSourceTable(text, format);
    if (const auto* error = std::get_if<SourceError>(&parsed)) {
        FUZZ_CHECK(error->line >= 1 && error->line <= lines);
        FUZZ_CHECK(error->column >= 0);
        FUZZ_CHECK(!error->message.empty());
        return 0;
    }
    const SourceTable& table = std::get<SourceTable>(parsed);
    int previous = 0;
    for (const SourceRow& row : table) {
        FUZZ_CHECK(row.line > previous && row.line <= lines);
        previous = row.line;
        FUZZ_CHECK(!row.cells.empty());
        for (const std::u16string& cell : row.cells) {
            FUZZ_CHECK(fuzz::isValidUtf16(cell));
        }
    }

    auto built = buildQuiz(table);
    if (const auto* error = std::get_if<SourceError>(&built)) {
        FUZZ_CHECK(error->line >= 0 && error->line <= lines);  // 0: the table as a whole
        FUZZ_CHECK(!error->message.empty());
        return 0;
    }
    checkBuilt(std::get<BuiltQuiz>(built), table);
    return 0;
}
