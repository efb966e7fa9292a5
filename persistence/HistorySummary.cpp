#include "persistence/HistorySummary.h"

#include <algorithm>
#include <map>

namespace pp {

std::vector<GenreDay> genreDaysOf(const std::vector<AnswerRecord>& answers) {
    std::map<std::int32_t, GenreDay> days;
    for (const AnswerRecord& answer : answers) {
        GenreDay& day = days.try_emplace(answer.day, GenreDay{answer.day, {}, {}}).first->second;
        // A genre out of range still makes its day a point of the chart, as the query's group does.
        if (answer.genre >= 0 && answer.genre < kGenreCount) {
            const auto genre = static_cast<std::size_t>(answer.genre);
            day.right[genre] += answer.right ? 1 : 0;
            day.answered[genre] += 1;
        }
    }
    std::vector<GenreDay> ordered;
    ordered.reserve(days.size());
    for (auto& [day, counts] : days) {
        ordered.push_back(counts);
    }
    return ordered;
}

std::vector<MissCount> mostMissedOf(const std::vector<AnswerRecord>& answers, int count) {
    std::map<std::int32_t, MissCount> questions;
    for (const AnswerRecord& answer : answers) {
        MissCount& row = questions.try_emplace(answer.question, MissCount{answer.question, 0, 0}).first->second;
        row.misses += answer.right ? 0 : 1;
        row.answers += 1;
    }
    std::vector<MissCount> missed;
    for (const auto& [question, row] : questions) {
        if (row.misses > 0) {
            missed.push_back(row);
        }
    }
    std::stable_sort(missed.begin(), missed.end(),
                     [](const MissCount& a, const MissCount& b) { return a.misses > b.misses; });
    if (missed.size() > static_cast<std::size_t>(std::max(count, 0))) {
        missed.resize(static_cast<std::size_t>(std::max(count, 0)));
    }
    return missed;
}

}  // namespace pp
