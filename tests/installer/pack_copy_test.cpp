#include "installer/pack_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "common/fail_each_step.h"
#include "common/fault_system.h"

#include "common/test_support.h"

namespace tessaline {
namespace {

using test::ListDir;
using test::PatternBytes;
using test::ReadFile;
using test::RunInChild;
using test::ScratchDir;
using test::WriteFile;

using Names = std::vector<std::string>;

// The copy as the installation makes it: written, then put in place.
void CopyFileReplacing(const std::string& source, const std::string& target) {
  PendingCopy copy(source, target);
  copy.Write();
  copy.PutInPlace();
}

// Expects `body` to raise an exception of type E with `message`, followed
// by a line saying why: `cause` when given, else anything.
template <typename E, typename F>
void ExpectFailure(F body, const std::string& message, const std::string& cause = {}) {
  try {
    body();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const E& error) {
    EXPECT_EQ(test::FixedText(error.Message()), message);
    const std::string said = test::CauseText(error.Message());
    if (cause.empty()) {
      EXPECT_FALSE(said.empty()) << error.Message();
    } else {
      EXPECT_EQ(said, cause);
    }
  }
}

// For a child process: copies `source` over `dest` and returns 0 when that
// raises an exception of type E with `message` and a cause that ends with
// `cause`, 11 when E has another message, 12 for any other exception and 13
// when the copy succeeds.
template <typename E>
int CopyFailureCode(const std::string& source, const std::string& dest, const std::string& message,
                    const std::string& cause) {
  try {
    CopyFileReplacing(source, dest);
  } catch (const E& error) {
    const std::string said = test::CauseText(error.Message());
    const bool ends = said.size() >= cause.size() &&
                      said.compare(said.size() - cause.size(), cause.size(), cause) == 0;
    return test::FixedText(error.Message()) == message && !said.empty() && ends ? 0 : 11;
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
                             "Cannot open file " + (scratch / "missing"),
                             "No such file or directory");
  ExpectFailure<EFOpenError>([&] { CopyFileReplacing(scratch.path(), scratch / "P.wpk"); },
                             "Cannot open file " + scratch.path(), "It is not a regular file");
  EXPECT_TRUE(ListDir(scratch.path()).empty());
}

TEST(CopyFileReplacingTest, TargetThatCannotBeCreatedKeepsEverything) {
  ScratchDir scratch;
  WriteFile(scratch / "source", "exe");
  WriteFile(scratch / "plain", "plain");
  ::mkdir((scratch / "dir.wpk").c_str(), 0777);
  WriteFile(scratch / "dir.wpk/inside", "kept");
  ::mkfifo((scratch / "fifo.wpk").c_str(), 0666);

  const std::pair<std::string, std::string> cases[] = {
      {"missing/P.wpk", "No such file or directory"},
      {"plain/P.wpk", "Not a directory"},
      {"dir.wpk", "A folder has that name"},
      {"fifo.wpk", "Something that is not a regular file has that name"}};
  for (const auto& [name, cause] : cases) {
    SCOPED_TRACE(name);
    ExpectFailure<EFCreateError>([&] { CopyFileReplacing(scratch / "source", scratch / name); },
                                 "Cannot create file " + (scratch / name), cause);
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
                                 "Cannot create file " + (scratch / name),
                                 "It is the running program itself");
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
      return CopyFailureCode<EWriteError>(source, scratch / "P.wpk", "Stream write error",
                                          "P.wpk: File too large");
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
                                          "Cannot create file " + (scratch / "P.wpk"),
                                          "Permission denied");
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(scratch / "P.wpk"), "old pack");
  EXPECT_EQ(ListDir(scratch.path()), (Names{"P.wpk", "source"}));
}

