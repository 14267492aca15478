// The hive's lock file: readers never touch it, writers wait for it a while
// and refuse one that cannot serve.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/fault_system.h"
#include "common/test_support.h"
#include "pack_values.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

using test::Get;
using test::Put;
using test::ScratchDir;

// The kind of what stands at `path` (S_IFREG, S_IFLNK, ...), 0 for nothing.
mode_t KindAt(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

// What stands at the lock file's place, and what a writer then says.
struct LockFileCase {
  const char* what;
  // Puts it there; a child process it needs for that (or nullptr).
  std::function<std::unique_ptr<test::Child>(const ScratchDir&, const std::string& lock)> make;
  // Why a writer cannot use it, the system's reason ("": it can); nothing:
  // not checked, as it depends on the user the tests run as.
  std::optional<std::string> refused_because;
  bool held = false;  // a writer finds it held
};

const std::vector<LockFileCase> kLockFileCases = {
    {"held by another process",
     [](const ScratchDir&, const std::string& lock) {
       test::Gate locked;
       auto holder = std::make_unique<test::Child>([&] {
         const int fd = open(lock.c_str(), O_RDONLY);
         if (fd < 0 || flock(fd, LOCK_EX) != 0) return 1;
         locked.Post();
         for (;;) pause();
       });
       EXPECT_TRUE(locked.Await());
       return holder;
     },
     "", true},
    {"a symbolic link",
     [](const ScratchDir& dir, const std::string& lock) {
       std::filesystem::remove(lock);
       std::filesystem::create_symlink(dir / "elsewhere", lock);
       return nullptr;
     },
     "a symbolic link, which is never followed here"},
    {"a FIFO",
     [](const ScratchDir&, const std::string& lock) {
       std::filesystem::remove(lock);
       EXPECT_EQ(mkfifo(lock.c_str(), 0644), 0);
       return nullptr;
     },
     "not a regular file"},
    {"a folder",
     [](const ScratchDir&, const std::string& lock) {
       std::filesystem::remove(lock);
       std::filesystem::create_directory(lock);
       return nullptr;
     },
     "not a regular file"},
    {"missing",
     [](const ScratchDir&, const std::string& lock) {
       std::filesystem::remove(lock);
       return nullptr;
     },
     ""},
    {"missing, in a read-only folder",
     [](const ScratchDir& dir, const std::string& lock) {
       std::filesystem::remove(lock);
       chmod(dir.path().c_str(), 0555);
       return nullptr;
     },
     std::nullopt},
};

// Whatever the lock file is, Read reads the hive without touching it; a
// writer reports what stands in its way.
TEST(HiveLockTest, ReadTakesNoLockWhateverTheLockFileIs) {
  for (const LockFileCase& c : kLockFileCases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const std::string path = dir / "system.reg";
    const std::string lock = path + ".lock";
    Put(*std::make_unique<HiveFile>(path), "A", "1");
    const std::unique_ptr<test::Child> holder = c.make(dir, lock);
    const mode_t kind = KindAt(lock);
    HiveFile file(path);
    {
      test::ScopedFaults fs;
      EXPECT_EQ(Get(file.Read(), "A"), "1");
      EXPECT_TRUE(std::none_of(fs.calls().begin(), fs.calls().end(), [&](const auto& call) {
        return call.path == lock || call.op == test::FsOp::kLock;
      }));
    }
    EXPECT_EQ(KindAt(lock), kind);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
    if (!c.refused_because) continue;
    EXPECT_TRUE(file.Writable());  // write access is the file's and folder's rights alone
    const std::string why_not =
        c.refused_because->empty()
            ? std::string()
            : "Cannot open the registry lock file '" + lock + "': " + *c.refused_because;
    EXPECT_EQ(file.WhyNotWritable(), why_not);
    file.set_lock_wait(std::chrono::milliseconds(0));
    std::string error;
    try {
      Put(file, "B", "2");
    } catch (const ERegistryException& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.held ? "The registry lock file '" + lock + "' is held by another program"
                            : why_not);
    EXPECT_EQ(Get(file.Read(), "B"),
              error.empty() ? std::optional<std::string>("2") : std::nullopt);
  }
}

// A writer waits for a lock another program holds, trying again and again
// for the lock wait (five seconds unless set), then fails naming the lock
// file. The clock is the seam's, so no time passes.
TEST(HiveLockTest, AWriterWaitsForAHeldLockThenFailsNamingIt) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  const std::string lock = path + ".lock";
  Put(*std::make_unique<HiveFile>(path), "A", "1");
  const int holder = open(lock.c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  HiveFile file(path);
  const auto waited = [&] {
    test::ScopedFaults fs;
    fs.UseVirtualClock();
    const auto start = fs.Now();
    try {
      Put(file, "B", "2");
      ADD_FAILURE() << "the held lock was not noticed";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(std::string(e.what()),
                "The registry lock file '" + lock + "' is held by another program");
    }
    EXPECT_GT(std::count_if(fs.calls().begin(), fs.calls().end(),
                            [](const auto& call) { return call.op == test::FsOp::kLock; }),
              5);
    return fs.Now() - start;
  };
  const auto by_default = waited();
  EXPECT_GE(by_default, std::chrono::seconds(5));
  EXPECT_LT(by_default, std::chrono::seconds(6));
  file.set_lock_wait(std::chrono::milliseconds(300));
  const auto set = waited();
  EXPECT_GE(set, std::chrono::milliseconds(300));
  EXPECT_LT(set, std::chrono::seconds(1));
  close(holder);
  Put(file, "B", "2");
  EXPECT_EQ(Get(file.Read(), "B"), "2");
}

// A held write lock is counted: nested holds and the changes made meanwhile
// do not open the lock file again, and the lock goes with the outermost hold.
TEST(HiveLockTest, AHeldWriteLockIsCountedAndChangesUnderItTakeNoOther) {
  ScratchDir dir;
  const std::string path = dir / "a/system.reg";
  const std::string lock = path + ".lock";
  HiveFile file(path);
  HiveFile other(path);
  other.set_lock_wait(std::chrono::milliseconds(0));
  {
    const HiveFile::WriteLock outer = file.HoldWriteLock();
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a"));  // the folder is made
    test::ScopedFaults fs;
    {
      const HiveFile::WriteLock inner = file.HoldWriteLock();
      Put(file, "A", "1");
    }
    Put(file, "B", "2");
    EXPECT_TRUE(std::none_of(fs.calls().begin(), fs.calls().end(),
                             [&](const auto& call) { return call.path == lock; }));
    EXPECT_THROW(Put(other, "C", "3"), ERegistryException);
  }
  Put(other, "C", "3");
  EXPECT_EQ(Get(file.Read(), "A"), "1");
  EXPECT_EQ(Get(file.Read(), "C"), "3");
}

}  // namespace
}  // namespace tessaline
