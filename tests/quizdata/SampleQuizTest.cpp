#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "support/Json.h"
#include "QuizFixtures.h"

namespace pp {
namespace {

using test::Json;
using test::JsonParser;

// The bundled sample table read with nothing but string splitting, apart from kqd's reader.
std::vector<std::vector<std::string>> readTable(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> cells;
        std::istringstream split(line);
        for (std::string cell; std::getline(split, cell, '\t');) {
            cells.push_back(cell);
        }
        rows.push_back(cells);
    }
    return rows;
}

// What Windows' code page 932 stores for the characters other systems type.
std::string windowsForms(std::string text) {
    const std::pair<std::string, std::string> forms[] = {
        {"〜", "～"}, {"−", "－"}, {"¢", "￠"}, {"£", "￡"}, {"¬", "￢"}, {"‖", "∥"},
    };
    for (const auto& [from, to] : forms) {
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
            text.replace(at, from.size(), to);
        }
    }
    return text;
}

int runTool(const std::string& args, const std::filesystem::path& out) {
    const int status = std::system((std::string(KQD_EXECUTABLE) + " " + args + " >" + out.string()).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SampleQuiz, RoundTripsThroughKqdBuildAndDump) {
    test::TempDir folder;
    const std::string table = PERNA_SAMPLE_TABLE;
    ASSERT_EQ(runTool("build " + table + " -o " + (folder / "sample.kqd").string(), folder / "build.txt"), 0);
    ASSERT_EQ(runTool("dump --json " + (folder / "sample.kqd").string(), folder / "dump.json"), 0);
    const std::optional<Json> json = JsonParser::parse(test::readBytes(folder / "dump.json"));
    ASSERT_TRUE(json.has_value());

    // Genres in order of first appearance, each with its rows in table order.
    std::vector<std::string> genreNames;
    std::vector<std::vector<std::vector<std::string>>> genreRows;
    for (const auto& row : readTable(test::readBytes(table))) {
        ASSERT_EQ(row.size(), 7u);
        const auto found = std::find(genreNames.begin(), genreNames.end(), row[0]);
        if (found == genreNames.end()) {
            genreNames.push_back(row[0]);
            genreRows.emplace_back();
        }
        genreRows[static_cast<std::size_t>(std::find(genreNames.begin(), genreNames.end(), row[0]) - genreNames.begin())]
            .push_back(row);
    }
    ASSERT_LE(genreNames.size(), 8u);

    const Json& genres = (*json)["genres"];
    ASSERT_EQ(genres.items.size(), 8u);
    const Json& questions = (*json)["questions"];
    std::size_t number = 0;
    for (std::size_t g = 0; g < 8; ++g) {
        const bool used = g < genreNames.size();
        EXPECT_EQ(genres[g]["name"].string, used ? windowsForms(genreNames[g]) : "");
        EXPECT_EQ(genres[g]["count"].number, used ? static_cast<double>(genreRows[g].size()) : 0.0);
        if (!used) {
            continue;
        }
        for (const auto& row : genreRows[g]) {
            ASSERT_LT(number, questions.items.size());
            const Json& question = questions[number];
            EXPECT_EQ(question["number"].number, static_cast<double>(number));
            EXPECT_EQ(question["genre"].number, static_cast<double>(g));
            EXPECT_EQ(question["text"].string, windowsForms(row[1]));
            for (std::size_t k = 0; k < 5; ++k) {
                EXPECT_EQ(question["choices"][k].string, windowsForms(row[2 + k])) << row[1];
            }
            ++number;
        }
    }
    EXPECT_EQ(questions.items.size(), number);
}

}  // namespace
}  // namespace pp
