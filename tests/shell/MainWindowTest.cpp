#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>
#include <QTreeView>

#include <fstream>
#include <iterator>

#include "engine/Commands.h"
#include "engine/Messages.h"
#include "persistence/Ranking.h"
#include "persistence/SettingsFile.h"
#include "screens/Layout.h"
#include "screens/Painter.h"
#include "shell/Dialogs.h"
#include "shell/QtSurface.h"
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

// Types `text` as a keyboard or an input method would, one character (or surrogate pair) a key.
void typeText(QWidget* widget, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype units = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString typed = text.mid(i, units);
        i += units - 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, typed);
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

// A menu text without its mnemonic: "開く(&O)..." reads "開く...".
QString withoutMnemonic(QString text) { return text.remove(QRegularExpression(QStringLiteral("\\(&.\\)"))); }

// The item of the window's menus with `text`, found the way a player finds it.
QAction* menuItem(MainWindow& window, const QString& text) {
    for (QAction* menu : window.menuBar()->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            if (withoutMnemonic(item->text()) == text) {
                return item;
            }
        }
    }
    return nullptr;
}

const Options kNoReveal{0, 0, 1, 0, 0};

TEST_F(ShellTest, StartUpCreatesTheSettingsFileBeforeTheFirstTick) {
    const auto settings = settingsPathIn(folder.path());
    ASSERT_TRUE(std::filesystem::exists(settings));
    EXPECT_EQ(std::filesystem::file_size(settings), 51u);
    EXPECT_EQ(state().options, kDefaultOptions);
    EXPECT_EQ(state().screen, Screen::Title);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ポケットペルナ"));
}

TEST_F(ShellTest, TheRealClockTicksEveryFiftyMilliseconds) {
    window = makeWindow(true);
    openQuiz();
    QElapsedTimer clock;
    clock.start();
    // The intro card lasts 25 ticks: about 1.25 seconds, never less than the timer allows.
    ASSERT_TRUE(waitFor([&] { return state().screen == Screen::LoadQuestion; }, 10000));
    EXPECT_GE(clock.elapsed(), 25 * 50 - 100);
}

