#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pp {

struct GameState;

// What the game asks of the platform. The Qt shell implements it once, the headless replay
// driver once, and tests with fakes; the game never reaches the platform any other way.
class Host {
public:
    virtual ~Host() = default;

    // Marks the whole picture for a repaint without erasing it. The paint does not happen
    // inside this call: it follows once the current event has been handled, and several
    // requests before it coalesce into one paint.
    virtual void requestRepaint() = 0;

    // Starts sound `id` (135..142) and returns at once; it replaces a sound still playing.
    // An unknown id plays nothing. Callers check the sound option first.
    virtual void playSound(int id) = 0;

    // Shows a modal message box with one OK button and returns when it is closed.
    virtual void showMessage(std::u16string_view text, std::u16string_view caption) = 0;

    // Shows the modal name dialog and returns what the edit box held when it was confirmed.
    // There is no cancel: closing the dialog counts as confirming it.
    virtual std::u16string askPlayerName() = 0;
};

// The pseudo-random source of question and choice draws. The program seeds it from the OS;
// tests and replays give a fixed seed or sequence so that games repeat exactly.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual std::uint32_t next() = 0;
};

// A value in 0..n-1 from the source: the 32-bit value modulo n, unsigned. `n` must be positive.
inline std::uint32_t draw(RandomSource& random, std::uint32_t n) { return random.next() % n; }

// Everything one running game works with: the shared record and the platform behind it.
struct Context {
    GameState& state;
    Host& host;
    RandomSource& random;
    std::filesystem::path settingsPath;  // the settings-and-ranking file, saved on every change
};

}  // namespace pp
