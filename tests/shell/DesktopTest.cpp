// What the desktop window adds to the handheld: the missed-questions dialog, number keys, game
// pads, the pause, starting again from the title, recent files, the remembered window and fonts.

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPaintEngine>
#include <QPushButton>
#include <QSignalSpy>
#include <QRadioButton>
#include <QStyle>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

#include <SDL.h>

#include "engine/Commands.h"
#include "persistence/SettingsFile.h"
#include "shell/DesktopOptions.h"
#include "shell/Dialogs.h"
#include "shell/GamePad.h"
#include "shell/ReviewDialog.h"
#include "shell/ScreenView.h"
#include "ShellFixture.h"

namespace pp::test {
namespace {

const Options kStudyNoReveal{0, 0, 1, 0, 1};

// The display row showing stored choice `stored`.
int rowOf(const GameState& state, int stored) {
    for (int p = 0; p < kChoiceCount; ++p) {
        if (state.choiceOrder[static_cast<std::size_t>(p)] == stored) {
            return p + 1;
        }
    }
    return 0;
}

class DesktopTest : public ShellTest {
protected:
    // A study run over eight genres of one question, played through the keyboard's number keys:
    // questions 2, 5 and 6 answered with stored choice 2, question 6 by the keypad; the rest right.
    void playStudyRunWithThreeMisses() {
        setOptions(kStudyNoReveal);
        dialogs.expect<NameDialog>([](NameDialog& dialog) { dialog.accept(); });  // the empty ranking
        window->game().open(writeQuiz({1, 1, 1, 1, 1, 1, 1, 1}));
        for (int question = 0; question < kGenreCount; ++question) {
            ASSERT_TRUE(reach(Screen::Answering));
            const bool miss = question == 2 || question == 5 || question == 6;
            const int row = rowOf(state(), miss ? 2 : 0);
            QTest::keyClick(window.get(), static_cast<Qt::Key>(Qt::Key_1 + row - 1),
                            question == 6 ? Qt::KeypadModifier : Qt::NoModifier);
            ASSERT_EQ(state().confirmed, 1) << question;
            ASSERT_EQ(state().selection, row);
            tick();
        }
        ASSERT_TRUE(reach(Screen::GameOver));
        ASSERT_TRUE(dialogs.answered());
    }

    void showActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(waitFor([&] { return window->isActiveWindow(); }));
    }

    // Runs the window's clock `n` times, as its timer does.
    void clockTicks(int n) {
        for (int i = 0; i < n; ++i) {
            window->clockTick();
            QApplication::processEvents();
        }
    }
};

TEST_F(DesktopTest, TheMissedQuestionsDialogListsTheMissesAndStartsTheirReview) {
    QAction* missed = window->action(command::kMissedQuestions);
    EXPECT_FALSE(missed->isEnabled());
    playStudyRunWithThreeMisses();
    ASSERT_TRUE(missed->isEnabled());

    QStringList cells;
    QString tooltip;
    dialogs.expect<ReviewDialog>([&](ReviewDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("間違えた問題"));
        for (int r = 0; r < dialog.table->rowCount(); ++r) {
            for (int c = 0; c < dialog.table->columnCount(); ++c) {
                cells << dialog.table->item(r, c)->text();
            }
        }
        tooltip = dialog.table->item(0, 1)->toolTip();
        EXPECT_LE(dialog.width(), window->width());  // never hides the game's window
        EXPECT_EQ(dialog.reviewButton->text(), QStringLiteral("この問題で復習する"));
        EXPECT_EQ(dialog.closeButton->text(), QStringLiteral("閉じる"));
        dialog.closeButton->click();
    });
    missed->trigger();
    ASSERT_TRUE(dialogs.answered());
    ASSERT_EQ(cells.size(), 12);
    EXPECT_EQ(cells.mid(0, 4), (QStringList{QStringLiteral("ジャンル2"), QStringLiteral("問2-0"),
                                            QStringLiteral("誤2-0-2"), QStringLiteral("正2-0-0")}));
    EXPECT_EQ(cells[4], QStringLiteral("ジャンル5"));
    EXPECT_EQ(cells[8], QStringLiteral("ジャンル6"));
    EXPECT_EQ(tooltip, QStringLiteral("問2-0"));
    EXPECT_EQ(state().screen, Screen::GameOver);  // closed: nothing changed
    QTest::qWait(50);  // lets the watch see the dialog gone: the next one may reuse its address

