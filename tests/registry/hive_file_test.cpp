#include "registry/hive_file.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include "common/fault_system.h"
#include "common/scoped_env.h"
#include "common/test_support.h"
#include "registry/cipher_reg.h"

namespace tessaline {
namespace {

using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

const std::vector<std::string> kPack = {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"};

void Put(HiveFile& file, const std::string& name, const std::string& text) {
  file.Modify([&](Hive& hive) {
    hive.CreateKey(kPack).SetValue(name, kRegSz, text + '\0');
    return true;
  });
}

std::optional<std::string> Get(const Hive& hive, const std::string& name) {
  const HiveKey* key = hive.FindKey(kPack);
  const std::optional<HiveValue> value = key != nullptr ? key->FindValue(name) : std::nullopt;
  if (!value) return std::nullopt;
  return value->data.substr(0, value->data.size() - 1);
}

// The file's stat, all zeros when there is none.
struct stat StatOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info;
}

mode_t ModeOf(const std::string& path) {
  return StatOf(path).st_mode & 07777;
}

TEST(HiveLocationTest, FollowsTheEnvironment) {
  test::ScopedEnv home("HOME", "/home/ann");
  {
    test::ScopedEnv reg("WENLORA_REGISTRY", "/srv/hive.reg");
    test::ScopedEnv xdg("XDG_DATA_HOME", "/data");
    EXPECT_EQ(DefaultHivePath(), "/srv/hive.reg");
  }
  test::ScopedEnv reg("WENLORA_REGISTRY", "");
  {
    test::ScopedEnv xdg("XDG_DATA_HOME", "/data");
    EXPECT_EQ(DefaultHivePath(), "/data/wenlora/system.reg");
  }
  {
    test::ScopedEnv xdg("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(DefaultHivePath(), "/home/ann/.local/share/wenlora/system.reg");
  }
  test::ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  EXPECT_EQ(DefaultHivePath(), "/home/ann/.local/share/wenlora/system.reg");
}

TEST(HiveFileTest, WritesCompleteFilesWithTheRightModeAndNothingBeside) {
  ScratchDir dir;
  const std::string path = dir / "a/b/system.reg";
  HiveFile file(path);
  EXPECT_TRUE(file.Read().roots().empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "a"));  // reading creates nothing
  const mode_t old_mask = umask(077);
  Put(file, "Pack1", "one");
  umask(old_mask);
  EXPECT_EQ(ModeOf(path), 0644u);
  EXPECT_EQ(ParseHive(ReadFile(path)), file.Read());
  // An existing hive keeps its mode.
  chmod(path.c_str(), 0600);
  Put(file, "Pack2", "two");
  EXPECT_EQ(ModeOf(path), 0600u);
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "a/b")) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"system.reg", "system.reg.lock"}));
  // A change that changes nothing writes nothing.
  const auto stamp = std::filesystem::last_write_time(path);
  file.Modify([](Hive&) { return false; });
  EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
  // Nor does one that changed the hive yet said not to write: its change is
  // neither seen nor written with the next one.
  file.Modify([](Hive& hive) {
    hive.CreateKey(kPack).SetValue("Stray", kRegSz, std::string("x\0", 2));
    return false;
  });
  EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
  EXPECT_FALSE(file.Read().FindKey(kPack)->FindValue("Stray"));
  Put(file, "Pack3", "three");
  EXPECT_FALSE(ParseHive(ReadFile(path)).FindKey(kPack)->FindValue("Stray"));
}

TEST(HiveFileTest, SeesEveryChangeOtherWritersMake) {
  ScratchDir dir;
  HiveFile mine(dir / "system.reg"), theirs(dir / "system.reg");
  Put(mine, "A", "1");
  ASSERT_EQ(Get(mine.Read(), "A"), "1");
  // Same size, same moment: only the content tells the difference.
  Put(theirs, "A", "2");
  EXPECT_EQ(Get(mine.Read(), "A"), "2");
  Put(mine, "B", "3");  // re-reads before changing, so theirs is kept
  EXPECT_EQ(Get(theirs.Read(), "A"), "2");
  EXPECT_EQ(Get(theirs.Read(), "B"), "3");
}

