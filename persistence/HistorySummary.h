#pragma once

#include <vector>

#include "persistence/History.h"

namespace pp {

// The progress window's summaries worked out from a quiz file's answers, for a History that keeps
// plain rows without a query language (the page's). They agree with HistoryDb's queries.

// Right and answered per genre for each day answered on, oldest first.
std::vector<GenreDay> genreDaysOf(const std::vector<AnswerRecord>& answers);
// The `count` questions missed most often (ties by question number), never one without a miss.
std::vector<MissCount> mostMissedOf(const std::vector<AnswerRecord>& answers, int count);

}  // namespace pp
