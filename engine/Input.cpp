#include "engine/Input.h"

#include "engine/Commands.h"
#include "engine/Sounds.h"
#include "screens/Layout.h"

namespace pp {
namespace {

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
        case Screen::Title:
            startAgain(context);
            break;
        case Screen::Answering:
            if (state.confirmed == 0 && state.selection != 0) {
                state.confirmed = 1;
                context.host.requestRepaint();
            }
            break;
        case Screen::GameOver:
        case Screen::AllClear:
            enterRankingScreen(state);
            context.host.requestRepaint();
            break;
        case Screen::Ranking:
            // From the quiz file's own ranking to the overall one, then back to the title.
            if (state.rankingShowsFile) {
                state.rankingShowsFile = false;
            } else {
                setScreen(state, Screen::Title);
            }
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
    } else if (keyCode >= key::kChoice1 && keyCode <= key::kChoice5) {
        // As if the row had been tapped twice: highlighted and confirmed at once, silently.
        if (choosing(context.state)) {
            context.state.selection = keyCode - key::kChoice1 + 1;
            context.state.confirmed = 1;
            context.host.requestRepaint();
        }
    } else if (isActionKey(keyCode)) {
        act(context);
    }
}

void onStylusUp(Context& context, int x, int y) {
    GameState& state = context.state;
    if (state.screen != Screen::Answering) {
        act(context);
        return;
    }
    if (state.confirmed != 0) {
        return;
    }
    const int row = layout::choiceRowAt(x, y);
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
