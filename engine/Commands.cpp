#include "engine/Commands.h"

#include <exception>
#include <string>

#include "engine/Messages.h"
#include "persistence/SettingsFile.h"
#include "quizdata/QuestionLoader.h"
#include "quizdata/QuizFile.h"

namespace pp {
namespace {

// An option the dialog hands back counts as on only when it is exactly 1.
std::int16_t checked(std::int16_t value) { return value == 1 ? 1 : 0; }

// The same check the loader makes, run before anything of the running game is touched.
bool quizFileAccepted(const std::filesystem::path& chosen) {
    return !chosen.empty() && readQuizLayout(chosen).accepted();
}

// The path as a message box shows it; bytes that are not UTF-8 show as U+FFFD.
std::u16string shownPath(const std::filesystem::path& path) {
    try {
        return path.u16string();
    } catch (const std::exception&) {
        std::u16string shown;
        for (const char byte : path.native()) {
            shown += static_cast<unsigned char>(byte) < 0x80 ? static_cast<char16_t>(byte) : u'\uFFFD';
        }
        return shown;
    }
}

std::u16string_view causeText(FileStatus status) {
    switch (status) {
        case FileStatus::NoFolder: return kSaveNoFolderText;
        case FileStatus::ReadOnly: return kSaveReadOnlyText;
        case FileStatus::NoSpace: return kSaveNoSpaceText;
        default: return {};
    }
}

// Shows why the settings file was not kept, the first time this cause occurs.
void tellOnce(Context& context, FileStatus status) {
    if (status == FileStatus::Ok) {
        return;
    }
    const std::uint32_t bit = 1u << static_cast<unsigned>(status);
    if ((context.settingsNotices.toldCauses & bit) != 0) {
        return;
    }
    context.settingsNotices.toldCauses |= bit;
    const std::u16string path = shownPath(context.settingsPath);
    if (status == FileStatus::Unreadable) {
        context.host.showMessage(std::u16string(kSettingsUnreadableText) + u"\n" + path,
                                 kSettingsUnreadableCaption);
    } else {
        context.host.showMessage(std::u16string(kSaveErrorText) + std::u16string(causeText(status)) + u"\n" + path,
                                 kSaveErrorCaption);
    }
}

// Starts a new game on `quizPath`, a review run when `review` holds question numbers. False, with
// the load error shown and nothing changed, when the file is refused.
bool startGame(Context& context, const std::filesystem::path& quizPath, const std::vector<std::int32_t>& review) {
    if (!quizFileAccepted(quizPath)) {
        // Nothing changes: the running game, its picture and its clock go on as they were.
        context.host.showMessage(kLoadErrorText, kLoadErrorCaption);
        return false;
    }
    GameState& state = context.state;
    resetGame(state);  // back on the title, whatever was running
    state.playerName.clear();
    state.rankingEntered = false;  // the next end screen may offer the ranking again
    state.quizPath = quizPath;
    state.reviewQuestions = review;
    if (loadQuestion(state, context.random, quizPath) == LoadResult::Ok) {
        setScreen(state, Screen::QuestionIntro);
    } else {
        // The file changed between the check and the load: the new game cannot start.
        context.host.showMessage(kLoadErrorText, kLoadErrorCaption);
    }
    context.host.requestRepaint();
    return true;
}

}  // namespace

void openQuizFile(Context& context, const std::filesystem::path& chosen) {
    const bool accepted = startGame(context, chosen, {});
    context.host.quizFileOpened(chosen, accepted);
}

void startAgain(Context& context) {
    if (!context.lastQuizFile.empty()) {
        openQuizFile(context, std::filesystem::path(context.lastQuizFile));
    } else {
        context.host.chooseQuizFile();  // the dialog's answer opens the file
    }
}

bool startReviewRun(Context& context, const std::filesystem::path& quizPath, const std::vector<std::int32_t>& questions) {
    return !questions.empty() && startGame(context, quizPath, questions);
}

void loadSettingsFile(Context& context) {
    const FileStatus status = loadSettings(context.state, context.settingsPath);
    context.settingsNotices.savesRefused = status == FileStatus::Unreadable;
    tellOnce(context, status);
}

void saveSettingsFile(Context& context) {
    const FileStatus status = context.settingsNotices.savesRefused
                                  ? FileStatus::Unreadable
                                  : saveSettings(context.state, context.settingsPath);
    tellOnce(context, status);
}

void confirmSettings(Context& context, const Options& chosen) {
    GameState& state = context.state;
    state.options.soundEffects = checked(chosen.soundEffects);
    state.options.showCorrectAnswer = checked(chosen.showCorrectAnswer);
    state.options.timeLimit = checked(chosen.timeLimit);
    state.options.gradualReveal = checked(chosen.gradualReveal);
    const std::int16_t purpose = checked(chosen.studyMode);
    if (purpose != checked(state.options.studyMode)) {
        state.options.studyMode = purpose;
        resetGame(state);
        // The handheld repainted the window when the full-screen dialog closed over it; here the
        // picture must be asked for, or the abandoned game would stay on show over the title.
        context.host.requestRepaint();
    }
    saveSettingsFile(context);
}

void showRanking(Context& context) {
    if (context.state.screen != Screen::Title) {
        return;
    }
    setScreen(context.state, Screen::Ranking);
    context.host.requestRepaint();
}

}  // namespace pp
