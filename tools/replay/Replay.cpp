#include "tools/replay/Replay.h"

#include "QuizDump.h"  // the JSON strings of kqd dump
#include "engine/Commands.h"
#include "engine/Input.h"
#include "engine/Ticker.h"
#include "screens/Painter.h"

namespace pp::replay {
namespace {

// The middle of a choice row's tap band, and an x inside every band.
constexpr unsigned kRowTapX = 120;
unsigned rowTapY(int row) { return static_cast<unsigned>(30 + 35 * row + 15); }


std::string jsonArray(const std::array<std::int32_t, kGenreCount>& values) {
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += (i == 0 ? "" : ",") + std::to_string(values[i]);
    }
    return text + "]";
}

std::string screenJsonName(Screen screen) { return "\"" + std::string(screenName(screen)) + "\""; }

}  // namespace

Replayer::Replayer(GameState& state, RandomSource& random, std::filesystem::path settingsPath, FrameSink& frames,
                   std::ostream& out)
    : context_{state, *this, random, std::move(settingsPath)}, frames_(frames), out_(out) {}

std::optional<ScriptError> Replayer::start() {
    reportScreen();
    repaintRequested_ = true;
    return settle(0);
}

std::optional<ScriptError> Replayer::run(const Event& event) {
    using Kind = Event::Kind;
    switch (event.kind) {
        case Kind::Open:
            openQuizFile(context_, event.path);
            break;
        case Kind::Tick:
            for (std::uint32_t i = 0; i < event.ticks; ++i) {
                ++ticks_;
                tick(context_);
                if (auto error = settle(event.line)) {
                    return error;
                }
            }
            return std::nullopt;
        case Kind::Tap:
            onStylusUp(context_, event.x, event.y);
            break;
        case Kind::Key:
            onKeyDown(context_, event.keyCode);
            break;
        case Kind::Answer:
            return answer(event);
        case Kind::Settings:
            confirmSettings(context_, chosenOptions(event));
            break;
        case Kind::Name:
            names_.push_back(event.name);
            break;
        case Kind::Command:
            runCommand(event.commandId);
            break;
    }
    return settle(event.line);
}

std::optional<ScriptError> Replayer::answer(const Event& event) {
    const GameState& state = context_.state;
    if (state.screen != Screen::Answering || state.confirmed != 0) {
        return ScriptError{event.line, "answer: the game is on " + std::string(screenName(state.screen)) +
                                           (state.confirmed != 0 ? " with an answer confirmed" : "") +
                                           ", not waiting for an answer"};
    }
    const int rightRow = state.correctPosition + 1;
    const int row = event.right ? rightRow : (rightRow == 1 ? 2 : 1);
    for (int tap = 0; tap < 2; ++tap) {  // highlight, then confirm
        onStylusUp(context_, kRowTapX, rowTapY(row));
        if (auto error = settle(event.line)) {
            return error;
        }
    }
    return std::nullopt;
}

void Replayer::runCommand(int id) {
    switch (id) {
        case command::kShowRanking:
            showRanking(context_);
            break;
        case command::kQuit:
        case command::kQuitAccelerator:
            quitting_ = true;
            break;
        default:
            break;  // the About box changes nothing, and unknown ids go unhandled, as in the program
    }
}

Options Replayer::chosenOptions(const Event& event) const {
    Options chosen = context_.state.options;
    chosen.soundEffects = event.sound.value_or(chosen.soundEffects);
    chosen.showCorrectAnswer = event.correct.value_or(chosen.showCorrectAnswer);
    chosen.timeLimit = event.limit.value_or(chosen.timeLimit);
    chosen.gradualReveal = event.reveal.value_or(chosen.gradualReveal);
    chosen.studyMode = event.study.value_or(chosen.studyMode);
    return chosen;
}

std::optional<ScriptError> Replayer::settle(int line) {
    if (context_.state.screenEntry != reportedEntry_) {
        reportScreen();
    }
    if (!repaintRequested_) {
        return std::nullopt;
    }
    repaintRequested_ = false;
    // What the painted picture shows is the screen as it stands when the paint begins.
    const Screen painted = context_.state.screen;
    frames_.beginFrame();
    paintScreen(context_, frames_.surface());
    std::string failure;
    if (!frames_.endFrame(painted, failure)) {
        return ScriptError{line, failure};
    }
    return std::nullopt;
}

void Replayer::reportScreen() {
    const GameState& state = context_.state;
    reportedEntry_ = state.screenEntry;
    out_ << "{\"t\":" << ticks_ << ",\"screen\":" << screenJsonName(state.screen) << ",\"score\":" << state.score
         << ",\"level\":" << state.level << ",\"questionIndex\":" << state.questionIndex
         << ",\"levelCorrect\":" << state.levelCorrect << ",\"slotsLeft\":" << state.slotsLeft;
    if (state.screen == Screen::Answering) {
        out_ << ",\"correctPosition\":" << state.correctPosition;
    }
    out_ << "}\n";
}

void Replayer::playSound(int id) { out_ << "{\"t\":" << ticks_ << ",\"sound\":" << id << "}\n"; }

void Replayer::showMessage(std::u16string_view text, std::u16string_view) {
    out_ << "{\"t\":" << ticks_ << ",\"message\":" << kqd::jsonString(text) << "}\n";
}

std::u16string Replayer::askPlayerName() {
    if (names_.empty()) {
        return {};  // the player confirmed the dialog without typing
    }
    std::u16string name = std::move(names_.front());
    names_.pop_front();
    return name;
}

void Replayer::finish() {
    const GameState& state = context_.state;
    out_ << "{\"end\":true,\"screen\":" << screenJsonName(state.screen) << ",\"score\":" << state.score
         << ",\"genreCorrect\":" << jsonArray(state.genreCorrect)
         << ",\"genreAnswered\":" << jsonArray(state.genreAnswered) << ",\"ranking\":[";
    for (std::size_t i = 0; i < state.ranking.size(); ++i) {
        out_ << (i == 0 ? "" : ",") << "{\"name\":" << kqd::jsonString(state.ranking[i].name.view())
             << ",\"score\":" << state.ranking[i].score << "}";
    }
    out_ << "]}\n";
    out_.flush();
}

}  // namespace pp::replay
