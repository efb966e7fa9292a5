// The window's side of leaving a game: the confirmation and its "今後は確認しない" box, the resume
// offer at the next start, and the name dialog's memory of the last name.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QUrl>

#include "engine/Commands.h"
#include "shell/DesktopOptions.h"
#include "shell/Dialogs.h"
#include "shell/ReviewDialog.h"
#include "shell/ScreenView.h"
#include "ShellFixture.h"

namespace pp::test {
namespace {

class GameControlShellTest : public ShellTest {
protected:
    void startQuestion(const Options& options) {
        setOptions(options);
        openQuiz();
        ASSERT_TRUE(reach(Screen::Answering));
    }
};

TEST_F(GameControlShellTest, EscapeAsksBeforeTheTitleAndCtrlWIsTheSameCommand) {
    startQuestion(Options{0, 0, 1, 0, 0});
    EXPECT_EQ(window->action(command::kBackToTitle)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    QString asked;
    dialogs.expect<QMessageBox>([&](QMessageBox& box) {
        asked = box.text();
        EXPECT_EQ(box.checkBox(), nullptr);
        box.button(QMessageBox::No)->click();
    });
    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(asked, QStringLiteral("いまのゲームをやめてタイトルに戻りますか？"));
    EXPECT_EQ(state().screen, Screen::Answering);

    dialogs.expect<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    window->action(command::kBackToTitle)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(state().screen, Screen::Title);
    EXPECT_FALSE(window->action(command::kBackToTitle)->isEnabled());
}

TEST_F(GameControlShellTest, ADroppedFileDuringAGameAsksUntilTheBoxIsTicked) {
    startQuestion(Options{0, 0, 1, 0, 0});
    const auto other = folder / "other.kqd";
    writeBytes(other, quizBytes(labelledQuiz({1, 1, 1, 1, 1, 1, 1, 1})));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(qpath(other))});
    auto drop = [&] {
        const QPoint middle = window->view()->rect().center();
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->view(), &enter);
        QDropEvent event(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->view(), &event);
    };

    QString asked;
    dialogs.expect<QMessageBox>([&](QMessageBox& box) {
        asked = box.text();
        ASSERT_NE(box.checkBox(), nullptr);
        EXPECT_EQ(box.checkBox()->text(), QStringLiteral("今後は確認しない"));
        // Its mark grows with its text, as the settings dialog's do.
        const QCheckBox* tick = box.checkBox();
        EXPECT_GE(tick->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, tick), tick->font().pixelSize() * 2 / 3);
        box.checkBox()->setChecked(true);
        box.button(QMessageBox::Yes)->click();
    });
    drop();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(asked, QStringLiteral("いまのゲームをやめて開きますか？"));
    EXPECT_EQ(state().quizPath, other);
    EXPECT_FALSE(DesktopOptions(qpath(folder / "desktop.conf")).askBeforeOpening());

    // Ticked: the next file opens at once, in this run and the next.
    ASSERT_TRUE(reach(Screen::Answering));
    window->game().open(folder / "quiz.kqd");
    EXPECT_EQ(state().quizPath, folder / "quiz.kqd");
    window = makeWindow();
    startQuestion(Options{0, 0, 1, 0, 0});
    drop();
    EXPECT_EQ(state().quizPath, other);
}

TEST_F(GameControlShellTest, AStudyRunClosedMidwayIsOfferedAgainAndGoesOnFromItsQuestion) {
    startQuestion(Options{0, 0, 1, 0, 1});
    QTest::keyClick(window.get(), static_cast<Qt::Key>(Qt::Key_1 + state().correctPosition));
    ASSERT_TRUE(reach(Screen::QuestionIntro));
    ASSERT_TRUE(reach(Screen::Answering));
    const std::int32_t question = state().currentQuestion;
    const std::int16_t score = state().score;
    ASSERT_GT(score, 0);
    window->close();
    window.reset();

    QString offered;
    dialogs.expect<QMessageBox>([&](QMessageBox& box) {
        offered = box.windowTitle();
        for (QAbstractButton* button : box.buttons()) {
            if (button->text() == QStringLiteral("続きから")) {
                button->click();
            }
        }
    });
    window = makeWindow();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(offered, QStringLiteral("続きから"));
    EXPECT_EQ(state().questionIndex, 1);
    EXPECT_EQ(state().score, score);
    ASSERT_TRUE(reach(Screen::Answering));
    EXPECT_EQ(state().currentQuestion, question);
}

TEST_F(GameControlShellTest, TheNameDialogStartsWithTheLastNameAndEscapeStoresNanashi) {
    DesktopOptions(qpath(folder / "desktop.conf")).setLastName(QStringLiteral("はなこ"));
    window = makeWindow();
    setOptions(Options{0, 0, 1, 0, 1});
    QString shown;
    dialogs.expect<NameDialog>([&](NameDialog& dialog) {
        shown = dialog.edit->text();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    window->game().open(writeQuiz({1, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(reach(Screen::Answering));
    QTest::keyClick(window.get(), static_cast<Qt::Key>(Qt::Key_1 + state().correctPosition));
    ASSERT_TRUE(reach(Screen::GameOver));
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(shown, QStringLiteral("はなこ"));
    EXPECT_EQ(state().ranking[0].name.view(), u"ななし");
    EXPECT_EQ(window->desktopOptions().lastName(), QStringLiteral("はなこ"));
}

TEST(MissedHeading, CountsMissesAndQuestionsApartOnlyWhenAQuestionWasMissedAgain) {
    std::vector<MissedQuestionRow> rows(11);
    EXPECT_EQ(missedHeading(rows), QStringLiteral("間違えた問題、時間切れになった問題（11問）"));
    rows[4].timesMissed = 2;
    EXPECT_EQ(missedHeading(rows), QStringLiteral("間違えた問題、時間切れになった問題：12回（11問）"));
}

}  // namespace
}  // namespace pp::test