    dialogs.expect<ReviewDialog>([](ReviewDialog& dialog) { dialog.reviewButton->click(); });
    missed->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(state().screen, Screen::QuestionIntro);
    EXPECT_EQ(state().reviewQuestions, (std::vector<std::int32_t>{2, 5, 6}));
    ASSERT_TRUE(reach(Screen::Answering));
    EXPECT_EQ(state().questionText.view(), u"問2-0");
}

// The choice rows' grey-blue pixels the view shows over the picture's place.
int visibleRowPixels(ScreenView& view) {
    const QImage shown = view.grab(view.pictureRect()).toImage();
    int count = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            count += (shown.pixel(x, y) & 0xFFFFFF) == 0x9696C8 ? 1 : 0;
        }
    }
    return count;
}

TEST_F(DesktopTest, AMinimisedWindowPaintsNothingAndItsClockRunsOnWithThePauseOff) {
    window.reset();
    DesktopOptions(qpath(folder / "desktop.conf")).setPauseWhenInactive(false);
    window = makeWindow(true);  // on its own 50 ms timer
    setOptions(Options{0, 0, 1, 0, 0});
    window->show();
    window->showMinimized();
    const QImage title = window->picture();
    openQuiz();
    ASSERT_TRUE(waitFor([&] { return state().screen == Screen::Answering; }, 5000));
    EXPECT_EQ(window->picture(), title);
    window->showNormal();
    EXPECT_TRUE(waitFor([&] { return window->picture() != title; }));
}

TEST_F(DesktopTest, TheClockStopsBehindDialogsAndMenusAndWhileTheWindowIsInactive) {
    // On the title nothing waits on the clock: an inactive window shows it unveiled.
    QWidget front;
    window->show();
    front.show();
    front.activateWindow();
    ASSERT_TRUE(waitFor([&] { return front.isActiveWindow(); }));
    clockTicks(1);
    EXPECT_FALSE(window->view()->paused());
    front.hide();

    showActive();
    setOptions(Options{0, 0, 1, 0, 0});
    openQuiz();
    ASSERT_TRUE(reach(Screen::Answering));
    clockTicks(3);
    const int before = state().tickCount;
    EXPECT_EQ(before, 3);
    EXPECT_FALSE(window->view()->paused());

    // A dialog of ours: the question no longer times out behind it.
    const QImage picture = window->picture();
    int duringDialog = -1;
    bool veiled = false;
    dialogs.expect<AboutDialog>([&](AboutDialog& dialog) {
        clockTicks(250);
        duringDialog = state().tickCount;
        veiled = window->view()->paused();
        dialog.accept();
    });
    window->action(command::kAbout)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(duringDialog, before);
    EXPECT_TRUE(veiled);
    EXPECT_EQ(window->picture(), picture);  // the veil is the view's: the picture is kept whole

    // A menu open over the window.
    ASSERT_TRUE(waitFor([&] { return window->isActiveWindow(); }));
    QMenu* tools = nullptr;
    for (QAction* entry : window->menuBar()->actions()) {
        if (entry->text().startsWith(QStringLiteral("ツール"))) {
            tools = entry->menu();
        }
    }
    tools->popup(window->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(waitFor([&] { return QApplication::activePopupWidget() == tools; }));
    clockTicks(5);
    EXPECT_EQ(state().tickCount, before);
    tools->close();

    // Another window active.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitFor([&] { return other.isActiveWindow(); }));
    clockTicks(5);
    EXPECT_EQ(state().tickCount, before);
    EXPECT_TRUE(window->view()->paused());
    EXPECT_EQ(visibleRowPixels(*window->view()), 0);  // the veil hides the choices, not only dims them

    // Back in front, the clock goes on; minimised, it stops again.
    showActive();
    clockTicks(2);
    EXPECT_EQ(state().tickCount, before + 2);
    EXPECT_FALSE(window->view()->paused());
    EXPECT_GT(visibleRowPixels(*window->view()), 0);
    window->showMinimized();
    ASSERT_TRUE(waitFor([&] { return window->isMinimized(); }));
    clockTicks(5);
    EXPECT_EQ(state().tickCount, before + 2);
}

TEST_F(DesktopTest, WithThePauseTurnedOffTheGameRunsOnAsTheHandheldDid) {
    dialogs.expect<SettingsDialog>([](SettingsDialog& dialog) {
        EXPECT_TRUE(dialog.pauseWhenInactive->isChecked());  // on by default
        EXPECT_EQ(dialog.pauseWhenInactive->text(), QStringLiteral("ウィンドウが非アクティブのときは一時停止する"));
        dialog.pauseWhenInactive->setChecked(false);
        EXPECT_TRUE(dialog.noRepeats->isChecked());
        EXPECT_EQ(dialog.noRepeats->text(), QStringLiteral("同じ問題を出さない"));
        dialog.noRepeats->setChecked(false);
        dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });
    EXPECT_TRUE(state().noRepeats);  // on by default
    window->action(command::kSettings)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_FALSE(window->desktopOptions().pauseWhenInactive());
    EXPECT_FALSE(state().noRepeats);

    showActive();
    setOptions(Options{0, 0, 1, 0, 0});
    openQuiz();
    ASSERT_TRUE(reach(Screen::Answering));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitFor([&] { return other.isActiveWindow(); }));
    const int before = state().tickCount;
    clockTicks(5);
    EXPECT_EQ(state().tickCount, before + 5);
    EXPECT_FALSE(window->view()->paused());

    // Kept across a restart, apart from the settings file.
    window = makeWindow();
    EXPECT_FALSE(window->desktopOptions().pauseWhenInactive());
    EXPECT_FALSE(state().noRepeats);
    EXPECT_EQ(readBytes(settingsPathIn(folder.path())).substr(0, 11), std::string("0,0,1,0,0\r\n"));
}

