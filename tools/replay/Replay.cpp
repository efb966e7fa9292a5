#include "tools/replay/Replay.h"

#include <utility>

#include "screens/Layout.h"
#include "tools/common/Json.h"

namespace pp::replay {
namespace {


std::string jsonArray(const std::array<std::int32_t, kGenreCount>& values) {
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += (i == 0 ? "" : ",") + std::to_string(values[i]);
    }
    return text + "]";
}

std::string screenJsonName(Screen screen) { return "\"" + std::string(screenName(screen)) + "\""; }

}  // namespace

Replayer::Replayer(std::filesystem::path settingsPath, std::uint32_t seed, FrameSink& frames, std::ostream& out)
    : game_(*this, std::move(settingsPath), std::make_unique<MersenneRandom>(seed)), frames_(frames), out_(out) {}

std::optional<ScriptError> Replayer::start() {
    game_.start();
    reportScreen();
    return settle(0);
}

std::optional<ScriptError> Replayer::run(const Event& event) {
    using Kind = Event::Kind;
    switch (event.kind) {
        case Kind::Open:
            game_.open(event.path);
            break;
        case Kind::Tick:
            for (std::uint32_t i = 0; i < event.ticks; ++i) {
                ++ticks_;
                game_.tick();
                if (auto error = settle(event.line)) {
                    return error;
                }
            }
            return std::nullopt;
        case Kind::Tap:
            game_.tap(static_cast<int>(event.x), static_cast<int>(event.y));
            break;
        case Kind::Key:
            game_.key(event.keyCode);
            break;
        case Kind::Answer:
            return answer(event);
        case Kind::Settings:
            game_.confirmSettings(chosenOptions(event));
            break;
        case Kind::Name:
            names_.push_back(event.name);
            break;
        case Kind::Command:
            game_.command(event.commandId);
            break;
    }
    return settle(event.line);
}

std::optional<ScriptError> Replayer::answer(const Event& event) {
    const GameState& state = game_.state();
    if (state.screen != Screen::Answering || state.confirmed != 0) {
        return ScriptError{event.line, "answer: the game is on " + std::string(screenName(state.screen)) +
                                           (state.confirmed != 0 ? " with an answer confirmed" : "") +
                                           ", not waiting for an answer"};
    }
    const int rightRow = state.correctPosition + 1;
    const Point middle = layout::choiceRowMiddle(event.right ? rightRow : (rightRow == 1 ? 2 : 1));
    for (int tap = 0; tap < 2; ++tap) {  // highlight, then confirm
        game_.tap(middle.x, middle.y);
        if (auto error = settle(event.line)) {
            return error;
        }
    }
    return std::nullopt;
}

Options Replayer::chosenOptions(const Event& event) const {
    Options chosen = game_.state().options;
    chosen.soundEffects = event.sound.value_or(chosen.soundEffects);
    chosen.showCorrectAnswer = event.correct.value_or(chosen.showCorrectAnswer);
    chosen.timeLimit = event.limit.value_or(chosen.timeLimit);
    chosen.gradualReveal = event.reveal.value_or(chosen.gradualReveal);
    chosen.studyMode = event.study.value_or(chosen.studyMode);
    return chosen;
}

std::optional<ScriptError> Replayer::settle(int line) {
    if (game_.state().screenEntry != reportedEntry_) {
        reportScreen();
    }
    answerRequests();
    if (!game_.takePaintRequest()) {
        return std::nullopt;
    }
    // What the painted picture shows is the screen as it stands when the paint begins.
    const Screen painted = game_.state().screen;
    frames_.beginFrame();
    game_.paint(frames_.surface());
    std::string failure;
    if (!frames_.endFrame(painted, failure)) {
        return ScriptError{line, failure};
    }
    return std::nullopt;
}

void Replayer::reportScreen() {
    const GameState& state = game_.state();
    reportedEntry_ = state.screenEntry;
    out_ << "{\"t\":" << ticks_ << ",\"screen\":" << screenJsonName(state.screen) << ",\"score\":" << state.score
         << ",\"level\":" << state.level << ",\"questionIndex\":" << state.questionIndex
         << ",\"levelCorrect\":" << state.levelCorrect << ",\"slotsLeft\":" << state.slotsLeft;
    if (state.screen == Screen::Answering) {
        out_ << ",\"correctPosition\":" << state.correctPosition;
    }
    out_ << "}\n";
}

void Replayer::screenEntered(const GameState& state) {
    if (state.screenEntry != reportedEntry_) {
        reportScreen();
    }
}

void Replayer::playSound(int id) { out_ << "{\"t\":" << ticks_ << ",\"sound\":" << id << "}\n"; }

void Replayer::showMessage(std::u16string_view text, std::u16string_view) {
    ++messagesShown_;
    out_ << "{\"t\":" << ticks_ << ",\"message\":" << jsonString(text) << "}\n";
}

void Replayer::answerRequests() {
    // An answer can ask again (a refused file's message): go on until nothing waits.
    while (game_.requestPending()) {
        if (messagesShown_ > 0) {
            --messagesShown_;
            game_.dismissMessage();
        } else if (std::exchange(nameAsked_, false)) {
            // An empty name when the script gives none: the player confirmed without typing.
            std::u16string name;
            if (!names_.empty()) {
                name = std::move(names_.front());
                names_.pop_front();
            }
            game_.enterName(name);
        } else if (std::exchange(fileAsked_, false)) {
            game_.cancelFile();
        } else if (std::exchange(settingsAsked_, false)) {
            game_.cancelSettings();
        } else if (std::exchange(aboutAsked_, false)) {
            game_.closeAbout();
        } else if (std::exchange(missedAsked_, false)) {
            game_.closeMissedQuestions(false);
        } else {
            break;
        }
    }
}

void Replayer::finish() {
    const GameState& state = game_.state();
    out_ << "{\"end\":true,\"screen\":" << screenJsonName(state.screen) << ",\"score\":" << state.score
         << ",\"genreCorrect\":" << jsonArray(state.genreCorrect)
         << ",\"genreAnswered\":" << jsonArray(state.genreAnswered) << ",\"ranking\":[";
    for (std::size_t i = 0; i < state.ranking.size(); ++i) {
        out_ << (i == 0 ? "" : ",") << "{\"name\":" << jsonString(state.ranking[i].name.view())
             << ",\"score\":" << state.ranking[i].score << "}";
    }
    out_ << "],\"missed\":[";
    const std::vector<std::int32_t> missed = game_.missedQuestions();
    for (std::size_t i = 0; i < missed.size(); ++i) {
        out_ << (i == 0 ? "" : ",") << missed[i];
    }
    out_ << "]}\n";
    out_.flush();
}

}  // namespace pp::replay