TEST_F(ShellTest, MenusCarryTheCommandsWithTheirIds) {
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    // Mnemonics let the keyboard reach every command.
    EXPECT_EQ(menus[0]->text(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("ゲーム(&G)"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("ツール(&T)"));
    EXPECT_EQ(menuTexts(menus[1]->menu()), QStringList{QStringLiteral("タイトルに戻る(&T)")});
    EXPECT_EQ(menuTexts(menus[0]->menu()),
              (QStringList{QStringLiteral("開く(&O)..."), QStringLiteral("問題集として保存(&K)..."),
                           QStringLiteral("表として書き出す(&E)..."),
                           QStringLiteral("最近使ったファイル(&R)"), QStringLiteral("-"), QStringLiteral("終了(&X)")}));
    EXPECT_EQ(menuTexts(menus[2]->menu()),
              (QStringList{QStringLiteral("バージョン情報(&A)"), QStringLiteral("設定(&S)..."),
                           QStringLiteral("ランキング表示(&R)..."), QStringLiteral("間違えた問題(&M)..."),
                           QStringLiteral("今日の復習 (0問)"), QStringLiteral("成績(&P)..."),
                           QStringLiteral("-"), QStringLiteral("この対局を保存(&G)..."),
                           QStringLiteral("みんなで遊ぶ(&H)...")}));
    const std::pair<const char16_t*, int> items[] = {{u"開く...", command::kOpen},
                                                     {u"終了", command::kQuit},
                                                     {u"バージョン情報", command::kAbout},
                                                     {u"設定...", command::kSettings},
                                                     {u"ランキング表示...", command::kShowRanking},
                                                     {u"間違えた問題...", command::kMissedQuestions},
                                                     {u"タイトルに戻る", command::kBackToTitle}};
    for (const auto& [text, id] : items) {
        QAction* item = menuItem(*window, QString::fromUtf16(text));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->data().toInt(), id) << QString::fromUtf16(text).toStdString();
        EXPECT_EQ(window->action(id), item);
    }
    EXPECT_EQ(window->action(command::kAbout)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_EQ(window->action(command::kQuitAccelerator)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(window->action(command::kQuit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));  // shown on 終了
    EXPECT_EQ(window->action(command::kOpen)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
}

TEST_F(ShellTest, TheRankingItemIsEnabledOnlyOnTheTitle) {
    QAction* ranking = window->action(command::kShowRanking);
    EXPECT_TRUE(ranking->isEnabled());
    openQuiz();
    EXPECT_FALSE(ranking->isEnabled());
    tick(30);
    EXPECT_FALSE(ranking->isEnabled());
    setOptions(Options{1, 0, 1, 1, 1});  // a new purpose: back on the title
    EXPECT_TRUE(ranking->isEnabled());
    ranking->trigger();
    EXPECT_EQ(state().screen, Screen::Ranking);
    QApplication::processEvents();  // the ranking's paint
    EXPECT_FALSE(ranking->isEnabled());
}

TEST_F(ShellTest, TheFirstWindowFitsTheScreenAtTheLargestWholeScale) {
    const QSize chrome(8, 60);
    // A 1280 x 1024 screen at a desktop scale of 2, less a panel: scale 2 would be too tall.
    EXPECT_EQ(initialWindowScale(QSize(640, 488), chrome), 1);
    EXPECT_EQ(initialWindowScale(QSize(1280, 1000), chrome), 3);
    EXPECT_EQ(initialWindowScale(QSize(3840, 2120), chrome), 7);
    EXPECT_EQ(initialWindowScale(QSize(200, 200), chrome), 1);  // never below 1
}

TEST_F(ShellTest, TheOpenDialogHasAJapaneseTitleAndCanListEveryFile) {
    QString title;
    QStringList filters;
    dialogs.expect<QFileDialog>([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        filters = dialog.nameFilters();
        dialog.reject();
    });
    window->action(command::kOpen)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(title, QStringLiteral("クイズ問題ファイルを開く"));
    ASSERT_EQ(filters.size(), 3);
    const auto patterns = [](const QString& filter) {
        const QString inside = QRegularExpression(QStringLiteral("\\(([^)]*)\\)")).match(filter).captured(1);
        return inside.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    EXPECT_TRUE(QDir::match(patterns(filters[0]), QStringLiteral("quiz.kqd")));
    EXPECT_FALSE(QDir::match(patterns(filters[0]), QStringLiteral("README")));
    for (const char* table : {"quiz.xlsx", "quiz.ods", "quiz.csv", "quiz.tsv"}) {
        EXPECT_TRUE(QDir::match(patterns(filters[0]), QString::fromLatin1(table))) << table;
    }
    EXPECT_TRUE(QDir::match(patterns(filters[2]), QStringLiteral("README")));  // a name without a dot
    EXPECT_TRUE(filters[2].startsWith(QStringLiteral("すべてのファイル")));
}

TEST_F(ShellTest, QtsOwnDialogsSpeakJapanese) {
    QTranslator* translator = loadQtJapanese();
    if (translator == nullptr) {
        GTEST_SKIP() << "Qt's Japanese translation (qtbase_ja.qm, Debian's qt6-translations-l10n) is not installed";
    }
    QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    const QString cancel = buttons.button(QDialogButtonBox::Cancel)->text();
    const QString open = buttons.button(QDialogButtonBox::Open)->text();
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(cancel, QStringLiteral("キャンセル"));
    EXPECT_EQ(open, QStringLiteral("開く"));
}

TEST_F(ShellTest, EachMenuItemRunsItsOwnCommand) {
    menuItem(*window, QStringLiteral("ランキング表示..."))->trigger();
    EXPECT_EQ(state().screen, Screen::Ranking);
    tick();

    bool settingsShown = false;
    dialogs.expect<SettingsDialog>([&](SettingsDialog& dialog) {
        settingsShown = true;
        clickOk(dialog);
    });
    menuItem(*window, QStringLiteral("設定..."))->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_TRUE(settingsShown);

    bool aboutShown = false;
    dialogs.expect<AboutDialog>([&](AboutDialog& dialog) {
        aboutShown = true;
        dialog.close();
    });
    menuItem(*window, QStringLiteral("バージョン情報"))->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_TRUE(aboutShown);

    bool openShown = false;
    dialogs.expect<QFileDialog>([&](QFileDialog& dialog) {
        openShown = true;
        dialog.reject();
    });
    menuItem(*window, QStringLiteral("開く..."))->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_TRUE(openShown);
    EXPECT_EQ(state().screen, Screen::Ranking);  // cancelled: nothing changed

    window->show();
    menuItem(*window, QStringLiteral("終了"))->trigger();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ShellTest, RankingCommandWorksOnlyFromTheTitle) {
    window->action(command::kShowRanking)->trigger();
    EXPECT_EQ(state().screen, Screen::Ranking);

    // A tap turns from the title quiz's own ranking to the overall one, the next to the title.
    window->show();
    EXPECT_TRUE(state().rankingShowsFile);
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, window->view()->pictureRect().center());
    EXPECT_EQ(state().screen, Screen::Ranking);
    EXPECT_FALSE(state().rankingShowsFile);
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, window->view()->pictureRect().center());
    EXPECT_EQ(state().screen, Screen::Title);

    openQuiz();
    ASSERT_EQ(state().screen, Screen::QuestionIntro);
    window->action(command::kShowRanking)->trigger();
    EXPECT_EQ(state().screen, Screen::QuestionIntro);
}

TEST_F(ShellTest, RefusedFileShowsTheLoadErrorAndStaysOnTitle) {
    const std::filesystem::path broken = folder / "broken.kqd";
    writeBytes(broken, "too short");
    QString text;
    QString caption;
    dialogs.expect<QMessageBox>([&](QMessageBox& box) {
        text = box.text();
        caption = box.windowTitle();
        box.accept();
    });
    window->game().open(broken);
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(text.split(QLatin1Char('\n')).constFirst(), QString::fromStdU16String(std::u16string(kLoadErrorText)));
    EXPECT_TRUE(text.contains(QStringLiteral("broken.kqd")));
    EXPECT_EQ(caption, QString::fromStdU16String(std::u16string(kLoadErrorCaption)));
    EXPECT_EQ(state().screen, Screen::Title);
}

TEST_F(ShellTest, SettingsDialogShowsTheOptionsAndAppliesThemOnOk) {
    setOptions(Options{0, 1, 0, 1, 0});
    Options shown{};
    dialogs.expect<SettingsDialog>([&](SettingsDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("設定"));
        shown = dialog.chosen();
        EXPECT_TRUE(dialog.gameMode->isChecked());
        EXPECT_FALSE(dialog.studyMode->isChecked());
        dialog.soundEffects->setChecked(true);
        dialog.studyMode->setChecked(true);
        clickOk(dialog);
    });
    window->action(command::kSettings)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(shown, (Options{0, 1, 0, 1, 0}));
    EXPECT_EQ(state().options, (Options{1, 1, 0, 1, 1}));
    EXPECT_EQ(readBytes(settingsPathIn(folder.path())).substr(0, 11), std::string("1,1,0,1,1\r\n"));
}

TEST_F(ShellTest, CancelEscapeAndTheCloseButtonChangeNothing) {
    // A save would bring the settings file back.
    std::filesystem::remove(settingsPathIn(folder.path()));
    const std::vector<std::function<void(SettingsDialog&)>> leaveWays = {
        [](SettingsDialog& dialog) { dialog.findChild<QPushButton*>(QStringLiteral("cancel"))->click(); },
        [](SettingsDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [](SettingsDialog& dialog) { dialog.close(); },
    };
    for (const auto& leave : leaveWays) {
        QString cancelText;
        dialogs.expect<SettingsDialog>([&](SettingsDialog& dialog) {
            cancelText = dialog.findChild<QPushButton*>(QStringLiteral("cancel"))->text();
            dialog.gradualReveal->setChecked(false);
            dialog.studyMode->setChecked(true);
            leave(dialog);
        });
        window->action(command::kSettings)->trigger();
        ASSERT_TRUE(dialogs.answered());
        EXPECT_EQ(cancelText, QStringLiteral("キャンセル"));
        EXPECT_EQ(state().options, kDefaultOptions);
        QTest::qWait(50);  // lets the watch see the dialog gone: the next one may reuse its address
    }
    EXPECT_FALSE(std::filesystem::exists(settingsPathIn(folder.path())));
}

TEST_F(ShellTest, TheNameDialogKeepsOnlyWhatTheSettingsFileCanHold) {
    NameDialog dialog(window.get());
    dialog.show();
    // Pasted: cut to ten units, then the accented letter and the emoji dropped.
    dialog.edit->insert(QStringLiteral("émoji😀テスト12345"));
    EXPECT_EQ(dialog.name(), QStringLiteral("mojiテスト"));
    dialog.edit->clear();
    typeText(dialog.edit, QStringLiteral("a,b😀cdefghijklm"));  // the comma is the file's separator
    EXPECT_EQ(dialog.name(), QStringLiteral("abcdefghij"));
    dialog.edit->clear();
    typeText(dialog.edit, QStringLiteral("ＡＢＣ髙①㈱ﾃｽﾄ"));  // full-width, NEC and IBM extensions, half-width kana
    EXPECT_EQ(dialog.name(), QStringLiteral("ＡＢＣ髙①㈱ﾃｽﾄ"));

    // What the dialog shows is what comes back after a save and a restart.
    GameState state;
    state.score = 500;
    enterRanking(state, dialog.name().toStdU16String());
    saveSettings(state, settingsPathIn(folder.path()));
    GameState restarted;
    loadSettings(restarted, settingsPathIn(folder.path()));
    EXPECT_EQ(QString::fromStdU16String(restarted.ranking[0].name.str()), dialog.name());
    dialog.accept();
}

TEST_F(ShellTest, KeysPressedForTheGameDoNotConfirmTheNameDialog) {
    const auto returnPress = [](QWidget* to, bool autoRepeat) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), autoRepeat);
        QApplication::sendEvent(to, &press);
    };
    NameDialog dialog(window.get());
    dialog.show();
    returnPress(dialog.edit, true);  // a Return held down in the game, repeating
    QTest::keyPress(dialog.edit, Qt::Key_Return);  // one already on its way when the dialog appeared
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyRelease(dialog.edit, Qt::Key_Return);
    returnPress(dialog.edit, true);  // an auto-repeat never confirms
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(dialog.edit, Qt::Key_Return);  // pressed afresh
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // Without a key let go, a press confirms once the guard time has passed.
    NameDialog later(window.get());
    later.show();
    QTest::qWait(NameDialog::kGuardMs + 50);
    QTest::keyPress(later.edit, Qt::Key_Return);
    EXPECT_FALSE(later.isVisible());
}

