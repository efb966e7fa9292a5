#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <string>

#include "engine/StudyHistory.h"
#include "record/GameState.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QChartView;

namespace pp {

// "成績...": the player's progress on the quiz file opened last, as four charts (the scores of
// the latest games, right answers per genre day by day, the questions due on each of the next
// 14 days) and the ten questions missed most often with their right answers. Non-modal: the
// game goes on behind it. "CSVで書き出す..." saves the answers through `exportCsv`.
class StatsWindow final : public QDialog {
    Q_OBJECT

public:
    StatsWindow(const Progress& progress, const std::array<Genre, kGenreCount>& genres, std::int32_t today,
                std::function<std::string()> csv, QWidget* parent);

    QChartView* scoresChart = nullptr;
    QChartView* genresChart = nullptr;
    QChartView* dueChart = nullptr;
    QLabel* genresLegend = nullptr;  // every genre charted, by its colour and whole name
    QTableWidget* missedTable = nullptr;
    QPushButton* exportButton = nullptr;

    // Writes the CSV text to `path`; false when the file could not be written whole.
    bool exportTo(const QString& path);

private:
    void chooseExportFile();

    std::function<std::string()> csv_;
};

}  // namespace pp
