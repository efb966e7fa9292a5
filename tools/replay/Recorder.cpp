#include "tools/replay/Recorder.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <locale>
#include <sstream>

#include "engine/Calendar.h"
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

std::string rankLine(std::string_view verb, const RankEntry& row) {
    const std::string name = nameText(row.name.view());
    return std::string(verb) + " " + std::to_string(row.score) + (name.empty() ? "" : " " + name);
}

// A card's figures exactly, with a point for the decimals whatever the program's locale.
std::string cardLine(const ReviewCard& card) {
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line.precision(17);
    line << "card " << card.question << ' ' << card.stability << ' ' << card.difficulty << ' '
         << civilFromDay(card.lastDay) << ' ' << civilFromDay(card.dueDay) << ' ' << card.reps << ' ' << card.lapses;
    return line.str();
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
        header_.push_back({rankLine("rank", row), 0});
    }
    header_.push_back({"options " + optionWords(state.options), 0});
}

void Recorder::keepsPlayerRecords() {
    // Before the options line, among the lines that set the game up.
    header_.insert(header_.end() - 1, {"records", 0});
}

void Recorder::keptRead(const std::filesystem::path& quiz, const KeptForQuiz& kept) {
    if (!keptFiles_.insert(quiz).second) {
        return;
    }
    std::vector<Line> lines;
    if (!kept.missed.empty()) {
        std::string numbers;
        for (const std::int32_t question : kept.missed) {
            numbers += (numbers.empty() ? "" : ",") + std::to_string(question);
        }
        lines.push_back({"missed " + numbers, 0});
    }
    if (kept.fileRanking && std::any_of(kept.fileRanking->begin(), kept.fileRanking->end(), [](const RankEntry& row) {
            return row.score != 0 || !row.name.view().empty();
        })) {
        for (const RankEntry& row : *kept.fileRanking) {
            lines.push_back({rankLine("filerank", row), 0});
        }
    }
    if (kept.cards) {
        for (const ReviewCard& card : *kept.cards) {
            lines.push_back({cardLine(card), 0});
        }
    }
    if (!lines.empty()) {
        header_.push_back({"kept " + absolutePath(quiz), 0});
        header_.insert(header_.end(), lines.begin(), lines.end());
    }
}

void Recorder::keepsHistory(std::int32_t today) {
    // The first event: the replay keeps a history once a script names its day.
    lines_.insert(lines_.begin(), Line{"date " + civilFromDay(today), 0});
}

void Recorder::dayChanged(std::int32_t today) { add("date " + civilFromDay(today)); }

void Recorder::runOffered(const ResumePoint& point) {
    std::string json = encodeResumePoint(point);
    while (!json.empty() && (json.back() == '\n' || json.back() == '\r')) {
        json.pop_back();
    }
    header_.push_back({"resumable " + json, 0});
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
