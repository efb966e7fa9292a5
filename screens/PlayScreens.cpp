// The cards and single pictures of a running game: Title, QuestionIntro, RevealQuestion,
// ShowCorrect and LevelClear.
#include <algorithm>
#include <array>
#include <string_view>

#include "record/FixedText.h"
#include "screens/Bitmaps.h"
#include "screens/Format.h"
#include "screens/Layout.h"
#include "screens/Screens.h"

namespace pp {
namespace {

// Where the handheld told the player to save quiz files beforehand, the desktop and the page,
// which open them from anywhere, say how; no word of dropping, which a phone cannot do.
constexpr std::array<std::u16string_view, 3> kTitleLines{
    u"クイズ問題ファイルは",
    u"「ファイル」→「開く...」で",
    u"開いてください。",
};
// While questions of the open quiz file are due, the hint lines say so and how to review them.
constexpr std::u16string_view kDueFormat = u"今日の復習: %d問";
constexpr std::array<std::u16string_view, 2> kDueHowTo{
    u"「ツール」→「今日の復習」で",
    u"復習できます。",
};
constexpr std::u16string_view kIntroFormat = u"問題 %d";
constexpr std::u16string_view kLastQuestion = u"最終問題";
constexpr std::u16string_view kQuestionsLeftFormat = u"あと%d問";
constexpr std::u16string_view kLevelQuotaFormat = u"レベル:%d    正解ノルマ:%d問";
constexpr std::u16string_view kCorrectHeading = u"正解...";
constexpr std::u16string_view kLevelClearFormat = u"レベル:%d    クリア";
constexpr std::u16string_view kLevelResultFormat = u"正解数:%d問    正解確率:%3.0f%%";
// Each of a level's eight questions is this share of it, in per cent.
constexpr double kPercentPerQuestion = 12.5;

// The level as an index into the per-level tables, kept in range whatever the record holds.
int levelIndex(const GameState& state) { return std::clamp(state.level, 0, kLevelCount - 1); }

void drawBitmapAt(Surface& surface, int id, Point at) { surface.drawBitmap(id, at.x, at.y); }

}  // namespace

int gameLevelIcon(const GameState& state) { return bitmap::kLevelIcons[levelIndex(state)]; }

int levelIcon(const GameState& state) {
    return studyRules(state) ? bitmap::kStudyIcon : gameLevelIcon(state);
}

void drawSeparator(Surface& surface, int y) {
    const std::array<Point, 2> line{{{layout::kSeparatorLeft, y}, {layout::kSeparatorRight, y}}};
    surface.drawPolyline(line, layout::kSeparatorWidth, colour::kBlack);
}

void paintTitle(Surface& surface, int dueToday) {
    if (dueToday <= 0) {
        paintTitleLines(kTitleLines, surface);
        return;
    }
    const std::u16string dueLine = formatText(kDueFormat, dueToday);
    const std::array<std::u16string_view, 3> lines{dueLine, kDueHowTo[0], kDueHowTo[1]};
    paintTitleLines(lines, surface);
}

void paintTitleLines(std::span<const std::u16string_view> lines, Surface& surface) {
    drawBitmapAt(surface, bitmap::kLevelIcons[0], layout::kTitleIcon);
    drawBitmapAt(surface, bitmap::kTitleBanner, layout::kTitleBanner);
    drawBitmapAt(surface, bitmap::kBar, layout::kTitleBar);
    surface.setTextColour(colour::kBlack);
    surface.setBackgroundMode(BackgroundMode::Opaque);
    const Rect client = surface.clientRect();
    for (std::size_t i = 0; i < lines.size() && i + 1 < layout::kTitleLineEdges.size(); ++i) {
        const Rect line{client.left, layout::kTitleLineEdges[i], client.right, layout::kTitleLineEdges[i + 1]};
        surface.drawText(lines[i], line, TextFormat::WrapCentre);
    }
}

void paintQuestionIntro(const GameState& state, Surface& surface) {
    drawBitmapAt(surface, levelIcon(state), layout::kCardIcon);
    surface.setBackgroundMode(BackgroundMode::Transparent);
    surface.setTextColour(colour::kBlack);
    surface.drawText(formatText(kIntroFormat, state.questionIndex + 1), layout::kCardFirstLine,
                     TextFormat::WrapCentreMiddle);
    std::u16string secondLine;
    if (studyRules(state)) {
        const int remaining = studyQuestionCount(state) - state.questionIndex;
        secondLine = remaining == 1 ? std::u16string(kLastQuestion) : formatText(kQuestionsLeftFormat, remaining);
    } else {
        secondLine = formatText(kLevelQuotaFormat, state.level + 1, levelQuota[levelIndex(state)]);
    }
    surface.drawText(secondLine, layout::kCardSecondLine, TextFormat::WrapCentreMiddle);
    drawSeparator(surface, layout::kCardSeparatorY);
}

void paintRevealQuestion(const GameState& state, Surface& surface) {
    drawBitmapAt(surface, levelIcon(state), layout::kQuestionIcon);
    surface.setTextColour(colour::kBlack);
    surface.setBackgroundMode(BackgroundMode::Opaque);
    const std::u16string_view question = state.questionText.view();
    std::size_t shown = question.size();
    if (state.revealDone != 1) {
        // Never show half of a surrogate pair; the pair appears whole on the next paint.
        shown = fittingLength(question, static_cast<std::size_t>(std::max(state.revealCount, 0)));
    }
    // The whole question is laid out on every step, so a character appears where it will stay
    // even when a later one moves a line break.
    surface.drawTextPrefix(question, shown, layout::kQuestionText, TextFormat::Wrap);
}

void paintShowCorrect(const GameState& state, Surface& surface) {
    surface.setTextColour(colour::kBlack);
    surface.setBackgroundMode(BackgroundMode::Opaque);
    surface.drawText(kCorrectHeading, layout::kCorrectHeading, TextFormat::Wrap);
    drawBitmapAt(surface, levelIcon(state), layout::kCorrectIcon);
    surface.setBackgroundMode(BackgroundMode::Transparent);
    surface.drawText(state.questionText.view(), layout::kCorrectQuestion, TextFormat::Wrap);
    drawSeparator(surface, layout::kCorrectSeparatorY);
    const int position = std::clamp<int>(state.correctPosition, 0, kChoiceCount - 1);
    drawBitmapAt(surface, bitmap::litButton(position + 1), layout::kCorrectButton);
    surface.setTextColour(colour::kBlack);
    surface.drawText(choiceText(state, position), layout::kCorrectChoice, TextFormat::Wrap);
}

void paintLevelClear(const GameState& state, Surface& surface) {
    drawBitmapAt(surface, gameLevelIcon(state), layout::kCardIcon);
    surface.setTextColour(colour::kBlue);
    surface.setBackgroundMode(BackgroundMode::Opaque);
    surface.drawText(formatText(kLevelClearFormat, state.level + 1), layout::kCardFirstLine,
                     TextFormat::WrapCentre);
    surface.setBackgroundMode(BackgroundMode::Transparent);
    const double percent = static_cast<double>(state.levelCorrect) * kPercentPerQuestion;
    surface.drawText(formatText(kLevelResultFormat, state.levelCorrect, percent), layout::kCardSecondLine,
                     TextFormat::WrapCentre);
    drawSeparator(surface, layout::kCardSeparatorY);
}

}  // namespace pp
