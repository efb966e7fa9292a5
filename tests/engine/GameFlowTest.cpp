#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "GameDriver.h"
#include "engine/Input.h"

namespace pp {
namespace {

using test::GameDriver;
using test::questionLabel;
using test::withOptions;
using Kind = test::RecordingSurface::Kind;
using Entries = std::vector<std::pair<int, Screen>>;

const std::vector<int> kFullQuiz(kGenreCount, 8);

int count(const std::vector<int>& sounds, int id) { return static_cast<int>(std::count(sounds.begin(), sounds.end(), id)); }

// The strokes of the large cross, told apart from the screen's thin lines by their width.
std::size_t crossStrokes(const test::RecordingSurface& surface) {
    const auto lines = surface.of(Kind::Polyline);
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [](const auto& line) { return line.width == 40; }));
}

int sum(const std::array<std::int32_t, kGenreCount>& values) { return std::accumulate(values.begin(), values.end(), 0); }

// The ticks from an entry into `from` to the next entry into `to`.
int ticksBetween(const Entries& entries, std::size_t startIndex, Screen to) {
    for (std::size_t i = startIndex + 1; i < entries.size(); ++i) {
        if (entries[i].second == to) {
            return entries[i].first - entries[startIndex].first;
        }
    }
    return -1;
}

TEST(GameFlow, GameModeClearedToAllClear) {
    GameDriver game(withOptions(1, 0, 1, 0, 0), 7);
    game.host.names.push_back(u"クリア");
    game.open(game.writeQuiz(kFullQuiz));

    // How long each question waits before its answer, and the points that leaves: ten per
    // whole second left, 90 for an answer before the first tick.
    const int waits[] = {0, 9, 10, 30, 179, 180, 199};
    int expectedTicks = 0;
    for (int question = 0; question < kLevelCount * kQuestionsPerLevel; ++question) {
        game.tickUntil(Screen::Answering);
        const int wait = waits[question % 7];
        game.tick(wait);
        game.answer(true);
        expectedTicks += 68 + wait;  // intro 25, load 1, the wait, confirm 1, judging 41
        if (question % 8 == 7 && question != 63) {
            expectedTicks += 81;
        }
        game.tickUntil(question == 63 ? Screen::AllClear : Screen::QuestionIntro);
        if (question == 0) {
            EXPECT_EQ(game.entries, (Entries{{0, Screen::QuestionIntro},
                                              {25, Screen::LoadQuestion},
                                              {26, Screen::Answering},
                                              {27, Screen::Judging},
                                              {68, Screen::QuestionIntro}}));
        }
    }
    EXPECT_EQ(game.ticks, expectedTicks);
    // Nine rounds of 90+90+90+80+10+10+0, and one more 90.
    EXPECT_EQ(game.state.score, 3420);
    EXPECT_EQ(game.state.level, 7);
    EXPECT_EQ(sum(game.state.genreAnswered), 64);
    EXPECT_EQ(sum(game.state.genreCorrect), 64);

    const auto& sounds = game.host.sounds;
    EXPECT_EQ(count(sounds, 136), 64);
    EXPECT_EQ(count(sounds, 140), 64);
    EXPECT_EQ(count(sounds, 139), 7);
    EXPECT_EQ(count(sounds, 137), 1);
    EXPECT_EQ(sounds.back(), 137);
    EXPECT_EQ(sounds.size(), 136u);

    const auto levelCards = std::count_if(game.entries.begin(), game.entries.end(),
                                          [](const auto& entry) { return entry.second == Screen::LevelClear; });
    EXPECT_EQ(levelCards, 7);
    for (std::size_t i = 0; i < game.entries.size(); ++i) {
        if (game.entries[i].second == Screen::LevelClear) {
            EXPECT_EQ(ticksBetween(game.entries, i, Screen::QuestionIntro), 81);
        }
    }

    // The score entered the ranking at the top and was saved.
    EXPECT_EQ(game.host.nameRequests, 1);
    EXPECT_EQ(game.state.ranking[0].name, u"クリア");
    EXPECT_EQ(game.state.ranking[0].score, 3420);
    GameState reloaded;
    loadSettings(reloaded, game.settingsPath());
    EXPECT_EQ(reloaded.ranking[0].score, 3420);

    game.tick(100);
    EXPECT_EQ(game.state.screen, Screen::AllClear);
    game.tap(5, 5);
    EXPECT_EQ(game.state.screen, Screen::Ranking);
    game.key(key::kReturn);
    EXPECT_EQ(game.state.screen, Screen::Title);
    EXPECT_EQ(game.host.nameRequests, 1);
}

