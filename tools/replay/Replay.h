#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "engine/Game.h"
#include "screens/Surface.h"
#include "tools/replay/ReplayScript.h"

namespace pp::replay {

// Where the replay paints. Every paint is one frame: beginFrame, the game's paint on
// surface(), then endFrame with the screen that was painted.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual Surface& surface() = 0;
    virtual void beginFrame() {}
    // Keeps the frame just painted; false (with a reason) when it could not be kept.
    virtual bool endFrame(Screen painted, std::string& failure) = 0;
};

// A surface that draws nothing: the replay without --frames still runs every painter.
class NullSurface final : public Surface {
public:
    [[nodiscard]] Rect clientRect() const override { return {0, 0, kClientWidth, kClientHeight}; }
    void eraseRect(Rect) override {}
    void drawBitmap(int, int, int) override {}
    void drawText(std::u16string_view, Rect, TextFormat) override {}
    void drawTextPrefix(std::u16string_view, std::size_t, Rect, TextFormat) override {}
    void drawPolyline(std::span<const Point>, int, Rgb) override {}
    void drawEllipse(Rect, int, Rgb) override {}
    void setTextColour(Rgb) override {}
    void setBackgroundMode(BackgroundMode) override {}
};

class NullFrames final : public FrameSink {
public:
    Surface& surface() override { return surface_; }
    bool endFrame(Screen, std::string&) override { return true; }

private:
    NullSurface surface_;
};

// Runs script events on the real game (engine, painters and persistence) and reports what
// happens as JSON lines on `out`: each change of screen, each sound the game starts, each message
// box, and a summary at the end. Times are the ticks run since the start. The game's requests
// are answered after each event, before its paint: the name dialog from the script's `name`
// lines, the other dialogs closed as they came.
class Replayer final : private Host {
public:
    Replayer(std::filesystem::path settingsPath, std::uint32_t seed, FrameSink& frames, std::ostream& out);

    // Sets the game up from the script's leading set-up lines (call before start()): the options
    // and the ranking are written to the settings file, the quiz file becomes the one the title
    // starts again on, and what is kept for quiz files (missed lists, their own rankings, a kept
    // run) is written to the files beside it, where the game reads it. More than ten rank or
    // filerank lines are an error, and so is a missed, filerank or card line without its kept line.
    [[nodiscard]] std::optional<ScriptError> setUp(const std::vector<Event>& events);
    // Keeps the answers and games in `history` (call before start()): the script's `date` lines
    // then set the day they are kept under, and the summary names the questions due. The cards of
    // the script's card lines stand in it for questions it has no card of.
    void useHistory(std::unique_ptr<History> history);

    // Reads the settings file, reports the title screen and paints it, as the program's first
    // picture.
    [[nodiscard]] std::optional<ScriptError> start();

    // Runs one event, then the paint it asked for. An error names the event's line.
    [[nodiscard]] std::optional<ScriptError> run(const Event& event);

    // Tells `events` of every event the game hears from now on (call after start()).
    void listen(GameEvents* events) { game_.listen(events); }

    // True once a quit command has run: the rest of the script is not played.
    [[nodiscard]] bool quitting() const { return quitting_; }

    // Prints the closing summary: screen, score, genre counts, the ranking and the missed questions.
    void finish();

    [[nodiscard]] const GameState& state() const { return game_.state(); }

private:
    void requestRepaint() override {}  // the replay paints whenever the game needs it
    void screenEntered(const GameState& state) override;
    void playSound(int id) override;
    void showMessage(std::u16string_view text, std::u16string_view caption) override;
    void askPlayerName() override { nameAsked_ = true; }
    void chooseQuizFile() override { fileAsked_ = true; }
    void editOptions(const Options&) override { settingsAsked_ = true; }
    void showAbout() override { aboutAsked_ = true; }
    void showMissedQuestions(const std::vector<MissedQuestionRow>&) override { missedAsked_ = true; }
    void quit() override { quitting_ = true; }
    std::optional<std::filesystem::path> lastQuizFile() override { return lastQuizFile_; }
    std::int32_t today() override { return today_; }

    // Answers what the last event asked, as a player would before the next one.
    void answerRequests();

    std::optional<ScriptError> answer(const Event& event);
    static Options chosenOptions(const Event& event, Options current);
    // Reports a new screen if the last step entered one, then paints if the game needs it.
    std::optional<ScriptError> settle(int line);
    void reportScreen();

    Game game_;
    FrameSink& frames_;
    std::ostream& out_;
    std::deque<std::u16string> names_;
    std::uint32_t reportedEntry_ = 0;
    int messagesShown_ = 0;
    bool nameAsked_ = false;
    bool fileAsked_ = false;
    bool settingsAsked_ = false;
    bool aboutAsked_ = false;
    bool missedAsked_ = false;
    std::map<std::filesystem::path, std::vector<ReviewCard>> cards_;  // from the card lines, by quiz file
    long long ticks_ = 0;
    bool quitting_ = false;
    std::optional<std::filesystem::path> lastQuizFile_;
    std::int32_t today_ = localToday();
};

}  // namespace pp::replay
