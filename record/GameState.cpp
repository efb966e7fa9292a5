#include "record/GameState.h"

namespace pp {

std::string_view screenName(Screen screen) {
    switch (screen) {
        case Screen::Title: return "Title";
        case Screen::QuestionIntro: return "QuestionIntro";
        case Screen::LoadQuestion: return "LoadQuestion";
        case Screen::RevealQuestion: return "RevealQuestion";
        case Screen::Answering: return "Answering";
        case Screen::Judging: return "Judging";
        case Screen::ShowCorrect: return "ShowCorrect";
        case Screen::LevelClear: return "LevelClear";
        case Screen::GameOver: return "GameOver";
        case Screen::AllClear: return "AllClear";
        case Screen::Ranking: return "Ranking";
    }
    return "Unknown";
}

void resetGame(GameState& state) {
    setScreen(state, Screen::Title);
    state.tickCount = 0;
    state.level = 0;
    state.questionIndex = 0;
    state.score = 0;
    state.timeLeftTicks = 0;
    state.questionReady = 0;
    state.slotsLeft = kQuestionsPerLevel;
    state.levelCorrect = 0;
    state.genreCorrect.fill(0);
    state.genreAnswered.fill(0);
    state.reviewQuestions.clear();
    state.askedQuestions.clear();
}

int totalQuestionCount(const GameState& state) {
    int total = 0;
    for (const Genre& genre : state.genres) {
        total += genre.questionCount;
    }
    return total;
}

int studyQuestionCount(const GameState& state) {
    return state.reviewQuestions.empty() ? totalQuestionCount(state) : static_cast<int>(state.reviewQuestions.size());
}

std::u16string_view choiceText(const GameState& state, int position) {
    int stored = 0;
    if (position >= 0 && position < kChoiceCount) {
        stored = state.choiceOrder[static_cast<std::size_t>(position)];
    }
    // A damaged order entry shows the right answer rather than reading past the choices.
    if (stored < 1 || stored >= kChoiceCount) {
        stored = 0;
    }
    return state.choices[static_cast<std::size_t>(stored)].view();
}

}  // namespace pp
