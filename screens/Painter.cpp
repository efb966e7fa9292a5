#include "screens/Painter.h"

#include "screens/Screens.h"

namespace pp {

void paintScreen(const GameState& state, Surface& surface, int dueToday) {
    erasePicture(surface);
    surface.setTextColour(colour::kBlack);
    surface.setBackgroundMode(BackgroundMode::Opaque);
    switch (state.screen) {
        case Screen::Title:
            paintTitle(surface, dueToday);
            break;
        case Screen::QuestionIntro:
            paintQuestionIntro(state, surface);
            break;
        case Screen::LoadQuestion:
            break;  // a blank picture while the question is read
        case Screen::RevealQuestion:
            paintRevealQuestion(state, surface);
            break;
        case Screen::Answering:
            paintAnswering(state, surface);
            break;
        case Screen::Judging:
            paintJudging(state, surface);
            break;
        case Screen::ShowCorrect:
            paintShowCorrect(state, surface);
            break;
        case Screen::LevelClear:
            paintLevelClear(state, surface);
            break;
        case Screen::GameOver:
        case Screen::AllClear:
            paintResults(state, surface);
            break;
        case Screen::Ranking:
            paintRanking(state, surface);
            break;
    }
}

void paintTitleWith(std::span<const std::u16string_view> lines, Surface& surface) {
    erasePicture(surface);
    paintTitleLines(lines, surface);
}

}  // namespace pp
