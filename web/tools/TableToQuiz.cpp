// Turns a UTF-8 TSV table into a quiz file with kqd's own reader and writer, under node, so the
// web folder carries the sample quiz without a native build (kqd itself also reads spreadsheets,
// which needs libraries the browser build does not have).
// Usage: table-to-quiz.js TABLE.tsv QUIZ.kqd

#include <fstream>
#include <iostream>
#include <sstream>
#include <variant>

#include "authoring/QuizBuild.h"
#include "authoring/SourceTable.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "Usage: table-to-quiz.js TABLE.tsv QUIZ.kqd\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::cerr << "table-to-quiz: cannot read " << argv[1] << "\n";
        return 1;
    }
    auto table = pp::kqd::parseSourceTable(text.str(), pp::kqd::TableFormat::Tsv);
    if (auto* error = std::get_if<pp::kqd::SourceError>(&table)) {
        std::cerr << "table-to-quiz: " << argv[1] << ":" << error->line << ": " << error->message << "\n";
        return 1;
    }
    auto built = pp::kqd::buildQuiz(std::get<pp::kqd::SourceTable>(table));
    if (auto* error = std::get_if<pp::kqd::SourceError>(&built)) {
        std::cerr << "table-to-quiz: " << argv[1] << ":" << error->line << ": " << error->message << "\n";
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << std::get<pp::kqd::BuiltQuiz>(built).file;
    if (!out.flush()) {
        std::cerr << "table-to-quiz: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