// SDL is loaded only once the kernel lists a pad: by its joystick handler or its pad buttons, not
// a keyboard's or a mouse's keys.
TEST(GamePadListing, FindsPadsByHandlerOrButtons) {
    const std::string keyboard =
        "I: Bus=0011 Vendor=0001 Product=0001 Version=ab41\nN: Name=\"AT Translated Set 2 keyboard\"\n"
        "H: Handlers=sysrq kbd event0 leds\nB: EV=120013\n"
        "B: KEY=402000000 3803078f800d001 feffffdfffefffff fffffffffffffffe\n\n";
    const std::string mouse = "N: Name=\"Mouse\"\nH: Handlers=mouse0 event1\nB: KEY=1f0000 0 0 0 0\n\n";
    EXPECT_FALSE(GamePad::listsGamePad(""));
    EXPECT_FALSE(GamePad::listsGamePad(keyboard + mouse));
    EXPECT_TRUE(GamePad::listsGamePad(keyboard + "N: Name=\"Pad\"\nH: Handlers=event5 js0\n"));
    // A pad whose joystick handler is not loaded: BTN_SOUTH among its keys.
    EXPECT_TRUE(GamePad::listsGamePad(mouse + "N: Name=\"Pad\"\nH: Handlers=event6\nB: KEY=7fdb000000000000 0 0 0 0\n"));
}

TEST_F(DesktopTest, AVirtualPadAnswersAQuestion) {
    ShellConfig config = testConfig();
    config.gamePad = true;
    window = makeWindow(config);
    GamePad* pad = window->gamePad();
    ASSERT_NE(pad, nullptr);
    if (!pad->start()) {
        GTEST_SKIP() << "SDL's game-controller support did not start: " << SDL_GetError();
    }
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "test pad";
    const int device = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(device, 0) << SDL_GetError();
    SDL_Joystick* joystick = SDL_JoystickOpen(device);
    ASSERT_NE(joystick, nullptr);
    ASSERT_TRUE(waitFor([&] { return pad->controllerCount() == 1; }));

    const auto press = [&](SDL_GameControllerButton button) {
        SDL_JoystickSetVirtualButton(joystick, button, 1);
        pad->poll();
        SDL_JoystickSetVirtualButton(joystick, button, 0);
        pad->poll();
    };
    const auto lean = [&](int value) {
        SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, static_cast<Sint16>(value));
        pad->poll();
    };

    // On the title, A starts again on the file opened last.
    setOptions(Options{0, 0, 1, 0, 0});
    openQuiz();
    setOptions(Options{0, 0, 1, 0, 1});
    ASSERT_EQ(state().screen, Screen::Title);
    press(SDL_CONTROLLER_BUTTON_A);
    ASSERT_EQ(state().screen, Screen::QuestionIntro);

    ASSERT_TRUE(reach(Screen::Answering));
    press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    EXPECT_EQ(state().selection, 2);
    press(SDL_CONTROLLER_BUTTON_DPAD_UP);
    EXPECT_EQ(state().selection, 1);
    // The stick: one step per lean, none for a lean inside the dead zone or held.
    lean(GamePad::kStickPress / 2);
    lean(32767);
    lean(30000);
    EXPECT_EQ(state().selection, 2);
    lean(0);
    lean(32767);
    EXPECT_EQ(state().selection, 3);
    lean(-32768);  // straight over to the other side
    EXPECT_EQ(state().selection, 2);
    lean(0);
    press(SDL_CONTROLLER_BUTTON_B);  // not mapped
    EXPECT_EQ(state().confirmed, 0);
    press(SDL_CONTROLLER_BUTTON_A);
    EXPECT_EQ(state().confirmed, 1);
    tick();
    EXPECT_EQ(state().screen, Screen::Judging);

    // In a dialog, A does what Return does there.
    bool closedByPad = false;
    dialogs.expect<AboutDialog>([&](AboutDialog& dialog) {
        press(SDL_CONTROLLER_BUTTON_A);
        closedByPad = !dialog.isVisible();
        dialog.accept();
    });
    window->action(command::kAbout)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_TRUE(closedByPad);

    SDL_JoystickClose(joystick);
    SDL_JoystickDetachVirtual(device);
    EXPECT_TRUE(waitFor([&] { return pad->controllerCount() == 0; }));
}

