#include "os/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/fault_system.h"
#include "common/test_support.h"

namespace tessaline {
namespace {

using test::ScratchDir;
using test::WriteFile;

TEST(PathPartsTest, OnlyTheSlashSeparates) {
  struct Row {
    const char* path;
    const char* directory;
    const char* file;
    const char* folder;
  };
  // On Linux a backslash and a colon are ordinary characters of a name.
  const Row rows[] = {
      {"/a/b", "/a/", "b", "/a"},
      {"/a/b/", "/a/b/", "", "/a/b"},
      {"b", "", "b", "."},
      {"/b", "/", "b", "/"},
      {"C:\\games\\x.wpk", "", "C:\\games\\x.wpk", "."},
      {"/g/a\\b:c", "/g/", "a\\b:c", "/g"},
      {"", "", "", "."},
      {"//x", "//", "x", "/"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(DirectoryPart(row.path), row.directory);
    EXPECT_EQ(FileNamePart(row.path), row.file);
    EXPECT_EQ(ContainingFolder(row.path), row.folder);
  }
}

TEST(ReadRegularFileTest, ReadsWholeFilesUpToTheLimitAndNothingElse) {
  ScratchDir dir;
  const std::string data(5000, 'd');
  WriteFile(dir / "f", data);
  EXPECT_EQ(ReadRegularFile(dir / "f", 5000).value(), data);
  EXPECT_EQ(ReadRegularFile(dir / "f", 4999).code(), kErrorTooLarge);
  EXPECT_EQ(ReadRegularFile(dir / "missing", 10).code(), ENOENT);
  EXPECT_EQ(ReadRegularFile(dir.path(), 10).code(), kErrorNotRegularFile);
  // A FIFO with no writer would block an ordinary open forever.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  EXPECT_EQ(ReadRegularFile(dir / "fifo", 10).code(), kErrorNotRegularFile);
  ASSERT_EQ(::symlink((dir / "f").c_str(), (dir / "link").c_str()), 0);
  EXPECT_EQ(ReadRegularFile(dir / "link", 5000).value(), data);
  EXPECT_EQ(SystemError("read", "/x", kErrorTooLarge).ToString(), "read '/x': too large");
}

TEST(ReadRegularFileTest, InterruptedAndShortReadsStillReadEverything) {
  ScratchDir dir;
  const std::string data = test::PatternBytes(100000);
  WriteFile(dir / "f", data);
  test::ScopedFaults fs;
  fs.Interrupt(test::FsOp::kRead, 5);
  fs.Interrupt(test::FsOp::kOpen, 2);
  EXPECT_TRUE(ReadRegularFile(dir / "f", data.size()).value() == data);
  fs.FailNth(test::FsOp::kRead, 1, EIO);
  const Result<std::string> failed = ReadRegularFile(dir / "f", data.size());
  EXPECT_EQ(failed.code(), EIO);
  EXPECT_EQ(failed.error().path(), dir / "f");
}

// Files longer than one read chunk, differing only in their last byte.
TEST(SameContentsTest, ComparesEveryByte) {
  ScratchDir dir;
  std::string data = test::PatternBytes(200 * 1024);
  WriteFile(dir / "a", data);
  WriteFile(dir / "b", data);
  EXPECT_TRUE(SameContents(dir / "a", dir / "b").value());
  data.back() = static_cast<char>(data.back() ^ 1);
  WriteFile(dir / "b", data);
  EXPECT_FALSE(SameContents(dir / "a", dir / "b").value());
  WriteFile(dir / "b", data.substr(1));
  EXPECT_FALSE(SameContents(dir / "a", dir / "b").value());
  EXPECT_EQ(SameContents(dir / "a", dir / "missing").code(), ENOENT);
  EXPECT_EQ(SameContents(dir.path(), dir / "a").code(), kErrorNotRegularFile);
}

TEST(RemoveFileTest, RemovesALinkNotItsTarget) {
  ScratchDir dir;
  WriteFile(dir / "f", "x");
  ASSERT_EQ(::symlink((dir / "f").c_str(), (dir / "link").c_str()), 0);
  EXPECT_TRUE(RemoveFile(dir / "link").ok());
  EXPECT_EQ(::access((dir / "f").c_str(), F_OK), 0);
  EXPECT_TRUE(RemoveFile(dir / "f").ok());
  EXPECT_EQ(RemoveFile(dir / "f").code(), ENOENT);
  EXPECT_EQ(RemoveFile(dir.path()).code(), EISDIR);
}

TEST(WriteAllTest, ShortWritesAreResumedAndAWriteOfNothingIsAnError) {
  ScratchDir dir;
  const std::string data = test::PatternBytes(10000, 2);
  test::ScopedFaults fs;
  {
    Result<UniqueFd> fd = Open(dir / "f", O_WRONLY | O_CREAT, 0644);
    ASSERT_TRUE(fd.ok());
    fs.LimitTransfers(333);
    fs.Interrupt(test::FsOp::kWrite, 3);
    EXPECT_TRUE(WriteAll(fd.value().get(), data, dir / "f").ok());
  }
  EXPECT_TRUE(test::ReadFile(dir / "f") == data);
  Result<UniqueFd> fd = Open(dir / "g", O_WRONLY | O_CREAT, 0644);
  fs.LimitTransfers(0);
  EXPECT_EQ(WriteAll(fd.value().get(), data, dir / "g").code(), EIO);
}

TEST(CreateFoldersTest, MakesEveryMissingLevelOrSaysWhichOneFailed) {
  ScratchDir dir;
  EXPECT_TRUE(CreateFolders(dir / "a/b/c/", 0755).ok());
  EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
  EXPECT_TRUE(CreateFolders(dir / "a/b", 0755).ok());  // already there
  WriteFile(dir / "file", "x");
  const Status blocked = CreateFolders(dir / "file/sub", 0755);
  EXPECT_EQ(blocked.code(), ENOTDIR);
  EXPECT_EQ(blocked.error().path().rfind(dir / "file", 0), 0u);
  std::string deep = dir / "d";
  for (int i = 0; i < 200; ++i) deep += "/x";
  EXPECT_TRUE(CreateFolders(deep, 0755).ok());
  EXPECT_TRUE(DirectoryExists(deep));
  test::ScopedFaults fs;
  fs.FailAll(test::FsOp::kMakeDir, EACCES);
  EXPECT_EQ(CreateFolders(dir / "p/q", 0755).error().path(), dir / "p");
}

}  // namespace
}  // namespace tessaline