TEST_F(ShellTest, PurposeChangeMidGameReturnsToTitleAndKeepsTheFile) {
    setOptions(kNoReveal);
    openQuiz();
    ASSERT_TRUE(reach(Screen::Answering));
    window->game().key(0x26);  // up: the fifth row
    window->game().key(0x0D);
    ASSERT_TRUE(reach(Screen::QuestionIntro));

    dialogs.expect<SettingsDialog>([](SettingsDialog& dialog) {
        dialog.studyMode->setChecked(true);
        clickOk(dialog);
    });
    window->action(command::kSettings)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(state().screen, Screen::Title);
    EXPECT_EQ(state().questionIndex, 0);
    EXPECT_EQ(state().options.studyMode, 1);
    EXPECT_EQ(state().quizPath, (folder / "quiz.kqd").u16string());
}

TEST_F(ShellTest, TimeLimitSwitchedOffMidQuestionStopsTheClock) {
    setOptions(kNoReveal);
    openQuiz();
    ASSERT_TRUE(reach(Screen::Answering));
    tick(3);
    dialogs.expect<SettingsDialog>([](SettingsDialog& dialog) {
        dialog.timeLimit->setChecked(false);
        clickOk(dialog);
    });
    window->action(command::kSettings)->trigger();
    ASSERT_TRUE(dialogs.answered());
    const int stopped = state().timeLeftTicks;
    tick(300);
    EXPECT_EQ(state().timeLeftTicks, stopped);
    EXPECT_EQ(state().screen, Screen::Answering);
}