TEST_F(DesktopTest, RecentFilesReturnOnTheTitleAndTheMissedListOutliveARestart) {
    const auto first = writeQuiz({1, 1, 1, 1, 1, 1, 1, 1});
    const auto second = folder / "second.kqd";
    std::filesystem::copy_file(first, second);
    playStudyRunWithThreeMisses();  // on quiz.kqd
    window->game().setAskBeforeOpening(false);  // the handheld's way: each file opens at once
    window->game().open(second);
    window->game().open(first);

    window = makeWindow();  // a restart
    QMenu* recent = window->recentFilesMenu();
    ASSERT_TRUE(recent->isEnabled());
    QStringList texts;
    QStringList paths;  // whole in the tooltips; the texts may be cut in the middle
    for (QAction* item : recent->actions()) {
        texts << item->text().left(3);
        paths << item->toolTip();
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("&1 "), QStringLiteral("&2 ")}));
    EXPECT_EQ(paths, (QStringList{qpath(first), qpath(second)}));
    EXPECT_TRUE(window->action(command::kMissedQuestions)->isEnabled());  // yesterday's mistakes
    EXPECT_EQ(window->game().missedQuestions(), (std::vector<std::int32_t>{2, 5, 6}));

    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(state().screen, Screen::QuestionIntro);
    EXPECT_EQ(state().quizPath, first);

    // A recent file gone since: the load error, the game goes on, the entry goes.
    std::filesystem::remove(second);
    const std::uint32_t entry = state().screenEntry;
    dialogs.expect<QMessageBox>([](QMessageBox& box) { box.accept(); });
    window->recentFilesMenu()->actions()[1]->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(state().screenEntry, entry);
    ASSERT_EQ(window->recentFilesMenu()->actions().size(), 1);
    EXPECT_EQ(window->desktopOptions().recentFiles(), (std::vector<std::filesystem::path>{first}));
}

// Drags `data` onto the middle of the view and drops it: true when the view took the drag.
bool dropOn(ScreenView& view, const QMimeData& data) {
    const QPoint middle = view.rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &drop);
    return drop.isAccepted();
}

TEST_F(DesktopTest, AFileDroppedOnTheWindowOpensLikeTheOpenCommand) {
    const auto quiz = writeQuiz({1, 1, 1, 1, 1, 1, 1, 1});
    QMimeData text;
    text.setText(qpath(quiz));
    EXPECT_FALSE(dropOn(*window->view(), text));  // a path as text is no file
    EXPECT_EQ(state().screen, Screen::Title);

    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(qpath(quiz))});
    ASSERT_TRUE(dropOn(*window->view(), file));
    EXPECT_EQ(state().screen, Screen::QuestionIntro);
    EXPECT_EQ(state().quizPath, quiz);
    EXPECT_EQ(window->desktopOptions().recentFiles().front(), quiz);

    // Whatever the open dialog would take is tried, and refused as there.
    dialogs.expect<QMessageBox>([](QMessageBox& box) { box.accept(); });
    file.setUrls({QUrl::fromLocalFile(qpath(folder.path()))});
    ASSERT_TRUE(dropOn(*window->view(), file));
    ASSERT_TRUE(dialogs.answered());
    EXPECT_EQ(state().quizPath, quiz);
}