TEST(GameFlow, GameLostAtLevelOne) {
    GameDriver game(withOptions(1, 0, 1, 1, 0), 3);
    game.open(game.writeQuiz(kFullQuiz));
    const bool right[] = {true, false, false, false, false, false, false, true};
    for (bool answer : right) {
        game.tickUntil(Screen::Answering);
        game.answer(answer);
        game.tick();
    }
    EXPECT_EQ(game.state.screen, Screen::Judging);
    // The reveal of a four-character question takes five paints, one per tick.
    EXPECT_EQ(Entries(game.entries.begin(), game.entries.begin() + 4),
              (Entries{{0, Screen::QuestionIntro}, {25, Screen::LoadQuestion}, {26, Screen::RevealQuestion},
                       {31, Screen::Answering}}));

    game.tick(40);
    EXPECT_EQ(game.state.screen, Screen::Judging);
    game.tick();
    EXPECT_EQ(game.state.screen, Screen::GameOver);
    EXPECT_EQ(game.state.questionIndex, 7);
    EXPECT_EQ(game.state.level, 0);
    EXPECT_EQ(game.state.levelCorrect, 2);
    EXPECT_EQ(game.state.slotsLeft, 0);
    EXPECT_EQ(game.state.score, 180);
    EXPECT_EQ(count(game.host.sounds, 142), 6);
    EXPECT_EQ(game.host.sounds.back(), 135);
    EXPECT_EQ(game.host.nameRequests, 1);  // 180 beats an empty tenth place
    EXPECT_EQ(game.state.ranking[0].score, 180);

    game.key(0xC1);
    EXPECT_EQ(game.state.screen, Screen::Ranking);
}

TEST(GameFlow, MissedEighthQuestionShowsTheAnswerThenTheLevelCard) {
    GameDriver game(withOptions(1, 1, 1, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));
    for (int question = 0; question < 8; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(question != 7);
        game.tickUntil(Screen::Judging);
    }
    const std::size_t judged = game.entries.size() - 1;
    game.tickUntil(Screen::ShowCorrect);
    EXPECT_EQ(game.state.questionIndex, 8);
    EXPECT_EQ(game.host.sounds.back(), 138);
    game.tickUntil(Screen::LevelClear);
    EXPECT_EQ(game.host.sounds.back(), 139);
    EXPECT_EQ(ticksBetween(game.entries, judged, Screen::ShowCorrect), 41);
    EXPECT_EQ(ticksBetween(game.entries, judged, Screen::LevelClear), 82);
    EXPECT_EQ(game.state.levelCorrect, 7);

    game.tickUntil(Screen::QuestionIntro);
    EXPECT_EQ(game.state.level, 1);
    EXPECT_EQ(game.state.questionIndex, 0);
    EXPECT_EQ(game.state.slotsLeft, 8);
}

TEST(GameFlow, TimeOutIsJudgedOnWhatIsHighlighted) {
    GameDriver game(withOptions(1, 0, 1, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));

    // Nothing highlighted: a miss worth nothing.
    game.tickUntil(Screen::Answering);
    const int answering = game.ticks;
    game.tick(200);
    EXPECT_EQ(game.state.screen, Screen::Answering);
    EXPECT_EQ(game.state.timeLeftTicks, 0);
    game.tick();
    EXPECT_EQ(game.state.screen, Screen::Judging);
    EXPECT_EQ(game.ticks - answering, 201);
    EXPECT_EQ(crossStrokes(game.surface), 2u);
    EXPECT_EQ(game.state.score, 0);
    EXPECT_EQ(sum(game.state.genreAnswered), 1);
    EXPECT_EQ(sum(game.state.genreCorrect), 0);
    EXPECT_EQ(game.state.slotsLeft, 7);
    EXPECT_EQ(game.host.sounds.back(), 142);

    // The right row highlighted but never confirmed: right, still worth nothing.
    game.tickUntil(Screen::Answering);
    game.tapRow(game.state.correctPosition + 1);
    game.tick(201);
    EXPECT_EQ(game.state.screen, Screen::Judging);
    EXPECT_EQ(game.surface.of(Kind::Ellipse).size(), 1u);
    EXPECT_EQ(game.state.score, 0);
    EXPECT_EQ(game.state.levelCorrect, 1);
    EXPECT_EQ(game.host.sounds.back(), 140);
}

