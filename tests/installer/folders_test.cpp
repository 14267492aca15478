#include "installer/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "common/scoped_env.h"
#include "common/test_support.h"
#include "support/exception.h"

namespace tessaline {
namespace {

using test::ListDir;
using test::ScratchDir;
using test::WriteFile;

using test::ScopedEnv;

// Runs a test body with another current directory and restores it.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::string& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCwd() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

TEST(TempFolderTest, EndsInExactlyOneSlash) {
  {
    ScopedEnv env("TMPDIR", std::nullopt);
    EXPECT_EQ(TempFolder(), "/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", "");
    EXPECT_EQ(TempFolder(), "/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", "/var/tmp");
    EXPECT_EQ(TempFolder(), "/var/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", "/var/tmp///");
    EXPECT_EQ(TempFolder(), "/var/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", "/");
    EXPECT_EQ(TempFolder(), "/");
  }
}

TEST(CreateFolderPathTest, CreatesEveryMissingLevel) {
  ScratchDir scratch;
  EXPECT_TRUE(CreateFolderPath(scratch / "a/b/c").ok());
  EXPECT_TRUE(DirectoryExists(scratch / "a"));
  EXPECT_TRUE(DirectoryExists(scratch / "a/b"));
  EXPECT_TRUE(DirectoryExists(scratch / "a/b/c"));

  // One trailing "/" is ignored; an existing path is left as it is.
  EXPECT_TRUE(CreateFolderPath(scratch / "a/b/c/d/").ok());
  EXPECT_TRUE(DirectoryExists(scratch / "a/b/c/d"));
  EXPECT_TRUE(CreateFolderPath(scratch / "a/b/c/d/").ok());
  EXPECT_EQ(ListDir(scratch / "a/b/c"), std::vector<std::string>{"d"});
}

TEST(CreateFolderPathTest, RootAndSeparatorsOnlyCreateNothing) {
  EXPECT_NO_THROW(CreateFolderPath("/"));
  EXPECT_NO_THROW(CreateFolderPath("//"));
  EXPECT_NO_THROW(CreateFolderPath("///"));
}

TEST(CreateFolderPathTest, EmptyPathIsRefused) {
  try {
    (void)CreateFolderPath("");
    FAIL() << "no exception";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Unable to create directory");
  }
}

TEST(CreateFolderPathTest, RelativePathNeedsAnExistingTopLevel) {
  ScratchDir scratch;
  ScopedCwd cwd(scratch.path());
  EXPECT_THROW(CreateFolderPath("missing/deeper"), Exception);
  EXPECT_THROW(CreateFolderPath("single"), Exception);
  EXPECT_TRUE(ListDir(scratch.path()).empty()) << "nothing may be created before the refusal";

  ::mkdir("top", 0777);
  EXPECT_TRUE(CreateFolderPath("top/x/y").ok());
  EXPECT_TRUE(DirectoryExists(scratch / "top/x/y"));
}

TEST(CreateFolderPathTest, LevelThatCannotBeMadeIsPassedOverButSaid) {
  ScratchDir scratch;
  WriteFile(scratch / "plain", "data");
  Status made = Status::Ok();
  EXPECT_NO_THROW(made = CreateFolderPath(scratch / "plain/sub/deeper"));
  EXPECT_EQ(made.code(), ENOTDIR);
  EXPECT_EQ(made.error().path().rfind(scratch / "plain/sub", 0), 0u);
  EXPECT_EQ(test::ReadFile(scratch / "plain"), "data");
  EXPECT_FALSE(DirectoryExists(scratch / "plain/sub"));
}

TEST(CreateFolderPathTest, FollowsLinkedLevels) {
  ScratchDir scratch;
  ::mkdir((scratch / "real").c_str(), 0777);
  ASSERT_EQ(::symlink((scratch / "real").c_str(), (scratch / "link").c_str()), 0);
  EXPECT_TRUE(CreateFolderPath(scratch / "link/inner").ok());
  EXPECT_TRUE(DirectoryExists(scratch / "real/inner"));
}

}  // namespace
}  // namespace tessaline
