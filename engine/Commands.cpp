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
QuizFileProblem quizFileProblem(const std::filesystem::path& chosen) {
    return chosen.empty() ? QuizFileProblem::CannotOpen : readQuizLayout(chosen).problem;
}

// Why a quiz file is refused, from the check's own finding; only a file that could not be opened
// is looked at again, to tell a missing file from a folder or a device.
std::u16string_view refusalReason(const std::filesystem::path& path, QuizFileProblem problem) {
    switch (problem) {
        case QuizFileProblem::CannotOpen:
        case QuizFileProblem::NotAFile: {
            std::error_code error;
            const std::filesystem::file_type type = std::filesystem::status(path, error).type();
            if (type == std::filesystem::file_type::not_found) {
                return kLoadNotFoundText;
            }
            if (type == std::filesystem::file_type::directory) {
                return kLoadFolderText;
            }
            if (problem == QuizFileProblem::NotAFile ||
                (!error && type != std::filesystem::file_type::regular)) {
                return kLoadNotAFileText;
            }
            return kLoadCannotOpenText;
        }
        case QuizFileProblem::ShortHeaders:
        case QuizFileProblem::NegativeCount: return kLoadBadHeadersText;
        case QuizFileProblem::NoQuestions: return kLoadNoQuestionsText;
        case QuizFileProblem::ShortQuestions: return kLoadShortText;
        case QuizFileProblem::TooLarge: return kQuizTooLargeText;
        case QuizFileProblem::None: break;
    }
    return {};  // readable now: it changed while it was being read
}

std::u16string_view causeText(FileStatus status) {
    switch (status) {
        case FileStatus::NoFolder: return kSaveNoFolderText;
        case FileStatus::ReadOnly: return kSaveReadOnlyText;
        case FileStatus::NoSpace: return kSaveNoSpaceText;
        case FileStatus::NotAFile: return kSaveNotAFileText;
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
    const std::u16string path = messagePath(context.settingsPath);
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
    if (const QuizFileProblem problem = quizFileProblem(quizPath); problem != QuizFileProblem::None) {
        // Nothing changes: the running game, its picture and its clock go on as they were.
        context.host.showMessage(loadErrorText(quizPath, problem), kLoadErrorCaption);
        return false;
    }
    GameState& state = context.state;
    resetGame(state);  // back on the title, whatever was running
    state.playerName.clear();
    state.rankingEntered = false;  // the next end screen may offer the ranking again
    state.rankingHighlight = -1;
    state.fileRankingHighlight = -1;
    state.quizPath = quizPath;
    state.reviewQuestions = review;
    if (loadQuestion(state, context.random, quizPath) == LoadResult::Ok) {
        state.askedQuestions.clear();  // that load checked the file; the first question is drawn again
        setScreen(state, Screen::QuestionIntro);
    } else {
        // The file changed between the check and the load: the new game cannot start.
        context.host.showMessage(loadErrorText(quizPath), kLoadErrorCaption);
    }
    context.host.requestRepaint();
    return true;
}

}  // namespace

std::u16string messagePath(const std::filesystem::path& path) {
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

bool quizFileOpens(const std::filesystem::path& path) { return quizFileProblem(path) == QuizFileProblem::None; }

std::u16string loadErrorText(const std::filesystem::path& path) {
    return loadErrorText(path, quizFileProblem(path));
}

std::u16string loadErrorText(const std::filesystem::path& path, QuizFileProblem problem) {
    std::u16string text(kLoadErrorText);
    const std::filesystem::path name = path.has_filename() ? path.filename() : path;
    if (!name.empty()) {
        text += u"\n" + messagePath(name);
    }
    if (const std::u16string_view reason = refusalReason(path, problem); !reason.empty()) {
        text += u"\n";
        text += reason;
    }
    return text;
}

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

std::optional<ResumePoint> placeOfRun(const GameState& state) {
    if (!studyRules(state)) {
        return std::nullopt;
    }
    ResumePoint point;
    point.reviewQuestions = state.reviewQuestions;
    point.questionIndex = state.questionIndex;
    switch (state.screen) {
        case Screen::QuestionIntro:
        case Screen::LoadQuestion:
        case Screen::RevealQuestion:
        case Screen::Answering:
        case Screen::ShowCorrect:  // the index has already moved past the question judged
            break;
        case Screen::Judging:
            ++point.questionIndex;  // judged and counted: the run goes on with the next one
            break;
        default:
            return std::nullopt;
    }
    if (point.questionIndex >= studyQuestionCount(state)) {
        return std::nullopt;
    }
    point.score = state.score;
    point.genreCorrect = state.genreCorrect;
    point.genreAnswered = state.genreAnswered;
    return point;
}

bool resumeRun(Context& context, const std::filesystem::path& quizPath, const ResumePoint& point) {
    const bool accepted = startGame(context, quizPath, point.reviewQuestions);
    context.host.quizFileOpened(quizPath, accepted);
    GameState& state = context.state;
    if (!accepted || state.screen != Screen::QuestionIntro || point.questionIndex >= studyQuestionCount(state)) {
        return false;
    }
    state.questionIndex = point.questionIndex;
    state.score = point.score;
    state.genreCorrect = point.genreCorrect;
    state.genreAnswered = point.genreAnswered;
    return true;
}

void enterRankingScreen(GameState& state) {
    state.rankingShowsFile = state.fileRankingKept;
    setScreen(state, Screen::Ranking);
}

void loadSettingsFile(Context& context) {
    if (context.settingsNotices.anotherCopySaves) {
        // Read only: the file is the other copy's to write, and to create.
        loadSettings(context.state, context.settingsPath, false);
        return;
    }
    const FileStatus status = loadSettings(context.state, context.settingsPath);
    context.settingsNotices.savesRefused = status == FileStatus::Unreadable;
    tellOnce(context, status);
}

void saveSettingsFile(Context& context) {
    if (context.settingsNotices.anotherCopySaves) {
        return;  // the player was told at start that this copy keeps nothing
    }
    // Merged with the file as it is now, so that no other writer's entries are lost.
    const FileStatus status = context.settingsNotices.savesRefused
                                  ? FileStatus::Unreadable
                                  : saveSettingsMerging(context.state, context.settingsPath);
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
    enterRankingScreen(context.state);
    context.host.requestRepaint();
}

}  // namespace pp
