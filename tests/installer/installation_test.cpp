#include "installer/installation.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/file.h>

#include <filesystem>
#include <sstream>
#include <random>

#include "common/fault_system.h"
#include "installer/pack_commands.h"
#include "pack_files.h"
#include "common/scoped_env.h"
#include "installer/folders.h"
#include "installer/pack_copy.h"
#include "os/process.h"
#include "registry/hive_parse.h"
#include "registry_fixture.h"

namespace tessaline {
namespace {

using test::ListDir;
using test::PatternBytes;
using test::ReadFile;
using test::WriteFile;

using Names = std::vector<std::string>;

TEST(PackPathForTest, FolderIsTheDirectoryPartWithoutTrailingSlashes) {
  struct Case {
    std::string dir_n, folder, pack_path;
  };
  const Case cases[] = {
      {"/games/packs/", "/games/packs", "/games/packs/Tessaline.wpk"},
      // The path of an installed pack file: its folder stays.
      {"/games/packs/Tessaline.wpk", "/games/packs", "/games/packs/Tessaline.wpk"},
      // Without a trailing "/" the last name is taken for a file name.
      {"/games/packs", "/games", "/games/Tessaline.wpk"},
      {"/games///", "/games", "/games/Tessaline.wpk"},
      // The root stands where a bare drive would.
      {"/", "/", "/Tessaline.wpk"},
      {"///", "/", "/Tessaline.wpk"},
      {"/name", "/", "/Tessaline.wpk"},
      {"rel/dir/", "rel/dir", "rel/dir/Tessaline.wpk"},
      // The game's value as it stored it, made normal: the path recorded.
      {"/games/./wenlora//wenlora.exe", "/games/wenlora", "/games/wenlora/Tessaline.wpk"},
      {"/games/old/../wenlora/", "/games/wenlora", "/games/wenlora/Tessaline.wpk"},
      {"/../x", "/", "/Tessaline.wpk"},
      // No folder at all.
      {"", "", ""},
      {"C:", "", ""},
      {"Tessaline.wpk", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir_n);
    EXPECT_EQ(PackFolderFor(c.dir_n), c.folder);
    EXPECT_EQ(PackPathFor(c.dir_n, "Tessaline"), c.pack_path);
  }
}

TEST(CompletionTextTest, PathOnTheSecondLine) {
  EXPECT_EQ(CompletionText("/games/Tessaline.wpk"),
            "Pack installation finished\r\n/games/Tessaline.wpk");
}

class InstallPackTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    exe_data_ = PatternBytes(3 * kCopyPieceSize + 5);
    WriteFile(exe(), exe_data_);
  }

  std::string exe() const { return scratch() / "tessaline"; }
  const std::string& exe_data() const { return exe_data_; }

  // The message of a failed install into `dir_n` from `source` (the
  // executable when empty); empty, and a test failure, when it succeeds.
  std::string FailedInstallMessage(const std::string& dir_n, const std::string& source = {}) {
    try {
      InstallPack(dir_n, source.empty() ? exe() : source);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& error) {
      return error.Message();
    }
    return {};
  }

  // Expects `dir_n` to fail with `message` and to leave no pack record.
  void ExpectFailureWithoutRecord(const std::string& dir_n, const std::string& message,
                                  const std::string& source = {}) {
    EXPECT_EQ(FailedInstallMessage(dir_n, source), message);
    EXPECT_FALSE(CipherReg->SubKeyExists(""));
  }

 private:
  std::string exe_data_;
};

TEST_F(InstallPackTest, CreatesMissingFoldersCopiesAndRecords) {
  const std::string dest = scratch() / "a/b/c";
  EXPECT_FALSE(CipherReg->SubKeyExists(""));

  EXPECT_EQ(InstallPack(dest + "/", exe()), dest + "/Tessaline.wpk");
  EXPECT_TRUE(ReadFile(dest + "/Tessaline.wpk") == exe_data());
  EXPECT_EQ(ListDir(dest), Names{"Tessaline.wpk"});
  // The product key and its subkey did not exist: the store made them.
  EXPECT_TRUE(CipherReg->SubKeyExists(""));
  EXPECT_TRUE(CipherReg->SubKeyExists("Pack"));
  EXPECT_EQ(PackValue("Pack1"), dest + "/Tessaline.wpk");
  EXPECT_EQ(PackValue("Comm1"), "Tessaline");
  EXPECT_EQ(PackValue("Cir1"), "Тесселин");
}

