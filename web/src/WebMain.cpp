// The game module of the page: one Game, driven by the page's timer, pointer, keys and menus
// through the exported calls below, with the page (perna.js) standing for the platform. The
// page shows the game's dialogs and answers them later through the pp_web_ calls named for them.

#include <emscripten.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "WebHistory.h"
#include "WebSurface.h"
#include "engine/Calendar.h"
#include "engine/Game.h"
#include "persistence/MissedList.h"
#include "persistence/SettingsFile.h"
#include "persistence/StoredName.h"
#include "quizdata/QuizFile.h"
#include "screens/Painter.h"
#include "encoding/Utf8.h"
#include "tools/replay/Recorder.h"

namespace pp::web {
namespace {

constexpr std::size_t kCharacterCount = 0x10000;

// Where the page keeps its files in the module's memory file system; the page copies the
// settings file to the browser's storage after every call into the game.
constexpr const char* kDocumentsFolder = "/documents";
// Where the missed-question lists live, outside the documents folder as on the desktop; the page
// keeps this folder's file in the browser's storage too.
constexpr const char* kDataFolder = "/data";

EM_JS(void, web_request_repaint, (), { Module.page.requestRepaint(); });
EM_JS(void, web_play_sound, (int id), { Module.page.playSound(id); });
// The box is answered by pp_web_dismiss_message once it is closed.
EM_JS(void, web_show_message, (const char16_t* text, int textLength, const char16_t* caption, int captionLength), {
    Module.page.showMessage(UTF16ToString(text, textLength * 2), UTF16ToString(caption, captionLength * 2))
        .then(() => Module.page.callGame(() => Module._pp_web_dismiss_message()));
});
// Shows the name dialog, which answers with pp_web_enter_name; `storable` has a byte per UTF-16
// code unit, 1 for those the settings file can keep.
EM_JS(void, web_ask_player_name, (const std::uint8_t* storable), {
    Module.page.askPlayerName(HEAPU8.slice(storable, storable + 0x10000));
});

// The dialog answers with pp_web_close_missed.
EM_JS(void, web_show_missed_questions, (const char* rowsJson), {
    Module.page.showMissedQuestions(JSON.parse(UTF8ToString(rowsJson)));
});
EM_JS(void, web_quiz_file_opened, (const char* path, int accepted), {
    Module.page.quizFileOpened(UTF8ToString(path), accepted !== 0);
});
// The file picker answers with pp_web_choose_file, or pp_web_cancel_file.
EM_JS(void, web_choose_quiz_file, (), { Module.page.chooseQuizFile(); });
// The path of the quiz file opened last, already in the module's file system, or an empty text;
// the page frees nothing: the text is copied into `path`, at most `capacity` bytes with its end.
EM_JS(int, web_last_quiz_file, (char* path, int capacity), {
    const last = Module.page.lastQuizFile() || "";
    if (lengthBytesUTF8(last) + 1 > capacity) return 0;
    stringToUTF8(last, path, capacity);
    return 1;
});

// The dialog's rows as the page reads them: [{"number":..,"genre":..,"question":..,"given":..,
// "timedOut":..,"right":..}].
std::string rowsJson(const std::vector<MissedQuestionRow>& rows) {
    nlohmann::json json = nlohmann::json::array();
    for (const MissedQuestionRow& row : rows) {
        json.push_back({{"number", row.number},
                        {"genre", utf8FromUtf16(row.genre)},
                        {"question", utf8FromUtf16(row.question)},
                        {"given", utf8FromUtf16(row.given)},
                        {"timedOut", row.timedOut},
                        {"right", utf8FromUtf16(row.right)}});
    }
    return json.dump();
}

class WebHost final : public Host {
public:
    void requestRepaint() override { web_request_repaint(); }
    void playSound(int id) override { web_play_sound(id); }

    void showMessage(std::u16string_view text, std::u16string_view caption) override {
        web_show_message(text.data(), static_cast<int>(text.size()), caption.data(), static_cast<int>(caption.size()));
    }

    void askPlayerName() override {
        if (!storable_) {
            storable_ = std::make_unique<std::array<std::uint8_t, kCharacterCount>>();
            for (std::size_t c = 0; c < kCharacterCount; ++c) {
                (*storable_)[c] = keptInName(static_cast<char16_t>(c)) ? 1 : 0;
            }
        }
        web_ask_player_name(storable_->data());
    }

    void showMissedQuestions(const std::vector<MissedQuestionRow>& rows) override {
        web_show_missed_questions(rowsJson(rows).c_str());
    }

