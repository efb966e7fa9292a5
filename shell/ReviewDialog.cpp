#include "shell/ReviewDialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace pp {
namespace {

const QString kTimedOut = QStringLiteral("時間切れ");

// Widths in characters of the dialog's font: the question takes what is left.
constexpr int kDialogChars = 48;
constexpr int kGenreColumnChars = 6;
constexpr int kAnswerColumnChars = 10;
constexpr int kVisibleRows = 7;

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);  // the whole text, should a narrow window cut it short
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

QString fromGame(const std::u16string& text) { return QString::fromStdU16String(text); }

// Japanese text may break between any two characters, which cuts a name such as ベートーヴェン in
// two. Genres and answers are names: they break only after a space or a dot between words, and a
// word wider than its column is cut short with "…" (the tooltip holds it whole).
class WholeWordsDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = joinedWithinWords(option->text);
    }

private:
    static bool endsWord(QChar c) {
        return c.isSpace() || c == QChar(0x30FB) || c == QChar(0x3001) || c == QChar(0xFF0C) || c == u',' ||
               c == u'/' || c == QChar(0xFF0F);
    }

    // A word joiner between every two characters of a word forbids a break there.
    static QString joinedWithinWords(const QString& text) {
        QString joined;
        joined.reserve(text.size() * 2);
        for (qsizetype i = 0; i < text.size(); ++i) {
            joined += text[i];
            if (i + 1 < text.size() && !endsWord(text[i]) && !endsWord(text[i + 1]) && !text[i].isHighSurrogate()) {
                joined += QChar(0x2060);
            }
        }
        return joined;
    }
};

}  // namespace

QString missedHeading(const std::vector<MissedQuestionRow>& rows) {
    int times = 0;
    for (const MissedQuestionRow& row : rows) {
        times += row.timesMissed;
    }
    // A question missed twice is listed once: the count then says both numbers.
    if (times == static_cast<int>(rows.size())) {
        return QStringLiteral("間違えた問題、時間切れになった問題（%1問）").arg(rows.size());
    }
    return QStringLiteral("間違えた問題、時間切れになった問題：%1回（%2問）").arg(times).arg(rows.size());
}

ReviewDialog::ReviewDialog(const std::vector<MissedQuestionRow>& rows, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("間違えた問題"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(missedHeading(rows), this);
    heading->setWordWrap(true);  // a narrow game window must not widen the dialog
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
    auto* wholeWords = new WholeWordsDelegate(table);
    for (int column : {0, 2, 3}) {
        table->setItemDelegateForColumn(column, wholeWords);
    }
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const MissedQuestionRow& row = rows[static_cast<std::size_t>(r)];
        table->setItem(r, 0, cell(fromGame(row.genre)));
        table->setItem(r, 1, cell(fromGame(row.question)));
        table->setItem(r, 2, cell(row.timedOut ? kTimedOut : fromGame(row.given)));
        table->setItem(r, 3, cell(fromGame(row.right)));
    }
    // As wide as the texts want, in characters of the dialog's font, but never past the screen:
    // the question column gives way first, and its texts wrap.
    const int em = fontMetrics().horizontalAdvance(QChar(0x554F));  // one full-width character
    QSize room(kDialogChars * em, kVisibleRows * 3 * fontMetrics().height());
    if (const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen()) {
        room = room.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    // Nor wider than the game's window it opens over, which it would otherwise hide.
    if (parent != nullptr && parent->window()->width() > 0) {
        room.setWidth(std::min(room.width(), parent->window()->width()));
    }
    table->setColumnWidth(0, std::min(kGenreColumnChars * em, room.width() / 6));
    table->setColumnWidth(2, std::min(kAnswerColumnChars * em, room.width() / 5));
    table->setColumnWidth(3, std::min(kAnswerColumnChars * em, room.width() / 5));
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    resize(room);
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

void ReviewDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    table->resizeRowsToContents();
}

void ReviewDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The layout has given the columns their widths only now.
    QTimer::singleShot(0, table, [this] { table->resizeRowsToContents(); });
}

}  // namespace pp