TEST_F(ShellTest, AboutDialogShowsNameAndVersion) {
    QStringList texts;
    dialogs.expect<AboutDialog>([&](AboutDialog& dialog) {
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            texts << label->text();
        }
        dialog.close();
    });
    window->action(command::kAbout)->trigger();
    ASSERT_TRUE(dialogs.answered());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // a closed dialog goes
    EXPECT_EQ(window->findChildren<AboutDialog*>().size(), 0);
    EXPECT_TRUE(texts.contains(QStringLiteral("ポケットペルナ for Linux")));
    // The version CMake sets for the whole project, not one of the program's own.
    EXPECT_TRUE(texts.contains(QStringLiteral("Version " PERNA_PROJECT_VERSION)));
}

TEST_F(ShellTest, HighScoreAsksForTheNameOnceAndSavesTheRow) {
    setOptions(kNoReveal);
    openQuiz();
    int asked = 0;
    dialogs.expect<NameDialog>([&](NameDialog& dialog) {
        ++asked;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("名前の入力"));
        dialog.edit->setText(QStringLiteral("テスト"));
        clickOk(dialog);
    });
    // One right answer, then seven misses: the game ends on its first level with 90 points.
    for (int question = 0; question < kQuestionsPerLevel; ++question) {
        ASSERT_TRUE(reach(Screen::Answering));
        const int right = state().correctPosition + 1;
        const int row = question == 0 ? right : (right == 1 ? 2 : 1);
        window->game().tap(layout::choiceRowMiddle(row).x, layout::choiceRowMiddle(row).y);
        window->game().tap(layout::choiceRowMiddle(row).x, layout::choiceRowMiddle(row).y);
        tick();
    }
    ASSERT_TRUE(reach(Screen::GameOver));
    ASSERT_TRUE(waitFor([&] { return asked == 1; }));
    EXPECT_EQ(state().ranking[0].name, u"テスト");
    EXPECT_EQ(state().ranking[0].score, 90);
    // Painted again at another size: the name is not asked again.
    window->show();
    window->resize(240 * 3, 268 * 3 + window->menuBar()->height());
    tick(5);
    EXPECT_EQ(asked, 1);
    GameState saved;
    loadSettings(saved, settingsPathIn(folder.path()));
    EXPECT_EQ(saved.ranking[0].name, u"テスト");
}

