#include <gtest/gtest.h>

#include <sstream>

#include "engine/Keys.h"
#include "tools/replay/ReplayScript.h"

namespace pp::replay {
namespace {

using Kind = Event::Kind;

std::variant<std::vector<Event>, ScriptError> parse(const std::string& text) {
    std::istringstream in(text);
    return parseScript(in, "/scripts");
}

std::vector<Event> events(const std::string& text) {
    auto result = parse(text);
    if (auto* error = std::get_if<ScriptError>(&result)) {
        ADD_FAILURE() << "line " << error->line << ": " << error->message;
        return {};
    }
    return std::get<std::vector<Event>>(result);
}

ScriptError error(const std::string& text) {
    auto result = parse(text);
    if (auto* found = std::get_if<ScriptError>(&result)) {
        return *found;
    }
    ADD_FAILURE() << "accepted: " << text;
    return {};
}

TEST(ReplayScript, ReadsEveryEventSkippingCommentsAndBlankLines) {
    const auto read = events(
        "# a comment\n"
        "\n"
        "open quiz files/test.kqd\n"
        "   tick 25\r\n"
        "tap 120 80\n"
        "\t# indented comment\n"
        "key up\n"
        "answer right\n"
        "answer wrong\n"
        "settings sound=0 study=1\n"
        "name  山田 太郎 \n"
        "command 40013\n");
    ASSERT_EQ(read.size(), 9u);
    EXPECT_EQ(read[0].kind, Kind::Open);
    EXPECT_EQ(read[0].path, std::filesystem::path("/scripts/quiz files/test.kqd"));
    EXPECT_EQ(read[0].line, 3);
    EXPECT_EQ(read[1].kind, Kind::Tick);
    EXPECT_EQ(read[1].ticks, 25u);
    EXPECT_EQ(read[2].x, 120u);
    EXPECT_EQ(read[2].y, 80u);
    EXPECT_EQ(read[3].keyCode, 0x26);
    EXPECT_EQ(read[3].line, 7);
    EXPECT_TRUE(read[4].right);
    EXPECT_FALSE(read[5].right);
    EXPECT_EQ(read[6].sound, std::optional<std::int16_t>(0));
    EXPECT_EQ(read[6].study, std::optional<std::int16_t>(1));
    EXPECT_FALSE(read[6].limit.has_value());
    EXPECT_EQ(read[7].name, u"山田 太郎");
    EXPECT_EQ(read[8].commandId, 40013);
}

TEST(ReplayScript, DatesCountDaysFromTheEpoch) {
    const auto read = events("date 1970-01-02\ndate 2024-02-29\n");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].kind, Kind::Date);
    EXPECT_EQ(read[0].day, 1);
    EXPECT_EQ(read[1].day, 19782);
}

TEST(ReplayScript, KeysByNameOrHexCode) {
    const std::pair<const char*, int> keys[] = {
        {"up", 0x26},  {"down", 0x28}, {"return", 0x0D}, {"enter", 0x0D}, {"space", 0x0D},
        {"action", 0x86}, {"app1", 0xC1}, {"app4", 0xC4}, {"0x86", 0x86}, {"C2", 0xC2}, {"0X0d", 0x0D},
        {"1", 0x31}, {"5", 0x35}, {"0x1", 0x01}, {"6", 0x06},  // digits 1-5 are the number keys
    };
    for (auto [word, code] : keys) {
        EXPECT_EQ(keyCodeFor(word), std::optional<int>(code)) << word;
    }
    for (const char* word : {"", "0x", "upp", "0x12345", "-1", "0xZZ", "Arrow", "ArrowUpp"}) {
        EXPECT_FALSE(keyCodeFor(word).has_value()) << word;
    }
}

// The one key table: the browser's names and the short words read as the same codes, in any
// letter case, and the name a recording writes for a code reads back as that code.
TEST(ReplayScript, KeysByTheBrowsersNames) {
    const std::pair<const char*, int> keys[] = {
        {"ArrowUp", 0x26}, {"arrowdown", 0x28}, {"ArrowLeft", 0x25}, {"ARROWRIGHT", 0x27},
        {"Enter", 0x0D},   {"NumpadEnter", 0x0D}, {"Space", 0x0D},  {"App4", 0xC4}, {"UP", 0x26},
    };
    for (auto [word, code] : keys) {
        EXPECT_EQ(keyCodeFor(word), std::optional<int>(code)) << word;
    }
    for (const NamedKey& named : kNamedKeys) {
        EXPECT_EQ(keyCodeFor(*keyNameOf(named.code)), std::optional<int>(named.code)) << named.name;
    }
    EXPECT_EQ(keyNameOf(0x0D), std::optional<std::string_view>("Enter"));
    EXPECT_FALSE(keyNameOf(0x99).has_value());
}