// Rewrites `path` in place with `text` of the same length (as an editor that
// saves over the file does) and sets its modification time back to `mtime`.
void RewriteInPlaceKeepingTheTime(const std::string& path, const std::string& text,
                                  const timespec& mtime) {
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
  close(fd);
  const timespec times[2] = {{0, UTIME_OMIT}, mtime};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A hive file holding "A" = "1", written and read back through `mine`.
class HiveFileCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Put(mine, "A", "1");
    ASSERT_EQ(Get(mine.Read(), "A"), "1");
  }
  // Makes `mine` trust a file's stamp as soon as it reads it, and keep the
  // stamp the hive has now.
  void TrustStampsAtOnce() {
    mine.set_settle_time(std::chrono::nanoseconds(0));
    mine.Read();
  }
  // How many times the calls `fs` recorded opened the hive.
  long OpensOfTheHive(const test::FaultSystem& fs) const {
    return std::count_if(fs.calls().begin(), fs.calls().end(), [&](const auto& call) {
      return call.op == test::FsOp::kOpen && call.path == path;
    });
  }

  ScratchDir dir;
  const std::string path = dir / "system.reg";
  HiveFile mine{path};
};

TEST_F(HiveFileCacheTest, AnEditInPlaceThatKeepsTheSizeAndTimeIsSeen) {
  const struct stat before = StatOf(path);
  std::string text = ReadFile(path);
  text[text.rfind('1')] = '2';
  RewriteInPlaceKeepingTheTime(path, text, before.st_mtim);
  const struct stat after = StatOf(path);
  ASSERT_EQ(after.st_ino, before.st_ino);
  ASSERT_EQ(after.st_size, before.st_size);
  ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(Get(mine.Read(), "A"), "2");
  // Again after the object has kept the edited hive.
  text[text.rfind('2')] = '3';
  RewriteInPlaceKeepingTheTime(path, text, before.st_mtim);
  EXPECT_EQ(Get(mine.Read(), "A"), "3");
}

// With every stamp trusted at once, what still tells a change apart is the
// file's identity: a file renamed into place with the same size and time.
TEST_F(HiveFileCacheTest, AReplacementWithTheSameSizeAndTimeIsSeenByItsInode) {
  TrustStampsAtOnce();
  const struct stat before = StatOf(path);
  std::string text = ReadFile(path);
  text[text.rfind('1')] = '2';
  WriteFile(dir / "new.reg", text);
  const timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "new.reg").c_str(), times, 0), 0);
  ASSERT_EQ(rename((dir / "new.reg").c_str(), path.c_str()), 0);
  ASSERT_EQ(StatOf(path).st_size, before.st_size);
  EXPECT_EQ(Get(mine.Read(), "A"), "2");
}

TEST_F(HiveFileCacheTest, ASettledHiveIsReadOnceAndADeletedOneReadsAsMissing) {
  mine.set_settle_time(std::chrono::nanoseconds(0));
  Put(mine, "A", "1");
  const auto reads_of_the_hive = [&](int times) {
    test::ScopedFaults fs;
    for (int i = 0; i < times; ++i) EXPECT_EQ(Get(mine.Read(), "A"), "1");
    return OpensOfTheHive(fs);
  };
  EXPECT_EQ(reads_of_the_hive(6), 1);  // the file written last is read back once
  EXPECT_EQ(reads_of_the_hive(6), 0);
  std::filesystem::remove(path);
  EXPECT_EQ(Get(mine.Read(), "A"), std::nullopt);
  EXPECT_TRUE(mine.Read().roots().empty());
}

