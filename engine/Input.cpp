#include "engine/Input.h"

#include <array>

#include "engine/GameState.h"
#include "engine/Sounds.h"

namespace pp {
namespace {

// Taps count only between these x limits, exclusive.
constexpr unsigned kTapLeftLimit = 11;
constexpr unsigned kTapRightLimit = 235;

// The y bands of the five choice rows, exclusive at both ends; they lie inside the drawn rows,
// so a tap on the gap between two rows hits neither.
struct Band {
    unsigned above;
    unsigned below;
};
constexpr std::array<Band, kChoiceCount> kRowBands{{{65, 95}, {100, 130}, {135, 165}, {170, 200}, {205, 235}}};

// The display row 1..5 under y, or 0 when y is in no band.
int rowAt(unsigned y) {
    for (std::size_t i = 0; i < kRowBands.size(); ++i) {
        if (y > kRowBands[i].above && y < kRowBands[i].below) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

bool choosing(const GameState& state) { return state.screen == Screen::Answering && state.confirmed == 0; }

void moveHighlight(Context& context, int step) {
    GameState& state = context.state;
    if (step < 0) {
        state.selection = state.selection <= 1 ? kChoiceCount : state.selection - 1;
    } else {
        state.selection = state.selection == 0 || state.selection >= kChoiceCount ? 1 : state.selection + 1;
    }
    playEffect(context, sound::kMoveHighlight);
    context.host.requestRepaint();
}

// What the action key does, and a tap on a screen other than Answering.
void act(Context& context) {
    GameState& state = context.state;
    switch (state.screen) {
        case Screen::Answering:
            if (state.confirmed == 0 && state.selection != 0) {
                state.confirmed = 1;
                context.host.requestRepaint();
            }
            break;
        case Screen::GameOver:
        case Screen::AllClear:
            setScreen(state, Screen::Ranking);
            context.host.requestRepaint();
            break;
        case Screen::Ranking:
            setScreen(state, Screen::Title);
            context.host.requestRepaint();
            break;
        default:
            break;
    }
}

}  // namespace

bool isActionKey(int keyCode) {
    switch (keyCode) {
        case key::kReturn:
        case key::kAction:
        case key::kApp1:
        case key::kApp2:
        case key::kApp3:
        case key::kApp4:
            return true;
        default:
            return false;
    }
}

void onKeyDown(Context& context, int keyCode) {
    if (keyCode == key::kUp || keyCode == key::kDown) {
        if (choosing(context.state)) {
            moveHighlight(context, keyCode == key::kUp ? -1 : +1);
        }
    } else if (isActionKey(keyCode)) {
        act(context);
    }
}

void onStylusUp(Context& context, unsigned x, unsigned y) {
    GameState& state = context.state;
    if (state.screen != Screen::Answering) {
        act(context);
        return;
    }
    if (state.confirmed != 0 || x <= kTapLeftLimit || x >= kTapRightLimit) {
        return;
    }
    const int row = rowAt(y);
    if (row == 0) {
        return;
    }
    if (row == state.selection) {
        state.confirmed = 1;  // a second tap on the highlighted row confirms it
    } else {
        state.selection = row;  // a first tap only highlights, silently
    }
    context.host.requestRepaint();
}

}  // namespace pp
