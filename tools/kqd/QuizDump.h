#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace pp::kqd {

enum class DumpFormat {
    Text,  // the genre table, then each question with its five stored choices, right answer first
    Json,  // {"genres":[{"name","count"} x8],"questions":[{"number","genre","text","choices":[5]}]}
    Tsv,   // a table that `kqd build` turns back into the same file
};

// Prints the quiz file in `in` a question at a time, so that only the genre table is held in
// memory; stops early once `out` fails. Text and JSON show the texts as the game shows them;
// the table holds them whole. Returns the reason when the game would refuse the file. For a
// table, `warnings` gets a line for each thing that will not come back byte for byte.
std::optional<std::string> dumpQuiz(std::istream& in, DumpFormat format, std::ostream& out, std::ostream& warnings);

// The same for the file at `path`.
std::optional<std::string> dumpQuiz(const std::filesystem::path& path, DumpFormat format, std::ostream& out,
                                    std::ostream& warnings);

}  // namespace pp::kqd