TEST_F(HiveFileCacheTest, ADamagedHiveIsReportedOnEveryRead) {
  TrustStampsAtOnce();
  WriteFile(path, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A\n");
  for (int i = 0; i < 3; ++i) {
    try {
      mine.Read();
      ADD_FAILURE() << "read " << i << " took a damaged hive";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(std::string(e.what()),
                "The registry file '" + path +
                    "' is damaged at line 3: a key line without its closing ']'");
    }
  }
  EXPECT_THROW(Put(mine, "A", "2"), ERegistryException);
  std::filesystem::remove(path);
  Put(mine, "A", "2");
  EXPECT_EQ(Get(mine.Read(), "A"), "2");
}

// Rewrites the hive in place, same size, with "A" = "2" as soon as a read of
// it comes to its end: a change that lands just after someone read the file.
class ChangesTheHiveOnceRead : public test::FaultSystem {
 public:
  explicit ChangesTheHiveOnceRead(std::string path) : path_(std::move(path)) {}
  ssize_t Read(int fd, void* buffer, std::size_t size) override {
    const ssize_t got = FaultSystem::Read(fd, buffer, size);
    if (!changed_ && got >= 0 && static_cast<std::size_t>(got) < size) {
      changed_ = true;
      std::string text = ReadFile(path_);
      text[text.rfind('1')] = '2';
      WriteFile(path_, text);
    }
    return got;
  }

 private:
  std::string path_;
  bool changed_ = false;
};

// What a preload read is taken as if the object had read it then: without
// reading again while the file keeps its stamp, read again once it changed,
// and a damaged hive is still reported by the call that needs it. Every
// stamp is trusted at once, so only the stamp stands between a preload and
// a stale hive.
TEST_F(HiveFileCacheTest, APreloadIsTakenOnlyWhileTheFileStillHoldsIt) {
  {
    test::ScopedFaults fs;
    HiveFile other(path);
    other.set_settle_time(std::chrono::nanoseconds(0));
    other.Preload();
    EXPECT_EQ(Get(other.Read(), "A"), "1");
    EXPECT_EQ(OpensOfTheHive(fs), 1);  // the preload's read only
    // With a hive kept, a preload reads nothing: the kept one is checked.
    other.Preload();
    EXPECT_EQ(Get(other.Read(), "A"), "1");
    EXPECT_EQ(OpensOfTheHive(fs), 1);
  }
  {
    ChangesTheHiveOnceRead fs(path);
    ScopedSystem scope(fs);
    HiveFile other(path);
    other.set_settle_time(std::chrono::nanoseconds(0));
    other.Preload();
    EXPECT_EQ(Get(other.Read(), "A"), "2");
  }
  WriteFile(path, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A\n");
  HiveFile other(path);
  other.Preload();
  try {
    other.Read();
    ADD_FAILURE() << "a damaged hive was taken from the preload";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(std::string(e.what()), "The registry file '" + path +
                                         "' is damaged at line 3: a key line without its "
                                         "closing ']'");
  }
}

TEST(HiveFileTest, DamagedOrOddFilesRaiseAndStayAsTheyAre) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  const std::string damaged = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A\n";
  WriteFile(path, damaged);
  HiveFile file(path);
  bool called = false;
  try {
    file.Modify([&](Hive&) { return called = true; });
    ADD_FAILURE() << "a damaged hive was changed";
  } catch (const ERegistryException& e) {
    EXPECT_NE(std::string(e.what()).find("'" + path + "'"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(called);
  EXPECT_THROW(file.Read(), ERegistryException);
  EXPECT_EQ(ReadFile(path), damaged);

  // A folder or a FIFO in the hive's place is refused, without hanging.
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_THROW(file.Read(), ERegistryException);
  EXPECT_FALSE(file.Writable());
  std::filesystem::remove(path);
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
  EXPECT_THROW(file.Read(), ERegistryException);
  EXPECT_THROW(Put(file, "A", "x"), ERegistryException);
}

// Every step of a rewrite failed in turn: the change is reported with the
// hive's path, the file keeps its bytes (the new ones only when the failed
// step came after the rename), nothing is left beside it, and the object
// forgets the change it could not write.
TEST(HiveFileFaultTest, EveryStepFailedInTurnKeepsTheOldHive) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  for (const bool unnamed : {true, false}) {
    std::filesystem::remove(path);
    Put(*std::make_unique<HiveFile>(path), "A", "kept");
    const std::string before = ReadFile(path);
    std::size_t steps;
    {
      test::ScopedFaults fs;
      if (!unnamed) fs.RefuseUnnamedFiles();
      HiveFile file(path);
      Put(file, "B", "new");
      steps = fs.calls().size();
      WriteFile(path, before);
    }
    int failures = 0;
    for (const int code : {EIO, ENOSPC}) {
      for (std::size_t step = 0; step < steps; ++step) {
        WriteFile(path, before);
        HiveFile file(path);
        std::string message;
        std::vector<test::FaultSystem::Call> calls;
        {
          test::ScopedFaults fs;
          if (!unnamed) fs.RefuseUnnamedFiles();
          fs.FailCall(step, code);
          try {
            Put(file, "B", "new");
          } catch (const ERegistryException& e) {
            message = e.what();
          }
          calls = fs.calls();
        }
        ASSERT_LT(step, calls.size());
        SCOPED_TRACE(std::string(unnamed ? "unnamed" : "named") + " step " + std::to_string(step) +
                     ": " + test::FsOpName(calls[step].op) + " " + calls[step].path);
        if (calls[step].op == test::FsOp::kUnlink) {  // only a failed removal may leave one
          for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().rfind(".system.reg.part-", 0) == 0) {
              std::filesystem::remove(entry.path());
            }
          }
        }
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
          names.insert(entry.path().filename().string());
        }
        EXPECT_EQ(names, (std::set<std::string>{"system.reg", "system.reg.lock"}));
        if (message.empty()) {
          EXPECT_EQ(Get(HiveFile(path).Read(), "B"), "new");
          continue;
        }
        ++failures;
        const bool renamed = std::any_of(calls.begin(), calls.begin() + step,
                                         [](const auto& c) { return c.op == test::FsOp::kRename; });
        EXPECT_NE(message.find(dir.path()), std::string::npos) << message;
        if (!renamed) {
          EXPECT_EQ(ReadFile(path), before);
          EXPECT_EQ(Get(file.Read(), "B"), std::nullopt);
        }
      }
    }
    EXPECT_GT(failures, 8) << "the faults never reached the rewrite";
  }
}

