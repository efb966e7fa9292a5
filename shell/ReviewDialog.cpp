#include "shell/ReviewDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pp {
namespace {

const QString kTimedOut = QStringLiteral("時間切れ");

// Widths in characters of the dialog's font: the question takes what is left.
constexpr int kGenreColumnChars = 7;
constexpr int kAnswerColumnChars = 11;
constexpr int kQuestionColumnChars = 22;
constexpr int kVisibleRows = 6;

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);  // the whole text, should a narrow window cut it short
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

QString fromGame(const std::u16string& text) { return QString::fromStdU16String(text); }

}  // namespace

ReviewDialog::ReviewDialog(const std::vector<MissedQuestionRow>& rows, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("間違えた問題"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("間違えた問題、時間切れになった問題（%1問）").arg(rows.size()), this);
    layout->addWidget(heading);

    table = new QTableWidget(static_cast<int>(rows.size()), 4, this);
    table->setObjectName(QStringLiteral("missed"));
    table->setHorizontalHeaderLabels({QStringLiteral("ジャンル"), QStringLiteral("問題"), QStringLiteral("あなたの答え"),
                                      QStringLiteral("正解")});
    table->verticalHeader()->setVisible(false);
    table->setWordWrap(true);
    table->setTextElideMode(Qt::ElideRight);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const MissedQuestionRow& row = rows[static_cast<std::size_t>(r)];
        table->setItem(r, 0, cell(fromGame(row.genre)));
        table->setItem(r, 1, cell(fromGame(row.question)));
        table->setItem(r, 2, cell(row.timedOut ? kTimedOut : fromGame(row.given)));
        table->setItem(r, 3, cell(fromGame(row.right)));
    }
    const int em = fontMetrics().horizontalAdvance(QChar(0x554F));  // one full-width character
    table->setColumnWidth(0, kGenreColumnChars * em);
    table->setColumnWidth(1, kQuestionColumnChars * em);
    table->setColumnWidth(2, kAnswerColumnChars * em);
    table->setColumnWidth(3, kAnswerColumnChars * em);
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table->resizeRowsToContents();
    table->setMinimumSize((kGenreColumnChars + kQuestionColumnChars + 2 * kAnswerColumnChars + 2) * em,
                          std::min(table->rowCount(), kVisibleRows) * 3 * fontMetrics().height() +
                              table->horizontalHeader()->sizeHint().height());
    // Rows grow and shrink with the question column, so long questions stay whole.
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, table, [this] { table->resizeRowsToContents(); });
    layout->addWidget(table, 1);

    auto* buttons = new QDialogButtonBox(this);
    reviewButton = buttons->addButton(QStringLiteral("この問題で復習する"), QDialogButtonBox::AcceptRole);
    reviewButton->setObjectName(QStringLiteral("review"));
    reviewButton->setDefault(true);
    closeButton = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    closeButton->setObjectName(QStringLiteral("close"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace pp