TEST_F(DesktopTest, TheRecentListHoldsTheEightNewestFiles) {
    DesktopOptions options(qpath(folder / "recent.conf"));
    for (int i = 0; i < 10; ++i) {
        options.addRecentFile(folder / ("q" + std::to_string(i) + ".kqd"));
    }
    options.addRecentFile(folder / "q5.kqd");  // again: to the front, not twice
    const auto files = options.recentFiles();
    ASSERT_EQ(files.size(), 8u);
    EXPECT_EQ(files[0], folder / "q5.kqd");
    EXPECT_EQ(files[1], folder / "q9.kqd");
    EXPECT_EQ(files[7], folder / "q2.kqd");
}

// A store the game cannot use is never written: a folder at its path stays a folder, and a copy
// that saves nothing (another holds the settings folder) leaves a good store as it was.
TEST_F(DesktopTest, TheOptionsStoreIsWrittenOnlyWhereItMayBe) {
    std::filesystem::create_directory(folder / "folder.conf");
    {
        DesktopOptions options(qpath(folder / "folder.conf"));
        EXPECT_FALSE(options.notice().isEmpty());
        options.addRecentFile(folder / "q.kqd");
        EXPECT_EQ(options.recentFiles().size(), 1u);  // kept for this run
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder / "folder.conf"));
    {
        DesktopOptions options(qpath(folder / "good.conf"));
        options.addRecentFile(folder / "kept.kqd");
    }
    const std::string before = test::readBytes(folder / "good.conf");
    {
        DesktopOptions options(qpath(folder / "good.conf"), false);
        EXPECT_EQ(options.recentFiles(), std::vector<std::filesystem::path>{folder / "kept.kqd"});
        options.addRecentFile(folder / "other.kqd");
        EXPECT_TRUE(options.notice().isEmpty());
    }
    EXPECT_EQ(test::readBytes(folder / "good.conf"), before);
    // One byte past 1 MiB is kept aside unread, and the player told.
    test::writeBytes(folder / "huge.conf", std::string((1 << 20) + 1, '\n'));
    EXPECT_FALSE(DesktopOptions(qpath(folder / "huge.conf")).notice().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(folder / "huge.conf"));
}

TEST_F(DesktopTest, TheWindowComesBackWhereAndAsLargeAsItWas) {
    ShellConfig config = testConfig();
    config.windowScale = 0;  // as a player's window: the remembered scale, if it fits
    window = makeWindow(config);
    window->show();
    window->move(37, 41);
    window->resize(window->size() + QSize(37, 23));  // a size of its own, not the scale's
    QApplication::processEvents();
    const QPoint placed = window->pos();
    const QSize sized = window->size();
    const int scale = window->view()->displayScale();
    window->close();
    const auto placement = window->desktopOptions().windowPlacement();
    EXPECT_EQ(placement.scale, scale);
    EXPECT_EQ(placement.position, std::optional(placed));
    EXPECT_FALSE(placement.fullScreen);

    window = makeWindow(config);
    EXPECT_EQ(window->pos(), placed);
    EXPECT_EQ(window->size(), sized);
    window->showFullScreen();
    QApplication::processEvents();
    window->close();
    EXPECT_TRUE(window->desktopOptions().windowPlacement().fullScreen);
    EXPECT_EQ(window->desktopOptions().windowPlacement().position, std::optional(placed));

    window = makeWindow(config);
    window->showAsRemembered();
    EXPECT_TRUE(window->isFullScreen());
    window->close();
}

TEST_F(DesktopTest, MenusAndDialogsTakeAFontOfThePicturesScale) {
    for (const auto& [scale, pixels] : {std::pair{1, 12}, std::pair{3, 36}, std::pair{5, 36}}) {
        ShellConfig config = testConfig();
        config.windowScale = scale;
        window = makeWindow(config);
        EXPECT_EQ(window->menuBar()->font().pixelSize(), pixels) << scale;
        EXPECT_EQ(window->recentFilesMenu()->font().pixelSize(), pixels) << scale;
        SettingsDialog dialog(kDefaultOptions, window.get());
        EXPECT_EQ(dialog.font().pixelSize(), pixels) << scale;
        // The check boxes' and radio buttons' marks grow with their text.
        for (QWidget* box : {static_cast<QWidget*>(dialog.soundEffects), static_cast<QWidget*>(dialog.gameMode)}) {
            EXPECT_GE(box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box), pixels * 2 / 3) << scale;
        }
    }
}

