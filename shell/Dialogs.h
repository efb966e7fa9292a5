#pragma once

#include <QDialog>

#include "record/GameState.h"

class QBoxLayout;
class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace pp {

// The program's dialogs have no cancel: closing one (the window's close button, Escape)
// confirms it like OK, as on the handheld.
class ConfirmOnlyDialog : public QDialog {
    Q_OBJECT

public:
    using QDialog::QDialog;
    void reject() override { accept(); }

protected:
    // Adds the OK button that ends the dialog.
    void addOkButton(QBoxLayout* layout);
};

// "設定": the four options and the purpose of the quiz.
class SettingsDialog final : public ConfirmOnlyDialog {
    Q_OBJECT

public:
    SettingsDialog(const Options& current, QWidget* parent);

    // The options as the dialog shows them now.
    [[nodiscard]] Options chosen() const;

    QCheckBox* soundEffects;
    QCheckBox* showCorrectAnswer;
    QCheckBox* timeLimit;
    QCheckBox* gradualReveal;
    QRadioButton* gameMode;
    QRadioButton* studyMode;
};

// "バージョン情報": icon, name, version, the bar and the logo.
class AboutDialog final : public ConfirmOnlyDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent);
};

// "名前の入力": asks the name for a new ranking row.
class NameDialog final : public ConfirmOnlyDialog {
    Q_OBJECT

public:
    explicit NameDialog(QWidget* parent);

    // What the edit box holds.
    [[nodiscard]] QString name() const;

    QLineEdit* edit;
};

}  // namespace pp
