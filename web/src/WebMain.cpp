// The game module of the page: one Game, driven by the page's timer, pointer, keys and menus
// through the exported calls below, with the page (perna.js) standing for the platform.

#include <emscripten.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "WebSurface.h"
#include "engine/Game.h"
#include "persistence/SettingsFile.h"
#include "record/Cp932.h"
#include "tools/common/Json.h"

namespace pp::web {
namespace {

// The name dialog asks for at most ten characters, as on the desktop.
constexpr int kNameChars = 10;
constexpr std::size_t kCharacterCount = 0x10000;

// Where the page keeps its files in the module's memory file system; the page copies the
// settings file to the browser's storage after every call into the game.
constexpr const char* kDocumentsFolder = "/documents";

EM_JS(void, web_request_repaint, (), { Module.page.requestRepaint(); });
EM_JS(void, web_play_sound, (int id), { Module.page.playSound(id); });
EM_JS(void, web_show_message, (const char16_t* text, int textLength, const char16_t* caption, int captionLength), {
    Module.page.showMessage(UTF16ToString(text, textLength * 2), UTF16ToString(caption, captionLength * 2));
});
// Shows the name dialog and waits for it; `storable` has a byte per UTF-16 code unit, 1 for those
// the settings file can keep. Writes at most `capacity` code units to `name` and returns their count.
EM_ASYNC_JS(int, web_ask_player_name, (const std::uint8_t* storable, char16_t* name, int capacity), {
    const allowed = HEAPU8.subarray(storable, storable + 0x10000);
    const typed = await Module.page.askPlayerName(allowed);
    const length = Math.min(typed.length, capacity);
    for (let i = 0; i < length; ++i) HEAPU16[(name >> 1) + i] = typed.charCodeAt(i);
    return length;
});

// True for a character the settings file keeps as it is: one of code page 932 that is neither a
// control character nor the file's field separator (the desktop's name dialog keeps the same).
bool storableInRanking(char16_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c < 0x20 || c == 0x7F || c == u',') {
        return false;
    }
    return encodeCp932(std::u16string_view(&c, 1)).has_value();
}

class WebHost final : public Host {
public:
    void requestRepaint() override { web_request_repaint(); }
    void playSound(int id) override { web_play_sound(id); }

    // The page queues the box and returns at once: the game goes on behind it, as behind the
    // desktop's modal boxes, whose nested event loops keep the clock running.
    void showMessage(std::u16string_view text, std::u16string_view caption) override {
        web_show_message(text.data(), static_cast<int>(text.size()), caption.data(), static_cast<int>(caption.size()));
    }

    std::u16string askPlayerName() override {
        if (!storable_) {
            storable_ = std::make_unique<std::array<std::uint8_t, kCharacterCount>>();
            for (std::size_t c = 0; c < kCharacterCount; ++c) {
                (*storable_)[c] = storableInRanking(static_cast<char16_t>(c)) ? 1 : 0;
            }
        }
        std::array<char16_t, kNameChars> name{};
        const int length = web_ask_player_name(storable_->data(), name.data(), kNameChars);
        return {name.data(), static_cast<std::size_t>(length)};
    }

private:
    std::unique_ptr<std::array<std::uint8_t, kCharacterCount>> storable_;
};

struct Page {
    WebHost host;
    WebSurface surface;
    std::unique_ptr<Game> game;
};

Page& page() {
    static Page shared;
    return shared;
}

Game* game() { return page().game.get(); }

std::int16_t flag(int value) { return value != 0 ? 1 : 0; }

}  // namespace
}  // namespace pp::web

using pp::web::game;
using pp::web::page;

extern "C" {

// Makes the game on the documents folder and reads its settings file; `seeded` picks `seed`
// for the question draws (tests), otherwise they are seeded from the browser.
EMSCRIPTEN_KEEPALIVE void pp_web_start(int seeded, std::uint32_t seed) {
    if (game()) {
        return;
    }
    // This C library starts with a umask that would leave the saved settings file unreadable;
    // a desktop session's usual one keeps it readable and writable.
    ::umask(022);
    auto random = seeded ? std::make_unique<pp::MersenneRandom>(seed) : std::make_unique<pp::MersenneRandom>();
    page().game = std::make_unique<pp::Game>(page().host, pp::settingsPathIn(pp::web::kDocumentsFolder),
                                             std::move(random));
    page().game->start();
}

EMSCRIPTEN_KEEPALIVE void pp_web_tick() { game()->tick(); }
EMSCRIPTEN_KEEPALIVE void pp_web_key(int keyCode) { game()->key(keyCode); }
EMSCRIPTEN_KEEPALIVE void pp_web_tap(int x, int y) { game()->tap(x, y); }
EMSCRIPTEN_KEEPALIVE void pp_web_open(const char* path) { game()->open(std::filesystem::path(path)); }
EMSCRIPTEN_KEEPALIVE void pp_web_command(int id) { game()->command(id); }

EMSCRIPTEN_KEEPALIVE void pp_web_confirm_settings(int sound, int correct, int limit, int reveal, int study) {
    pp::Options chosen;
    chosen.soundEffects = pp::web::flag(sound);
    chosen.showCorrectAnswer = pp::web::flag(correct);
    chosen.timeLimit = pp::web::flag(limit);
    chosen.gradualReveal = pp::web::flag(reveal);
    chosen.studyMode = pp::web::flag(study);
    game()->confirmSettings(chosen);
}

EMSCRIPTEN_KEEPALIVE int pp_web_needs_paint() { return game()->needsPaint() ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE void pp_web_paint() {
    page().surface.beginPaint();
    game()->paint(page().surface);
}

EMSCRIPTEN_KEEPALIVE int pp_web_screen() { return static_cast<int>(game()->state().screen); }

// The five options as bits (sound, correct, limit, reveal, study from bit 0), each on only when 1.
EMSCRIPTEN_KEEPALIVE int pp_web_options() {
    const pp::Options& options = game()->state().options;
    return (options.soundEffects == 1 ? 1 : 0) | (options.showCorrectAnswer == 1 ? 2 : 0) |
           (options.timeLimit == 1 ? 4 : 0) | (options.gradualReveal == 1 ? 8 : 0) |
           (options.studyMode == 1 ? 16 : 0);
}

// The screen, score, highlighted row, right answer's place and ranking as JSON, for the page's tests; the text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* pp_web_state_json() {
    static std::string json;
    const pp::GameState& state = game()->state();
    json = "{\"screen\":\"" + std::string(pp::screenName(state.screen)) + "\",\"score\":" + std::to_string(state.score) +
           ",\"selection\":" + std::to_string(state.selection) +
           ",\"correctPosition\":" + std::to_string(state.correctPosition) + ",\"ranking\":[";
    for (std::size_t i = 0; i < state.ranking.size(); ++i) {
        json += (i == 0 ? "" : ",") + std::string("{\"name\":") + pp::jsonString(state.ranking[i].name.view()) +
                ",\"score\":" + std::to_string(state.ranking[i].score) + "}";
    }
    json += "]}";
    return json.c_str();
}

}  // extern "C"
