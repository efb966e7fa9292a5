#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "record/GameState.h"
#include "engine/Host.h"

namespace pp::test {

// Records what the game asked of the platform, and which requests wait for an answer. It
// answers nothing itself: GameDriver answers after each event from the values below, as a
// frontend does once the game's call has returned.
class FakeHost final : public Host {
public:
    struct Message {
        std::u16string text;
        std::u16string caption;
    };

    void requestRepaint() override { ++repaints; }
    // The player's date, when a test sets one.
    std::int32_t today() override { return day.value_or(localToday()); }
    void playSound(int id) override { sounds.push_back(id); }
    void showMessage(std::u16string_view text, std::u16string_view caption) override {
        messages.push_back({std::u16string(text), std::u16string(caption)});
        ++messagesOpen;
    }
    void askPlayerName() override {
        ++nameRequests;
        nameOpen = true;
    }
    void chooseQuizFile() override {
        ++fileDialogs;
        fileOpen = true;
    }
    void editOptions(const Options& current) override {
        shownOptions.push_back(current);
        settingsOpen = true;
    }
    void showAbout() override {
        ++aboutBoxes;
        aboutOpen = true;
    }
    void quit() override { ++quits; }
    void showMissedQuestions(const std::vector<MissedQuestionRow>& rows) override {
        missedDialogs.push_back(rows);
        missedOpen = true;
    }
    void quizFileOpened(const std::filesystem::path& path, bool accepted) override {
        openedFiles.emplace_back(path, accepted);
    }
    std::optional<std::filesystem::path> lastQuizFile() override { return rememberedQuizFile; }
    void confirmLeave(LeaveReason reason) override {
        leaveQuestions.push_back(reason);
        leaveOpen = true;
    }
    void offerResume() override {
        ++resumeOffers;
        resumeOpen = true;
    }

    int repaints = 0;
    std::vector<int> sounds;
    std::vector<Message> messages;
    std::deque<std::u16string> names;  // what the name dialog answers, one per request
    int nameRequests = 0;
    std::optional<std::filesystem::path> chosenFile;  // what the open dialog answers
    int fileDialogs = 0;
    std::optional<Options> chosenOptions;  // what the settings dialog answers
    std::vector<Options> shownOptions;
    int aboutBoxes = 0;
    int quits = 0;
    std::vector<std::vector<MissedQuestionRow>> missedDialogs;
    bool reviewChosen = false;  // what the missed-questions dialog answers
    std::vector<std::pair<std::filesystem::path, bool>> openedFiles;  // each file opened, and if accepted
    std::optional<std::filesystem::path> rememberedQuizFile;  // the last quiz file of an earlier run
    std::vector<LeaveReason> leaveQuestions;
    bool leaveChosen = false;  // what the confirmation answers
    int resumeOffers = 0;
    bool resumeChosen = false;  // what the resume offer answers
    std::optional<std::int32_t> day;  // the game's today, when a test moves the calendar

    // The dialogs shown and not answered yet.
    int messagesOpen = 0;
    bool nameOpen = false;
    bool fileOpen = false;
    bool settingsOpen = false;
    bool aboutOpen = false;
    bool missedOpen = false;
    bool leaveOpen = false;
    bool resumeOpen = false;
};

// Returns a fixed sequence of values, then repeats it.
class ScriptedRandom final : public RandomSource {
public:
    explicit ScriptedRandom(std::vector<std::uint32_t> values) : values_(std::move(values)) {}
    std::uint32_t next() override {
        if (values_.empty()) {
            return 0;
        }
        const std::uint32_t value = values_[position_ % values_.size()];
        ++position_;
        return value;
    }
    std::size_t drawsTaken() const { return position_; }

private:
    std::vector<std::uint32_t> values_;
    std::size_t position_ = 0;
};

// A game record with its fakes, wired into one Context.
struct TestGame {
    explicit TestGame(std::vector<std::uint32_t> randomValues = {0})
        : random(std::move(randomValues)) {}

    GameState state;
    FakeHost host;
    ScriptedRandom random;
    Context context{state, host, random, {}};
};

}  // namespace pp::test
