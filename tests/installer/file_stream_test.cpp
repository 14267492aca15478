#include "installer/file_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "installer_test_util.h"

namespace tessaline {
namespace {

using test::ListDir;
using test::PatternBytes;
using test::ReadFile;
using test::RunInChild;
using test::ScratchDir;
using test::WriteFile;

using Names = std::vector<std::string>;

// Expects `body` to raise an exception of type E with `message`.
template <typename E, typename F>
void ExpectFailure(F body, const std::string& message) {
  try {
    body();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const E& error) {
    EXPECT_EQ(error.Message(), message);
  }
}

// For a child process: copies `source` over `dest` and returns 0 when that
// raises an exception of type E with `message`, 11 when E has another message,
// 12 for any other exception and 13 when the copy succeeds.
template <typename E>
int CopyFailureCode(const std::string& source, const std::string& dest,
                    const std::string& message) {
  try {
    CopyFileReplacing(source, dest);
  } catch (const E& error) {
    return error.Message() == message ? 0 : 11;
  } catch (...) {
    return 12;
  }
  return 13;
}

class CopySizeTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(CopySizeTest, CopiesEveryByteInOrder) {
  ScratchDir scratch;
  const std::string data = PatternBytes(GetParam());
  WriteFile(scratch / "source", data);
  CopyFileReplacing(scratch / "source", scratch / "Pack.wpk");
  EXPECT_TRUE(ReadFile(scratch / "Pack.wpk") == data);
  EXPECT_EQ(ListDir(scratch.path()), (Names{"Pack.wpk", "source"}));
}

// The same through plain reads and writes: the kernel cannot copy in place
// from a memory file system to this one.
TEST_P(CopySizeTest, CopiesEveryByteAcrossFileSystems) {
  const std::string shm_source = "/dev/shm/tessaline-d-source-" + std::to_string(::getpid());
  if (!test::DirectoryIsWritable("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  ScratchDir scratch;
  const std::string data = PatternBytes(GetParam(), 7);
  WriteFile(shm_source, data);
  CopyFileReplacing(shm_source, scratch / "Pack.wpk");
  ::unlink(shm_source.c_str());
  EXPECT_TRUE(ReadFile(scratch / "Pack.wpk") == data);
}

INSTANTIATE_TEST_SUITE_P(PieceBoundaries, CopySizeTest,
                         ::testing::Values(0, 1, kCopyPieceSize - 1, kCopyPieceSize,
                                           kCopyPieceSize + 1, 37 * kCopyPieceSize + 123));

TEST(CopyFileReplacingTest, ReplacesAnExistingFileAndMarksItExecutable) {
  ScratchDir scratch;
  WriteFile(scratch / "source", "new content");
  WriteFile(scratch / "Pack.wpk", "an older and longer content that must go entirely");
  ::chmod((scratch / "Pack.wpk").c_str(), 0600);
  CopyFileReplacing(scratch / "source", scratch / "Pack.wpk");
  EXPECT_EQ(ReadFile(scratch / "Pack.wpk"), "new content");
  struct stat info;
  ASSERT_EQ(::stat((scratch / "Pack.wpk").c_str(), &info), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(info.st_mode & 07777, 0755 & ~mask);
}

TEST(CopyFileReplacingTest, SourceThatCannotBeOpened) {
  ScratchDir scratch;
  ExpectFailure<EFOpenError>([&] { CopyFileReplacing(scratch / "missing", scratch / "P.wpk"); },
                             "Cannot open file " + (scratch / "missing"));
  ExpectFailure<EFOpenError>([&] { CopyFileReplacing(scratch.path(), scratch / "P.wpk"); },
                             "Cannot open file " + scratch.path());
  EXPECT_TRUE(ListDir(scratch.path()).empty());
}

TEST(CopyFileReplacingTest, TargetThatCannotBeCreatedKeepsEverything) {
  ScratchDir scratch;
  WriteFile(scratch / "source", "exe");
  WriteFile(scratch / "plain", "plain");
  ::mkdir((scratch / "dir.wpk").c_str(), 0777);
  WriteFile(scratch / "dir.wpk/inside", "kept");
  ::mkfifo((scratch / "fifo.wpk").c_str(), 0666);

  for (const std::string name : {"missing/P.wpk", "plain/P.wpk", "dir.wpk", "fifo.wpk"}) {
    SCOPED_TRACE(name);
    ExpectFailure<EFCreateError>([&] { CopyFileReplacing(scratch / "source", scratch / name); },
                                 "Cannot create file " + (scratch / name));
  }
  EXPECT_EQ(ListDir(scratch.path()), (Names{"dir.wpk", "fifo.wpk", "plain", "source"}));
  EXPECT_EQ(ReadFile(scratch / "dir.wpk/inside"), "kept");
  EXPECT_EQ(ReadFile(scratch / "plain"), "plain");
}

TEST(CopyFileReplacingTest, RefusesToReplaceTheSourceItself) {
  ScratchDir scratch;
  const std::string data = PatternBytes(3 * kCopyPieceSize);
  WriteFile(scratch / "exe", data);
  ASSERT_EQ(::symlink((scratch / "exe").c_str(), (scratch / "soft.wpk").c_str()), 0);
  ASSERT_EQ(::link((scratch / "exe").c_str(), (scratch / "hard.wpk").c_str()), 0);
  for (const std::string name : {"exe", "soft.wpk", "hard.wpk"}) {
    SCOPED_TRACE(name);
    ExpectFailure<EFCreateError>([&] { CopyFileReplacing(scratch / "exe", scratch / name); },
                                 "Cannot create file " + (scratch / name));
  }
  EXPECT_TRUE(ReadFile(scratch / "exe") == data);
  EXPECT_EQ(ListDir(scratch.path()), (Names{"exe", "hard.wpk", "soft.wpk"}));
}

TEST(CopyFileReplacingTest, SourceEndingEarlyIsAReadError) {
  // Kernel attribute files report a size of a page but hold a short text.
  const std::string source = "/sys/kernel/mm/transparent_hugepage/enabled";
  struct stat info;
  if (::stat(source.c_str(), &info) != 0 ||
      info.st_size <= static_cast<off_t>(ReadFile(source).size()))
    GTEST_SKIP() << "no short kernel attribute file here";
  ScratchDir scratch;
  WriteFile(scratch / "P.wpk", "old");
  ExpectFailure<EReadError>([&] { CopyFileReplacing(source, scratch / "P.wpk"); },
                            "Stream read error");
  EXPECT_EQ(ReadFile(scratch / "P.wpk"), "old");
  EXPECT_EQ(ListDir(scratch.path()), Names{"P.wpk"});
}

TEST(CopyFileReplacingTest, RemovesStaleUnfinishedCopiesButNotLockedOnes) {
  ScratchDir scratch;
  WriteFile(scratch / "source", "exe");
  const std::string prefix = PartialCopyPrefix("P.wpk");
  EXPECT_EQ(prefix, ".P.wpk.part-");
  WriteFile(scratch / (prefix + "abc123"), "stale");
  WriteFile(scratch / (prefix + "busy01"), "in progress");
  WriteFile(scratch / (prefix + "toolongname"), "not ours");
  WriteFile(scratch / ".Other.wpk.part-abc123", "another pack's");
  const int busy = ::open((scratch / (prefix + "busy01")).c_str(), O_RDONLY);
  ASSERT_EQ(::flock(busy, LOCK_EX), 0);

  CopyFileReplacing(scratch / "source", scratch / "P.wpk");
  ::close(busy);
  EXPECT_EQ(ListDir(scratch.path()), (Names{".Other.wpk.part-abc123", prefix + "busy01",
                                            prefix + "toolongname", "P.wpk", "source"}));
}

// A file-size limit reached in the middle of the copy: the process must not
// die of SIGXFSZ, the old pack file stays, and no unfinished copy remains.
TEST(CopyFileReplacingFaultTest, FileSizeLimitIsAWriteError) {
  ScratchDir scratch;
  const std::string data = PatternBytes(20 * kCopyPieceSize);
  WriteFile(scratch / "source", data);
  WriteFile(scratch / "P.wpk", "old pack");
  const std::string shm_source = "/dev/shm/tessaline-d-limit-" + std::to_string(::getpid());
  WriteFile(shm_source, data);

  for (const std::string& source : {scratch / "source", shm_source}) {
    SCOPED_TRACE(source);
    const int code = RunInChild([&] {
      const rlimit limit{5 * kCopyPieceSize + 100, 5 * kCopyPieceSize + 100};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
      return CopyFailureCode<EWriteError>(source, scratch / "P.wpk", "Stream write error");
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(scratch / "P.wpk"), "old pack");
    EXPECT_EQ(ListDir(scratch.path()), (Names{"P.wpk", "source"}));
  }
  ::unlink(shm_source.c_str());
}

// A folder the user may not write: refused before anything is copied.
TEST(CopyFileReplacingFaultTest, ReadOnlyFolderIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  ScratchDir scratch;
  ::chmod(scratch.path().c_str(), 0755);
  WriteFile(scratch / "source", "exe");
  ::chmod((scratch / "source").c_str(), 0644);
  WriteFile(scratch / "P.wpk", "old pack");
  ::chmod((scratch / "P.wpk").c_str(), 0666);  // the file itself is writable
  const int code = RunInChild([&] {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 10;
    return CopyFailureCode<EFCreateError>(scratch / "source", scratch / "P.wpk",
                                          "Cannot create file " + (scratch / "P.wpk"));
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(scratch / "P.wpk"), "old pack");
  EXPECT_EQ(ListDir(scratch.path()), (Names{"P.wpk", "source"}));
}

// A process killed at any moment of the copy leaves either the old pack file
// or the complete new one under the pack's name, never a part of it.
TEST(CopyFileReplacingFaultTest, KilledCopyNeverLeavesAPartialPackFile) {
  ScratchDir scratch;
  const std::string old_data = PatternBytes(5 * kCopyPieceSize, 3);
  const std::string new_data = PatternBytes(48 << 20, 4);
  WriteFile(scratch / "source", new_data);
  const std::string shm_source = "/dev/shm/tessaline-d-kill-" + std::to_string(::getpid());
  WriteFile(shm_source, new_data);

  int completed = 0;
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    WriteFile(scratch / "P.wpk", old_data);
    const std::string source = round % 2 == 0 ? scratch / "source" : shm_source;
    const pid_t pid = ::fork();
    if (pid == 0) {
      try {
        CopyFileReplacing(source, scratch / "P.wpk");
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2 + 6 * round));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) ++completed;

    const std::string result = ReadFile(scratch / "P.wpk");
    EXPECT_TRUE(result == old_data || result == new_data) << "size " << result.size();
    // Anything left beside it is an unfinished copy that the next run clears.
    for (const std::string& name : ListDir(scratch.path())) {
      if (name != "P.wpk" && name != "source") {
        EXPECT_EQ(name.rfind(PartialCopyPrefix("P.wpk"), 0), 0u) << name;
      }
    }
  }
  EXPECT_LT(completed, 8) << "no copy was interrupted";
  CopyFileReplacing(scratch / "source", scratch / "P.wpk");
  EXPECT_EQ(ListDir(scratch.path()), (Names{"P.wpk", "source"}));
  ::unlink(shm_source.c_str());
}

}  // namespace
}  // namespace tessaline