TEST(ReplayScript, BadLinesAreReportedWithTheirNumber) {
    const std::pair<const char*, const char*> bad[] = {
        {"jump 3", "unknown event"},
        {"tick", "tick needs"},
        {"tick -5", "tick needs"},
        {"tick 99999999999", "tick needs"},
        {"tick 5 6", "tick needs"},
        {"tap 120", "tap needs"},
        {"tap 70000 5", "tap needs"},
        {"key sideways", "key needs"},
        {"answer maybe", "answer needs"},
        {"settings sound=2", "settings takes"},
        {"settings volume=1", "settings takes"},
        {"settings sound", "settings takes"},
        {"command forty", "command needs"},
        {"command 40007", "open PATH"},
        {"command 40012", "settings sound=1"},
        {"open", "open needs"},
        {"name \xff\xfe", "UTF-8"},
        {"date 2026-02-30", "date needs"},
        {"date 2026-4-1", "date needs"},
        {"date 2026-13-01", "date needs"},
        {"date", "date needs"},
    };
    for (auto [line, message] : bad) {
        const ScriptError found = error(std::string("# header\ntick 1\n") + line + "\ntick 1\n");
        EXPECT_EQ(found.line, 3) << line;
        EXPECT_NE(found.message.find(message), std::string::npos) << line << ": " << found.message;
    }
}

// The lines a recording starts with: read whole, only before every other line, and checked.
TEST(ReplayScript, SetUpLinesComeFirst) {
    const auto read = events("seed 4294967295\nquiz q.kqd\nrank 5760 山田 太郎\nrank 0\n"
                             "options sound=0 norepeat=1\ntick 1\n");
    ASSERT_EQ(read.size(), 6U);
    EXPECT_EQ(read[0].seed, 4294967295U);
    EXPECT_EQ(read[1].path, std::filesystem::path("/scripts/q.kqd"));
    EXPECT_EQ(read[2].score, 5760);
    EXPECT_EQ(read[2].name, u"山田 太郎");
    EXPECT_EQ(read[3].name, u"");
    EXPECT_EQ(read[4].sound, std::optional<std::int16_t>(0));
    EXPECT_EQ(read[4].noRepeats, std::optional<std::int16_t>(1));
    EXPECT_FALSE(read[4].study.has_value());

    const auto kept = events("kept q.kqd\nmissed 3,1 7\nfilerank 400 先生\nresumable {}\nleave yes\nresume no\n");
    ASSERT_EQ(kept.size(), 6U);
    EXPECT_EQ(kept[0].path, std::filesystem::path("/scripts/q.kqd"));
    EXPECT_EQ(kept[1].questions, (std::vector<std::int32_t>{3, 1, 7}));
    EXPECT_EQ(kept[2].kind, Kind::FileRank);
    EXPECT_EQ(kept[2].name, u"先生");
    EXPECT_EQ(kept[3].json, "{}");
    EXPECT_TRUE(kept[4].yes);
    EXPECT_FALSE(kept[5].yes);

    const std::pair<const char*, const char*> bad[] = {
        {"tick 1\nseed 3\n", "go before"},       {"name x\noptions sound=1\n", "go before"},
        {"# c\nseed -1\n", "seed needs"},        {"# c\nrank 40000 a\n", "rank needs"},
        {"# c\nrank -1 a\n", "rank needs"},      {"# c\noptions norepeat=2\n", "options takes"},
        {"# c\nquiz\n", "quiz needs"},
        {"tick 1\nkept q.kqd\n", "go before"},   {"# c\nmissed 3,,4\n", "missed needs"},
        {"# c\nmissed\n", "missed needs"},      {"# c\nmissed -2\n", "missed needs"},
        {"# c\ncard 4 2.5 5 2026-04-01 2026-04-03 1\n", "card needs"},
        {"# c\ncard 4 2,5 5 2026-04-01 2026-04-03 1 0\n", "card needs"},
        {"# c\ncard 4 2.5 5 2026-04-01 2026-02-30 1 0\n", "card needs"},
        {"# c\nfilerank x\n", "filerank needs"},  {"# c\nresumable\n", "resumable needs"},
        {"# c\nleave maybe\n", "leave needs"},  {"# c\nresume\n", "resume needs"},
    };
    for (auto [text, message] : bad) {
        const ScriptError found = error(text);
        EXPECT_EQ(found.line, 2) << text;
        EXPECT_NE(found.message.find(message), std::string::npos) << text << ": " << found.message;
    }
}

}  // namespace
}  // namespace pp::replay