TEST_F(InstallPackTest, ReinstallingReplacesTheFileAndTheRecordOnly) {
  CipherReg->WriteValue("Pack", "Pack2", "/elsewhere/Other.wpk");
  const std::string dest = scratch() / "packs/";
  const std::string path = InstallPack(dest, exe());
  WriteFile(exe(), "a newer installer");
  // Start-up offers the installed file's path; its folder is used again.
  EXPECT_EQ(InstallPack(path, exe()), path);

  EXPECT_EQ(ReadFile(path), "a newer installer");
  EXPECT_EQ(ListDir(dest), Names{"Tessaline.wpk"});
  EXPECT_EQ(PackValue("Pack1"), path);
  EXPECT_EQ(PackValue("Comm1"), "Tessaline");
  EXPECT_EQ(PackValue("Pack2"), "/elsewhere/Other.wpk");
}

TEST_F(InstallPackTest, PackNumberNamesTheValues) {
  PackNo = 12;
  const std::string path = InstallPack(scratch() / "d/", exe());
  EXPECT_EQ(PackValue("Pack12"), path);
  EXPECT_EQ(PackValue("Comm12"), "Tessaline");
  EXPECT_EQ(PackValue("Cir12"), "Тесселин");
  EXPECT_EQ(PackValue("Pack1"), "<none>");
}

// A fault after the new pack file took the old one's name (the pack folder
// cannot be synced) fails the install and leaves the old pack byte for
// byte, with no record written and nothing beside it.
TEST_F(InstallPackTest, ALateFaultAfterTheSwapLeavesTheOldPack) {
  const std::string dest = scratch() / "packs/";
  std::filesystem::create_directories(dest);
  WriteFile(dest + "Tessaline.wpk", "an older pack");
  WriteHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n\r\n");
  const std::string hive_before = ReadFile(hive_path());
  {
    test::ScopedFaults fs;
    bool swapped = false;
    fs.FailWhen(
        [&](const test::FaultSystem::Call& call) {
          if (call.op == test::FsOp::kRename && call.path == dest + "Tessaline.wpk") swapped = true;
          return swapped && call.op == test::FsOp::kSync;
        },
        EIO);
    const std::string message = FailedInstallMessage(dest);
    EXPECT_EQ(test::FixedText(message), "Stream write error") << message;
  }
  EXPECT_EQ(ReadFile(dest + "Tessaline.wpk"), "an older pack");
  EXPECT_EQ(ListDir(dest), Names{"Tessaline.wpk"});
  EXPECT_EQ(ReadFile(hive_path()), hive_before);
}

