#include "tools/replay/Recorder.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "engine/Commands.h"
#include "engine/Keys.h"
#include "encoding/Utf8.h"

namespace pp::replay {
namespace {

// Tap coordinates travel as the two 16-bit halves of one message parameter.
constexpr int kLargestCoordinate = 0xFFFF;

std::string absolutePath(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(path, error);
    return (error ? path : whole).string();
}

// A name stays on its one line of the script.
std::string nameText(std::u16string_view name) {
    std::string text = utf8FromUtf16(name);
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

}  // namespace

std::string Recorder::optionWords(const Options& options) const {
    return "sound=" + std::to_string(options.soundEffects != 0) + " correct=" +
           std::to_string(options.showCorrectAnswer != 0) + " limit=" + std::to_string(options.timeLimit != 0) +
           " reveal=" + std::to_string(options.gradualReveal != 0) + " study=" + std::to_string(options.studyMode != 0) +
           " norepeat=" + std::to_string(noRepeats_ ? 1 : 0);
}

void Recorder::listening(const GameState& state, const std::filesystem::path& lastQuizFile) {
    noRepeats_ = state.noRepeats;
    header_.clear();
    header_.push_back({"# A recorded game: quiz-replay plays it again.", 0});
    header_.push_back({"seed " + std::to_string(seed_), 0});
    if (!lastQuizFile.empty()) {
        header_.push_back({"quiz " + absolutePath(lastQuizFile), 0});
    }
    for (const RankEntry& row : state.ranking) {
        const std::string name = nameText(row.name.view());
        header_.push_back({"rank " + std::to_string(row.score) + (name.empty() ? "" : " " + name), 0});
    }
    header_.push_back({"options " + optionWords(state.options), 0});
}

void Recorder::keepsPlayerRecords() {
    // Before the options line, among the lines that set the game up.
    header_.insert(header_.end() - 1, {"records", 0});
}

void Recorder::add(std::string text) {
    lines_.push_back({std::move(text), 0});
    eventLine_ = lines_.size() - 1;
}

void Recorder::ticked() {
    ++ticks_;
    if (!lines_.empty() && lines_.back().ticks > 0 && lines_.back().ticks < std::numeric_limits<std::uint32_t>::max()) {
        ++lines_.back().ticks;
    } else {
        lines_.push_back({"", 1});
    }
    eventLine_ = lines_.size() - 1;
}

void Recorder::keyPressed(int keyCode) {
    if (const auto name = keyNameOf(keyCode)) {
        add("key " + std::string(*name));
    } else {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(keyCode) & 0xFFFFu);
        add(std::string("key ") + hex);
    }
}

void Recorder::tapped(int x, int y) {
    add("tap " + std::to_string(std::clamp(x, 0, kLargestCoordinate)) + " " +
        std::to_string(std::clamp(y, 0, kLargestCoordinate)));
}

void Recorder::opened(const std::filesystem::path& path) { add("open " + absolutePath(path)); }

void Recorder::commanded(int id) {
    // The open and settings dialogs are heard by their answers, as open and settings lines.
    if (id != command::kOpen && id != command::kSettings) {
        add("command " + std::to_string(id));
    }
}

void Recorder::settingsConfirmed(const Options& chosen) { add("settings " + optionWords(chosen)); }

void Recorder::screenEntered(const GameState& state) {
    lines_.push_back({"# t=" + std::to_string(ticks_) + " " + std::string(screenName(state.screen)) +
                          " score=" + std::to_string(state.score) + " level=" + std::to_string(state.level) +
                          " question=" + std::to_string(state.questionIndex) +
                          " right=" + std::to_string(state.levelCorrect) + " slots=" + std::to_string(state.slotsLeft),
                      0});
}

void Recorder::nameAsked() {
    if (lines_.empty()) {
        nameLine_ = 0;
        return;
    }
    // A run of ticks is cut so that its last tick, the one that asked, stands alone after the name.
    if (lines_[eventLine_].ticks > 1) {
        --lines_[eventLine_].ticks;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(eventLine_) + 1, Line{"", 1});
        ++eventLine_;
    }
    nameLine_ = eventLine_;
}

void Recorder::nameEntered(std::u16string_view name) {
    Line line{"name " + nameText(name), 0};
    if (nameLine_) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*nameLine_), std::move(line));
        nameLine_.reset();
    } else {
        lines_.push_back(std::move(line));
    }
}

std::string Recorder::script() const {
    std::string text;
    for (const std::vector<Line>* part : {&header_, &lines_}) {
        for (const Line& line : *part) {
            text += line.ticks > 0 ? "tick " + std::to_string(line.ticks) : line.text;
            text += '\n';
        }
    }
    return text;
}

}  // namespace pp::replay
