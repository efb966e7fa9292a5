// The module "成績..." loads: the progress window and, through it, Qt Charts.

#include <type_traits>
#include <utility>

#include "shell/LazyParts.h"
#include "shell/StatsWindow.h"

extern "C" Q_DECL_EXPORT pp::StatsWindow* pp_progress_window(const pp::Progress& progress,
                                                              const std::array<pp::Genre, pp::kGenreCount>& genres,
                                                              std::int32_t today, std::function<std::string()> csv,
                                                              QWidget* parent) {
    return new pp::StatsWindow(progress, genres, today, std::move(csv), parent);
}
static_assert(std::is_same_v<decltype(pp_progress_window), pp::lazy::ProgressWindowEntry>);
