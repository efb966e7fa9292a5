// Saves new versions of the settings file in a loop, as fast as it can, and prints each version's
// number once its save has returned. Started and killed by the crash-safety tests.
// Usage: settings_writer DOCUMENTS TAG [COUNT]

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "SoakVersions.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: settings_writer DOCUMENTS TAG [COUNT]\n", stderr);
        return 2;
    }
    const std::filesystem::path path = pp::settingsPathIn(argv[1]);
    const char tag = argv[2][0];
    const long count = argc > 3 ? std::atol(argv[3]) : 1000000;
    // Go on from the version in the file, so that the versions rise from one run to the next.
    long number = 0;
    const pp::FileHead head = pp::readFileHead(path, 4096);
    if (head.bytes) {
        if (const auto version = pp::soak::versionIn(*head.bytes); version && version->tag == tag) {
            number = version->number;
        }
    }
    for (long saved = 0; saved < count; ++saved) {
        ++number;
        const pp::FileStatus status = pp::saveSettings(pp::soak::settingsVersion(tag, number), path);
        const std::string line =
            status == pp::FileStatus::Ok ? std::to_string(number) + "\n" : "failed " + std::to_string(number) + "\n";
        // Unbuffered, so that the report leaves before the next save starts.
        if (::write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
            status != pp::FileStatus::Ok) {
            return 1;
        }
    }
    return 0;
}
