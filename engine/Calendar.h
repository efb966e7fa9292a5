#pragma once

#include <cstdint>
#include <string>

namespace pp {

// Days are counted from 1970-01-01 in the proleptic Gregorian calendar: the history stores them
// so, and the player's "today" is the local date.
std::int32_t localToday();
std::int32_t dayFromCivil(int year, unsigned month, unsigned day);
// The day's "YYYY-MM-DD".
std::string civilFromDay(std::int32_t day);

}  // namespace pp
