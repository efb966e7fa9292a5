#include "engine/Commands.h"

#include <string>
#include <system_error>

#include "engine/Messages.h"
#include "persistence/SettingsFile.h"
#include "quizdata/QuestionLoader.h"

namespace pp {
namespace {

// An option the dialog hands back counts as on only when it is exactly 1.
std::int16_t checked(std::int16_t value) { return value == 1 ? 1 : 0; }

// The chosen path as the game keeps it, or nothing when it cannot be kept whole: a path cut to
// fit quizPath would make every later question load from some other file.
bool keepPath(QuizPath& kept, const std::filesystem::path& chosen) {
    std::u16string text;
    try {
        text = chosen.u16string();
    } catch (const std::system_error&) {
        return false;  // a file name that is not valid text
    }
    if (text.empty() || text.size() > QuizPath::maxLength || text.find(u'\0') != std::u16string::npos) {
        return false;
    }
    kept = text;
    return true;
}

}  // namespace

void openQuizFile(Context& context, const std::filesystem::path& chosen) {
    GameState& state = context.state;
    resetGame(state);  // back on the title, whatever was running
    state.playerName.clear();
    state.rankingEntered = false;  // the next end screen may offer the ranking again
    if (!keepPath(state.quizPath, chosen)) {
        state.quizPath.clear();
        context.host.showMessage(kLoadErrorText, kLoadErrorCaption);
    } else if (loadQuestion(state, context.random, chosen) == LoadResult::Ok) {
        setScreen(state, Screen::QuestionIntro);
    } else {
        context.host.showMessage(kLoadErrorText, kLoadErrorCaption);
    }
    // Also after a refusal: the handheld repainted the window when the file dialog and the
    // message box closed over it, so the title replaced the abandoned game; the retained
    // picture here must be asked for.
    context.host.requestRepaint();
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
    saveSettings(state, context.settingsPath);
}

void showRanking(Context& context) {
    if (context.state.screen != Screen::Title) {
        return;
    }
    setScreen(context.state, Screen::Ranking);
    context.host.requestRepaint();
}

}  // namespace pp