TEST_F(ShellTest, TapsLandOnTheRowsOfAPictureCentredInAWideWindow) {
    window->show();
    // Far wider than three times the picture: it is shown at scale 3 with a wide surround.
    window->resize(240 * 3 + 400, 268 * 3 + 6 + window->menuBar()->height());
    setOptions(kNoReveal);
    openQuiz();
    ASSERT_TRUE(reach(Screen::Answering));
    ASSERT_EQ(window->view()->displayScale(), 3);
    EXPECT_EQ(window->picture().size(), QSize(240 * 3, 268 * 3));

    const QPoint origin = window->view()->pictureRect().topLeft();
    ASSERT_GE(origin.x(), 200);
    const auto at = [&](int x, int y) { return origin + QPoint(x * 3 + 1, y * 3 + 1); };
    // Near the right end of row 2, then in the surround beside it.
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, at(233, 115));
    EXPECT_EQ(state().selection, 2);
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, QPoint(origin.x() - 10, at(0, 150).y()));
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, QPoint(origin.x() + 240 * 3 + 10, at(0, 150).y()));
    EXPECT_EQ(state().selection, 2);
    // Just above row 3's band (logical y 135) is the gap between rows: nothing changes.
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, at(120, 134));
    EXPECT_EQ(state().selection, 2);
    // A right-button click is not a tap.
    QTest::mouseClick(window->view(), Qt::RightButton, {}, at(120, 150));
    EXPECT_EQ(state().selection, 2);
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, at(20, 115));
    EXPECT_EQ(state().confirmed, 1);
}

