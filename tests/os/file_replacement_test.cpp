#include "os/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/fault_system.h"
#include "common/test_support.h"

namespace tessaline {
namespace {

using Names = std::vector<std::string>;
using test::ListDir;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

Status Replace(const std::string& target, const std::string& bytes) {
  FileReplacement replacement(target);
  Status status = replacement.Create(0644);
  if (status.ok()) status = WriteAll(replacement.fd(), bytes, target);
  if (status.ok()) status = replacement.Sync();
  if (status.ok()) status = replacement.PutInPlace();
  return status;
}

TEST(FileReplacementTest, TakesThePlaceOnlyWhenPutThere) {
  ScratchDir dir;
  const std::string target = dir / "f";
  for (const bool unnamed : {true, false}) {
    WriteFile(target, "old");
    test::ScopedFaults fs;
    if (!unnamed) fs.RefuseUnnamedFiles();
    {
      FileReplacement abandoned(target);
      ASSERT_TRUE(abandoned.Create(0644).ok());
      ASSERT_TRUE(WriteAll(abandoned.fd(), "never", target).ok());
      EXPECT_EQ(ReadFile(target), "old");
    }
    EXPECT_EQ(ListDir(dir.path()), Names{"f"});  // nothing left of it
    ASSERT_TRUE(Replace(target, unnamed ? "new" : "newer").ok());
    EXPECT_EQ(ReadFile(target), unnamed ? "new" : "newer");
    EXPECT_EQ(ListDir(dir.path()), Names{"f"});
  }
}

TEST(FileReplacementTest, LeftoversOfKilledRunsGoUnlessSomeoneHoldsThem) {
  ScratchDir dir;
  const std::string prefix = FileReplacement::PartialPrefix("f");
  EXPECT_EQ(prefix, ".f.part-");
  WriteFile(dir / (prefix + "abc123"), "stale");
  WriteFile(dir / (prefix + "busy01"), "in progress");
  WriteFile(dir / (prefix + "toolongname"), "not ours");
  WriteFile(dir / ".g.part-abc123", "another file's");
  const int busy = ::open((dir / (prefix + "busy01")).c_str(), O_RDONLY);
  ASSERT_EQ(::flock(busy, LOCK_EX), 0);
  ASSERT_TRUE(Replace(dir / "f", "x").ok());
  ::close(busy);
  EXPECT_EQ(ListDir(dir.path()),
            (Names{".f.part-busy01", ".f.part-toolongname", ".g.part-abc123", "f"}));
}

// A replacement put in place keeping the old file can be undone: a file or a
// link comes back as it was (the kept one locked meanwhile, so that no other
// run takes it for a leftover), nothing comes back as nothing, and a target
// that leads elsewhere by then is left alone. Not undone, the kept file goes.
TEST(FileReplacementTest, UndoPutsBackWhatWasReplaced) {
  ScratchDir dir;
  const std::string target = dir / "f";
  auto put_new = [&](FileReplacement& replacement) {
    ASSERT_TRUE(replacement.Create(0644).ok());
    ASSERT_TRUE(WriteAll(replacement.fd(), "new", target).ok());
    ASSERT_TRUE(replacement.Sync().ok());
    ASSERT_TRUE(replacement.PutInPlaceKeepingOld().ok());
    EXPECT_EQ(ReadFile(target), "new");
  };
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed new file" : "hidden new file");
    test::ScopedFaults fs;
    if (!unnamed) fs.RefuseUnnamedFiles();
    WriteFile(target, "old");
    {
      FileReplacement replacement(target);
      put_new(replacement);
      // Another run's clean-up of leftovers finds the kept file held.
      ASSERT_TRUE(FileReplacement(target).Create(0644).ok());
      ASSERT_TRUE(replacement.Undo().ok());
      EXPECT_EQ(ReadFile(target), "old");
      EXPECT_TRUE(replacement.Undo().ok());  // a second time: nothing
    }
    EXPECT_EQ(ListDir(dir.path()), Names{"f"});
    ::unlink(target.c_str());
    {
      FileReplacement replacement(target);
      put_new(replacement);
      ASSERT_TRUE(replacement.Undo().ok());
    }
    EXPECT_EQ(ListDir(dir.path()), Names{});
  }

  WriteFile(dir / "elsewhere", "kept by the link");
  ASSERT_EQ(::symlink("elsewhere", target.c_str()), 0);
  {
    FileReplacement replacement(target);
    put_new(replacement);
    ASSERT_TRUE(replacement.Undo().ok());
  }
  char link[64] = {};
  EXPECT_EQ(::readlink(target.c_str(), link, sizeof link - 1), 9);
  EXPECT_STREQ(link, "elsewhere");
  ::unlink(target.c_str());

  WriteFile(target, "old");
  {
    FileReplacement replacement(target);
    put_new(replacement);
    WriteFile(dir / "theirs", "theirs");
    ASSERT_EQ(::rename((dir / "theirs").c_str(), target.c_str()), 0);
    ASSERT_TRUE(replacement.Undo().ok());
  }
  EXPECT_EQ(ReadFile(target), "theirs");
  {
    FileReplacement replacement(target);
    put_new(replacement);
  }
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(ListDir(dir.path()), (Names{"elsewhere", "f"}));
}

// A folder that cannot be synced once the new file took the old one's name:
// the change is not known to last, so the target gets back what it held,
// whether the old file was to be kept or not, and nothing stays beside it.
TEST(FileReplacementTest, AFailedSyncAfterTheSwapPutsTheOldFileBack) {
  ScratchDir dir;
  const std::string target = dir / "f";
  struct Row {
    bool keep_old;
    bool old_exists;
  };
  for (const Row row : {Row{false, true}, Row{true, true}, Row{false, false}, Row{true, false}}) {
    SCOPED_TRACE(std::string(row.keep_old ? "keeping" : "not keeping") +
                 (row.old_exists ? ", over an old file" : ", over nothing"));
    ::unlink(target.c_str());
    if (row.old_exists) WriteFile(target, "old");
    {
      FileReplacement replacement(target);
      ASSERT_TRUE(replacement.Create(0644).ok());
      ASSERT_TRUE(WriteAll(replacement.fd(), "new", target).ok());
      ASSERT_TRUE(replacement.Sync().ok());
      test::ScopedFaults fs;
      bool renamed = false;
      fs.FailWhen(
          [&](const test::FaultSystem::Call& call) {
            if (call.op == test::FsOp::kRename) renamed = true;
            return renamed && call.op == test::FsOp::kSync;
          },
          EIO);
      const Status status =
          row.keep_old ? replacement.PutInPlaceKeepingOld() : replacement.PutInPlace();
      EXPECT_EQ(status.code(), EIO);
      EXPECT_EQ(status.error().operation(), "sync folder");
    }
    if (row.old_exists) {
      EXPECT_EQ(ReadFile(target), "old");
      EXPECT_EQ(ListDir(dir.path()), Names{"f"});
    } else {
      EXPECT_EQ(ListDir(dir.path()), Names{});
    }
  }
}

TEST(FileReplacementTest, ATargetWithoutANameOrFolderIsRefused) {
  ScratchDir dir;
  FileReplacement no_name(dir.path() + "/");
  EXPECT_EQ(no_name.Create(0644).code(), EISDIR);
  FileReplacement no_folder(dir / "missing/f");
  const Status status = no_folder.Create(0644);
  EXPECT_EQ(status.code(), ENOENT);
  EXPECT_EQ(status.error().operation(), "open");
}

}  // namespace
}  // namespace tessaline