// Every step of a copy failed in turn must leave success and the new bytes,
// or one of the copy's own messages and the old bytes (the new ones only when
// the failed step came after the rename), and never a stray file.
TEST(CopyFileReplacingFaultTest, EveryStepFailedInTurnKeepsTheOldPackAndLeavesNothing) {
  ScratchDir scratch;
  const std::string source = scratch / "source", target = scratch / "P.wpk";
  const std::string data = PatternBytes(3 * kCopyPieceSize + 5);
  WriteFile(source, data);
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    test::StepDriver driver;
    driver.reset = [&] { WriteFile(target, "old pack"); };
    driver.prepare = [&](test::FaultSystem& fs) {
      fs.LimitTransfers(kCopyPieceSize / 2);  // several pieces, so each can fail
      if (!unnamed) fs.RefuseUnnamedFiles();
    };
    driver.operation = [&] {
      try {
        CopyFileReplacing(source, target);
      } catch (const Exception& e) {
        return e.Message();
      }
      return std::string();
    };
    driver.check = [&](const test::FailedStep& run) {
      using test::FsOp;
      // Only a failed removal may leave an unfinished copy, for the next run.
      if (run.failed.op == FsOp::kUnlink) {
        for (const std::string& name : ListDir(scratch.path())) {
          if (name.rfind(FileReplacement::PartialPrefix("P.wpk"), 0) == 0) ::unlink((scratch / name).c_str());
        }
      }
      EXPECT_EQ(ListDir(scratch.path()), (Names{"P.wpk", "source"}));
      const std::string result = ReadFile(target);
      if (run.message.empty()) {
        EXPECT_TRUE(result == data);
        return;
      }
      EXPECT_TRUE(result == "old pack" || (run.After(FsOp::kRename) && result == data));
      const std::string fixed = test::FixedText(run.message);
      EXPECT_FALSE(test::CauseText(run.message).empty()) << run.message;
      if (run.failed.op == FsOp::kOpen && run.failed.path == source) {
        EXPECT_EQ(fixed, "Cannot open file " + source);
      } else if (run.failed.op == FsOp::kRead && run.failed.path == source) {
        EXPECT_EQ(fixed, "Stream read error");
      } else if (run.failed.op == FsOp::kWrite || run.failed.op == FsOp::kSync) {
        EXPECT_EQ(fixed, "Stream write error");
      } else {
        EXPECT_TRUE(fixed == "Cannot create file " + target || fixed == "Stream write error" ||
                    fixed == "Cannot open file " + source)
            << run.message;
      }
    };
    EXPECT_GT(test::FailEachStep(driver), 8) << "the faults never reached the copy";
  }
}

TEST(CopyFileReplacingFaultTest, InterruptionsAndShortTransfersStillCopyEveryByte) {
  ScratchDir scratch;
  const std::string data = PatternBytes(2 * kCopyPieceSize + 77, 9);
  WriteFile(scratch / "source", data);
  test::ScopedFaults fs;
  for (const auto op : {test::FsOp::kOpen, test::FsOp::kCopyRange, test::FsOp::kRead,
                        test::FsOp::kWrite, test::FsOp::kSync, test::FsOp::kLock}) {
    fs.Interrupt(op, 3);
  }
  fs.LimitTransfers(1000);
  CopyFileReplacing(scratch / "source", scratch / "P.wpk");
  EXPECT_TRUE(ReadFile(scratch / "P.wpk") == data);
}

// When the kernel cannot copy in place (another file system), the plain
// reads and writes carry the copy.
TEST(CopyFileReplacingFaultTest, PlainReadsAndWritesTakeOverFromTheKernelCopy) {
  ScratchDir scratch;
  const std::string data = PatternBytes(5 * kCopyPieceSize + 3, 11);
  WriteFile(scratch / "source", data);
  test::ScopedFaults fs;
  fs.FailAll(test::FsOp::kCopyRange, EXDEV);
  CopyFileReplacing(scratch / "source", scratch / "P.wpk");
  EXPECT_TRUE(ReadFile(scratch / "P.wpk") == data);
  const auto reads = std::count_if(fs.calls().begin(), fs.calls().end(),
                                   [](const auto& c) { return c.op == test::FsOp::kRead; });
  EXPECT_EQ(reads, 6);  // five whole pieces and the last three bytes
}

// The plain copy moves pieces of 61,440 bytes: a file of exactly that size
// takes one read, one byte more takes two, three pieces take three.
TEST(CopyFileReplacingFaultTest, PlainCopyReadsPiecesOf61440Bytes) {
  ScratchDir scratch;
  for (const auto& [size, reads] :
       {std::pair<std::size_t, long>{61440, 1}, {61441, 2}, {3 * 61440, 3}}) {
    SCOPED_TRACE(size);
    const std::string data = PatternBytes(size, 5);
    WriteFile(scratch / "source", data);
    test::ScopedFaults fs;
    fs.FailAll(test::FsOp::kCopyRange, EXDEV);
    CopyFileReplacing(scratch / "source", scratch / "P.wpk");
    EXPECT_TRUE(ReadFile(scratch / "P.wpk") == data);
    EXPECT_EQ(std::count_if(fs.calls().begin(), fs.calls().end(),
                            [](const auto& c) { return c.op == test::FsOp::kRead; }),
              reads);
  }
}

// A write that takes nothing is a failed write, not an endless loop.
TEST(CopyFileReplacingFaultTest, AWriteThatTakesNothingIsAWriteError) {
  ScratchDir scratch;
  WriteFile(scratch / "source", PatternBytes(1000));
  WriteFile(scratch / "P.wpk", "old pack");
  test::ScopedFaults fs;
  fs.LimitTransfers(0);
  ExpectFailure<EWriteError>([&] { CopyFileReplacing(scratch / "source", scratch / "P.wpk"); },
                             "Stream write error");
  EXPECT_EQ(ReadFile(scratch / "P.wpk"), "old pack");
  EXPECT_EQ(ListDir(scratch.path()), (Names{"P.wpk", "source"}));
}