// A paint device that keeps the text drawn on it, so that a test sees what a style really drew
// rather than what the widget measured.
class TextRecorder final : public QPaintDevice {
public:
    explicit TextRecorder(QSize size) : size_(size) {}
    QPaintEngine* paintEngine() const override { return &engine_; }
    [[nodiscard]] const QString& text() const { return engine_.text; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth: return size_.width();
            case PdmHeight: return size_.height();
            case PdmDepth: return 32;
            case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
            case PdmDevicePixelRatio: return 1;
            case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
            default: return 0;
        }
    }

private:
    struct Engine final : QPaintEngine {
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { text += item.text(); }
        Type type() const override { return User; }
        QString text;
    };
    QSize size_;
    mutable Engine engine_;
};

TEST_F(DesktopTest, EveryMenuItemAndItsShortcutAreDrawnWholeAtEveryScale) {
    window->game().open(writeQuiz({4, 4, 4, 4, 4, 4, 4, 4}));  // an entry in the recent files
    for (int scale = 1; scale <= 5; ++scale) {
        ShellConfig config = testConfig();
        config.windowScale = scale;
        window = makeWindow(config);
        for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
            menu->resize(menu->sizeHint());  // as a popup opens, unbounded by the test's small screen
            TextRecorder drawn(menu->size());
            menu->render(&drawn);
            for (const QAction* item : menu->actions()) {
                if (item->isSeparator()) {
                    continue;
                }
                const QString text = QString(item->text()).remove(QLatin1Char('&'));
                const QString keys = item->shortcut().toString(QKeySequence::NativeText);
                EXPECT_TRUE(drawn.text().contains(text)) << "scale " << scale << ": " << text.toStdString() << " in "
                                                         << drawn.text().toStdString();
                EXPECT_TRUE(drawn.text().contains(keys)) << "scale " << scale << ": " << keys.toStdString();
            }
        }
    }
}

TEST_F(DesktopTest, TheOpenDialogOffersTheSamplesFolder) {
    const QString samples = samplesFolder();
    ASSERT_FALSE(samples.isEmpty()) << "the build tree's samples folder, beside the tests' folder";
    QList<QUrl> places;
    dialogs.expect<QFileDialog>([&](QFileDialog& dialog) {
        places = dialog.sidebarUrls();
        dialog.reject();
    });
    window->action(command::kOpen)->trigger();
    ASSERT_TRUE(dialogs.answered());
    EXPECT_TRUE(places.contains(QUrl::fromLocalFile(samples)));
}

TEST_F(DesktopTest, MissedAnswersWrapOnlyBetweenWords) {
    QWidget narrowWindow;
    narrowWindow.resize(240, 300);
    MissedQuestionRow row;
    row.genre = u"G";
    row.question = u"問";
    row.given = u"ベートーヴェン";
    row.right = u"モーツァルト";
    ReviewDialog dialog({row}, &narrowWindow);
    dialog.show();
    QTest::qWait(20);
    // Cut short with its tooltip whole, rather than broken over two lines.
    EXPECT_LT(dialog.table->rowHeight(0), 2 * dialog.table->fontMetrics().lineSpacing());
    EXPECT_EQ(dialog.table->item(0, 2)->toolTip(), QStringLiteral("ベートーヴェン"));
}

TEST(ScreenViewTest, TheClickThatBringsTheWindowBackIsNoTap) {
    const QImage picture(240, 268, QImage::Format_RGB32);
    ScreenView view(&picture, picture.size());
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QSignalSpy taps(&view, &ScreenView::tapped);
    const QPoint middle = view.rect().center();
    QTest::mouseClick(&view, Qt::LeftButton, {}, middle);
    EXPECT_EQ(taps.size(), 1);  // the first showing is no return to the front

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QTest::mouseClick(&view, Qt::LeftButton, {}, middle);  // pressed while behind
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QTest::mouseClick(&view, Qt::LeftButton, {}, middle);  // pressed just as it came back
    EXPECT_EQ(taps.size(), 1);
    QTest::qWait(400);
    QTest::mouseClick(&view, Qt::LeftButton, {}, middle);
    EXPECT_EQ(taps.size(), 2);
}

}  // namespace
}  // namespace pp::test