TEST_F(ShellTest, TapsLandOnTheRowsOfAPictureCentredInATallWindow) {
    window->show();
    // Far taller than twice the picture: scale 2 with a surround above and below.
    window->resize(240 * 2, 268 * 2 + 400 + window->menuBar()->height());
    setOptions(kNoReveal);
    openQuiz();
    ASSERT_TRUE(reach(Screen::Answering));
    ASSERT_EQ(window->view()->displayScale(), 2);
    const QPoint origin = window->view()->pictureRect().topLeft();
    ASSERT_GE(origin.y(), 150);
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, origin + QPoint(120 * 2, 115 * 2));
    EXPECT_EQ(state().selection, 2);
}

TEST_F(ShellTest, UpDownMoveTheHighlightAndReturnEnterOrSpaceConfirmIt) {
    window->show();
    setOptions(kNoReveal);
    openQuiz();
    for (const Qt::Key confirm : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        ASSERT_TRUE(reach(Screen::Answering));
        QTest::keyClick(window.get(), Qt::Key_Up);
        EXPECT_EQ(state().selection, 5);
        QTest::keyClick(window.get(), Qt::Key_Down);
        EXPECT_EQ(state().selection, 1);
        QTest::keyClick(window.get(), confirm);
        EXPECT_EQ(state().confirmed, 1) << confirm;
        ASSERT_TRUE(reach(Screen::QuestionIntro));
    }
}

// What the window played, keys by the browser's names, as a script quiz-replay reads; the save
// itself is the window's own and leaves no line.
TEST_F(ShellTest, TheRecordingHoldsTheSeedTheFileAndTheKeys) {
    window->show();
    setOptions(kNoReveal);
    openQuiz();
    ASSERT_TRUE(reach(Screen::Answering));
    QTest::keyClick(window.get(), Qt::Key_Down);
    QTest::keyClick(window.get(), Qt::Key_3);
    const std::filesystem::path file = folder / "played.script";
    ASSERT_TRUE(window->saveRecording(file));
    std::ifstream in(file);
    const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(script.find("\nseed 7\n"), std::string::npos) << script;
    EXPECT_NE(script.find("\nsettings sound=0 correct=0 limit=1 reveal=0 study=0 norepeat=1\nopen " +
                          (folder / "quiz.kqd").string() + "\n# t=0 QuestionIntro"),
              std::string::npos)
        << script;
    EXPECT_TRUE(script.ends_with("\nkey ArrowDown\nkey 3\n")) << script;
    EXPECT_FALSE(window->saveRecording(folder / "quiz.kqd" / "under-a-file.script"));
}

TEST_F(ShellTest, APaintAtAnotherScaleDrawsTheSamePicture) {
    window->show();
    setOptions(kNoReveal);
    openQuiz();
    ASSERT_TRUE(reach(Screen::Answering));
    window->game().tap(layout::choiceRowMiddle(3).x, layout::choiceRowMiddle(3).y);
    window->game().tap(layout::choiceRowMiddle(3).x, layout::choiceRowMiddle(3).y);
    ASSERT_TRUE(reach(Screen::Judging));
    for (int scale : {3, 1, 2}) {
        window->resize(240 * scale, 268 * scale + window->menuBar()->height());
        ASSERT_TRUE(waitFor([&] { return window->view()->displayScale() == scale; })) << scale;
        QtSurface fresh(scale);
        fresh.beginPaint();
        paintScreen(state(), fresh);
        fresh.endPaint();
        EXPECT_EQ(window->picture(), fresh.image()) << "scale " << scale;
    }
}

TEST_F(ShellTest, QuitClosesTheWindowWithoutSaving) {
    window->show();
    std::filesystem::remove(settingsPathIn(folder.path()));
    window->action(command::kQuitAccelerator)->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(std::filesystem::exists(settingsPathIn(folder.path())));
}