// A hive's lock that another program holds past the wait: the install
// changes nothing, and its message says first what it could not do.
TEST_F(InstallPackTest, ALockHeldElsewhereIsToldAfterTheWrittenText) {
  const std::string dest = scratch() / "packs/";
  std::filesystem::create_directories(dest);
  WriteHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n\r\n");
  const int lock = ::open((hive_path() + ".lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  std::string message;
  {
    test::ScopedFaults fs;
    fs.UseVirtualClock();  // the wait runs out at once
    message = FailedInstallMessage(dest);
  }
  ::close(lock);
  EXPECT_EQ(message.rfind("Failed to set data for 'Pack1'\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("held by another program"), std::string::npos) << message;
  EXPECT_EQ(ListDir(dest), Names{});
}

// An uninstall started while an install is between putting the pack file in
// place and writing its record waits for it: the two never leave a record
// without its file or a file without its record.
TEST_F(InstallPackTest, AnUninstallDuringAnInstallWaitsForIt) {
  const std::string dest = scratch() / "packs/";
  std::filesystem::create_directories(dest);
  WriteFile(exe(), test::PackFile(test::ShippedSheet()));
  InstallPack(dest, exe());  // an older install, whose record the uninstall finds
  test::Gate placed, resume, locking;
  test::Child installer([&] {
    test::ScopedFaults fs;
    int after_swap = -1;  // calls since the pack file took its name
    fs.BeforeEachCall([&](const test::FaultSystem::Call& call) {
      if (call.op == test::FsOp::kRename && call.path == dest + "Tessaline.wpk") after_swap = 0;
      if (after_swap < 0 || ++after_swap != 2) return;
      placed.Post();  // in place, the record not yet written
      resume.Await();
    });
    try {
      InstallPack(dest, exe());
    } catch (...) {
      return 1;
    }
    return 0;
  });
  ASSERT_TRUE(placed.Await());
  test::Child uninstaller([&] {
    test::ScopedFaults fs;
    fs.BeforeEachCall([&](const test::FaultSystem::Call& call) {
      if (call.op == test::FsOp::kLock) locking.Post();
    });
    std::ostringstream out, err;
    return RunUninstall({hive_path(), test::AsSpan(test::ShippedSheet()), false}, out, err);
  });
  ASSERT_TRUE(locking.Await());
  resume.Post();
  EXPECT_EQ(installer.Wait(), 0);
  EXPECT_EQ(uninstaller.Wait(), 0);
  const bool file = std::filesystem::exists(dest + "Tessaline.wpk");
  const bool record = PackValue("Pack1") != "<none>";
  EXPECT_EQ(file, record) << "file " << file << ", record " << record;
}

// The record is written in one change of the hive: when that fails, no
// value changed and the pack file is put back as it was, and the message
// names the record's first value.
TEST_F(InstallPackTest, AFailedRecordChangesNoValueAndPutsThePackFileBack) {
  const std::string dest = scratch() / "packs/";
  const std::string old_hive =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n\"Pack1\"=\"/old/Tessaline.wpk\"\r\n"
      "\"Comm1\"=dword:00000007\r\n\r\n";
  struct Row {
    bool older;
    int code;
    const char* reason;
  };
  for (const Row row : {Row{false, ENOSPC, "No space left on device"},
                        Row{true, ENOSPC, "No space left on device"},
                        Row{true, EIO, "Input/output error"}}) {
    SCOPED_TRACE(std::string(row.reason) + (row.older ? " over an older install" : ""));
    std::filesystem::remove_all(dest);
    std::filesystem::create_directories(dest);
    if (row.older) WriteFile(dest + "Tessaline.wpk", "an older pack");
    WriteHive(row.older ? old_hive : "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n\r\n");
    const std::string hive_before = ReadFile(hive_path());
    {
      test::ScopedFaults fs;
      fs.FailWhen(
          [&](const test::FaultSystem::Call& call) {
            return call.op == test::FsOp::kRename && call.path == hive_path();
          },
          row.code);
      const std::string message = FailedInstallMessage(dest);
      EXPECT_EQ(message.rfind("Failed to set data for 'Pack1'\r\n", 0), 0u) << message;
      EXPECT_NE(message.find(row.reason), std::string::npos) << message;
    }
    CipherReg->CloseKey();  // left open by the failed write, on purpose
    EXPECT_EQ(ReadFile(hive_path()), hive_before);
    if (row.older) {
      EXPECT_EQ(ReadFile(dest + "Tessaline.wpk"), "an older pack");
    }
    EXPECT_EQ(ListDir(dest), row.older ? Names{"Tessaline.wpk"} : Names{});
  }
  WriteHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n\r\n");
  int hive_writes = 0;
  {
    test::ScopedFaults fs;
    fs.FailWhen(
        [&](const test::FaultSystem::Call& call) {
          if (call.op == test::FsOp::kRename && call.path == hive_path()) ++hive_writes;
          return false;
        },
        0);
    InstallPack(dest, exe());
  }
  EXPECT_EQ(hive_writes, 1) << "the record takes one rewrite of the hive";
  const std::string hive = ReadFile(hive_path());
  EXPECT_LT(hive.find("\"Pack1\""), hive.find("\"Comm1\""));
  EXPECT_LT(hive.find("\"Comm1\""), hive.find("\"Cir1\""));
}

TEST_F(InstallPackTest, LastNameWithoutSlashIsAFileName) {
  ::mkdir((scratch() / "games").c_str(), 0777);
  EXPECT_EQ(InstallPack(scratch() / "games/packs", exe()), scratch() / "games/Tessaline.wpk");
  EXPECT_EQ(ListDir(scratch() / "games"), Names{"Tessaline.wpk"});
}

TEST_F(InstallPackTest, EmptyDestinationIsRefused) {
  ExpectFailureWithoutRecord("", "Unable to create directory");
  ExpectFailureWithoutRecord("no-folder-here", "Unable to create directory");
}

TEST_F(InstallPackTest, DestinationUnderAPlainFile) {
  WriteFile(scratch() / "plain", "x");
  ExpectFailureWithoutRecord(scratch() / "plain/sub/",
                             "Cannot create file " + (scratch() / "plain/sub/Tessaline.wpk") +
                                 "\r\nCannot create the folder '" + (scratch() / "plain/sub") +
                                 "': Not a directory");
  EXPECT_EQ(ReadFile(scratch() / "plain"), "x");
}

TEST_F(InstallPackTest, MissingExecutable) {
  ExpectFailureWithoutRecord(
      scratch() / "d/",
      "Cannot open file " + (scratch() / "missing") + "\r\nNo such file or directory",
      scratch() / "missing");
  // The folder is made before the executable is opened, and stays.
  EXPECT_EQ(ListDir(scratch() / "d"), Names{});
}

// The running program is copied through its own image, but a message names
// it by its path, as the user knows it.
TEST_F(InstallPackTest, AnUnreadableRunningProgramIsNamedByItsPath) {
  test::ScopedFaults fs;
  fs.FailWhen(
      [](const test::FaultSystem::Call& call) {
        return call.op == test::FsOp::kOpen && call.path == RunningImagePath();
      },
      EACCES);
  EXPECT_EQ(FailedInstallMessage(scratch() / "d/", RunningImagePath()),
            "Cannot open file " + ExecutablePath() + "\r\nPermission denied");
}

TEST_F(InstallPackTest, PackPathThatIsTheExecutableItself) {
  PackName = "tessaline";
  const std::string source = exe() + ".wpk";
  ::rename(exe().c_str(), source.c_str());
  ExpectFailureWithoutRecord(
      scratch() / "", "Cannot create file " + source + "\r\nIt is the running program itself",
      source);
  EXPECT_TRUE(ReadFile(source) == exe_data());

  // The same through a link in another folder.
  ::mkdir((scratch() / "linked").c_str(), 0777);
  ::symlink(source.c_str(), (scratch() / "linked/tessaline.wpk").c_str());
  ExpectFailureWithoutRecord(scratch() / "linked/",
                             "Cannot create file " + (scratch() / "linked/tessaline.wpk") +
                                 "\r\nIt is the running program itself",
                             source);
  EXPECT_TRUE(ReadFile(source) == exe_data());
}

// A record that cannot be written is found out before the copy: one error
// that keeps the usual first line and says which file and why, and nothing
// copied. Into a folder that stands already the bytes are copied while the
// hive is read; that copy is never put in place, and a copy that fails
// meanwhile (no executable) is told only after the record.
TEST_F(InstallPackTest, ARecordThatCannotBeWrittenStopsTheInstallBeforeTheCopy) {
  WriteFile(scratch() / "blocker", "x");
  ::mkdir((scratch() / "e").c_str(), 0777);
  WriteFile(scratch() / "e/Tessaline.wpk", "an older pack");
  WriteFile(scratch() / "damaged.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A\n");
  ASSERT_EQ(::symlink("elsewhere", (scratch() / "linked.reg.lock").c_str()), 0);
  struct Case {
    std::string hive;
    std::string reason;
  };
  const Case cases[] = {
      {scratch() / "blocker/system.reg",
       "Cannot open the registry file '" + scratch() / "blocker/system.reg" + "': Not a directory"},
      {scratch() / "damaged.reg",
       "The registry file '" + scratch() / "damaged.reg" + "' is damaged at line 3"},
      {scratch() / "linked.reg", "Cannot open the registry lock file '" +
                                     scratch() / "linked.reg.lock" +
                                     "': a symbolic link, which is never followed here"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hive);
    RegistryShutdown();
    test::ScopedEnv hive("WENLORA_REGISTRY", c.hive);
    RegistryStartup();
    for (const auto& [dest, source] : {std::pair{scratch() / "d/", exe()},
                                       {scratch() / "e/", exe()},
                                       {scratch() / "e/", scratch() / "missing"}}) {
      SCOPED_TRACE(dest + " from " + source);
      const std::string message = FailedInstallMessage(dest, source);
      EXPECT_EQ(message.rfind("Failed to set data for 'Pack1'\r\n" + c.reason, 0), 0u) << message;
    }
    EXPECT_FALSE(std::filesystem::exists(scratch() / "d"));
    EXPECT_EQ(ListDir(scratch() / "e"), Names{"Tessaline.wpk"});
    EXPECT_EQ(ReadFile(scratch() / "e/Tessaline.wpk"), "an older pack");
    RegistryShutdown();
  }
  RegistryStartup();
}

// A destination so long that the pack's path could not be opened is refused
// before any folder is made or anything recorded.
TEST_F(InstallPackTest, APackPathTooLongToOpenIsRefused) {
  std::string dest = scratch().path();
  while (dest.size() < 4086 - 201) dest += "/" + std::string(200, 'd');
  dest += "/" + std::string(4086 - dest.size() - 1, 'e');
  ASSERT_EQ(dest.size(), 4086u);
  ExpectFailureWithoutRecord(
      dest + "/", "Cannot create file " + dest + "/Tessaline.wpk\r\nFile name too long", exe());
  EXPECT_FALSE(std::filesystem::exists(scratch() / std::string(200, 'd')));
}

// Installers of two packs at once into one folder and one hive: every one
// reports success, nothing is lost, and each pack file is whole.
TEST_F(InstallPackTest, ConcurrentInstallersOfTwoPacksLoseNothing) {
  const std::string folder = scratch() / "games/";
  const std::vector<int> codes = test::RunChildren(16, [&](int child) {
    if (child % 2 == 1) InstallerStartup({2, "Kestrel", "Пустельга"});
    try {
      for (int round = 0; round < 3; ++round) InstallPack(folder, exe());
    } catch (...) {
      return 1;
    }
    return 0;
  });
  EXPECT_EQ(codes, std::vector<int>(16, 0));
  EXPECT_EQ(ListDir(folder), (std::vector<std::string>{"Kestrel.wpk", "Tessaline.wpk"}));
  EXPECT_TRUE(ReadFile(folder + "Tessaline.wpk") == exe_data());
  EXPECT_TRUE(ReadFile(folder + "Kestrel.wpk") == exe_data());
  EXPECT_EQ(PackValue("Pack1"), folder + "Tessaline.wpk");
  EXPECT_EQ(PackValue("Cir1"), "Тесселин");
  EXPECT_EQ(PackValue("Pack2"), folder + "Kestrel.wpk");
  EXPECT_EQ(PackValue("Comm2"), "Kestrel");
  EXPECT_EQ(PackValue("Cir2"), "Пустельга");
}

// Installers killed at random moments, 100 times: the pack file is always the
// old one or a whole new one, the hive always reads, and the next install
// leaves nothing behind. (The moments are random; what is checked holds at
// every one of them.)
TEST_F(InstallPackTest, KilledInstallsNeverLeaveAPartialPackOrABrokenHive) {
  const std::string folder = scratch() / "games/";
  std::filesystem::create_directories(folder);
  const std::string old_pack = test::PatternBytes(1 << 20, 5);
  WriteFile(folder + "Tessaline.wpk", old_pack);
  std::mt19937 random(11);
  for (int round = 0; round < 100; ++round) {
    test::Child child([&] {
      try {
        InstallPack(folder, exe());
      } catch (...) {
      }
      return 0;
    });
    ::usleep(std::uniform_int_distribution<int>(0, 30000)(random));
    child.Kill();
    const std::string pack = ReadFile(folder + "Tessaline.wpk");
    ASSERT_TRUE(pack == old_pack || pack == exe_data()) << "round " << round;
    ASSERT_NO_THROW(ParseHive(ReadFile(hive_path()))) << "round " << round;
  }
  InstallPack(folder, exe());
  EXPECT_EQ(ListDir(folder), std::vector<std::string>{"Tessaline.wpk"});
  EXPECT_EQ(PackValue("Pack1"), folder + "Tessaline.wpk");
}

}  // namespace
}  // namespace tessaline
