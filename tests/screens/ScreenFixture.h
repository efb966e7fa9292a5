#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/GameState.h"
#include "screens/Painter.h"
#include "support/RecordingSurface.h"

namespace pp::test {

// A game in progress with a question on screen, painted on a recording surface. Every paint
// starts by making the whole picture white; `calls` begins with that erase.
struct ScreenTest : ::testing::Test {
    using Kind = RecordingSurface::Kind;
    using Call = RecordingSurface::Call;

    ScreenTest() {
        state.options = kDefaultOptions;
        state.options.soundEffects = 0;
        resetGame(state);
        state.questionText = u"日本で一番高い山は？";
        const char16_t* choices[] = {u"富士山", u"北岳", u"奥穂高岳", u"間ノ岳", u"槍ヶ岳"};
        for (int i = 0; i < kChoiceCount; ++i) {
            state.choices[static_cast<std::size_t>(i)] = choices[i];
            state.choiceOrder[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
        }
        state.correctPosition = 0;
    }

    // Enters `screen` as the state machine does and paints it once.
    void enterAndPaint(Screen screen) {
        setScreen(state, screen);
        paint();
    }

    void paint() {
        surface.clear();
        paintScreen(state, surface);
    }

    // The bitmap ids drawn, in order.
    std::vector<int> bitmaps() const {
        std::vector<int> ids;
        for (const Call& call : surface.of(Kind::Bitmap)) {
            ids.push_back(call.bitmap);
        }
        return ids;
    }

    // The index in the call list of the first text `text`, or -1.
    int indexOfText(std::u16string_view text) const {
        for (std::size_t i = 0; i < surface.calls.size(); ++i) {
            if (surface.calls[i].kind == Kind::Text && surface.calls[i].text == text) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    GameState state;
    RecordingSurface surface;
};

}  // namespace pp::test
