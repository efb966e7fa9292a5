#include "shell/StatsWindow.h"

#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <QDate>
#include <QDateTime>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace pp {
namespace {

QDate dateOf(std::int32_t day) { return QDate(1970, 1, 1).addDays(day); }
qint64 msecsOf(std::int32_t day) { return dateOf(day).startOfDay(Qt::UTC).toMSecsSinceEpoch(); }

QChartView* chartView(QChart* chart) {
    chart->legend()->setVisible(chart->series().size() > 1);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(360, 240);
    return view;
}

// The chart with `x` along the bottom and a count from 0 to `most` up the side, both on `series`.
QChart* withCountAxis(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, int most) {
    auto* y = new QValueAxis;
    y->setRange(0, most);
    y->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    return chart;
}

QChart* scoresChart(const Progress& progress) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("最近のゲームの得点"));
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("得点"));
    series->setPointsVisible(true);
    int most = 100;
    QList<QPointF> points;
    for (std::size_t i = 0; i < progress.games.size(); ++i) {
        points.append(QPointF(static_cast<qreal>(i + 1), progress.games[i].score));
        most = std::max(most, progress.games[i].score);
    }
    series->replace(points);
    chart->addSeries(series);
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("回"));
    x->setLabelFormat(QStringLiteral("%d"));
    const int games = std::max(2, static_cast<int>(progress.games.size()));
    x->setRange(1, games);
    // Whole games only: a tick on every game, or on every few once there are many.
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(1);
    x->setTickInterval(std::max(1, games / 8));
    return withCountAxis(chart, series, x, most);
}

QChart* genresChart(const Progress& progress, const std::array<Genre, kGenreCount>& genres) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("ジャンルごとの正解率"));
    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("M/d"));
    auto* y = new QValueAxis;
    y->setRange(0, 100);
    y->setLabelFormat(QStringLiteral("%d%%"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (int genre = 0; genre < kGenreCount; ++genre) {
        const auto g = static_cast<std::size_t>(genre);
        QList<QPointF> points;
        for (const GenreDay& day : progress.genreDays) {
            if (day.answered[g] > 0) {
                points.append(QPointF(static_cast<qreal>(msecsOf(day.day)), 100.0 * day.right[g] / day.answered[g]));
            }
        }
        if (points.isEmpty()) {
            continue;  // a genre never answered would only crowd the legend
        }
        auto* series = new QLineSeries;
        series->setPointsVisible(true);
        series->replace(points);  // at once: each append would lay the chart out again
        const std::u16string_view name = genres[g].name.view();
        series->setName(name.empty() ? QStringLiteral("ジャンル%1").arg(genre + 1)
                                     : QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())));
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    const std::int32_t first = progress.genreDays.empty() ? 0 : progress.genreDays.front().day;
    const std::int32_t last = progress.genreDays.empty() ? 1 : progress.genreDays.back().day;
    x->setRange(QDateTime::fromMSecsSinceEpoch(msecsOf(first - 1), Qt::UTC),
                QDateTime::fromMSecsSinceEpoch(msecsOf(std::max(last, first) + 1), Qt::UTC));
    x->setTickCount(std::min(8, last - first + 3));
    return chart;
}

QChart* dueChart(const Progress& progress, std::int32_t today) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("これから14日の復習問題数"));
    auto* set = new QBarSet(QStringLiteral("問題数"));
    QStringList days;
    int most = 4;
    for (std::size_t i = 0; i < progress.dueByDay.size(); ++i) {
        *set << progress.dueByDay[i];
        most = std::max(most, progress.dueByDay[i]);
        days << dateOf(today + static_cast<std::int32_t>(i)).toString(QStringLiteral("M/d"));
    }
    auto* series = new QBarSeries;
    series->append(set);
    chart->addSeries(series);
    // A date under every third bar: fourteen dates side by side would each be cut to "...".
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setRange(-0.5, static_cast<qreal>(days.size()) - 0.5);
    for (qsizetype i = 0; i < days.size(); i += 3) {
        x->append(days[i], static_cast<qreal>(i));
    }
    x->setGridLineVisible(false);
    return withCountAxis(chart, series, x, most);
}

