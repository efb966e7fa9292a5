#pragma once

// Runs kqd in-process with the arguments after the program's name, and keeps what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "tools/kqd/KqdCli.h"

namespace pp::test {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline Outcome kqd(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    Outcome run;
    run.status = pp::kqd::runKqd(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

}  // namespace pp::test
