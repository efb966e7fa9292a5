#include "shell/SheetOpener.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <fstream>

#include "authoring/SheetWriter.h"
#include "persistence/SafeFile.h"

namespace pp {
namespace {

QString qpath(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

std::filesystem::path pathOf(const QString& path) { return std::filesystem::path(path.toStdU16String()); }

// A message box that leaves the window's events running, as every dialog of the game does.
void warn(QWidget* parent, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("ポケットペルナ"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString summaryOf(const QString& tableName, const SheetBuild& build) {
    int errors = 0;
    for (const SheetProblem& problem : build.problems) {
        errors += problem.error ? 1 : 0;
    }
    const int warnings = static_cast<int>(build.problems.size()) - errors;
    QString text;
    if (build.quiz) {
        text = QStringLiteral("「%1」から %2 ジャンル %3 問の問題集を作りました。注意が %4 件あります。")
                   .arg(tableName)
                   .arg(build.genres)
                   .arg(build.questions)
                   .arg(warnings);
    } else {
        text = QStringLiteral("「%1」には誤りが %2 件あるため、問題集を作れませんでした。表を直してから開き直してください。")
                   .arg(tableName)
                   .arg(errors);
    }
    if (build.unlisted > 0) {
        text += QStringLiteral("（ほかに %1 件あります）").arg(build.unlisted);
    }
    return text;
}

}  // namespace

SheetReportDialog::SheetReportDialog(const QString& tableName, const SheetBuild& build, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("問題の表の報告"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    summary = new QLabel(summaryOf(tableName, build), this);
    summary->setWordWrap(true);
    layout->addWidget(summary);

    problems = new QTreeWidget(this);
    problems->setRootIsDecorated(false);
    problems->setHeaderLabels({QStringLiteral("場所"), QStringLiteral("種類"), QStringLiteral("内容")});
    problems->setWordWrap(true);
    for (const SheetProblem& problem : build.problems) {
        auto* item = new QTreeWidgetItem(problems);
        item->setText(0, QString::fromStdString(problem.place));
        item->setText(1, problem.error ? QStringLiteral("誤り") : QStringLiteral("注意"));
        item->setText(2, QString::fromStdString(problem.message));
        item->setToolTip(2, item->text(2));
    }
    problems->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    problems->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    layout->addWidget(problems, 1);

    auto* buttons = new QDialogButtonBox(this);
    if (build.quiz) {
        saveQuiz = buttons->addButton(QStringLiteral("問題集として保存..."), QDialogButtonBox::ActionRole);
        connect(saveQuiz, &QPushButton::clicked, this, &SheetReportDialog::saveRequested);
    } else {
        openAgain = buttons->addButton(QStringLiteral("開き直す"), QDialogButtonBox::ActionRole);
        connect(openAgain, &QPushButton::clicked, this, &SheetReportDialog::openAgainRequested);
    }
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(fontMetrics().averageCharWidth() * 100, fontMetrics().height() * 22);
}

SheetOpener::SheetOpener(std::filesystem::path builtFolder, std::filesystem::path documentsFolder, QWidget* parent)
    : QObject(parent),
      builtFolder_(std::move(builtFolder)),
      documentsFolder_(std::move(documentsFolder)),
      window_(parent) {}

std::optional<std::filesystem::path> SheetOpener::quizFor(const std::filesystem::path& chosen) {
    if (!isQuestionTable(chosen)) {
        return chosen;
    }
    const SheetBuild build = buildSheetQuiz(chosen);
    if (!build.problems.empty()) {
        showReport(chosen, build);
    } else if (report_ != nullptr) {
        report_->close();  // the table was fixed: its old report no longer holds
    }
    if (!build.quiz) {
        return std::nullopt;
    }
    const std::filesystem::path built = builtQuizPath(builtFolder_, chosen);
    if (!keepBuiltQuiz(built, *build.quiz)) {
        warn(window_, QStringLiteral("表から作った問題集を %1 に書き込めません。").arg(qpath(built.parent_path())));
        return std::nullopt;
    }
    tables_[built] = chosen;
    return built;
}

std::filesystem::path SheetOpener::sourceOf(const std::filesystem::path& quiz) const {
    const auto found = tables_.find(quiz);
    return found == tables_.end() ? quiz : found->second;
}

void SheetOpener::quizOpened(const std::filesystem::path& quiz, bool accepted) {
    const auto found = tables_.find(quiz);
    if (accepted) {
        openQuiz_ = quiz;
        openTable_ = found == tables_.end() ? std::nullopt : std::optional(found->second);
        emit openTableChanged();
    }
}

void SheetOpener::saveOpenQuiz() {
    if (openTable_) {
        saveQuizOf(*openTable_);
    }
}

void SheetOpener::saveQuizOf(const std::filesystem::path& table) {
    const std::filesystem::path built = builtQuizPath(builtFolder_, table);
    auto* dialog = new QFileDialog(window_, QStringLiteral("問題集として保存"),
                                   qpath(documentsFolder_ / (table.stem().string() + ".kqd")),
                                   QStringLiteral("ペルナ形式(*.kqd)"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("kqd"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this, built](const QString& chosen) {
        const FileHead quiz = readFileHead(built, std::size_t{256} << 20);
        const std::filesystem::path target = pathOf(chosen);
        if (isQuestionTable(target) || !quiz.bytes || replaceFileContents(target, *quiz.bytes) != FileStatus::Ok) {
            // Never over a table: the teacher's sheet would be lost to the quiz file's bytes.
            warn(window_, QStringLiteral("問題集を %1 に保存できませんでした。").arg(chosen));
        }
    });
    dialog->open();
}

void SheetOpener::exportOpenQuiz() {
    if (!openQuiz_) {
        return;
    }
    const std::filesystem::path quiz = *openQuiz_;
    auto* dialog = new QFileDialog(window_, QStringLiteral("表として書き出す"),
                                   qpath(documentsFolder_ / (sourceOf(quiz).stem().string() + ".xlsx")),
                                   QStringLiteral("Excel ブック (*.xlsx);;OpenDocument 表計算 (*.ods)"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("xlsx"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this, quiz](const QString& chosen) {
        const std::filesystem::path target = pathOf(chosen);
        const std::optional<kqd::SheetFormat> format = kqd::sheetFormatOf(target);
        std::ifstream in(quiz, std::ios::binary);
        std::string bytes;
        std::vector<std::string> warnings;
        // Never over the quiz file itself: the table is its copy to edit, not its replacement.
        if (!format || !in || target == quiz || kqd::quizAsSpreadsheet(in, *format, bytes, warnings) ||
            replaceFileContents(target, bytes) != FileStatus::Ok) {
            warn(window_, QStringLiteral("表を %1 に書き出せませんでした。").arg(chosen));
        }
    });
    dialog->open();
}

void SheetOpener::showReport(const std::filesystem::path& table, const SheetBuild& build) {
    if (report_ != nullptr) {
        report_->close();
    }
    report_ = new SheetReportDialog(qpath(table.filename()), build, window_);
    report_->setAttribute(Qt::WA_DeleteOnClose);
    connect(report_, &QObject::destroyed, this, [this, shown = report_] {
        if (report_ == shown) {
            report_ = nullptr;
        }
    });
    connect(report_, &SheetReportDialog::openAgainRequested, this, [this, table] { emit reopenRequested(table); });
    connect(report_, &SheetReportDialog::saveRequested, this, [this, table] { saveQuizOf(table); });
    report_->show();
}

}  // namespace pp