// A target that cannot even be looked at (a name too long, no search right
// on its folder) is refused before anything is written.
TEST(CopyFileReplacingFaultTest, ATargetThatCannotBeLookedAtIsRefused) {
  ScratchDir scratch;
  WriteFile(scratch / "source", "exe");
  const std::string long_name = scratch / (std::string(300, 'n') + ".wpk");
  ExpectFailure<EFCreateError>([&] { CopyFileReplacing(scratch / "source", long_name); },
                               "Cannot create file " + long_name);
  WriteFile(scratch / "P.wpk", "old pack");
  test::ScopedFaults fs;
  fs.FailNth(test::FsOp::kStat, 1, EACCES);  // the target's, after the source's
  ExpectFailure<EFCreateError>([&] { CopyFileReplacing(scratch / "source", scratch / "P.wpk"); },
                               "Cannot create file " + (scratch / "P.wpk"));
  EXPECT_EQ(ReadFile(scratch / "P.wpk"), "old pack");
}

// A folder that only takes new names (append-only) could keep neither the
// new file nor its leftovers: refused before anything is made.
TEST(CopyFileReplacingFaultTest, AnAppendOnlyFolderIsRefusedAndCollectsNothing) {
  ScratchDir scratch;
  ::mkdir((scratch / "games").c_str(), 0755);
  WriteFile(scratch / "source", "exe");
  WriteFile(scratch / "games/P.wpk", "old pack");
  const int dir = ::open((scratch / "games").c_str(), O_RDONLY | O_DIRECTORY);
  int flags = 0;
  if (::ioctl(dir, FS_IOC_GETFLAGS, &flags) != 0) GTEST_SKIP() << "no inode flags here";
  flags |= FS_APPEND_FL;
  if (::ioctl(dir, FS_IOC_SETFLAGS, &flags) != 0)
    GTEST_SKIP() << "cannot make a folder append-only";
  for (int attempt = 0; attempt < 2; ++attempt) {
    ExpectFailure<EFCreateError>(
        [&] { CopyFileReplacing(scratch / "source", scratch / "games/P.wpk"); },
        "Cannot create file " + (scratch / "games/P.wpk"));
  }
  const Names left = ListDir(scratch / "games");
  flags &= ~FS_APPEND_FL;
  ::ioctl(dir, FS_IOC_SETFLAGS, &flags);
  ::close(dir);
  EXPECT_EQ(left, Names{"P.wpk"});
  EXPECT_EQ(ReadFile(scratch / "games/P.wpk"), "old pack");
}

// Stops the copy in the middle of its data: tells the parent through `ready`
// once two pieces are written, then waits for the end.
// A process killed in the middle of the copy leaves the old pack file under
// the pack's name; the unfinished copy it leaves is cleared by the next run.
TEST(CopyFileReplacingFaultTest, KilledCopyNeverLeavesAPartialPackFile) {
  ScratchDir scratch;
  const std::string old_data = PatternBytes(5 * kCopyPieceSize, 3);
  const std::string new_data = PatternBytes(8 * kCopyPieceSize, 4);
  WriteFile(scratch / "source", new_data);
  WriteFile(scratch / "P.wpk", old_data);
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    test::Gate third_piece;
    test::Child child([&] {
      test::ScopedFaults fs;
      fs.FailAll(test::FsOp::kCopyRange, EXDEV);
      if (!unnamed) fs.RefuseUnnamedFiles();
      int writes = 0;
      fs.BeforeEachCall([&](const test::FaultSystem::Call& call) {
        if (call.op != test::FsOp::kWrite || ++writes != 3) return;
        third_piece.Post();
        for (;;) ::pause();
      });
      try {
        CopyFileReplacing(scratch / "source", scratch / "P.wpk");
      } catch (...) {
      }
      return 1;
    });
    ASSERT_TRUE(third_piece.Await()) << "the copy never reached its third piece";
    EXPECT_EQ(child.Kill(), 128 + SIGKILL);
    EXPECT_TRUE(ReadFile(scratch / "P.wpk") == old_data);
    const Names left = ListDir(scratch.path());
    EXPECT_EQ(left.size(), unnamed ? 2u : 3u);
    for (const std::string& name : left) {
      if (name != "P.wpk" && name != "source") {
        EXPECT_EQ(name.rfind(FileReplacement::PartialPrefix("P.wpk"), 0), 0u) << name;
      }
    }
  }
  CopyFileReplacing(scratch / "source", scratch / "P.wpk");
  EXPECT_TRUE(ReadFile(scratch / "P.wpk") == new_data);
  EXPECT_EQ(ListDir(scratch.path()), (Names{"P.wpk", "source"}));
}

}  // namespace
}  // namespace tessaline
