#pragma once

#include <span>
#include <string_view>

#include "record/GameState.h"
#include "screens/Surface.h"

// The painters of the screens, one per screen family, as paintScreen calls them. Each draws its
// screen whole from the state, over a picture paintScreen has just made white, and changes
// nothing; the work a screen does when it appears (loading, judging, sounds, ranking entry) is
// the game's, done before the paint.
namespace pp {

// The character icon of the play screens: the study icon in study mode, else the level's.
int levelIcon(const GameState& state);
// The icon of the current level, whatever the mode.
int gameLevelIcon(const GameState& state);

// `dueToday` questions of the open quiz file due for review (none: the plain title).
void paintTitle(Surface& surface, int dueToday = 0);
void paintTitleLines(std::span<const std::u16string_view> lines, Surface& surface);
void paintQuestionIntro(const GameState& state, Surface& surface);
// Shows the question as far as revealCount has got, or whole once revealDone is set.
void paintRevealQuestion(const GameState& state, Surface& surface);
// The status strip, the question and the five choices with the highlighted one lit.
void paintAnswering(const GameState& state, Surface& surface);
// The large circle or cross of the verdict, with the strip, question and choices drawn over it.
void paintJudging(const GameState& state, Surface& surface);
void paintShowCorrect(const GameState& state, Surface& surface);
void paintLevelClear(const GameState& state, Surface& surface);
// The results of GameOver and AllClear, after the sound and the ranking offer.
void paintResults(const GameState& state, Surface& surface);
void paintRanking(const GameState& state, Surface& surface);

// The grey-blue axes and the half- and full-scale octagons of the radar chart.
void drawRadarGrid(Surface& surface);
// The orange polygon of right answers per genre, then every genre's name and count.
void drawRadarChart(const GameState& state, Surface& surface);
// The corner of `genre` for `correct` right answers out of `answered`.
Point radarPoint(int genre, int correct, int answered);

// A black separator across the screen at `y`.
void drawSeparator(Surface& surface, int y);

}  // namespace pp
