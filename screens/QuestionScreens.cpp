// The screens that show a question with its choices: Answering, and Judging with the verdict's
// mark under the texts.
#include <algorithm>
#include <array>
#include <numeric>
#include <string_view>

#include "screens/Bitmaps.h"
#include "screens/Format.h"
#include "screens/Layout.h"
#include "screens/Screens.h"

namespace pp {
namespace {

constexpr std::u16string_view kCountdownFormat = u"あと%2d秒";
constexpr std::u16string_view kNoAccuracy = u"正解確率:  0%%";
constexpr std::u16string_view kAccuracyFormat = u"正解確率:%3.0f%%";
constexpr std::u16string_view kScoreFormat = u"得点:%8d";
constexpr int kTicksPerSecond = 20;

// The large mark of the verdict, drawn over the question and choices.
constexpr int kMarkPenWidth = 40;
constexpr Rgb kCircleColour = colour::kBlue;
constexpr Rgb kCrossColour = colour::kRed;

int sum(const std::array<std::int32_t, kGenreCount>& counts) {
    return std::accumulate(counts.begin(), counts.end(), 0);
}

// The seconds left, in red.
void drawCountdown(const GameState& state, Surface& surface) {
    const int seconds = state.timeLeftTicks / kTicksPerSecond;  // -1 ticks shows as 0
    surface.setTextColour(colour::kRed);
    surface.drawText(formatText(kCountdownFormat, seconds), layout::kCountdownText, TextFormat::Left);
}

// Study mode: the share of right answers so far, over every genre.
void drawAccuracy(const GameState& state, Surface& surface) {
    surface.setTextColour(colour::kBlue);
    const int answered = sum(state.genreAnswered);
    std::u16string text;
    if (answered == 0) {
        text = formatText(kNoAccuracy);
    } else {
        const double percent = static_cast<double>(sum(state.genreCorrect)) * 100.0 / answered;
        text = formatText(kAccuracyFormat, percent);
    }
    surface.drawText(text, layout::kAccuracyText, TextFormat::Right);
}

// Game mode: right answers fill the row from the left, wrong ones from the right, the
// questions still to come lie between, under the marker of the level's quota.
void drawProgressRow(const GameState& state, Surface& surface) {
    const int level = std::clamp(state.level, 0, kLevelCount - 1);
    surface.drawBitmap(bitmap::kQuotaMarker, layout::quotaMarkerX(levelQuota[level]), layout::kQuotaMarkerY);
    const int right = std::clamp(state.levelCorrect, 0, kQuestionsPerLevel);
    const int open = std::clamp(state.levelCorrect + state.slotsLeft, right, kQuestionsPerLevel);
    for (int slot = 0; slot < kQuestionsPerLevel; ++slot) {
        const int id = slot < right ? bitmap::kSlotRight : slot < open ? bitmap::kSlotOpen : bitmap::kSlotWrong;
        surface.drawBitmap(id, layout::slotX(slot), layout::kSlotY);
    }
}

void drawStatusStrip(const GameState& state, Surface& surface) {
    if (state.options.timeLimit == 1) {
        drawCountdown(state, surface);
    }
    if (studyRules(state)) {
        drawAccuracy(state, surface);
    } else {
        drawProgressRow(state, surface);
    }
    surface.setTextColour(colour::kBlack);
    surface.drawText(formatText(kScoreFormat, state.score), layout::kScoreText, TextFormat::Right);
    drawSeparator(surface, layout::kStatusSeparatorY);
}

void drawQuestionBlock(const GameState& state, Surface& surface) {
    surface.drawBitmap(levelIcon(state), layout::kQuestionIcon.x, layout::kQuestionIcon.y);
    surface.setTextColour(colour::kBlack);
    surface.drawText(state.questionText.view(), layout::kQuestionText, TextFormat::Wrap);
    drawSeparator(surface, layout::kQuestionSeparatorY);
}

// The highlighted row is black with the orange button, the others grey-blue.
void drawChoiceRows(const GameState& state, Surface& surface) {
    for (int row = 1; row <= kChoiceCount; ++row) {
        const bool highlighted = state.selection == row;
        surface.setTextColour(highlighted ? colour::kBlack : colour::kGreyBlue);
        const int button = highlighted ? bitmap::litButton(row) : bitmap::button(row);
        surface.drawBitmap(button, layout::kChoiceButtonX, layout::choiceRowTop(row));
        surface.drawText(choiceText(state, row - 1), layout::choiceTextRect(row), TextFormat::Wrap);
    }
}

// A blue circle for a right answer, a red cross for a wrong one or a time-out.
void drawJudgementMark(const GameState& state, Surface& surface) {
    const Rect box = layout::kJudgementMark;
    if (answerIsRight(state)) {
        surface.drawEllipse(box, kMarkPenWidth, kCircleColour);
        return;
    }
    const std::array<Point, 2> falling{Point{box.right, box.bottom}, Point{box.left, box.top}};
    const std::array<Point, 2> rising{Point{box.left, box.bottom}, Point{box.right, box.top}};
    surface.drawPolyline(falling, kMarkPenWidth, kCrossColour);
    surface.drawPolyline(rising, kMarkPenWidth, kCrossColour);
}

void drawQuestionScreen(const GameState& state, Surface& surface) {
    surface.setBackgroundMode(BackgroundMode::Transparent);
    drawStatusStrip(state, surface);
    drawQuestionBlock(state, surface);
    drawChoiceRows(state, surface);
}

}  // namespace

void paintAnswering(const GameState& state, Surface& surface) { drawQuestionScreen(state, surface); }

void paintJudging(const GameState& state, Surface& surface) {
    // The texts are drawn over the mark, transparently, so they stay readable.
    drawJudgementMark(state, surface);
    drawQuestionScreen(state, surface);
}

}  // namespace pp
