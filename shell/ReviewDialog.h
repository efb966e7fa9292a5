#pragma once

#include <QDialog>

#include <vector>

#include "engine/Host.h"

class QPushButton;
class QTableWidget;

namespace pp {

// "間違えた問題": the missed questions in the order they were asked, with the genre, the answer
// given (or 時間切れ) and the right answer. "この問題で復習する" accepts the dialog, asking for a
// review run over them; "閉じる", Escape and the close button reject it.
// The dialog's heading: how many questions, and how many misses when a question was missed again.
QString missedHeading(const std::vector<MissedQuestionRow>& rows);

class ReviewDialog final : public QDialog {
    Q_OBJECT

public:
    ReviewDialog(const std::vector<MissedQuestionRow>& rows, QWidget* parent);

    QTableWidget* table;
    QPushButton* reviewButton;
    QPushButton* closeButton;

protected:
    // Rows take the height their wrapped texts need at the width the question column has now.
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

}  // namespace pp
