// Writes the code page 932 tables from ICU's windows-31j into the record folder:
//   cp932gen <record-dir>
#include "tools/cp932gen/TableSource.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cp932gen <record-dir>\n");
        return 2;
    }
    try {
        const std::string source = pp::cp932gen::cp932TableSource();
        const std::filesystem::path path = std::filesystem::path(argv[1]) / "Cp932Tables.cpp";
        std::ofstream file(path, std::ios::binary);
        file << source;
        file.close();
        if (!file) {
            throw std::runtime_error("cannot write " + path.string());
        }
        std::printf("%s: %zu bytes\n", path.string().c_str(), source.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cp932gen: %s\n", error.what());
        return 1;
    }
    return 0;
}
