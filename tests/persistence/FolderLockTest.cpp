#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>

#include "Fixtures.h"
#include "persistence/FolderLock.h"

namespace pp {
namespace {

// Each FolderLock opens the file afresh, so two in one process stand for two programs.
TEST(FolderLock, OneHolderAtATimeAndTheNextOnceItEnds) {
    test::TempFolder folder;
    auto first = std::make_unique<FolderLock>(folder.path());
    EXPECT_EQ(first->outcome(), FolderLock::Outcome::Taken);
    FolderLock second(folder.path());
    EXPECT_EQ(second.outcome(), FolderLock::Outcome::HeldElsewhere);
    EXPECT_EQ(second.retry(), FolderLock::Outcome::HeldElsewhere);
    first.reset();
    EXPECT_EQ(second.retry(), FolderLock::Outcome::Taken);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() / std::string(FolderLock::kFileName)));
}

TEST(FolderLock, NoLockWhereNoRegularFileCanStand) {
    test::TempFolder folder;
    const auto file = folder.path() / std::string(FolderLock::kFileName);
    std::filesystem::create_directory(file);
    EXPECT_EQ(FolderLock(folder.path()).outcome(), FolderLock::Outcome::Unavailable);
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);  // opened without blocking, then refused
    EXPECT_EQ(FolderLock(folder.path()).outcome(), FolderLock::Outcome::Unavailable);
    EXPECT_EQ(FolderLock(folder.path() / "missing").outcome(), FolderLock::Outcome::Unavailable);
}

}  // namespace
}  // namespace pp
