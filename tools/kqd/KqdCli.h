#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pp::kqd {

// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command ran and failed, or the file is refused
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

// Runs the tool on `args` (without the program name), printing results to `out` and one line
// per error or warning to `err`; returns the exit status.
int runKqd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pp::kqd
