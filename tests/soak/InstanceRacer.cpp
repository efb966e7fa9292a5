// A copy of the game reduced to its start and one ranking entry: it claims the documents folder
// as the game does, and when it may save, enters NAME with SCORE in the ranking, saves, and stays
// for HOLD_MS answering later copies. Prints what it did: "saved", "handed-over" or "read-only".
// Started by the single-instance soak tests.
// Usage: instance_racer DOCUMENTS NAME SCORE HOLD_MS

#include <QCoreApplication>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "persistence/Ranking.h"
#include "persistence/SettingsFile.h"
#include "shell/SingleInstance.h"

namespace {

void say(const std::string& line) {
    const std::string text = line + "\n";
    (void)::write(STDOUT_FILENO, text.data(), text.size());  // unbuffered: a stopped racer has said it already
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: instance_racer DOCUMENTS NAME SCORE HOLD_MS\n", stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const std::filesystem::path documents = argv[1];
    const std::string name = argv[2];
    pp::SingleInstance instance(pp::SingleInstance::socketPathFor(documents));
    switch (instance.claim(documents, QByteArray())) {
        case pp::SingleInstance::Role::HandedOver:
            say("handed-over");
            return 0;
        case pp::SingleInstance::Role::ReadOnly:
            say("read-only");
            return 0;
        case pp::SingleInstance::Role::Owner:
            break;
    }
    pp::GameState state;
    const std::filesystem::path path = pp::settingsPathIn(documents);
    pp::loadSettings(state, path);
    state.score = static_cast<std::int16_t>(std::atoi(argv[3]));
    pp::enterRanking(state, std::u16string(name.begin(), name.end()));
    say(pp::saveSettingsMerging(state, path) == pp::FileStatus::Ok ? "saved" : "failed");
    QTimer::singleShot(std::atoi(argv[4]), &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
