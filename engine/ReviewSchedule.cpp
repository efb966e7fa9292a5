#include "engine/ReviewSchedule.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdio>

#include <string>

namespace pp {
namespace {

// FSRS-6's published default weights w0..w20.
constexpr std::array<double, 21> kWeights{0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194,
                                          0.001,  1.8722, 0.1666, 0.796,  1.4835, 0.0614, 0.2629,
                                          1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};
constexpr double kDesiredRetention = 0.9;
constexpr double kMinStability = 0.001;
constexpr double kMaxStability = 36500;
constexpr int kMaxInterval = 36500;

double w(int i) { return kWeights[static_cast<std::size_t>(i)]; }

// JavaScript's Math.round: halves go up. The reference rounds every intermediate value to eight
// decimals this way, and the intervals only agree to the day when we do the same.
double jsRound(double x) { return std::floor(x + 0.5); }
double round8(double x) { return jsRound(x * 1e8) / 1e8; }
double clampTo(double x, double low, double high) { return std::min(std::max(x, low), high); }

double decay() { return -w(20); }
double factor() { return round8(std::exp(std::log(0.9) / decay()) - 1); }
double intervalModifier() { return round8((std::pow(kDesiredRetention, 1 / decay()) - 1) / factor()); }

double initStability(Grade g) { return std::max(w(static_cast<int>(g) - 1), 0.1); }
double initDifficulty(int g) { return round8(w(4) - std::exp((g - 1) * w(5)) + 1); }

double nextDifficulty(double d, Grade grade) {
    const double delta = -w(6) * (static_cast<int>(grade) - 3);
    const double next = d + round8(delta * (10 - d) / 9);  // damped towards 10
    return clampTo(round8(w(7) * initDifficulty(4) + (1 - w(7)) * next), 1, 10);
}

double recallStability(double d, double s, double r, Grade grade) {
    const double hardPenalty = grade == Grade::Hard ? w(15) : 1;
    const double easyBonus = grade == Grade::Easy ? w(16) : 1;
    const double grown = s * (1 + std::exp(w(8)) * (11 - d) * std::pow(s, -w(9)) * (std::exp((1 - r) * w(10)) - 1) *
                                      hardPenalty * easyBonus);
    return round8(clampTo(grown, kMinStability, kMaxStability));
}

double forgetStability(double d, double s, double r) {
    const double afterFail = round8(clampTo(
        w(11) * std::pow(d, -w(12)) * (std::pow(s + 1, w(13)) - 1) * std::exp((1 - r) * w(14)), kMinStability,
        kMaxStability));
    // Forgetting never makes a memory stronger than it was.
    return clampTo(round8(s), kMinStability, afterFail);
}

int intervalFor(double stability) {
    return static_cast<int>(std::min<double>(std::max(1.0, jsRound(stability * intervalModifier())), kMaxInterval));
}

}  // namespace

Grade gradeAnswer(bool right, bool timeLimit, std::int32_t timeLeftTicks) {
    if (!right) {
        return Grade::Again;
    }
    if (!timeLimit) {
        return Grade::Good;
    }
    if (timeLeftTicks >= kEasyTicksLeft) {
        return Grade::Easy;
    }
    return timeLeftTicks < kHardTicksLeft ? Grade::Hard : Grade::Good;
}

Grade gradeAnswer(const GameState& state) {
    return gradeAnswer(answerIsRight(state), state.options.timeLimit == 1, state.timeLeftTicks);
}

double retrievability(double stability, double elapsedDays) {
    if (stability <= 0) {
        return 0;
    }
    return round8(std::pow(1 + factor() * elapsedDays / stability, decay()));
}

ReviewCard reviewCard(const ReviewCard& card, Grade grade, std::int32_t today) {
    const bool fresh = card.reps == 0 || card.stability <= 0 || card.difficulty <= 0;
    const int elapsed = fresh ? 0 : std::max(0, today - card.lastDay);
    // The four grades' memories, because each grade's interval is kept apart from its neighbours'.
    std::array<double, 4> stability{};
    std::array<double, 4> difficulty{};
    const double r = fresh ? 1 : retrievability(card.stability, elapsed);
    for (int g = 1; g <= 4; ++g) {
        const Grade each = static_cast<Grade>(g);
        const std::size_t i = static_cast<std::size_t>(g - 1);
        if (fresh) {
            stability[i] = initStability(each);
            difficulty[i] = clampTo(initDifficulty(g), 1, 10);
        } else {
            stability[i] = each == Grade::Again ? forgetStability(card.difficulty, card.stability, r)
                                                : recallStability(card.difficulty, card.stability, r, each);
            difficulty[i] = nextDifficulty(card.difficulty, each);
        }
    }
    std::array<int, 4> interval{};
    for (std::size_t i = 0; i < 4; ++i) {
        interval[i] = intervalFor(stability[i]);
    }
    interval[0] = std::min(interval[0], interval[1]);
    interval[1] = std::max(interval[1], interval[0] + 1);
    interval[2] = std::max(interval[2], interval[1] + 1);
    interval[3] = std::max(interval[3], interval[2] + 1);

    const std::size_t chosen = static_cast<std::size_t>(static_cast<int>(grade) - 1);
    ReviewCard next = card;
    next.stability = stability[chosen];
    next.difficulty = difficulty[chosen];
    next.lastDay = today;
    next.dueDay = today + interval[chosen];
    next.reps = card.reps + 1;
    if (!fresh && grade == Grade::Again) {
        ++next.lapses;
    }
    return next;
}

std::vector<std::int32_t> dueQuestions(const std::vector<ReviewCard>& cards, std::int32_t day) {
    std::vector<const ReviewCard*> due;
    for (const ReviewCard& card : cards) {
        if (card.reps > 0 && card.dueDay <= day) {
            due.push_back(&card);
        }
    }
    std::sort(due.begin(), due.end(), [day](const ReviewCard* a, const ReviewCard* b) {
        if (a->difficulty != b->difficulty) {
            return a->difficulty > b->difficulty;
        }
        const double ra = retrievability(a->stability, day - a->lastDay);
        const double rb = retrievability(b->stability, day - b->lastDay);
        if (ra != rb) {
            return ra < rb;
        }
        return a->question < b->question;
    });
    std::vector<std::int32_t> numbers;
    numbers.reserve(due.size());
    for (const ReviewCard* card : due) {
        numbers.push_back(card->question);
    }
    return numbers;
}

std::vector<int> dueCounts(const std::vector<ReviewCard>& cards, std::int32_t today, int days) {
    std::vector<int> counts(static_cast<std::size_t>(std::max(days, 0)), 0);
    for (const ReviewCard& card : cards) {
        if (card.reps == 0 || counts.empty()) {
            continue;
        }
        const std::int32_t offset = std::max(card.dueDay - today, 0);
        if (offset < days) {
            ++counts[static_cast<std::size_t>(offset)];
        }
    }
    return counts;
}

std::int32_t dayFromCivil(int year, unsigned month, unsigned day) {
    // Days since 1970-01-01 in the proleptic Gregorian calendar.
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int>(doe) - 719468;
}

std::string civilFromDay(std::int32_t days) {
    const std::int32_t z = days + 719468;
    const std::int32_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const int y = static_cast<int>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", y, m, d);
    return text;
}

std::int32_t localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dayFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                        static_cast<unsigned>(local.tm_mday));
}

}  // namespace pp
