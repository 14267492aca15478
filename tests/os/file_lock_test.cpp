#include "os/file_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/test_support.h"

namespace tessaline {
namespace {

using std::chrono::milliseconds;
using test::ScratchDir;

TEST(FileLockTest, ExclusiveLocksExcludeAndSharedOnesShare) {
  ScratchDir dir;
  const std::string path = dir / "x.lock";
  Result<FileLock> first = FileLock::Acquire(path, LockKind::kShared, milliseconds(0));
  ASSERT_TRUE(first.ok());
  EXPECT_TRUE(FileLock::Acquire(path, LockKind::kShared, milliseconds(0)).ok());
  // flock belongs to the open file, so a second open in one process conflicts.
  EXPECT_EQ(FileLock::Acquire(path, LockKind::kExclusive, milliseconds(0)).code(), EWOULDBLOCK);
  EXPECT_EQ(FileLock::Acquire(path, LockKind::kExclusive, milliseconds(20)).code(), EWOULDBLOCK);
  first = FileLock();
  EXPECT_TRUE(FileLock::Acquire(path, LockKind::kExclusive, milliseconds(0)).ok());
}

TEST(FileLockTest, NeverFollowsALinkNorBlocksOnAFifo) {
  ScratchDir dir;
  ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), (dir / "link.lock").c_str()), 0);
  const auto link = FileLock::Acquire(dir / "link.lock", LockKind::kExclusive, milliseconds(0));
  EXPECT_EQ(link.code(), kErrorSymbolicLink);
  EXPECT_EQ(link.error().Reason(), "a symbolic link, which is never followed here");
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
  ASSERT_EQ(::mkfifo((dir / "fifo.lock").c_str(), 0600), 0);
  EXPECT_EQ(FileLock::Acquire(dir / "fifo.lock", LockKind::kShared, milliseconds(0)).code(),
            kErrorNotRegularFile);
  ASSERT_EQ(::mkdir((dir / "dir.lock").c_str(), 0700), 0);
  EXPECT_FALSE(FileLock::Acquire(dir / "dir.lock", LockKind::kExclusive, milliseconds(0)).ok());
}

}  // namespace
}  // namespace tessaline