// A change that would make the hive larger than a reader takes is refused,
// and the file stays as it was: every later run could not read it.
TEST(HiveFileTest, AChangeThatWouldMakeTheHiveUnreadableIsRefused) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  const std::string header =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\n\"Big\"=\"";
  const std::string text = header + std::string((64 << 20) - header.size() - 10, 'x') + "\"\n\n";
  WriteFile(path, text);
  HiveFile file(path);
  ASSERT_NO_THROW(file.Read());
  try {
    Put(file, "Pack1", "/games/Tessaline.wpk");
    ADD_FAILURE() << "the hive grew past what can be read";
  } catch (const ERegistryException& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(ReadFile(path) == text);
}

// A file-size limit does not end the writer: the change fails with a message
// and leaves nothing beside the hive.
TEST(HiveFileTest, AFileSizeLimitIsAFailedWriteNotADeadProcess) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  HiveFile(path).Modify([](Hive& hive) {
    hive.CreateKey(kPack).SetValue("Seed", kRegSz, std::string(100000, 's') + '\0');
    return true;
  });
  const std::string before = ReadFile(path);
  const int code = test::RunInChild([&] {
    const rlimit limit{150000, 150000};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    HiveFile file(path);
    try {
      Put(file, "Big", std::string(100000, 'b'));
    } catch (const ERegistryException& e) {
      return std::string(e.what()).find("'" + path + "'") != std::string::npos ? 0 : 11;
    }
    return 12;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(test::ListDir(dir.path()), (std::vector<std::string>{"system.reg", "system.reg.lock"}));
}

// A write that takes nothing is an error, never an endless loop.
TEST(HiveFileFaultTest, AWriteThatTakesNothingFailsAndKeepsTheHive) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  HiveFile file(path);
  Put(file, "A", "kept");
  const std::string before = ReadFile(path);
  test::ScopedFaults fs;
  fs.LimitTransfers(0);
  EXPECT_THROW(Put(file, "B", "lost"), ERegistryException);
  EXPECT_EQ(ReadFile(path), before);
}

TEST(HiveFileTest, ALinkedHiveIsUpdatedWhereItLives) {
  ScratchDir dir;
  std::filesystem::create_directory(dir / "real");
  const std::string real = dir / "real/system.reg";
  HiveFile direct(real);
  Put(direct, "A", "1");
  std::filesystem::create_symlink(real, dir / "link.reg");
  HiveFile linked(dir / "link.reg");
  Put(linked, "B", "2");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.reg"));
  EXPECT_EQ(Get(direct.Read(), "B"), "2");
  EXPECT_TRUE(std::filesystem::exists(dir / "real/system.reg.lock"));
}

