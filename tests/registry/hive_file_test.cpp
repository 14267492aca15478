#include "registry/hive_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/scoped_env.h"
#include "common/test_support.h"
#include "pack_values.h"
#include "registry/cipher_reg.h"
#include "registry/hive_parse.h"

namespace tessaline {
namespace {

using test::Get;
using test::kPackKey;
using test::Put;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
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
  EXPECT_EQ(test::ListDir(dir / "a/b"),
            (std::vector<std::string>{"system.reg", "system.reg.lock"}));
  // A change that changes nothing writes nothing.
  const auto stamp = std::filesystem::last_write_time(path);
  file.Modify([](Hive&) { return false; });
  EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
  // Nor does one that changed the hive yet said not to write: its change is
  // neither seen nor written with the next one.
  file.Modify([](Hive& hive) {
    hive.CreateKey(kPackKey).SetValue("Stray", kRegSz, std::string("x\0", 2));
    return false;
  });
  EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
  EXPECT_FALSE(file.Read().FindKey(kPackKey)->FindValue("Stray"));
  Put(file, "Pack3", "three");
  EXPECT_FALSE(ParseHive(ReadFile(path)).FindKey(kPackKey)->FindValue("Stray"));
}

// Every Read reads the file anew: a change by another writer of the same
// size at the same moment, a hive removed, a damaged one each time.
TEST(HiveFileTest, EveryReadSeesTheFileAsItIsNow) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  HiveFile mine(path), theirs(path);
  Put(mine, "A", "1");
  ASSERT_EQ(Get(mine.Read(), "A"), "1");
  Put(theirs, "A", "2");
  EXPECT_EQ(Get(mine.Read(), "A"), "2");
  Put(mine, "B", "3");  // re-reads before changing, so theirs is kept
  EXPECT_EQ(Get(theirs.Read(), "A"), "2");
  EXPECT_EQ(Get(theirs.Read(), "B"), "3");
  std::filesystem::remove(path);
  EXPECT_TRUE(mine.Read().roots().empty());
  WriteFile(path, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A\n");
  for (int i = 0; i < 2; ++i) {
    try {
      mine.Read();
      ADD_FAILURE() << "read " << i << " took a damaged hive";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(std::string(e.what()),
                "The registry file '" + path +
                    "' is damaged at line 3: a key line without its closing ']'");
    }
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

}  // namespace
}  // namespace tessaline