    void chooseQuizFile() override { web_choose_quiz_file(); }

    void quizFileOpened(const std::filesystem::path& path, bool accepted) override {
        web_quiz_file_opened(path.c_str(), accepted ? 1 : 0);
    }

    std::optional<std::filesystem::path> lastQuizFile() override {
        std::array<char, 4096> path{};
        if (web_last_quiz_file(path.data(), static_cast<int>(path.size())) == 0 || path[0] == '\0') {
            return std::nullopt;
        }
        return std::filesystem::path(path.data());
    }

    // The browser's date, unless a test has set the day.
    std::int32_t today() override { return day ? *day : localToday(); }
    std::optional<std::int32_t> day;

private:
    std::unique_ptr<std::array<std::uint8_t, kCharacterCount>> storable_;
};

struct Page {
    WebHost host;
    WebSurface surface;
    std::unique_ptr<Game> game;
    // Every game is recorded from its start, so that "この対局を保存..." can save it at any time.
    std::uint32_t seed = 0;
    std::unique_ptr<replay::Recorder> recorder;
};

Page& page() {
    static Page shared;
    return shared;
}

Game* game() { return page().game.get(); }

// A text field of the shared game's question as the host sent it, or an empty text when it is
// missing or not UTF-8 text: the picture shows what it can rather than nothing.
std::u16string partyText(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return {};
    }
    return utf16FromUtf8(found->get_ref<const std::string&>()).value_or(std::u16string());
}

int partyNumber(const nlohmann::json& object, const char* key, int low, int high) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer()) {
        return low;
    }
    return static_cast<int>(std::clamp<std::int64_t>(found->get<std::int64_t>(), low, high));
}

