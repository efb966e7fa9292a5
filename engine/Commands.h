#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/Host.h"
#include "persistence/PlayerRecords.h"
#include "quizdata/QuizFile.h"

namespace pp {

// Menu command ids; the shell keeps them as the identifiers of its actions.
namespace command {
inline constexpr int kQuitAccelerator = 1;  // Ctrl+Q
inline constexpr int kAbout = 40003;
inline constexpr int kFileMenu = 40004;
inline constexpr int kOpen = 40007;
inline constexpr int kQuit = 40008;
inline constexpr int kToolsMenu = 40009;
inline constexpr int kSettings = 40012;
inline constexpr int kShowRanking = 40013;
// "間違えた問題...": the missed questions of the last game, in a dialog that can start a review.
inline constexpr int kMissedQuestions = 40014;
// The review run over those questions at once, as the dialog's "この問題で復習する" does.
inline constexpr int kReviewMissed = 40015;
// "タイトルに戻る": ends the game under way, once the player confirms it.
inline constexpr int kBackToTitle = 40040;
// "今日の復習": a review run over the questions of the quiz file opened last that are due today.
inline constexpr int kReviewDue = 40016;
}  // namespace command

// The path as a message box shows it; bytes that are not UTF-8 show as U+FFFD.
std::u16string messagePath(const std::filesystem::path& path);

// The open command once a file has been chosen. The file is checked first: a refused file shows
// the load error and leaves the running game exactly as it was; an accepted one starts a new game
// on the first question's intro card.
void openQuizFile(Context& context, const std::filesystem::path& chosen);

// True when the quiz file at `path` passes the check that opening it makes first.
bool quizFileOpens(const std::filesystem::path& path);

// The load error's text for the quiz file at `path`: the first line, the file's name, and why
// the file was refused as far as it can be told.
std::u16string loadErrorText(const std::filesystem::path& path);
// The same for a file the check has already refused with `problem`, so it is not read again.
std::u16string loadErrorText(const std::filesystem::path& path, QuizFileProblem problem);

// The title screen's action: a new game on the quiz file opened last, or the open dialog when
// there is none.
void startAgain(Context& context);

// A review run on `quizPath`: a new game under the rules of study mode over `questions` (numbers
// in the file), in that order, without a ranking offer. A refused file, or an empty list, leaves
// the running game as it was (the refused file with the load error) and returns false.
bool startReviewRun(Context& context, const std::filesystem::path& quizPath, const std::vector<std::int32_t>& questions);

// Where the study or review run under way stands: the next question to ask and the counts so
// far (the quiz left empty); nothing when no such run is under way or it has no question left.
std::optional<ResumePoint> placeOfRun(const GameState& state);

// Starts the run kept in `point` again on `quizPath`, at its question with its counts. A refused
// file, or a point that no longer fits the file, leaves the game as it was and returns false.
bool resumeRun(Context& context, const std::filesystem::path& quizPath, const ResumePoint& point);

// Enters the ranking screen: the quiz file's own ranking first when one is kept.
void enterRankingScreen(GameState& state);

// Reads the options and ranking at start, creating the file with the defaults when it is missing.
// A file that is there but cannot be read is never saved over afterwards; the player is told so
// once, as of a file that could not be created.
void loadSettingsFile(Context& context);

// Saves the options and ranking (unless the file could not be read at start) and tells the player
// when nothing could be saved, once for each cause.
void saveSettingsFile(Context& context);

// The settings dialog confirmed with `chosen`: the four options take effect at once, a change
// of purpose resets the game, and the settings file is saved whether or not anything changed.
void confirmSettings(Context& context, const Options& chosen);

// "ランキング表示...": shows the ranking, from the title screen only.
void showRanking(Context& context);

}  // namespace pp
