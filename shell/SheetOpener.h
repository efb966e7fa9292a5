#pragma once

#include <QDialog>
#include <QString>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "shell/SheetQuiz.h"

class QAction;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace pp {

// Every problem of a question table the game opened, with its cell, in Japanese. It does not
// block the window: the game plays on while the teacher reads it beside the sheet.
class SheetReportDialog final : public QDialog {
    Q_OBJECT

public:
    SheetReportDialog(const QString& tableName, const SheetBuild& build, QWidget* parent);

    QLabel* summary = nullptr;
    QTreeWidget* problems = nullptr;
    QPushButton* saveQuiz = nullptr;  // only when the quiz was built: 問題集として保存...
    QPushButton* openAgain = nullptr;  // only when it was not: after fixing the sheet

signals:
    void saveRequested();
    void openAgainRequested();
};

// Turns a question table handed to the window into a quiz file the game can open: builds it,
// keeps the quiz in the data folder under a name of its own, and shows the report when the
// table has problems. The recent files and the title keep the table's path, so that opening it
// again builds it afresh.
class SheetOpener final : public QObject {
    Q_OBJECT

public:
    // `builtFolder` holds the quizzes built from tables; a saved quiz goes to `documentsFolder`
    // unless the player picks another; `parent` is the window the report opens over.
    SheetOpener(std::filesystem::path builtFolder, std::filesystem::path documentsFolder, QWidget* parent);

    // The quiz file the game should open for `chosen`: itself unless it is a question table;
    // the quiz built from a table; nothing when the table has errors (the report says which).
    std::optional<std::filesystem::path> quizFor(const std::filesystem::path& chosen);

    // The table a quiz file the game opened was built from, or the file itself.
    [[nodiscard]] std::filesystem::path sourceOf(const std::filesystem::path& quiz) const;

    // The table of the quiz the game plays, when it came from one.
    [[nodiscard]] const std::optional<std::filesystem::path>& openTable() const { return openTable_; }
    // Told by the window whenever the game opens a quiz file.
    void quizOpened(const std::filesystem::path& quiz, bool accepted);

    // "問題集として保存...": asks where, then writes the quiz built from the open table there.
    void saveOpenQuiz();

    // "表として書き出す...": asks where, then writes the quiz the game opened last as a
    // spreadsheet to edit, every cell as text.
    void exportOpenQuiz();
    [[nodiscard]] const std::optional<std::filesystem::path>& openQuiz() const { return openQuiz_; }

    // The report on show, if any.
    [[nodiscard]] SheetReportDialog* report() const { return report_; }

signals:
    // The table at `path`, fixed since its report, asked to be opened again.
    void reopenRequested(const std::filesystem::path& path);
    // The open table changed: the window enables its save command by it.
    void openTableChanged();

private:
    void showReport(const std::filesystem::path& table, const SheetBuild& build);
    void saveQuizOf(const std::filesystem::path& table);

    std::filesystem::path builtFolder_;
    std::filesystem::path documentsFolder_;
    QWidget* window_;
    std::map<std::filesystem::path, std::filesystem::path> tables_;  // built quiz -> its table
    std::optional<std::filesystem::path> openTable_;
    std::optional<std::filesystem::path> openQuiz_;  // the quiz file the game opened last
    SheetReportDialog* report_ = nullptr;
};

}  // namespace pp
