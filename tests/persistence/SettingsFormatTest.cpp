// The settings file's bytes, read and written on memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Fixtures.h"
#include "persistence/SettingsFile.h"

namespace pp {
namespace {

using namespace std::string_literals;
using test::rankEntry;

const std::string kFirstStartFile =
    "1,0,1,1,0\r\n"
    ",0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n";

// "あいうえおかきくけこ" in code page 932: ten double-byte characters, 20 bytes.
const std::string kTenKanaBytes =
    "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x82\xAD\x82\xAF\x82\xB1";
const std::u16string kTenKana = u"あいうえおかきくけこ";

// A file with the given option line and ranking lines, the missing ranking lines empty.
std::string fileWith(const std::string& optionLine, const std::vector<std::string>& rows) {
    std::string bytes = optionLine + "\r\n";
    for (std::size_t i = 0; i < kRankingRows; ++i) {
        bytes += (i < rows.size() ? rows[i] : ",0"s) + "\r\n";
    }
    return bytes;
}

// A record whose ranking holds something, so a test can see that decoding replaced it.
GameState stateWithStaleRanking() {
    GameState state;
    state.options = Options{0, 1, 0, 0, 1};
    for (RankEntry& entry : state.ranking) {
        entry.name = u"stale";
        entry.score = 77;
    }
    return state;
}

// The ranking line `row` (0 = first place) of an encoded file, without its CR LF.
std::string rankingLine(const std::string& bytes, int row) {
    std::size_t start = 0;
    for (int line = 0; line <= row; ++line) {
        start = bytes.find("\r\n", start) + 2;
    }
    return bytes.substr(start, bytes.find("\r\n", start) - start);
}

TEST(SettingsEncoding, FirstStartIsFiftyOneBytes) {
    GameState state;
    state.options = kDefaultOptions;
    const std::string bytes = encodeSettings(state);
    EXPECT_EQ(bytes, kFirstStartFile);
    EXPECT_EQ(bytes.size(), 51u);
}

TEST(SettingsEncoding, FlagsOtherThanOneAreWrittenAsZero) {
    GameState state;
    state.options = Options{1, 1, 0, 0, 1};
    EXPECT_EQ(encodeSettings(state).substr(0, 11), "1,1,0,0,1\r\n");
    state.options = Options{2, -1, 1, 0, 1};
    EXPECT_EQ(encodeSettings(state).substr(0, 11), "0,0,1,0,1\r\n");
}

TEST(SettingsEncoding, RankingLinesHoldNameCommaScore) {
    GameState state;
    state.ranking[0] = rankEntry(u"Taro", 32767);
    state.ranking[1] = rankEntry(kTenKana, 1234);
    state.ranking[2] = rankEntry(u"", -5);
    const std::string bytes = encodeSettings(state);
    EXPECT_EQ(rankingLine(bytes, 0), "Taro,32767");
    EXPECT_EQ(rankingLine(bytes, 1), kTenKanaBytes + ",1234");
    EXPECT_EQ(rankingLine(bytes, 2), ",-5");
    EXPECT_EQ(rankingLine(bytes, 9), ",0");
}

TEST(SettingsEncoding, ScoresBelowMinus9999AreClampedToFitTheField) {
    GameState state;
    state.ranking[0].score = -9999;
    state.ranking[1].score = -10000;
    state.ranking[2].score = -32768;
    const std::string bytes = encodeSettings(state);
    EXPECT_EQ(rankingLine(bytes, 0), ",-9999");
    EXPECT_EQ(rankingLine(bytes, 1), ",-9999");
    EXPECT_EQ(rankingLine(bytes, 2), ",-9999");
}

TEST(SettingsEncoding, DelimitersInANameAreReplacedSoTheFileReadsBack) {
    GameState state;
    state.ranking[0] = rankEntry(u"a,b\r\nc", 300);
    state.ranking[1] = rankEntry(u"next", 200);
    const std::string bytes = encodeSettings(state);
    EXPECT_EQ(rankingLine(bytes, 0), "a\x81\x43" "b  c,300");  // "，" is 0x81 0x43

    GameState reread;
    decodeSettings(bytes, reread);
    EXPECT_EQ(reread.ranking[0].name, u"a，b  c");
    EXPECT_EQ(reread.ranking[0].score, 300);
    EXPECT_EQ(reread.ranking[1].name, u"next");
    EXPECT_EQ(reread.ranking[1].score, 200);
}

TEST(SettingsEncoding, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    GameState state;
    state.ranking[0] = rankEntry(u"A\U0001F600한B", 10);
    EXPECT_EQ(rankingLine(encodeSettings(state), 0), "A??B,10");
}

TEST(SettingsEncoding, OverlongNamesAreCutAtACharacterBoundary) {
    GameState state;
    state.ranking[0].name = kTenKana + kTenKana;   // 40 bytes
    state.ranking[1].name = u"a" + kTenKana;       // 21 bytes: the last character must go whole
    state.ranking[2].name = u"abcdefghijklmnopqrst";  // exactly 20 single bytes
    const std::string bytes = encodeSettings(state);
    EXPECT_EQ(rankingLine(bytes, 0), kTenKanaBytes + ",0");
    EXPECT_EQ(rankingLine(bytes, 1), "a" + kTenKanaBytes.substr(0, 18) + ",0");
    EXPECT_EQ(rankingLine(bytes, 2), "abcdefghijklmnopqrst,0");
}

TEST(SettingsDecoding, OptionLineSetsFlagsOnlyForOne) {
    GameState state = stateWithStaleRanking();
    decodeSettings(fileWith("1,1,0,0,1", {}), state);
    EXPECT_EQ(state.options, (Options{1, 1, 0, 0, 1}));

    decodeSettings(fileWith("2;x.1 0!1", {}), state);
    EXPECT_EQ(state.options, (Options{0, 0, 1, 0, 1}));
}

TEST(SettingsDecoding, ScoresReadLikeAtoiTruncatedTo16Bits) {
    const std::vector<std::pair<std::string, std::int16_t>> cases = {
        {"40000", -25536}, {"-5", -5},   {"32767", 32767}, {"-9999", -9999}, {"99999", -31073},
        {"abc", 0},        {"", 0},      {"12ab", 12},     {" +7", 7},       {"-", 0},
    };
    for (const auto& [text, expected] : cases) {
        GameState state;
        decodeSettings(fileWith("1,0,1,1,0", {"n," + text}), state);
        EXPECT_EQ(state.ranking[0].score, expected) << "score text \"" << text << "\"";
        EXPECT_EQ(state.ranking[0].name, u"n");
    }
}

TEST(SettingsRoundTrip, EveryFieldComesBackAfterEncodingAndDecoding) {
    GameState written;
    written.options = Options{0, 1, 1, 0, 1};
    written.ranking[0] = rankEntry(kTenKana, 2500);
    written.ranking[1] = rankEntry(u"", 2000);  // an empty name survives
    written.ranking[2] = rankEntry(u"山田", 1500);
    written.ranking[3] = rankEntry(u"Bob", 40);
    written.ranking[9] = rankEntry(u"", -120);

    const std::string bytes = encodeSettings(written);
    EXPECT_EQ(rankingLine(bytes, 0).size(), 20u + 5u);  // the Japanese name fills its field
    EXPECT_EQ(rankingLine(bytes, 1), ",2000");

    GameState reread = stateWithStaleRanking();
    decodeSettings(bytes, reread);
    EXPECT_EQ(reread.options, written.options);
    for (int row = 0; row < kRankingRows; ++row) {
        EXPECT_EQ(reread.ranking[row].name, written.ranking[row].name) << "row " << row;
        EXPECT_EQ(reread.ranking[row].score, written.ranking[row].score) << "row " << row;
    }
}

// Damaged files: every row is read from its own line, so one bad line costs only itself.
TEST(SettingsDecoding, LineWithoutSeparatorIsAnEmptyEntry) {
    GameState state = stateWithStaleRanking();
    decodeSettings(fileWith("1,0,1,1,0", {"first,900", "no separator 800", "", "fourth,700"}),
                   state);
    EXPECT_EQ(state.ranking[0].name, u"first");
    EXPECT_EQ(state.ranking[1].name, u"");
    EXPECT_EQ(state.ranking[1].score, 0);
    EXPECT_EQ(state.ranking[2].name, u"");
    EXPECT_EQ(state.ranking[2].score, 0);
    EXPECT_EQ(state.ranking[3].name, u"fourth");
    EXPECT_EQ(state.ranking[3].score, 700);
}

TEST(SettingsDecoding, OverlongFieldsAreCutToTheirWidth) {
    GameState state;
    const std::string longKana = "a" + kTenKanaBytes + "\x82\xA0";  // 23 bytes
    decodeSettings(fileWith("1,0,1,1,0", {"abcdefghijklmnopqrstuvwxyz,1", longKana + ",2",
                                          "score,1234567", "both" + std::string(40, 'x') + ",-12345"}),
                   state);
    EXPECT_EQ(state.ranking[0].name, u"abcdefghijklmnopqrst");
    EXPECT_EQ(state.ranking[0].score, 1);
    EXPECT_EQ(state.ranking[1].name, u"a" + kTenKana.substr(0, 9));  // never half a character
    EXPECT_EQ(state.ranking[1].score, 2);
    EXPECT_EQ(state.ranking[2].score, 12345);
    EXPECT_EQ(state.ranking[3].name.size(), 20u);
    EXPECT_EQ(state.ranking[3].score, -1234);
    EXPECT_EQ(state.ranking[4].name, u"");
}

TEST(SettingsDecoding, EarlyEndOfFileLeavesTheRestEmpty) {
    GameState state = stateWithStaleRanking();
    decodeSettings("0,0,0,0,0\r\nA,30\r\nB,20\r\nC,1", state);
    EXPECT_EQ(state.options, (Options{0, 0, 0, 0, 0}));
    EXPECT_EQ(state.ranking[1].name, u"B");
    EXPECT_EQ(state.ranking[2].name, u"C");  // the last line lacks only its CR LF
    EXPECT_EQ(state.ranking[2].score, 1);
    for (int row = 3; row < kRankingRows; ++row) {
        EXPECT_EQ(state.ranking[row].name, u"") << "row " << row;
        EXPECT_EQ(state.ranking[row].score, 0) << "row " << row;
    }

    decodeSettings("1,1\r\nD", state);  // cut inside the option line and the first row
    EXPECT_EQ(state.options, (Options{1, 1, 1, 1, 0}));  // unread flags take their defaults
    EXPECT_EQ(state.ranking[0].name, u"");
    EXPECT_EQ(state.ranking[0].score, 0);
}

TEST(SettingsDecoding, EmptyFileReadsAsDefaultsWithAnEmptyRanking) {
    GameState state = stateWithStaleRanking();
    decodeSettings("", state);
    EXPECT_EQ(state.options, kDefaultOptions);
    for (const RankEntry& entry : state.ranking) {
        EXPECT_EQ(entry.name, u"");
        EXPECT_EQ(entry.score, 0);
    }
}

TEST(SettingsDecoding, OtherLineEndsStillSeparateLines) {
    GameState state;
    decodeSettings("1,1,0,0,1\nA,3\rB,2\nC,1\r\n", state);
    EXPECT_EQ(state.options, (Options{1, 1, 0, 0, 1}));
    EXPECT_EQ(state.ranking[0].name, u"A");
    EXPECT_EQ(state.ranking[1].name, u"B");
    EXPECT_EQ(state.ranking[2].name, u"C");
    EXPECT_EQ(state.ranking[2].score, 1);
}

TEST(SettingsDecoding, GarbageBytesInANameDoNotShiftTheRows) {
    GameState state;
    decodeSettings(fileWith("1,0,1,1,0", {"\xFF\x80\xA0,5", "x\x82,6", "\x82\x2C\x41,7", "ok,8"}),
                   state);
    EXPECT_EQ(state.ranking[0].score, 5);
    EXPECT_FALSE(state.ranking[0].name.empty());
    EXPECT_EQ(state.ranking[1].name, u"x");  // a lead byte without its partner is dropped
    EXPECT_EQ(state.ranking[1].score, 6);
    EXPECT_EQ(state.ranking[2].score, 0);  // "A,7" after the first comma is not a number
    EXPECT_EQ(state.ranking[3].name, u"ok");
    EXPECT_EQ(state.ranking[3].score, 8);
}

TEST(SettingsDecoding, BytesWithoutACharacterReadAsTheQuestionMarkASaveWrites) {
    GameState state;
    decodeSettings(fileWith("1,0,1,1,0", {"AB\xFDT,40"}), state);
    EXPECT_EQ(state.ranking[0].name, u"AB?T");
    GameState reread;
    decodeSettings(encodeSettings(state), reread);
    EXPECT_EQ(reread.ranking[0].name, state.ranking[0].name);
}

// Deterministic noise, so a failure repeats.
std::string noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

TEST(SettingsDecoding, BinaryFilesReadSafelyAndSettleAfterOneSave) {
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        GameState state;
        decodeSettings(noise(seed * 37, seed), state);
        for (const RankEntry& entry : state.ranking) {
            ASSERT_LE(entry.name.size(), 20u) << "seed " << seed;
        }
        // Once saved, the file reads back as it was written.
        const std::string saved = encodeSettings(state);
        GameState reread;
        decodeSettings(saved, reread);
        EXPECT_EQ(encodeSettings(reread), saved) << "seed " << seed;
    }
}

}  // namespace
}  // namespace pp