TEST_F(ShellTest, RecentFilesOpenBesideTheFileMenuNotOverIt) {
    const std::filesystem::path deep = folder / std::string(60, 'a') / std::string(60, 'b');
    std::filesystem::create_directories(deep);
    writeBytes(deep / "quiz.kqd", quizBytes(labelledQuiz({4, 4, 4, 4, 4, 4, 4, 4})));
    window->game().open(deep / "quiz.kqd");
    QApplication::processEvents();
    QMenu* file = window->menuBar()->actions().constFirst()->menu();
    QMenu* recent = window->recentFilesMenu();
    ASSERT_TRUE(recent->isEnabled());
    // A file menu in the middle of the screen: little room on either side.
    const QRect area = window->screen()->availableGeometry();
    file->popup(QPoint(area.center().x() - file->sizeHint().width() / 2, area.top() + 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    file->setActiveAction(recent->menuAction());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(recent));
    // Beside it: at most the frame's pixel or two shared, as every submenu does.
    EXPECT_LE(recent->geometry().intersected(file->geometry()).width(), 2);
    EXPECT_TRUE(recent->actions().constFirst()->toolTip().endsWith(QStringLiteral("/quiz.kqd")));
    file->close();
}

TEST_F(ShellTest, TheOpenDialogShowsNamesAndSizesWhole) {
    const std::string name = "世界の地理.kqd";
    writeBytes(folder / name, std::string(5000, 'x'));
    bool checked = false;
    dialogs.expect<QFileDialog>([&](QFileDialog& dialog) {
        auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        dialog.selectNameFilter(dialog.nameFilters().constLast());
        dialog.setViewMode(QFileDialog::Detail);
        QModelIndex row;
        (void)QTest::qWaitFor([&] {
            const auto found = details->model()->match(details->model()->index(0, 0, details->rootIndex()),
                                                       Qt::DisplayRole, QString::fromStdString(name));
            row = found.isEmpty() ? QModelIndex{} : found.constFirst();
            return row.isValid();
        });
        QApplication::processEvents();
        if (row.isValid()) {
            checked = true;
            const QFontMetrics metrics = details->fontMetrics();
            const QString size = row.siblingAtColumn(1).data().toString();
            EXPECT_GT(details->columnWidth(0), metrics.horizontalAdvance(row.data().toString()));
            EXPECT_GT(details->columnWidth(1), metrics.horizontalAdvance(size)) << size.toStdString();
        }
        dialog.reject();
    });
    window->action(command::kOpen)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_TRUE(checked);
}

// The shared game from the window's own menu: the lobby shows the PIN and a join address, and
// its 終了 ends the game. Found by title and texts, however the lobby's code is loaded.
TEST_F(ShellTest, TheToolsMenuOpensASharedGameThatTheHostEnds) {
    openQuiz();
    QAction* item = menuItem(*window, QStringLiteral("みんなで遊ぶ..."));
    ASSERT_NE(item, nullptr);
    item->trigger();
    QWidget* lobby = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->windowTitle() == QStringLiteral("みんなで遊ぶ - ポケットペルナ")) {
                lobby = widget;
            }
        }
        return lobby != nullptr;
    }));
    QStringList texts;
    for (QLabel* label : lobby->findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_EQ(texts.filter(QRegularExpression(QStringLiteral("^PIN \\d{6}$"))).size(), 1) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.filter(QRegularExpression(QStringLiteral("^http://[^/]+:\\d+/$"))).size(), 1) << texts.join(u'|').toStdString();
    QPushButton* start = nullptr;
    QPushButton* end = nullptr;
    for (QPushButton* button : lobby->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("開始")) {
            start = button;
        } else if (button->text() == QStringLiteral("終了")) {
            end = button;
        }
    }
    ASSERT_TRUE(start != nullptr && end != nullptr);
    EXPECT_TRUE(texts.contains(QStringLiteral("参加者 0 人")));
    EXPECT_TRUE(start->isEnabled());
    end->click();
    ASSERT_TRUE(waitFor([&] { return !end->isEnabled(); }));
    EXPECT_FALSE(start->isEnabled());
    lobby->close();
}

}  // namespace
}  // namespace pp::test