TEST(GameFlow, NextQuestionAfterATimeOutStartsWithTheFullClock) {
    GameDriver game(withOptions(1, 0, 1, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));
    game.tickUntil(Screen::Answering);
    game.tick(201);
    EXPECT_EQ(game.state.timeLeftTicks, -1);

    game.tickUntil(Screen::Answering);
    EXPECT_EQ(game.state.timeLeftTicks, 199);
    EXPECT_NE(game.surface.findText(u"あと 9秒"), nullptr);  // not the 0 left by the time-out
    game.answer(true);  // before the first tick
    game.tickUntil(Screen::Judging);
    EXPECT_EQ(game.state.score, 90);
}

TEST(GameFlow, TimeLimitSwitchedOffMidQuestion) {
    GameDriver game(withOptions(1, 0, 1, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));
    game.tickUntil(Screen::Answering);
    game.tick(50);
    const auto entry = game.state.screenEntry;
    game.settings(withOptions(1, 0, 0, 0, 0));
    EXPECT_EQ(game.state.screenEntry, entry);  // no reset
    const int paints = game.paints;
    game.tick(1000);
    EXPECT_EQ(game.state.screen, Screen::Answering);
    EXPECT_EQ(game.paints, paints);
    EXPECT_EQ(game.state.timeLeftTicks, 150);

    game.answer(true);
    game.tick();
    EXPECT_EQ(game.state.score, 10);

    GameState saved;
    loadSettings(saved, game.settingsPath());
    EXPECT_EQ(saved.options, withOptions(1, 0, 0, 0, 0));
}

TEST(GameFlow, StudyRunOverEmptyGenresEndsAfterTheLastQuestion) {
    GameDriver game(withOptions(1, 1, 0, 1, 1));
    game.open(game.writeQuiz({2, 0, 3, 0, 0, 1}));
    const std::pair<int, int> inFileOrder[] = {{0, 0}, {0, 1}, {2, 0}, {2, 1}, {2, 2}, {5, 0}};
    for (std::size_t i = 0; i < std::size(inFileOrder); ++i) {
        game.tickUntil(Screen::Answering);
        const auto [genre, index] = inFileOrder[i];
        EXPECT_EQ(game.state.questionText, questionLabel(genre, index));
        game.answer(i % 2 == 0);
        game.tickUntil(Screen::Judging);
        game.tick(41);
        const bool last = i + 1 == std::size(inFileOrder);
        EXPECT_EQ(game.state.screen, last ? Screen::GameOver : i % 2 == 0 ? Screen::QuestionIntro : Screen::ShowCorrect)
            << "question " << i;
    }
    EXPECT_EQ(game.state.score, 30);
    EXPECT_EQ(game.state.genreAnswered, (std::array<std::int32_t, 8>{2, 0, 3, 0, 0, 1, 0, 0}));
    EXPECT_EQ(game.state.genreCorrect, (std::array<std::int32_t, 8>{1, 0, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(game.state.questionIndex, 0);
    EXPECT_EQ(game.state.level, 0);
    EXPECT_EQ(count(game.host.sounds, 138), 2);  // not after the last miss
    EXPECT_EQ(game.host.sounds.back(), 135);
}

TEST(GameFlow, LongStudyRunKeepsTheLargestScore) {
    // 368 questions at 90 points would reach 33120: past what a 16-bit score holds.
    GameDriver game(withOptions(0, 0, 1, 0, 1));
    game.open(game.writeQuiz(std::vector<int>(kGenreCount, 46)));
    for (int question = 0; question < 368; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(true);
        game.tickUntil(question == 367 ? Screen::GameOver : Screen::QuestionIntro);
    }
    EXPECT_EQ(game.state.score, 32767);
    EXPECT_EQ(sum(game.state.genreCorrect), 368);
    EXPECT_EQ(game.host.nameRequests, 1);
    EXPECT_EQ(game.state.ranking[0].score, 32767);
}

TEST(GameFlow, SoundEffectsOffSilencesAWholeGame) {
    GameDriver game(withOptions(0, 1, 1, 1, 0));
    game.open(game.writeQuiz(kFullQuiz));
    for (int question = 0; question < 8; ++question) {
        game.tickUntil(Screen::Answering);
        game.key(key::kDown);
        game.key(key::kUp);
        game.answer(question < 2);
        game.tickUntil(Screen::Judging);
    }
    game.tickUntil(Screen::GameOver, 5000);
    EXPECT_TRUE(game.host.sounds.empty());
}

}  // namespace
}  // namespace pp
