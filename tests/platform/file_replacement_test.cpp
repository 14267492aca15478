#include "platform/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/fault_file_system.h"
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
