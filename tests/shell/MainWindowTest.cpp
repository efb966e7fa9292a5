#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "engine/Commands.h"
#include "persistence/SettingsFile.h"
#include "quizdata/QuestionLoader.h"
#include "shell/Dialogs.h"
#include "shell/ScreenView.h"
#include "ShellFixture.h"

namespace pp::test {
namespace {

void clickOk(QDialog& dialog) {
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"));
    ASSERT_NE(ok, nullptr);
    ok->click();
}

QStringList menuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

TEST_F(ShellTest, StartUpCreatesTheSettingsFileBeforeTheFirstTick) {
    EXPECT_EQ(window->ticksSeen(), 0);
    ASSERT_TRUE(std::filesystem::exists(window->settingsPath()));
    EXPECT_EQ(std::filesystem::file_size(window->settingsPath()), 51u);
    EXPECT_EQ(window->state().options, kDefaultOptions);
    EXPECT_TRUE(window->gameTimer().isActive());
    EXPECT_EQ(window->gameTimer().interval(), 50);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ポケットペルナ"));
}

TEST_F(ShellTest, MenusCarryTheCommandsWithTheirIds) {
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("ファイル"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("ツール"));
    EXPECT_EQ(menuTexts(menus[0]->menu()),
              (QStringList{QStringLiteral("開く..."), QStringLiteral("-"), QStringLiteral("終了")}));
    EXPECT_EQ(menuTexts(menus[1]->menu()),
              (QStringList{QStringLiteral("バージョン情報"), QStringLiteral("設定..."),
                           QStringLiteral("ランキング表示...")}));
    for (int id : {command::kOpen, command::kQuit, command::kAbout, command::kSettings,
                   command::kShowRanking, command::kQuitAccelerator}) {
        ASSERT_NE(window->action(id), nullptr) << id;
        EXPECT_EQ(window->action(id)->data().toInt(), id);
    }
    EXPECT_EQ(window->action(command::kAbout)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_EQ(window->action(command::kQuitAccelerator)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(ShellTest, RankingCommandWorksOnlyFromTheTitle) {
    window->action(command::kShowRanking)->trigger();
    EXPECT_EQ(window->state().screen, Screen::Ranking);

    // A tap leaves the ranking for the title.
    window->show();
    const QRect picture = window->view()->pictureRect();
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, picture.center());
    EXPECT_EQ(window->state().screen, Screen::Title);

    window->openQuizFile(qpath(writeQuiz({3, 3, 3, 3, 3, 3, 3, 3})));
    ASSERT_EQ(window->state().screen, Screen::QuestionIntro);
    window->action(command::kShowRanking)->trigger();
    EXPECT_EQ(window->state().screen, Screen::QuestionIntro);
}

TEST_F(ShellTest, RefusedFileShowsTheLoadErrorAndStaysOnTitle) {
    const std::filesystem::path broken = folder / "broken.kqd";
    writeBytes(broken, "too short");
    QString text;
    QString caption;
    whenDialogOpens<QMessageBox>([&](QMessageBox& box) {
        text = box.text();
        caption = box.windowTitle();
        box.accept();
    });
    window->openQuizFile(qpath(broken));
    EXPECT_EQ(text, QString::fromStdU16String(std::u16string(kLoadErrorText)));
    EXPECT_EQ(caption, QString::fromStdU16String(std::u16string(kLoadErrorCaption)));
    EXPECT_EQ(window->state().screen, Screen::Title);
}

TEST_F(ShellTest, SettingsDialogShowsTheOptionsAndAppliesThemOnOk) {
    window->state().options = Options{0, 1, 0, 1, 0};
    Options shown{};
    whenDialogOpens<SettingsDialog>([&](SettingsDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("設定"));
        shown = dialog.chosen();
        EXPECT_TRUE(dialog.gameMode->isChecked());
        EXPECT_FALSE(dialog.studyMode->isChecked());
        dialog.soundEffects->setChecked(true);
        dialog.studyMode->setChecked(true);
        clickOk(dialog);
    });
    window->action(command::kSettings)->trigger();
    EXPECT_EQ(shown, (Options{0, 1, 0, 1, 0}));
    EXPECT_EQ(window->state().options, (Options{1, 1, 0, 1, 1}));
    EXPECT_EQ(readBytes(window->settingsPath()).substr(0, 11), std::string("1,1,0,1,1\r\n"));
}

TEST_F(ShellTest, ClosingTheSettingsDialogCountsAsOk) {
    whenDialogOpens<SettingsDialog>([](SettingsDialog& dialog) {
        dialog.gradualReveal->setChecked(false);
        dialog.close();
    });
    window->action(command::kSettings)->trigger();
    EXPECT_EQ(window->state().options.gradualReveal, 0);
}

TEST_F(ShellTest, PurposeChangeMidGameReturnsToTitleAndKeepsTheFile) {
    const QString quiz = qpath(writeQuiz({4, 4, 4, 4, 4, 4, 4, 4}));
    window->state().options.gradualReveal = 0;
    window->openQuizFile(quiz);
    ASSERT_TRUE(reach(Screen::Answering));
    window->state().score = 90;

    whenDialogOpens<SettingsDialog>([](SettingsDialog& dialog) {
        dialog.studyMode->setChecked(true);
        clickOk(dialog);
    });
    window->action(command::kSettings)->trigger();
    EXPECT_EQ(window->state().screen, Screen::Title);
    EXPECT_EQ(window->state().score, 0);
    EXPECT_EQ(window->state().options.studyMode, 1);
    EXPECT_EQ(QString::fromStdU16String(window->state().quizPath.str()), quiz);
}

TEST_F(ShellTest, TimeLimitSwitchedOffMidQuestionStopsTheClock) {
    window->state().options.gradualReveal = 0;
    window->openQuizFile(qpath(writeQuiz({4, 4, 4, 4, 4, 4, 4, 4})));
    ASSERT_TRUE(reach(Screen::Answering));
    whenDialogOpens<SettingsDialog>([](SettingsDialog& dialog) {
        dialog.timeLimit->setChecked(false);
        clickOk(dialog);
    });
    window->action(command::kSettings)->trigger();
    const int stopped = window->state().timeLeftTicks;
    const int ticks = window->ticksSeen();
    ASSERT_TRUE(waitFor([&] { return window->ticksSeen() >= ticks + 5; }));
    EXPECT_EQ(window->state().timeLeftTicks, stopped);
    EXPECT_EQ(window->state().screen, Screen::Answering);
}

TEST_F(ShellTest, AboutDialogShowsNameAndVersionAndTheGameKeepsTicking) {
    QStringList texts;
    int ticksWhileOpen = 0;
    whenDialogOpens<AboutDialog>([&](AboutDialog& dialog) {
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            texts << label->text();
        }
        const int before = window->ticksSeen();
        waitFor([&] { return window->ticksSeen() >= before + 3; });
        ticksWhileOpen = window->ticksSeen() - before;
        dialog.close();
    });
    window->action(command::kAbout)->trigger();
    EXPECT_EQ(window->findChildren<AboutDialog*>().size(), 0);
    EXPECT_TRUE(texts.contains(QStringLiteral("ポケットペルナ for PocketPC")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Version 1.1")));
    EXPECT_GE(ticksWhileOpen, 3);
}

TEST_F(ShellTest, HighScoreAsksForTheNameOnceAndSavesTheRow) {
    GameState& state = window->state();
    state.score = 300;
    int asked = 0;
    whenDialogOpens<NameDialog>([&](NameDialog& dialog) {
        ++asked;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("名前の入力"));
        dialog.edit->setText(QStringLiteral("テスト"));
        clickOk(dialog);
    });
    setScreen(state, Screen::GameOver);
    // The end screen's paint offers the ranking; a second paint must not ask again.
    static_cast<Host&>(*window).requestRepaint();
    ASSERT_TRUE(waitFor([&] { return state.ranking[0].score == 300; }));
    EXPECT_EQ(state.ranking[0].name, u"テスト");
    static_cast<Host&>(*window).requestRepaint();
    waitFor([] { return false; }, 200);
    EXPECT_EQ(asked, 1);
    EXPECT_NE(readBytes(window->settingsPath()).find("300"), std::string::npos);
}

TEST_F(ShellTest, TapAtTheWindowsScaleLandsOnTheRightRow) {
    window->show();
    // A window a little larger than three times the picture shows it at scale 3, centred.
    window->resize(240 * 3 + 10, 268 * 3 + 6 + window->menuBar()->height());
    window->state().options.gradualReveal = 0;
    window->openQuizFile(qpath(writeQuiz({4, 4, 4, 4, 4, 4, 4, 4})));
    ASSERT_TRUE(reach(Screen::Answering));
    ASSERT_EQ(window->view()->displayScale(), 3);
    // The picture is drawn at the scale it is shown at, not enlarged from another.
    EXPECT_EQ(window->picture().size(), QSize(240 * 3, 268 * 3));

    const QRect picture = window->view()->pictureRect();
    const QPoint row2 = picture.topLeft() + QPoint(120 * 3, 115 * 3);
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, row2);
    EXPECT_EQ(window->state().selection, 2);
    // Just above row 3's band (logical y 135) is the gap between rows: nothing changes.
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, picture.topLeft() + QPoint(120 * 3, 134 * 3));
    EXPECT_EQ(window->state().selection, 2);
    // A right-button click is not a tap.
    QTest::mouseClick(window->view(), Qt::RightButton, {}, picture.topLeft() + QPoint(120 * 3, 150 * 3));
    EXPECT_EQ(window->state().selection, 2);
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, row2);
    EXPECT_EQ(window->state().confirmed, 1);
}

TEST_F(ShellTest, KeysMoveAndConfirmTheHighlight) {
    window->show();
    window->state().options.gradualReveal = 0;
    window->openQuizFile(qpath(writeQuiz({4, 4, 4, 4, 4, 4, 4, 4})));
    ASSERT_TRUE(reach(Screen::Answering));
    QTest::keyClick(window.get(), Qt::Key_Up);
    EXPECT_EQ(window->state().selection, 5);
    QTest::keyClick(window.get(), Qt::Key_Down);
    EXPECT_EQ(window->state().selection, 1);
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(window->state().confirmed, 1);
    ASSERT_TRUE(reach(Screen::Judging));
}

TEST_F(ShellTest, QuitClosesTheWindowWithoutSaving) {
    window->show();
    std::filesystem::remove(window->settingsPath());
    window->action(command::kQuitAccelerator)->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(std::filesystem::exists(window->settingsPath()));
}

}  // namespace
}  // namespace pp::test
