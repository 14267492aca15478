#include "os/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "common/scoped_env.h"
#include "common/test_support.h"

namespace tessaline {
namespace {

TEST(ProcessTest, FactsAboutTheRunningProcess) {
  EXPECT_EQ(std::filesystem::path(ExecutablePath()).filename(), "os_tests");
  EXPECT_EQ(CurrentFolder(), std::filesystem::current_path().string());
  EXPECT_EQ(RunsAsRoot(), ::geteuid() == 0);
  EXPECT_TRUE(IsMainThread());
  bool other = true;
  std::thread([&] { other = IsMainThread(); }).join();
  EXPECT_FALSE(other);
}

TEST(ProcessTest, HomeFolderFallsBackToThePasswordDatabase) {
  {
    test::ScopedEnv home("HOME", "/home/ann");
    EXPECT_EQ(HomeFolder(), "/home/ann");
  }
  test::ScopedEnv home("HOME", "");
  EXPECT_FALSE(HomeFolder().empty());  // the user's entry
  EXPECT_EQ(EnvironmentValue("HOME"), "");
}

TEST(ProcessTest, RunningImageIsTheExecutablesBytes) {
  EXPECT_EQ(RunningImagePath(), "/proc/self/exe");
  EXPECT_TRUE(test::ReadFile(RunningImagePath()) == test::ReadFile(ExecutablePath()));
}

// The system marks the link of a deleted or replaced executable with
// " (deleted)"; the path the program is named by has no such suffix.
TEST(ProcessTest, DeletedSuffixIsDroppedUnlessTheFileReallyHasThatName) {
  EXPECT_EQ(WithoutDeletedSuffix("/usr/bin/tessaline (deleted)"), "/usr/bin/tessaline");
  EXPECT_EQ(WithoutDeletedSuffix("/usr/bin/tessaline"), "/usr/bin/tessaline");
  EXPECT_EQ(WithoutDeletedSuffix("/a/b (deleted) c"), "/a/b (deleted) c");
  EXPECT_EQ(WithoutDeletedSuffix(" (deleted)"), " (deleted)");
  test::ScratchDir scratch;
  // A file of that name that is another file: still the mark.
  const std::string other = scratch.path() + "/x (deleted)";
  test::WriteFile(other, "x");
  EXPECT_EQ(WithoutDeletedSuffix(other), scratch.path() + "/x");
  // The running image itself under that name (a hard link): the real name.
  const std::string same = scratch.path() + "/os_tests (deleted)";
  if (::link(ExecutablePath().c_str(), same.c_str()) != 0) GTEST_SKIP() << "no hard link here";
  EXPECT_EQ(WithoutDeletedSuffix(same), same);
}

}  // namespace
}  // namespace tessaline
