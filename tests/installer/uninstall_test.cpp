#include "installer/pack_commands.h"

#include <fcntl.h>
#include <sys/file.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "common/fail_each_step.h"
#include "common/fault_system.h"
#include "pack_files.h"
#include "os/process.h"
#include "registry/hive_parse.h"
#include "registry_fixture.h"

namespace tessaline {
namespace {

using test::kGameKey;
using test::kPackKeyLine;
using test::PackFile;
using test::ReadFile;
using test::RecordLines;
using test::WriteFile;

class UninstallTest : public test::RegistryTest {
 protected:
  int Run(bool force = false) {
    std::ostringstream out, err;
    const int status = RunUninstall(
        {hive_path(), test::AsSpan(test::ShippedSheet()), force}, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }

  // A hive with Tessaline's record naming `path`, Kestrel's beside it and the
  // game's own key; the same without Tessaline's record.
  void WriteHiveNaming(const std::string& path) {
    with_ = std::string(kGameKey) + kPackKeyLine + "\"Other\"=\"kept\"\r\n" +
            RecordLines(2, "Kestrel", "Пустельга", kestrel()) +
            RecordLines(1, "Tessaline", "Тесселин", path) + "\r\n";
    without_ = std::string(kGameKey) + kPackKeyLine + "\"Other\"=\"kept\"\r\n" +
               RecordLines(2, "Kestrel", "Пустельга", kestrel()) + "\r\n";
    WriteHive(with_);
  }
  std::string HiveBody() const { return ReadFile(hive_path()).substr(12); }

  std::string tessaline() const { return scratch() / "Tessaline.wpk"; }
  std::string kestrel() const { return scratch() / "Kestrel.wpk"; }

  std::string out_, err_, with_, without_;
};

TEST_F(UninstallTest, RemovesThisPackAndLeavesTheOthersAsTheyWere) {
  WriteFile(tessaline(), PackFile(test::ShippedSheet()));
  WriteFile(kestrel(), PackFile(test::OtherSheet()));
  WriteHiveNaming(tessaline());
  ASSERT_EQ(Run(), 0) << err_;
  EXPECT_EQ(out_, "uninstalled: " + tessaline() + "\n");
  EXPECT_EQ(err_, "");
  EXPECT_NE(::access(tessaline().c_str(), F_OK), 0);
  EXPECT_EQ(ReadFile(kestrel()), PackFile(test::OtherSheet()));
  EXPECT_EQ(ParseHive(ReadFile(hive_path())), ParseHive("REGEDIT4\r\n\r\n" + without_));

  // Once more: nothing left to remove, and nothing is written.
  const std::string after = ReadFile(hive_path());
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(out_, "not installed\n");
  EXPECT_EQ(ReadFile(hive_path()), after);
}

TEST_F(UninstallTest, NotInstalledChangesNothing) {
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(out_, "not installed\n");
  EXPECT_NE(::access(hive_path().c_str(), F_OK), 0) << "no hive was made";
}

TEST_F(UninstallTest, ARecordWhoseFileIsGoneLosesItsValues) {
  WriteHiveNaming(tessaline());
  ASSERT_EQ(Run(), 0) << err_;
  EXPECT_EQ(out_, "uninstalled: " + tessaline() + "\n");
  EXPECT_EQ(ParseHive(ReadFile(hive_path())), ParseHive("REGEDIT4\r\n\r\n" + without_));
  WriteHiveNaming("");
  ASSERT_EQ(Run(), 0) << err_;
  EXPECT_EQ(out_, "uninstalled (the record named no file)\n");
  EXPECT_EQ(ParseHive(ReadFile(hive_path())), ParseHive("REGEDIT4\r\n\r\n" + without_));
}

// The uninstall takes away the keys it leaves empty, from the record's key
// up to the product's, and nothing that still holds something: an empty
// product key would read as one without the game's folder. The root key
// stays.
TEST_F(UninstallTest, TheKeysItLeavesEmptyGoAndNoOthers) {
  const std::string record = RecordLines(1, "Tessaline", "Тесселин", "");
  const std::string wenlora = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n";
  const std::string software = "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n";
  const std::string other_vendor = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"A\"=\"1\"\r\n\r\n";
  const std::string pack_subkey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack\\Sub]\r\n\r\n";
  const std::string machine_value = "[HKEY_LOCAL_MACHINE]\r\n\"A\"=\"1\"\r\n\r\n";
  const struct {
    const char* what;
    std::string before, after;
  } cases[] = {
      {"only the record", software + "\r\n" + wenlora + "\r\n" + kPackKeyLine + record + "\r\n",
       "[HKEY_LOCAL_MACHINE]\r\n\r\n"},
      {"the game's own value", std::string(kGameKey) + kPackKeyLine + record + "\r\n", kGameKey},
      {"another value beside the record", kPackKeyLine + record + "\"Other\"=\"kept\"\r\n\r\n",
       kPackKeyLine + std::string("\"Other\"=\"kept\"\r\n\r\n")},
      {"a subkey below the record's key", kPackKeyLine + record + "\r\n" + pack_subkey,
       kPackKeyLine + std::string("\r\n") + pack_subkey},
      {"another vendor's key", other_vendor + kPackKeyLine + record + "\r\n", other_vendor},
      {"a value of the root key", machine_value + kPackKeyLine + record + "\r\n", machine_value},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteHive(c.before);
    ASSERT_EQ(Run(), 0) << err_;
    EXPECT_EQ(ParseHive(ReadFile(hive_path())), ParseHive("REGEDIT4\r\n\r\n" + c.after));
    EXPECT_EQ(CipherReg->KeyExists("\\SOFTWARE\\Wenlora"), c.after.find("Wenlora") != std::string::npos);
  }
}

// What a killed run left beside the pack (a copy never put in place, an old
// pack kept for taking back) goes with the next command in that folder;
// what a running program holds stays.
TEST_F(UninstallTest, LeftoversOfKilledRunsGoWithTheNextCommand) {
  const std::string leftover = scratch() / ".Tessaline.wpk.part-Ab12Cd";
  const std::string held = scratch() / ".Tessaline.wpk.part-Held01";
  for (const bool uninstall : {true, false}) {
    SCOPED_TRACE(uninstall ? "--uninstall" : "--verify");
    WriteFile(tessaline(), PackFile(test::ShippedSheet()));
    WriteFile(leftover, "an old pack");
    WriteFile(held, "being written");
    const int fd = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    WriteHiveNaming(tessaline());
    if (uninstall) {
      EXPECT_EQ(Run(), 0) << err_;
    } else {
      std::ostringstream out, err;
      RunVerify({hive_path(), tessaline(), test::AsSpan(test::ShippedSheet())}, out, err);
    }
    ::close(fd);
    EXPECT_NE(::access(leftover.c_str(), F_OK), 0);
    EXPECT_EQ(::access(held.c_str(), F_OK), 0);
    ::unlink(held.c_str());
  }
}

// Whatever the record names that is not this pack's file stays; its values go
// only with --force.
TEST_F(UninstallTest, NeverRemovesAFileThatIsNotThisPack) {
  const std::string real = scratch() / "real/Tessaline.wpk";
  ::mkdir((scratch() / "real").c_str(), 0777);
  ::mkdir((scratch() / "dir").c_str(), 0777);
  ::mkdir((scratch() / "dir/Tessaline.wpk").c_str(), 0777);
  ::mkdir((scratch() / "other").c_str(), 0777);
  ::mkdir((scratch() / "link").c_str(), 0777);
  WriteFile(real, PackFile(test::ShippedSheet()));
  WriteFile(scratch() / "passwd", "root:x:0:0:root:/root:/bin/bash\n");
  WriteFile(scratch() / "other/Tessaline.wpk", PackFile(test::OtherSheet()));
  WriteFile(scratch() / "other/Kestrel.wpk", PackFile(test::ShippedSheet()));
  ASSERT_EQ(::symlink(real.c_str(), (scratch() / "link/Tessaline.wpk").c_str()), 0);
  const struct {
    std::string path, reason;
  } cases[] = {
      {scratch() / "passwd", "it is not named Tessaline.wpk"},
      {scratch() / "dir/Tessaline.wpk", "it is not a regular file"},
      {scratch() / "link/Tessaline.wpk", "it is a symbolic link"},
      {scratch() / "other/Tessaline.wpk", "it does not carry this pack's card sheet"},
      {scratch() / "other/Kestrel.wpk", "it is not named Tessaline.wpk"},
      {ExecutablePath(), "it is not named Tessaline.wpk"},
  };
  // A folder's "contents" is that it is still a folder.
  const auto contents = [](const std::string& path) {
    return std::filesystem::is_directory(path) ? std::string("<folder>") : ReadFile(path);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string before = contents(c.path);
    WriteHiveNaming(c.path);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(err_, "Pack1 names " + c.path + ", which is not this pack's file: " + c.reason +
                        "; nothing removed (--force removes the record and keeps the file)\n");
    EXPECT_EQ(HiveBody(), with_);

    ASSERT_EQ(Run(/*force=*/true), 0) << err_;
    EXPECT_EQ(out_, "record removed, file kept: " + c.path + "\n");
    EXPECT_NE(err_.find("; the file is kept, the record removed"), std::string::npos) << err_;
    EXPECT_EQ(ParseHive(ReadFile(hive_path())), ParseHive("REGEDIT4\r\n\r\n" + without_));
    EXPECT_EQ(contents(c.path), before);
  }
  EXPECT_EQ(ReadFile(real), PackFile(test::ShippedSheet()));
}

// Every step of an uninstall failed in turn: it fails with a reason and
// leaves the pack file and the record byte for byte, or it succeeds; a
// removed file always takes its record with it, and nothing hidden stays.
TEST_F(UninstallTest, EveryStepFailedInTurnLeavesThePackAndTheRecord) {
  const std::string pack = PackFile(test::ShippedSheet());
  test::StepDriver driver;
  driver.reset = [&] {
    WriteFile(tessaline(), pack);
    WriteHiveNaming(tessaline());
  };
  driver.operation = [&] { return Run() == 0 ? std::string() : err_ + " "; };
  driver.check = [&](const test::FailedStep& run) {
    const bool removed = ::access(tessaline().c_str(), F_OK) != 0;
    if (run.message.empty()) {
      EXPECT_TRUE(removed);
      EXPECT_EQ(ParseHive(ReadFile(hive_path())), ParseHive("REGEDIT4\r\n\r\n" + without_));
    } else if (!removed) {
      EXPECT_EQ(ReadFile(tessaline()), pack);
      EXPECT_EQ(HiveBody(), with_);
    } else {
      // Only the record's own rewrite came after the file went: the file is
      // this pack's, gone for good, and the record says where it was.
      EXPECT_TRUE(run.After(test::FsOp::kUnlink)) << run.message;
    }
    for (const std::string& name : test::ListDir(scratch().path())) {
      EXPECT_EQ(name.rfind(".Tessaline.wpk.part-", 0), std::string::npos) << name;
    }
  };
  EXPECT_GT(test::FailEachStep(driver), 5);
}

// What another program does between the examination and the removal: a
// decoy put in the pack's place, or the folder's link turned elsewhere. The
// decoy is never removed, and the uninstall refuses with the record kept.
TEST_F(UninstallTest, ARaceBetweenCheckAndRemovalNeverDeletesAnotherFile) {
  const std::string pack = PackFile(test::ShippedSheet());
  ::mkdir((scratch() / "a").c_str(), 0777);
  ::mkdir((scratch() / "b").c_str(), 0777);
  const std::string via_link = scratch() / "games/Tessaline.wpk";
  struct Row {
    const char* name;
    std::string recorded;
    std::function<void()> race;
    std::string decoy;  // the file that must stay
  };
  const Row rows[] = {
      {"decoy swapped in", tessaline(),
       [&] {
         WriteFile(scratch() / "decoy", "the user's file");
         ::rename((scratch() / "decoy").c_str(), tessaline().c_str());
       },
       tessaline()},
      {"folder link turned", via_link,
       [&] {
         ::unlink((scratch() / "games").c_str());
         ::symlink("b", (scratch() / "games").c_str());
       },
       scratch() / "b/Tessaline.wpk"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(tessaline(), pack);
    WriteFile(scratch() / "a/Tessaline.wpk", pack);
    WriteFile(scratch() / "b/Tessaline.wpk", "the user's file");
    ::unlink((scratch() / "games").c_str());
    ASSERT_EQ(::symlink("a", (scratch() / "games").c_str()), 0);
    WriteHiveNaming(row.recorded);
    {
      test::ScopedFaults fs;
      bool raced = false;
      fs.BeforeEachCall([&](const test::FaultSystem::Call& call) {
        // The step between the examination and the removal: the pack's move.
        if (raced || call.op != test::FsOp::kRename ||
            call.path.find(".Tessaline.wpk.part-") == std::string::npos) {
          return;
        }
        raced = true;
        row.race();
      });
      const int status = Run();
      ASSERT_TRUE(raced);
      if (status == 0) {
        // The move took the examined file before the race: that one went.
        EXPECT_EQ(ReadFile(row.decoy), "the user's file");
      } else {
        EXPECT_NE(err_.find("nothing removed"), std::string::npos) << err_;
        EXPECT_EQ(HiveBody(), with_);
      }
    }
    EXPECT_EQ(ReadFile(row.decoy), "the user's file");
  }
}

// For root, a folder on the way that another user can change is not
// followed: that user could turn it to any folder between the check and the
// removal. Nothing is removed and the record stays.
TEST_F(UninstallTest, RootFollowsNoFolderAnotherUserControls) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
  const std::string theirs = scratch() / "theirs";
  ::mkdir(theirs.c_str(), 0755);
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  const std::string path = theirs + "/Tessaline.wpk";
  WriteFile(path, PackFile(test::ShippedSheet()));
  ::mkdir((scratch() / "open").c_str(), 0777);
  ::chmod((scratch() / "open").c_str(), 0777);
  const std::string open_path = scratch() / "open/Tessaline.wpk";
  WriteFile(open_path, PackFile(test::ShippedSheet()));
  // Their own link to a root-only folder, which they could turn at will.
  ::mkdir((scratch() / "root-only").c_str(), 0700);
  WriteFile(scratch() / "root-only/Tessaline.wpk", PackFile(test::ShippedSheet()));
  ASSERT_EQ(::symlink("root-only", (scratch() / "their-link").c_str()), 0);
  ASSERT_EQ(::lchown((scratch() / "their-link").c_str(), 65534, 65534), 0);
  const std::string linked = scratch() / "their-link/Tessaline.wpk";
  for (const std::string& recorded : {path, open_path, linked}) {
    SCOPED_TRACE(recorded);
    WriteHiveNaming(recorded);
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find("another user can change or replace it"), std::string::npos) << err_;
    EXPECT_EQ(HiveBody(), with_);
    EXPECT_EQ(ReadFile(recorded), PackFile(test::ShippedSheet()));
  }
}

// Root may write a file without write rights; the system's answer to the
// access check is then what makes the hive read-only.
TEST_F(UninstallTest, AReadOnlyHiveRemovesNothing) {
  WriteFile(tessaline(), PackFile(test::ShippedSheet()));
  WriteHiveNaming(tessaline());
  ASSERT_EQ(::chmod(hive_path().c_str(), 0444), 0);
  {
    test::ScopedFaults faults;
    if (::geteuid() == 0) faults.FailAll(test::FsOp::kAccess, EACCES);
    EXPECT_EQ(Run(), 1);
  }
  EXPECT_NE(err_.find("Cannot write the registry file"), std::string::npos) << err_;
  EXPECT_EQ(ReadFile(tessaline()), PackFile(test::ShippedSheet()));
  EXPECT_EQ(HiveBody(), with_);
}

}  // namespace
}  // namespace tessaline
