#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QFont>
#include <QValidator>

#include "record/GameState.h"

class QBoxLayout;
class QFileDialog;
class QCheckBox;
class QLineEdit;
class QMenuBar;
class QRadioButton;
class QTranslator;

namespace pp {

// Loads Qt's own Japanese translation, so that the standard dialogs (the file dialog, message
// boxes) speak the game's language whatever the locale. Returns the installed translator (owned
// by the application), or null when the translation is not installed.
QTranslator* loadQtJapanese();

// The version box and the name dialog have no cancel: closing one (the window's close button,
// Escape) confirms it like OK, as on the handheld.
class ConfirmOnlyDialog : public QDialog {
    Q_OBJECT

public:
    using QDialog::QDialog;
    void reject() override { accept(); }

protected:
    // Adds the OK button that ends the dialog.
    void addOkButton(QBoxLayout* layout);
};

// The font of menus and dialogs at picture scale `scale`: the bundled face at 12 pixels times the
// scale, up to three times, so that they stay readable beside a large picture.
inline constexpr int kLargestInterfaceScale = 3;
QFont interfaceFont(int scale);

// Gives the menus of `menuBar`, and every dialog made from now on, the font of `scale`.
void applyInterfaceFont(QMenuBar& menuBar, int scale);

// Draws the check boxes and radio buttons inside `dialog` with marks as large as their text.
void fitIndicatorsToText(QWidget& dialog);

// "設定": the four options and the purpose of the quiz, then the desktop's own options. Only OK
// applies them; キャンセル, Escape and the window's close button change nothing.
class SettingsDialog final : public QDialog {
    Q_OBJECT

public:
    SettingsDialog(const Options& current, QWidget* parent, bool pauseWhenInactive = true);

    // The options as the dialog shows them now.
    [[nodiscard]] Options chosen() const;

    QCheckBox* soundEffects;
    QCheckBox* showCorrectAnswer;
    QCheckBox* timeLimit;
    QCheckBox* gradualReveal;
    QRadioButton* gameMode;
    QRadioButton* studyMode;
    // "ウィンドウが非アクティブのときは一時停止する" and "同じ問題を出さない" (on when the dialog
    // opens), kept by the window, not in the settings file.
    QCheckBox* pauseWhenInactive;
    QCheckBox* noRepeats;
};

// "バージョン情報": icon, name, version, the bar and the logo.
class AboutDialog final : public ConfirmOnlyDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent);
};

// Lets into a ranking name only what the settings file can hold: characters of code page 932
// other than the file's delimiters, ten at most. Anything else typed or pasted is dropped.
class RankingNameValidator final : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// "名前の入力": asks the name for a new ranking row. It appears the moment a game ends, so a
// Return meant for the game may reach it: Return and Enter confirm it only once some key has been
// let go in it, or after a short guard time, and never as the auto-repeat of a held key.
class NameDialog final : public ConfirmOnlyDialog {
    Q_OBJECT

public:
    explicit NameDialog(QWidget* parent);

    // What the edit box holds.
    [[nodiscard]] QString name() const;
    // Escape or the close button still stores the row, under no name: the one typed last, which
    // the box starts with, is not taken for this player's.
    void reject() override;

    QLineEdit* edit;

    // How long after the dialog shows a key press alone may confirm it.
    static constexpr int kGuardMs = 400;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QElapsedTimer shownFor_;
    bool keyLetGo_ = false;
};

// Sizes Qt's own file dialog so that names, sizes and the places beside them show whole, where
// its default leaves them cut short; call it before the dialog is shown.
void sizeToShowNamesWhole(QFileDialog& dialog);

}  // namespace pp
