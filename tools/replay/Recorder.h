#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/GameEvents.h"

namespace pp::replay {

// Writes what a game hears as a replay script, so that quiz-replay plays the same game again:
// first the seed, the quiz file the title starts again on, the ranking and the options, then what
// the game read from the player's files about each quiz file it opened (the missed list, the
// file's own ranking, the review cards) and a kept run it offered, then every event with the
// ticks run before it, the day when a history is kept, and the answers to the leave and resume
// questions where they were given. Dialogs that only close leave no line; the name given in the
// name dialog is placed before the event that asked for it, where the replay expects it. Each
// screen entered shows as a comment with the tick and the figures, so the script reads as a
// bug report, and a replay that records again writes the same script when it plays the same game.
class Recorder final : public GameEvents {
public:
    // `seed` is the one the game's draws were made with.
    explicit Recorder(std::uint32_t seed) : seed_(seed) {}

    // The script so far, one line each, ending with a newline.
    [[nodiscard]] std::string script() const;

    void listening(const GameState& state, const std::filesystem::path& lastQuizFile) override;
    void keepsPlayerRecords() override;
    void ticked() override;
    void keyPressed(int keyCode) override;
    void tapped(int x, int y) override;
    void opened(const std::filesystem::path& path) override;
    void commanded(int id) override;
    void settingsConfirmed(const Options& chosen) override;
    void noRepeatsSet(bool on) override { noRepeats_ = on; }
    void screenEntered(const GameState& state) override;
    void nameAsked() override;
    void nameEntered(std::u16string_view name) override;
    void keptRead(const std::filesystem::path& quiz, const KeptForQuiz& kept) override;
    void keepsHistory(std::int32_t today) override;
    void dayChanged(std::int32_t today) override;
    void runOffered(const ResumePoint& point) override;
    void leaveAnswered(bool leave) override { add(leave ? "leave yes" : "leave no"); }
    void resumeAnswered(bool resume) override { add(resume ? "resume yes" : "resume no"); }

private:
    // A line of the script; a run of ticks is one line that counts them.
    struct Line {
        std::string text;
        std::uint32_t ticks = 0;
    };

    // An event's line; the name request an event makes refers to it.
    void add(std::string text);
    std::string optionWords(const Options& options) const;

    std::uint32_t seed_;
    std::vector<Line> header_;
    std::vector<Line> lines_;
    bool noRepeats_ = false;
    std::uint64_t ticks_ = 0;               // heard so far
    std::size_t eventLine_ = 0;             // the line of the event being heard
    std::optional<std::size_t> nameLine_;  // where the pending name request's answer goes
    // Quiz files whose kept state is written already: a later read shows only what this game wrote.
    std::set<std::filesystem::path> keptFiles_;
};

}  // namespace pp::replay
