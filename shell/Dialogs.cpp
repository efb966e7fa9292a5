#include "shell/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionMenuItem>
#include <QTranslator>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "persistence/StoredName.h"
#include "resources/Resources.h"
#include "screens/Bitmaps.h"
#include "shell/QtSurface.h"
#include "version/Version.h"

namespace pp {
namespace {

// Object names by which tests and accessibility tools find the controls; the numbers are the
// control ids of the dialog templates.
constexpr const char* kOkButtonName = "ok";
constexpr const char* kCancelButtonName = "cancel";

bool isConfirmKey(const QKeyEvent& event) {
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

QPixmap bitmapPixmap(int id, int scale) {
    const QImage image(resources::bitmapPath(id));
    if (image.isNull()) {
        return {};
    }
    return QPixmap::fromImage(image.scaled(image.size() * scale, Qt::IgnoreAspectRatio,
                                           Qt::FastTransformation));
}

// Qt's styles keep the shortcut column free on every menu row when they draw it, but not when
// they measure it: a long item without a shortcut, beside one with, would be cut short.
// Fusion also measures a row with a fixed check column yet draws one that grows with the row's
// height, and cuts the label to its room with the mnemonic's "&" counted: with the menus' font at
// twice the usual size or more, a label that has no longer neighbour ("タイトルに戻る") lost its
// middle. Rows are measured with a check column as wide as they are tall, which covers both.
class MenuStyle final : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (type == CT_MenuItem && item != nullptr && item->menuItemType != QStyleOptionMenuItem::Separator) {
            size.rwidth() += size.height();
        }
        return size;
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        // A shortcut travels in the text after a tab; without one the row may use the column.
        if (element == CE_MenuItem && item != nullptr && !item->text.contains(QLatin1Char('\t'))) {
            QStyleOptionMenuItem whole(*item);
            whole.reservedShortcutWidth = 0;
            QProxyStyle::drawControl(element, &whole, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// Check boxes and radio buttons with indicators as large as their text: a style's own are sized
// for its default font and stay 10 pixels beside text three times that size.
class IndicatorStyle final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        const int size = QProxyStyle::pixelMetric(metric, option, widget);
        switch (metric) {
            case PM_IndicatorWidth:
            case PM_IndicatorHeight:
            case PM_ExclusiveIndicatorWidth:
            case PM_ExclusiveIndicatorHeight:
                if (widget != nullptr) {
                    return std::max(size, QFontMetrics(widget->font()).ascent());
                }
                return size;
            default:
                return size;
        }
    }
};

QStyle* indicatorStyle() {
    static QPointer<IndicatorStyle> style;
    if (style.isNull()) {
        style = new IndicatorStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

// One for the whole program, owned by the application, so that it outlives every menu.
QStyle* menuStyle() {
    static QPointer<MenuStyle> style;
    if (style.isNull()) {
        style = new MenuStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

}  // namespace

QTranslator* loadQtJapanese() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

void ConfirmOnlyDialog::addOkButton(QBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(kOkButtonName);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

QFont interfaceFont(int scale) {
    constexpr int kInterfacePixels = 12;
    QFont font(QtSurface::gameFont().family());
    font.setPixelSize(kInterfacePixels * std::clamp(scale, 1, kLargestInterfaceScale));
    return font;
}

void applyInterfaceFont(QMenuBar& menuBar, int scale) {
    // Dialogs made from now on take the application's font. Widgets made already hear of a new
    // application font only once the event loop runs, too late to size the window, so the menus
    // get theirs directly.
    const QFont font = interfaceFont(scale);
    QApplication::setFont(font);
    QApplication::setFont(font, "QMenu");
    QApplication::setFont(font, "QMenuBar");
    menuBar.setFont(font);
    for (QMenu* menu : menuBar.findChildren<QMenu*>()) {
        menu->setFont(font);
        menu->setStyle(menuStyle());
    }
}

void fitIndicatorsToText(QWidget& dialog) {
    for (QAbstractButton* box : dialog.findChildren<QAbstractButton*>()) {
        if (qobject_cast<QCheckBox*>(box) != nullptr || qobject_cast<QRadioButton*>(box) != nullptr) {
            box->setStyle(indicatorStyle());
        }
    }
}

SettingsDialog::SettingsDialog(const Options& current, QWidget* parent, bool pauseWhenInactive) : QDialog(parent) {
    setWindowTitle(QStringLiteral("設定"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto addCheck = [&](const char* name, const QString& text, std::int16_t value) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setChecked(value != 0);
        layout->addWidget(box);
        return box;
    };
    soundEffects = addCheck("1001", QStringLiteral("効果音をつける"), current.soundEffects);
    showCorrectAnswer = addCheck("1002", QStringLiteral("正解を表示する"), current.showCorrectAnswer);
    timeLimit = addCheck("1003", QStringLiteral("制限時間を設ける"), current.timeLimit);
    gradualReveal = addCheck("1004", QStringLiteral("問題を徐々に表示する"), current.gradualReveal);

    auto* purpose = new QGroupBox(QStringLiteral("クイズの目的"), this);
    auto* purposeLayout = new QVBoxLayout(purpose);
    gameMode = new QRadioButton(QStringLiteral("ゲームとして楽しむ"), purpose);
    gameMode->setObjectName(QStringLiteral("1005"));
    studyMode = new QRadioButton(QStringLiteral("勉強のために全問に挑戦する"), purpose);
    studyMode->setObjectName(QStringLiteral("1006"));
    gameMode->setChecked(current.studyMode == 0);
    studyMode->setChecked(current.studyMode != 0);
    purposeLayout->addWidget(gameMode);
    purposeLayout->addWidget(studyMode);
    layout->addWidget(purpose);

    auto* desktop = new QGroupBox(QStringLiteral("デスクトップ"), this);
    auto* desktopLayout = new QVBoxLayout(desktop);
    this->pauseWhenInactive = new QCheckBox(QStringLiteral("ウィンドウが非アクティブのときは一時停止する"), desktop);
    this->pauseWhenInactive->setObjectName(QStringLiteral("pauseWhenInactive"));
    this->pauseWhenInactive->setChecked(pauseWhenInactive);
    desktopLayout->addWidget(this->pauseWhenInactive);
    noRepeats = new QCheckBox(QStringLiteral("同じ問題を出さない"), desktop);
    noRepeats->setObjectName(QStringLiteral("noRepeats"));
    noRepeats->setChecked(true);
    desktopLayout->addWidget(noRepeats);
    layout->addWidget(desktop);

    fitIndicatorsToText(*this);

    // Escape and the close button reject the dialog like キャンセル.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(kOkButtonName);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(kCancelButtonName);
    cancel->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

Options SettingsDialog::chosen() const {
    Options options;
    options.soundEffects = soundEffects->isChecked() ? 1 : 0;
    options.showCorrectAnswer = showCorrectAnswer->isChecked() ? 1 : 0;
    options.timeLimit = timeLimit->isChecked() ? 1 : 0;
    options.gradualReveal = gradualReveal->isChecked() ? 1 : 0;
    options.studyMode = studyMode->isChecked() ? 1 : 0;
    return options;
}

AboutDialog::AboutDialog(QWidget* parent) : ConfirmOnlyDialog(parent) {
    setWindowTitle(QStringLiteral("バージョン情報"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* header = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(resources::kSmallIconPath));
    header->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    auto* name = new QLabel(QStringLiteral("ポケットペルナ for Linux"), this);
    name->setTextFormat(Qt::PlainText);
    name->setAlignment(Qt::AlignRight);
    auto* version = new QLabel(QStringLiteral("Version %1").arg(QLatin1String(kVersion)), this);
    version->setAlignment(Qt::AlignRight);
    texts->addWidget(name);
    texts->addWidget(version);
    header->addLayout(texts, 1);
    layout->addLayout(header);

    constexpr int kBitmapScale = 2;
    auto* bar = new QLabel(this);
    bar->setPixmap(bitmapPixmap(bitmap::kBar, kBitmapScale));
    bar->setAlignment(Qt::AlignCenter);
    layout->addWidget(bar);
    auto* logo = new QLabel(this);
    logo->setPixmap(bitmapPixmap(bitmap::kLogo, kBitmapScale));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    addOkButton(layout);
}

NameDialog::NameDialog(QWidget* parent) : ConfirmOnlyDialog(parent) {
    setWindowTitle(QStringLiteral("名前の入力"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* message = new QLabel(
        QStringLiteral("おめでとうございます。\nランキングに入る高得点となりました。\n\n"
                       "お名前を入力してください。（10文字以内）"),
        this);
    message->setTextFormat(Qt::PlainText);
    layout->addWidget(message);
    edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("1006"));
    // A paste longer than the limit is cut to it rather than refused whole.
    edit->setMaxLength(static_cast<int>(kNameChars));
    edit->setValidator(new RankingNameValidator(edit));
    layout->addWidget(edit);
    addOkButton(layout);
    edit->setFocus();
    installEventFilter(this);
    edit->installEventFilter(this);
    findChild<QPushButton*>(QString::fromLatin1(kOkButtonName))->installEventFilter(this);
}

void NameDialog::reject() {
    edit->clear();
    accept();
}

QString NameDialog::name() const {
    // Filtered again, for text set without passing the validator.
    QString text = edit->text();
    int position = 0;
    RankingNameValidator().validate(text, position);
    return text;
}

void NameDialog::showEvent(QShowEvent* event) {
    shownFor_.start();
    keyLetGo_ = false;
    ConfirmOnlyDialog::showEvent(event);
}

bool NameDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        keyLetGo_ = true;
    } else if (event->type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        const bool fresh = keyLetGo_ || (shownFor_.isValid() && shownFor_.elapsed() >= kGuardMs);
        if (isConfirmKey(key) && (key.isAutoRepeat() || !fresh)) {
            return true;  // pressed for the game, or held down since: not meant for this dialog
        }
    }
    return ConfirmOnlyDialog::eventFilter(watched, event);
}

QValidator::State RankingNameValidator::validate(QString& input, int& position) const {
    QString kept;
    int keptBeforeCursor = 0;
    for (int i = 0; i < input.size(); ++i) {
        if (keptInName(input[i].unicode()) && static_cast<std::size_t>(kept.size()) < kNameChars) {
            kept += input[i];
            keptBeforeCursor += i < position ? 1 : 0;
        }
    }
    input = kept;
    position = keptBeforeCursor;
    return Acceptable;
}

void sizeToShowNamesWhole(QFileDialog& dialog) {
    const QFontMetrics metrics = dialog.fontMetrics();
    const int em = metrics.horizontalAdvance(QChar(0x554F));  // one full-width character
    QSize size(56 * em, 28 * metrics.height());
    if (const QScreen* screen = dialog.parentWidget() != nullptr ? dialog.parentWidget()->screen() : dialog.screen()) {
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    dialog.resize(size);
    // The size and date as wide as their texts and the name the rest; the type column only
    // repeats the name's ending.
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column) {
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
        header->hideSection(2);
    }
    // The places as wide as their longest name, up to a quarter of the dialog.
    if (auto* places = dialog.findChild<QListView*>(QStringLiteral("sidebar")); places != nullptr && places->model()) {
        int widest = 0;
        for (int row = 0; row < places->model()->rowCount(); ++row) {
            const QString name = places->model()->index(row, 0).data().toString();
            widest = std::max(widest, places->fontMetrics().horizontalAdvance(name));
        }
        const int chrome = places->iconSize().width() + 3 * em;
        places->setMinimumWidth(std::min(widest + chrome, size.width() / 4));
    }
}

}  // namespace pp
