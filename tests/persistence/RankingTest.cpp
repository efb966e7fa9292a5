// Ranking insertion and the name dialog.
#include <gtest/gtest.h>

#include <string>

#include "Fixtures.h"
#include "persistence/Ranking.h"
#include "persistence/SettingsFile.h"

namespace pp {
namespace {

using test::rankEntry;
using test::TempFolder;

// A game about to offer `score` to a ranking of 900, 800, ..., 100, 0 named "r900" ... "r0".
class RankingTest : public ::testing::Test {
protected:
    RankingTest() {
        for (int row = 0; row < kRankingRows; ++row) {
            const int score = 900 - 100 * row;
            setRow(row, score);
        }
    }

    void setRow(int row, int score) {
        const std::string name = "r" + std::to_string(score);
        state.ranking[row] = rankEntry(std::u16string(name.begin(), name.end()), score);
    }

    // The end of a game with `score`, the name dialog returning `typedName` if it is shown.
    void offer(std::int16_t score, const std::u16string& typedName = u"New") {
        state.score = score;
        if (rankingOffered(state)) {
            ++nameRequests;
        }
        enterRanking(state, typedName);
    }

    // The ranking's names top to bottom, to compare whole orders at once.
    std::vector<std::u16string> names() const {
        std::vector<std::u16string> result;
        for (const RankEntry& entry : state.ranking) {
            result.push_back(entry.name.str());
        }
        return result;
    }

    GameState state;
    int nameRequests = 0;
};

TEST_F(RankingTest, NewScoreGoesBelowAnEqualOneAndTheRestMoveDown) {
    EXPECT_EQ(rankingInsertIndex(state, 500), 5);
    offer(500);
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"r900", u"r800", u"r700", u"r600", u"r500",
                                                    u"New", u"r400", u"r300", u"r200", u"r100"}));
    EXPECT_EQ(state.ranking[5].score, 500);
    EXPECT_EQ(state.ranking[6].score, 400);
    EXPECT_EQ(state.ranking[9].score, 100);
}

TEST_F(RankingTest, ScoreAboveTheFirstPlaceTakesTheTop) {
    EXPECT_EQ(rankingInsertIndex(state, 1000), 0);
    offer(1000);
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"New", u"r900", u"r800", u"r700", u"r600",
                                                    u"r500", u"r400", u"r300", u"r200", u"r100"}));
    EXPECT_EQ(state.ranking[0].score, 1000);
}

TEST_F(RankingTest, ScoreBetweenTheLastTwoMovesOnlyTheNinth) {
    EXPECT_EQ(rankingInsertIndex(state, 150), 8);
    offer(150);
    EXPECT_EQ(state.ranking[7].name, u"r200");
    EXPECT_EQ(state.ranking[8].name, u"New");
    EXPECT_EQ(state.ranking[8].score, 150);
    EXPECT_EQ(state.ranking[9].name, u"r100");
}

TEST_F(RankingTest, TiesStayInTheOrderTheyCameIn) {
    for (int row = 0; row < kRankingRows - 1; ++row) {
        setRow(row, 100);
        state.ranking[row].name = std::u16string(1, static_cast<char16_t>(u'a' + row));
    }
    setRow(9, 50);
    EXPECT_EQ(rankingInsertIndex(state, 100), 9);
    offer(100);
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"e", u"f", u"g",
                                                    u"h", u"i", u"New"}));
    EXPECT_EQ(state.ranking[9].score, 100);
}

TEST_F(RankingTest, ScoreThatDoesNotBeatTheTenthChangesNothing) {
    for (int row = 0; row < kRankingRows; ++row) {
        setRow(row, 100);
    }
    const std::vector<std::u16string> before = names();
    offer(100);
    offer(-3);
    EXPECT_EQ(nameRequests, 0);
    EXPECT_EQ(names(), before);
}

TEST_F(RankingTest, TypedNamesAreCutToTenCharacters) {
    offer(950, u"abcdefghijklmno");  // 15 characters
    EXPECT_EQ(state.ranking[0].name, u"abcdefghij");
    EXPECT_EQ(state.playerName, u"abcdefghij");

    state.playerName.clear();
    state.rankingEntered = false;
    offer(960, u"あいうえおかきくけこ");  // exactly ten
    EXPECT_EQ(state.ranking[0].name, u"あいうえおかきくけこ");
}

