#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "authoring/Messages.h"
#include "tools/kqd/KqdCli.h"

namespace {

constexpr const char* kDomain = "kqd";

// The language the environment asks messages in, read as gettext reads it.
std::string_view requestedLanguage() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

// The installed catalogues beside the program (PREFIX/share/locale), or else the build tree's.
std::filesystem::path localeFolder() {
    std::error_code ignored;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ignored);
    const std::filesystem::path installed = program.parent_path().parent_path() / "share" / "locale";
    if (!program.empty() && std::filesystem::exists(installed / "ja" / "LC_MESSAGES" / "kqd.mo", ignored)) {
        return installed;
    }
    return PERNA_BUILD_LOCALEDIR;
}

void chooseLanguage() {
    // A Japanese locale that this system has not generated still asks for Japanese: gettext
    // ignores every language under the "C" locale it falls back to, so messages take the UTF-8
    // one instead. A "C" asked for by name keeps kqd in English.
    if (std::setlocale(LC_ALL, "") == nullptr && requestedLanguage().starts_with("ja")) {
        std::setlocale(LC_MESSAGES, "C.UTF-8");
        setenv("LANGUAGE", "ja", 1);
    }
    bindtextdomain(kDomain, localeFolder().c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
    pp::kqd::setMessageCatalogue([](const char* english) { return std::string(dgettext(kDomain, english)); });
}

}  // namespace

int main(int argc, char** argv) {
    chooseLanguage();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return pp::kqd::runKqd(args, std::cout, std::cerr);
}
