#include <gtest/gtest.h>

#include <sstream>

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
    for (const char* word : {"", "0x", "upp", "0x12345", "-1", "0xZZ"}) {
        EXPECT_FALSE(keyCodeFor(word).has_value()) << word;
    }
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

}  // namespace
}  // namespace pp::replay
