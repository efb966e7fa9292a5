#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

#include <fstream>
#include <set>
#include <sstream>

#include "engine/Commands.h"
#include "persistence/HistoryDb.h"
#include "screens/Layout.h"
#include "shell/Dialogs.h"
#include "shell/StatsWindow.h"
#include "ShellFixture.h"

namespace pp::test {
namespace {

constexpr Options kQuiet{0, 0, 1, 0, 0};

class StatsTest : public ShellTest {
protected:
    // Plays one level of the open quiz: the first question right, the others wrong.
    void playOneLevel() {
        for (int question = 0; question < kQuestionsPerLevel; ++question) {
            ASSERT_TRUE(reach(Screen::Answering));
            const int right = state().correctPosition + 1;
            const int row = question == 0 ? right : (right == 1 ? 2 : 1);
            window->game().tap(layout::choiceRowMiddle(row).x, layout::choiceRowMiddle(row).y);
            window->game().tap(layout::choiceRowMiddle(row).x, layout::choiceRowMiddle(row).y);
            tick();
        }
    }
};

TEST_F(StatsTest, AGamesAnswersReachTheProgressWindowAndItsCsv) {
    setOptions(kQuiet);
    dialogs.expect<NameDialog>([](NameDialog& dialog) { dialog.accept(); });
    openQuiz();
    playOneLevel();
    ASSERT_TRUE(reach(Screen::GameOver));
    ASSERT_TRUE(dialogs.answered());

    StatsWindow* stats = window->showProgress();
    ASSERT_NE(stats, nullptr);
    QApplication::processEvents();
    const auto* scores = qobject_cast<QLineSeries*>(stats->scoresChart->chart()->series().at(0));
    ASSERT_EQ(scores->count(), 1);
    EXPECT_EQ(scores->at(0).y(), state().score);
    const auto* due = qobject_cast<QBarSeries*>(stats->dueChart->chart()->series().at(0));
    ASSERT_EQ(due->barSets().at(0)->count(), 14);
    qreal scheduled = 0;
    for (int day = 0; day < 14; ++day) {
        scheduled += due->barSets().at(0)->at(day);
    }
    EXPECT_GT(scheduled, 0);  // the misses come back within the fortnight
    EXPECT_EQ(due->barSets().at(0)->at(0), 0);  // nothing is due on the day it was answered
    // Every genre charted is named whole below the chart, not cut short in a one-row legend.
    const QList<QAbstractSeries*> genres = stats->genresChart->chart()->series();
    ASSERT_FALSE(genres.isEmpty());
    for (const QAbstractSeries* genre : genres) {
        EXPECT_TRUE(stats->genresLegend->text().contains(genre->name().toHtmlEscaped())) << genre->name().toStdString();
    }
    EXPECT_EQ(stats->missedTable->rowCount(), kQuestionsPerLevel - 1);
    EXPECT_FALSE(stats->missedTable->item(0, 1)->text().isEmpty());  // the right answer

    const auto csvFile = folder / "history.csv";
    ASSERT_TRUE(stats->exportTo(ShellTest::qpath(csvFile)));
    std::ifstream in(csvFile);
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        ++rows;
    }
    EXPECT_EQ(rows, 1 + kQuestionsPerLevel);

    // The picture the README shows, and proof that the charts drew something.
    const QImage shot = stats->grab().toImage();
    const char* out = std::getenv("PERNA_STATS_SCREENSHOT");
    shot.save(out != nullptr ? QString::fromLocal8Bit(out) : ShellTest::qpath(folder / "stats.png"));
    EXPECT_GT(shot.width(), 600);
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 5) {
        for (int x = 0; x < shot.width(); x += 5) {
            colours.insert(shot.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 20u);  // text, axes, the series' colours: not a blank window
    stats->close();
}

TEST_F(StatsTest, QuestionsDueTodayShowInTheMenuAndTheTitleAndStartTheirRun) {
    setOptions(kQuiet);
    const std::filesystem::path quiz = writeQuiz({4, 4, 4, 4, 4, 4, 4, 4});
    {
        HistoryDb db(folder / "data" / std::string(kHistoryFileName));
        db.selectQuiz(*fingerprintQuizFile(quiz));
        const std::int32_t yesterday = localToday() - 1;
        db.recordAnswer(AnswerRecord{yesterday - 1, 5, 1, 2, false, 100}, ReviewCard{5, 0.2, 7, yesterday - 1, yesterday, 1, 0});
        db.recordAnswer(AnswerRecord{yesterday - 1, 9, 2, 0, true, 100}, ReviewCard{9, 3, 4, yesterday - 1, yesterday + 5, 1, 0});
    }
    window->game().open(quiz);
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ポケットペルナ - 今日の復習: 1問"));
    QAction* review = window->action(command::kReviewDue);
    EXPECT_EQ(review->text(), QStringLiteral("今日の復習 (1問)"));
    ASSERT_TRUE(review->isEnabled());
    review->trigger();
    QApplication::processEvents();
    EXPECT_EQ(state().reviewQuestions, std::vector<std::int32_t>{5});
}

}  // namespace
}  // namespace pp::test