// A link that another user put in the hive's place is not followed: root's
// write would otherwise land wherever the link points.
TEST(HiveFileTest, ALinkAnotherUserControlsIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own files as another user";
  ScratchDir dir;
  WriteFile(dir / "secret", "root only");
  chmod((dir / "secret").c_str(), 0600);
  ASSERT_EQ(symlink((dir / "secret").c_str(), (dir / "system.reg").c_str()), 0);
  ASSERT_EQ(lchown((dir / "system.reg").c_str(), 65534, 65534), 0);
  HiveFile file(dir / "system.reg");
  try {
    Put(file, "A", "x");
    ADD_FAILURE() << "the link was followed";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(std::string(e.what()), "The registry file '" + (dir / "system.reg") +
                                         "' is a link that another user controls");
  }
  EXPECT_FALSE(file.Writable());
  EXPECT_EQ(ReadFile(dir / "secret"), "root only");
  // The same link made by root itself is followed.
  ASSERT_EQ(lchown((dir / "system.reg").c_str(), 0, 0), 0);
  WriteFile(dir / "secret", "");
  Put(file, "A", "x");
  EXPECT_EQ(Get(HiveFile(dir / "secret").Read(), "A"), "x");
}

// A member of the hive's group who rewrites it keeps the group, the mode and
// the access list, so that the next member is not locked out.
TEST(HiveFileTest, ARewriteKeepsTheGroupModeAndAccessList) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  ScratchDir dir;
  chmod(dir.path().c_str(), 0777);
  const std::string path = dir / "system.reg";
  Put(*std::make_unique<HiveFile>(path), "A", "1");
  ASSERT_EQ(chown(path.c_str(), 0, 100), 0);
  ASSERT_EQ(chmod(path.c_str(), 0664), 0);
  // user::rw- user:1234:rw- group::rw- mask::rw- other::r--
  const unsigned char acl[] = {2,    0,    0,    0,    1,    0,    6,    0,    0xff, 0xff, 0xff,
                               0xff, 2,    0,    6,    0,    0xd2, 4,    0,    0,    4,    0,
                               6,    0,    0xff, 0xff, 0xff, 0xff, 0x10, 0,    6,    0,    0xff,
                               0xff, 0xff, 0xff, 0x20, 0,    4,    0,    0xff, 0xff, 0xff, 0xff};
  const bool with_acl = setxattr(path.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;
  const int code = test::RunInChild([&] {
    const gid_t groups[] = {100};
    if (setgroups(1, groups) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return 10;
    HiveFile file(path);
    try {
      Put(file, "B", "2");
    } catch (...) {
      return 11;
    }
    return 0;
  });
  ASSERT_EQ(code, 0);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_gid, 100u);
  EXPECT_EQ(info.st_mode & 07777, 0664u);
  EXPECT_EQ(Get(HiveFile(path).Read(), "B"), "2");
  if (with_acl) {
    unsigned char kept[64];
    EXPECT_EQ(getxattr(path.c_str(), "system.posix_acl_access", kept, sizeof kept),
              static_cast<ssize_t>(sizeof acl));
    EXPECT_EQ(std::memcmp(kept, acl, sizeof acl), 0);
  }
}

// A group that cannot be kept stops the rewrite before anything changes.
TEST(HiveFileFaultTest, AGroupThatCannotBeKeptChangesNothing) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  Put(*std::make_unique<HiveFile>(path), "A", "1");
  if (chown(path.c_str(), getuid(), getgid() == 0 ? 100 : 0) != 0) GTEST_SKIP() << "no other group";
  const std::string before = ReadFile(path);
  test::ScopedFaults fs;
  fs.FailAll(test::FsOp::kChangeOwner, EPERM);
  HiveFile file(path);
  EXPECT_THROW(Put(file, "B", "2"), ERegistryException);
  EXPECT_EQ(ReadFile(path), before);
}

// Another program that holds the lock (a hung writer, any user who can read
// the lock file) makes us wait a while, then fail with a message, not hang.
TEST(HiveFileTest, ALockHeldElsewhereIsWaitedForThenReported) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  Put(*std::make_unique<HiveFile>(path), "A", "1");
  const int holder = open((path + ".lock").c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  HiveFile file(path);
  file.set_lock_wait(std::chrono::milliseconds(30));
  for (const bool write : {false, true}) {
    try {
      if (write) {
        Put(file, "B", "2");
      } else {
        file.Read();
      }
      ADD_FAILURE() << "the held lock was not noticed";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(std::string(e.what()),
                "The registry lock file '" + path + ".lock' is held by another program");
    }
  }
  close(holder);
  Put(file, "B", "2");
  EXPECT_EQ(Get(file.Read(), "B"), "2");
}

