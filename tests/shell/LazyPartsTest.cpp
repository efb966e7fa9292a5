#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "shell/LazyParts.h"

namespace pp::test {
namespace {

// A module that cannot be had leaves a sentence naming the file and where it was looked for,
// and a module without the entry asked for names the entry: the player can tell what to fix.
TEST(LazyParts, AMissingModuleOrEntryIsNamedInsteadOfLoaded) {
    QString error;
    EXPECT_EQ(lazy::resolve("pocketperna-nowhere", "pp_anything", error), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("pocketperna-nowhere.so"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QDir::cleanPath(QStringLiteral(PERNA_MODULE_DIR)))) << error.toStdString();

    error.clear();
    EXPECT_EQ(lazy::resolve(lazy::kProgressModule, "pp_no_such_entry", error), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("pp_no_such_entry"))) << error.toStdString();
    // The module itself stays usable after a wrong entry.
    error.clear();
    EXPECT_NE(lazy::resolve(lazy::kProgressModule, lazy::kProgressEntry, error), nullptr) << error.toStdString();
}

// An install keeps its modules in the library folder beside the program's folder.
TEST(LazyParts, TheInstalledFolderIsSearchedBesideTheProgram) {
    const QStringList folders = lazy::searchFolders();
    const QString program = QCoreApplication::applicationDirPath();
    EXPECT_TRUE(folders.contains(program));
    EXPECT_TRUE(folders.contains(QDir::cleanPath(program + QStringLiteral("/../" PERNA_MODULE_SUBDIR))));
}

}  // namespace
}  // namespace pp::test