// The genres chart's legend, below it: each genre's colour and whole name, three to a row. The
// chart's own legend keeps to one row and cuts the names short once they do not fit.
QWidget* genresLegend(const QChart* chart, QLabel*& text) {
    auto* legend = new QWidget;
    auto* grid = new QGridLayout(legend);
    grid->setContentsMargins(4, 2, 4, 2);
    QStringList names;
    int column = 0;
    for (const QAbstractSeries* series : chart->series()) {
        const auto* line = qobject_cast<const QLineSeries*>(series);
        if (line == nullptr) {
            continue;
        }
        const QString item = QStringLiteral("<span style=\"color:%1\">\u25A0</span>&nbsp;%2")
                                 .arg(line->color().name(), line->name().toHtmlEscaped());
        grid->addWidget(new QLabel(item), column / 3, column % 3);
        names << item;
        ++column;
    }
    text = new QLabel(names.join(QStringLiteral(" ")), legend);
    text->hide();  // every name together, for tests and screen readers to read
    return legend;
}

QString qtext(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

StatsWindow::StatsWindow(const Progress& progress, const std::array<Genre, kGenreCount>& genres, std::int32_t today,
                         std::function<std::string()> csv, QWidget* parent)
    : QDialog(parent), csv_(std::move(csv)) {
    setWindowTitle(QStringLiteral("成績"));
    setAttribute(Qt::WA_DeleteOnClose);

    scoresChart = chartView(pp::scoresChart(progress));
    genresChart = chartView(pp::genresChart(progress, genres));
    genresChart->chart()->legend()->setVisible(false);
    QWidget* legend = pp::genresLegend(genresChart->chart(), genresLegend);
    auto* genresBox = new QWidget;
    auto* genresColumn = new QVBoxLayout(genresBox);
    genresColumn->setContentsMargins(0, 0, 0, 0);
    genresColumn->setSpacing(0);
    genresColumn->addWidget(genresChart, 1);
    genresColumn->addWidget(legend);
    dueChart = chartView(pp::dueChart(progress, today));

    missedTable = new QTableWidget(static_cast<int>(progress.mostMissed.size()), 3);
    missedTable->setHorizontalHeaderLabels(
        {QStringLiteral("よく間違える問題"), QStringLiteral("正解"), QStringLiteral("間違えた回数")});
    missedTable->verticalHeader()->setVisible(false);
    missedTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    missedTable->setWordWrap(true);
    for (int row = 0; row < missedTable->rowCount(); ++row) {
        const OftenMissed& missed = progress.mostMissed[static_cast<std::size_t>(row)];
        missedTable->setItem(row, 0, new QTableWidgetItem(qtext(missed.text)));
        missedTable->setItem(row, 1, new QTableWidgetItem(qtext(missed.right)));
        missedTable->setItem(row, 2, new QTableWidgetItem(QStringLiteral("%1 / %2回").arg(missed.misses).arg(missed.answers)));
    }
    missedTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    missedTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    missedTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    missedTable->resizeRowsToContents();
    missedTable->setMinimumSize(360, 240);

    auto* grid = new QGridLayout;
    grid->addWidget(scoresChart, 0, 0);
    grid->addWidget(genresBox, 0, 1);
    grid->addWidget(dueChart, 1, 0);
    grid->addWidget(missedTable, 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    exportButton = new QPushButton(QStringLiteral("CSVで書き出す..."));
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    connect(exportButton, &QPushButton::clicked, this, &StatsWindow::chooseExportFile);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(exportButton);
    buttons->addStretch();
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    resize(1000, 680);
}

bool StatsWindow::exportTo(const QString& path) {
    const std::string text = csv_ ? csv_() : std::string();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(text.data(), static_cast<qint64>(text.size()));
    return file.commit();
}

void StatsWindow::chooseExportFile() {
    auto* dialog = new QFileDialog(this, QStringLiteral("CSVで書き出す"), QString(), QStringLiteral("CSV (*.csv)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("成績.csv"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        if (!exportTo(path)) {
            auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("CSVで書き出す"),
                                        QStringLiteral("ファイルに書き出せませんでした。\n%1").arg(path),
                                        QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
    });
    dialog->open();
}

}  // namespace pp