// A hive its owner wrote by hand keeps its comments, blank lines, CR LF line
// ends and spelling; only the line of the value written changes.
TEST(HiveFileTest, ARewriteKeepsTheFileAsItsOwnerWroteIt) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  const std::string before =
      "REGEDIT4\r\n; written by hand\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n"
      "  \"Pack1\" = \"/old/Tessaline.wpk\"   \r\n\"Comm1\"=\"Tessaline\"\r\n\r\n";
  WriteFile(path, before);
  tCipherReg store(1, path);
  ASSERT_TRUE(store.WriteValue("Pack", "Pack1", "/new/Tessaline.wpk"));
  ASSERT_TRUE(store.WriteValue("Pack", "Comm1", "Tessaline"));  // unchanged: nothing written
  std::string expected = before;
  const std::string old_line = "  \"Pack1\" = \"/old/Tessaline.wpk\"   \r\n";
  expected.replace(expected.find(old_line), old_line.size(),
                   "\"Pack1\"=\"/new/Tessaline.wpk\"\r\n");
  EXPECT_EQ(ReadFile(path), expected);
}

// Fork-based tests: the children use only async-signal-safe calls besides
// the store itself and leave with _exit.
TEST(HiveSharingTest, TwoProcessesWritingAtOnceLoseNothing) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  constexpr int kEach = 200;
  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      tCipherReg store(1, path);
      for (int i = 0; i < kEach; ++i) {
        const std::string n = std::to_string(child) + "_" + std::to_string(i);
        if (!store.WriteValue("Pack", "Pack" + n, "/games/" + n + ".wpk")) _exit(1);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const Hive hive = ParseHive(ReadFile(path));
  ASSERT_NE(hive.FindKey(kPack), nullptr);
  EXPECT_EQ(hive.FindKey(kPack)->value_count(), 2u * kEach);
  for (int child = 0; child < 2; ++child) {
    for (int i = 0; i < kEach; ++i) {
      const std::string n = std::to_string(child) + "_" + std::to_string(i);
      EXPECT_EQ(Get(hive, "Pack" + n), "/games/" + n + ".wpk");
    }
  }
}

TEST(HiveSharingTest, KilledWritersNeverLeaveABrokenHiveOrLoseAFinishedWrite) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  {
    // A hive of some size, so that a kill can land in the middle of writing it.
    HiveFile file(path);
    file.Modify([](Hive& hive) {
      HiveKey& key = hive.CreateKey(kPack);
      for (int i = 0; i < 300; ++i) {
        key.SetValue("Seed" + std::to_string(i), kRegSz, std::string(40, 'x') + '\0');
      }
      return true;
    });
  }
  std::mt19937 rng(7);
  std::vector<std::string> finished;
  for (int round = 0; round < 50; ++round) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      tCipherReg store(1, path);
      for (int i = 0;; ++i) {
        if (!store.WriteValue("Pack", "R" + std::to_string(round) + "_" + std::to_string(i), "v")) {
          _exit(1);
        }
        // Reported only once the write has returned.
        if (write(fds[1], &i, sizeof i) != sizeof i) _exit(2);
      }
    }
    close(fds[1]);
    const std::string prefix = "R" + std::to_string(round) + "_";
    int done;
    // Let the writer finish a few writes first, so that every round has some
    // to lose, then kill it at a random moment.
    bool reported = true;
    for (int wait_for = std::uniform_int_distribution<int>(0, 3)(rng); wait_for > 0; --wait_for) {
      reported = read(fds[0], &done, sizeof done) == sizeof done;
      if (!reported) break;
      finished.push_back(prefix + std::to_string(done));
    }
    if (reported) usleep(std::uniform_int_distribution<int>(0, 10000)(rng));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(reported && WIFSIGNALED(status))
        << "the writer stopped by itself, status " << status;
    while (read(fds[0], &done, sizeof done) == sizeof done) {
      finished.push_back(prefix + std::to_string(done));
    }
    close(fds[0]);

    Hive hive;
    ASSERT_NO_THROW(hive = ParseHive(ReadFile(path))) << "round " << round;
    for (const std::string& name : finished) {
      ASSERT_EQ(Get(hive, name), "v") << name << " lost in round " << round;
    }
    ASSERT_EQ(Get(hive, "Seed299"), std::string(40, 'x'));
  }
}

}  // namespace
}  // namespace tessaline
