#include "platform/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "common/scoped_env.h"
#include "common/test_support.h"

namespace tessaline {
namespace {

TEST(ProcessTest, FactsAboutTheRunningProcess) {
  EXPECT_EQ(std::filesystem::path(ExecutablePath()).filename(), "platform_tests");
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

}  // namespace
}  // namespace tessaline
