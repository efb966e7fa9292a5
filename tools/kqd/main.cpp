#include <iostream>

#include "tools/kqd/KqdCli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return pp::kqd::runKqd(args, std::cout, std::cerr);
}