// The game's own question screen for a player of a shared game: the question and its five
// choices in the host's order, the seconds left and the player's score while it is open; once
// judged, the verdict's mark for the player's choice with the right one known.
GameState partyPicture(const nlohmann::json& view) {
    GameState state;
    state.options = kDefaultOptions;
    state.options.timeLimit = 1;
    state.genres[0].name = partyText(view, "genre");
    state.questionText = partyText(view, "text");
    state.revealDone = 1;
    state.revealCount = static_cast<std::int32_t>(state.questionText.view().size());
    const auto choices = view.find("choices");
    for (int i = 0; i < kChoiceCount; ++i) {
        state.choiceOrder[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
        if (choices != view.end() && choices->is_array() && static_cast<std::size_t>(i) < choices->size() &&
            (*choices)[static_cast<std::size_t>(i)].is_string()) {
            state.choices[static_cast<std::size_t>(i)] =
                utf16FromUtf8((*choices)[static_cast<std::size_t>(i)].get_ref<const std::string&>()).value_or(u"");
        }
    }
    constexpr int kTicksPerSecond = 20;
    state.timeLeftTicks = partyNumber(view, "timeLeftMs", 0, 600'000) * kTicksPerSecond / 1000;
    // A shared game has no levels: the progress row shows its slots open, neither right nor wrong.
    state.slotsLeft = kQuestionsPerLevel;
    state.score = static_cast<std::int16_t>(partyNumber(view, "score", 0, 32'767));
    state.selection = partyNumber(view, "selection", 0, kChoiceCount);
    const int right = partyNumber(view, "right", 0, kChoiceCount);
    state.correctPosition = static_cast<std::int16_t>(right - 1);
    setScreen(state, right == 0 ? Screen::Answering : Screen::Judging);
    return state;
}

std::int16_t flag(int value) { return value != 0 ? 1 : 0; }

}  // namespace
}  // namespace pp::web

using pp::web::game;
using pp::web::page;

extern "C" {

// Makes the game on the documents folder; `seeded` picks `seed` for the question draws (tests),
// otherwise they are seeded from the browser. A game made but not started paints the title, so
// the page shows it while the quiz files it may start again on are still being read.
EMSCRIPTEN_KEEPALIVE void pp_web_make(int seeded, std::uint32_t seed) {
    if (game()) {
        return;
    }
    // This C library starts with a umask that would leave the saved settings file unreadable;
    // a desktop session's usual one keeps it readable and writable.
    ::umask(022);
    // Drawn here rather than inside the random source, so that a recording can name it.
    page().seed = seeded ? seed : std::random_device{}();
    page().game = std::make_unique<pp::Game>(page().host, pp::settingsPathIn(pp::web::kDocumentsFolder),
                                             std::make_unique<pp::MersenneRandom>(page().seed));
    page().game->keepMissedListsIn(std::filesystem::path(pp::web::kDataFolder) / std::string(pp::kMissedListFileName));
    page().game->keepHistoryIn(std::make_unique<pp::web::WebHistory>());
}

// Reads the settings file and the quiz file opened last, once; makes the game first if need be.
EMSCRIPTEN_KEEPALIVE void pp_web_start(int seeded, std::uint32_t seed) {
    static bool started = false;
    pp_web_make(seeded, seed);
    if (!started) {
        started = true;
        page().game->start();
        page().recorder = std::make_unique<pp::replay::Recorder>(page().seed);
        page().game->listen(page().recorder.get());
    }
}

// The game so far as a quiz-replay script; the text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* pp_web_recording() {
    static std::string text;
    text = page().recorder ? page().recorder->script() : std::string();
    return text.c_str();
}

EMSCRIPTEN_KEEPALIVE void pp_web_tick() { game()->tick(); }
EMSCRIPTEN_KEEPALIVE void pp_web_key(int keyCode) { game()->key(keyCode); }
EMSCRIPTEN_KEEPALIVE void pp_web_tap(int x, int y) { game()->tap(x, y); }
EMSCRIPTEN_KEEPALIVE void pp_web_open(const char* path) { game()->open(std::filesystem::path(path)); }
EMSCRIPTEN_KEEPALIVE void pp_web_command(int id) { game()->command(id); }

// The answers to the game's requests.
EMSCRIPTEN_KEEPALIVE void pp_web_dismiss_message() { game()->dismissMessage(); }
EMSCRIPTEN_KEEPALIVE void pp_web_enter_name(const char* name) {
    game()->enterName(pp::utf16FromUtf8(name).value_or(std::u16string()));
}
EMSCRIPTEN_KEEPALIVE void pp_web_choose_file(const char* path) { game()->chooseFile(std::filesystem::path(path)); }
EMSCRIPTEN_KEEPALIVE void pp_web_cancel_file() { game()->cancelFile(); }
EMSCRIPTEN_KEEPALIVE void pp_web_close_missed(int review) { game()->closeMissedQuestions(review != 0); }

// True while the game waits for the name dialog's answer.
EMSCRIPTEN_KEEPALIVE int pp_web_name_requested() { return game()->nameRequested() ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE void pp_web_confirm_settings(int sound, int correct, int limit, int reveal, int study) {
    pp::Options chosen;
    chosen.soundEffects = pp::web::flag(sound);
    chosen.showCorrectAnswer = pp::web::flag(correct);
    chosen.timeLimit = pp::web::flag(limit);
    chosen.gradualReveal = pp::web::flag(reveal);
    chosen.studyMode = pp::web::flag(study);
    game()->confirmSettings(chosen);
}

// "同じ問題を出さない": the page's own option, as the desktop's, never in the settings file.
EMSCRIPTEN_KEEPALIVE void pp_web_set_no_repeats(int on) { game()->setNoRepeats(on != 0); }

// The title shows before the page's font has come; once it has, the widths measured meanwhile go.
EMSCRIPTEN_KEEPALIVE void pp_web_font_changed() { page().surface.forgetTextWidths(); }

// True when a paint is due; the page paints at once.
EMSCRIPTEN_KEEPALIVE int pp_web_take_paint_request() { return game()->takePaintRequest() ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE void pp_web_paint() {
    page().surface.beginPaint();
    game()->paint(page().surface);
}

// Paints a shared game's question (a JSON object: genre, text, choices, timeLeftMs, score,
// selection, right; or lines for the title's picture) in the game's own picture. A player's
// page calls it; the game itself never does.
EMSCRIPTEN_KEEPALIVE void pp_web_party_paint(const char* viewJson) {
    const nlohmann::json parsed = nlohmann::json::parse(viewJson, nullptr, false);
    const nlohmann::json view = parsed.is_object() ? parsed : nlohmann::json::object();
    page().surface.beginPaint();
    // Before the first question and after the last: the title's picture with the page's own lines.
    const auto lines = view.find("lines");
    if (lines != view.end() && lines->is_array()) {
        std::vector<std::u16string> texts;
        for (const nlohmann::json& line : *lines) {
            texts.push_back(line.is_string() ? pp::utf16FromUtf8(line.get_ref<const std::string&>()).value_or(u"") : u"");
        }
        const std::vector<std::u16string_view> views(texts.begin(), texts.end());
        pp::paintTitleWith(views, page().surface);
        return;
    }
    pp::paintScreen(pp::web::partyPicture(view), page().surface);
}

// True when the quiz file at `path` passes the game's check, so that the page can keep a
// refused file from replacing an accepted one of the same name.
EMSCRIPTEN_KEEPALIVE int pp_web_quiz_accepted(const char* path) {
    return pp::readQuizLayout(std::filesystem::path(path)).accepted() ? 1 : 0;
}

// "間違えた問題..." is offered once there is a list to show.
EMSCRIPTEN_KEEPALIVE int pp_web_has_missed() { return game()->hasMissedQuestions() ? 1 : 0; }

// True while the clock matters, so that the page veils the picture only then when it pauses.
EMSCRIPTEN_KEEPALIVE int pp_web_playing() { return game()->playing() ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE int pp_web_screen() { return static_cast<int>(game()->state().screen); }

// The five options as bits (sound, correct, limit, reveal, study from bit 0), each on only when 1.
EMSCRIPTEN_KEEPALIVE int pp_web_options() {
    const pp::Options& options = game()->state().options;
    return (options.soundEffects == 1 ? 1 : 0) | (options.showCorrectAnswer == 1 ? 2 : 0) |
           (options.timeLimit == 1 ? 4 : 0) | (options.gradualReveal == 1 ? 8 : 0) |
           (options.studyMode == 1 ? 16 : 0);
}

// The screen, score, highlighted row, right answer's place, clock, review length and ranking as
// JSON, for the page's tests; the text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* pp_web_state_json() {
    static std::string text;
    const pp::GameState& state = game()->state();
    nlohmann::json ranking = nlohmann::json::array();
    for (const pp::RankEntry& row : state.ranking) {
        ranking.push_back({{"name", pp::utf8FromUtf16(row.name.view())}, {"score", row.score}});
    }
    const nlohmann::json json{{"screen", pp::screenName(state.screen)},
                              {"score", state.score},
                              {"selection", state.selection},
                              {"confirmed", state.confirmed},
                              {"correctPosition", state.correctPosition},
                              {"tickCount", state.tickCount},
                              {"timeLeft", state.timeLeftTicks},
                              {"review", state.reviewQuestions.size()},
                              {"noRepeats", state.noRepeats},
                              {"ranking", ranking}};
    text = json.dump();
    return text.c_str();
}

// Tests live through several days: `set` fixes the game's date at `day` (days since 1970-01-01),
// otherwise the browser's own date comes back.
EMSCRIPTEN_KEEPALIVE void pp_web_set_today(int set, int day) {
    page().host.day = set ? std::optional<std::int32_t>(day) : std::nullopt;
}

// The questions of the quiz file opened last that are due today.
EMSCRIPTEN_KEEPALIVE int pp_web_due_count() { return game()->dueCountToday(); }

// What the progress window charts, as JSON; the page reads the quiz file's answers and games
// first. The text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* pp_web_progress_json() {
    static std::string text;
    const pp::Progress progress = game()->progress();
    nlohmann::json genres = nlohmann::json::array();
    for (const pp::Genre& genre : game()->state().genres) {
        genres.push_back(pp::utf8FromUtf16(genre.name.view()));
    }
    nlohmann::json games = nlohmann::json::array();
    for (const pp::GameRecord& row : progress.games) {
        games.push_back({{"day", row.day}, {"mode", row.mode}, {"score", row.score}});
    }
    nlohmann::json days = nlohmann::json::array();
    for (const pp::GenreDay& row : progress.genreDays) {
        days.push_back({{"day", row.day}, {"right", row.right}, {"answered", row.answered}});
    }
    nlohmann::json missed = nlohmann::json::array();
    for (const pp::OftenMissed& row : progress.mostMissed) {
        missed.push_back({{"question", row.question + 1}, {"misses", row.misses}, {"answers", row.answers},
                          {"text", pp::utf8FromUtf16(row.text)}, {"right", pp::utf8FromUtf16(row.right)}});
    }
    const nlohmann::json json{{"today", game()->today()}, {"genres", genres}, {"games", games},
                              {"genreDays", days}, {"due", progress.dueByDay}, {"missed", missed}};
    // A text the quiz file holds that is not valid Unicode must not end the module.
    text = json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return text.c_str();
}

// "CSVで書き出す...": every answer of the quiz file opened last, as the desktop writes them.
EMSCRIPTEN_KEEPALIVE const char* pp_web_history_csv() {
    static std::string text;
    text = game()->history() ? pp::historyCsv(game()->history()->answers()) : std::string();
    return text.c_str();
}

}  // extern "C"