TEST_F(RankingTest, NameIsAskedOncePerGame) {
    offer(550, u"Hanako");
    offer(560, u"Again");
    EXPECT_EQ(nameRequests, 1);
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"r900", u"r800", u"r700", u"r600", u"Hanako",
                                                    u"r500", u"r400", u"r300", u"r200", u"r100"}));
}

TEST_F(RankingTest, EmptyNameStillClosesTheOfferForThisGame) {
    offer(550, u"");
    EXPECT_EQ(state.ranking[4].score, 550);
    EXPECT_EQ(state.ranking[4].name, u"ななし");  // a blank row would look like an empty place
    EXPECT_EQ(state.rankingHighlight, 4);

    offer(550, u"second paint");  // the end screen painted again
    EXPECT_EQ(nameRequests, 1);
    EXPECT_EQ(state.ranking[5].name, u"r500");
    EXPECT_EQ(state.ranking[5].score, 500);
}

TEST_F(RankingTest, ABlankNameIsKeptAsNanashiThroughTheSettingsFile) {
    TempFolder folder;
    offer(650, u" \u3000\t");
    EXPECT_EQ(state.ranking[3].name, u"ななし");
    saveSettings(state, settingsPathIn(folder.path()));
    GameState restarted;
    loadSettings(restarted, settingsPathIn(folder.path()));
    EXPECT_EQ(restarted.ranking[3].name, u"ななし");
}

TEST_F(RankingTest, AScoreEntersTheQuizFilesOwnRankingWhereverItBeatsItsTenth) {
    setRow(9, 100);
    state.fileRankingKept = true;
    state.fileRanking[0] = rankEntry(u"f60", 60);
    offer(50, u"Low");  // far below the overall tenth place, first but one on this file
    EXPECT_EQ(nameRequests, 1);
    EXPECT_EQ(state.fileRanking[1].name, u"Low");
    EXPECT_EQ(state.fileRankingHighlight, 1);
    EXPECT_EQ(state.rankingHighlight, -1);
    EXPECT_EQ(state.ranking[9].name, u"r100");

    state.playerName.clear();
    state.rankingEntered = false;
    offer(950, u"High");  // both
    EXPECT_EQ(state.ranking[0].name, u"High");
    EXPECT_EQ(state.fileRanking[0].name, u"High");
    EXPECT_EQ(state.rankingHighlight, 0);
    EXPECT_EQ(state.fileRankingHighlight, 0);
    EXPECT_EQ(state.fileRanking[2].name, u"Low");
}

TEST_F(RankingTest, NextGameMayEnterAgain) {
    offer(550, u"First");
    state.playerName.clear();  // what opening a quiz file does
    state.rankingEntered = false;
    offer(550, u"Second");
    EXPECT_EQ(nameRequests, 2);
    EXPECT_EQ(state.ranking[4].name, u"First");
    EXPECT_EQ(state.ranking[5].name, u"Second");
}

TEST_F(RankingTest, WhatTheFileCannotKeepIsDroppedBeforeTheNameIsShown) {
    TempFolder folder;
    offer(650, u"\u00E9moji\U0001F600\tテスト12345");
    EXPECT_EQ(state.ranking[3].name, u"mojiテスト123");
    saveSettings(state, settingsPathIn(folder.path()));
    GameState restarted;
    loadSettings(restarted, settingsPathIn(folder.path()));
    EXPECT_EQ(restarted.ranking[3].name, state.ranking[3].name);
}

TEST_F(RankingTest, NameWithDelimitersIsStoredAsTheFileKeepsIt) {
    TempFolder folder;
    offer(650, u"A,B\r\n");
    EXPECT_EQ(state.ranking[3].name, u"A，B  ");
    saveSettings(state, settingsPathIn(folder.path()));
    GameState restarted;
    loadSettings(restarted, settingsPathIn(folder.path()));
    EXPECT_EQ(restarted.ranking[3].name, u"A，B  ");
    EXPECT_EQ(restarted.ranking[4].name, u"r600");
}

}  // namespace
}  // namespace pp
