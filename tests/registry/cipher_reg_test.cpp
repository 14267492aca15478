#include "registry/cipher_reg.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/fault_system.h"
#include "common/test_support.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

using test::ReadFile;
using test::RecordingToolkit;
using test::ScopedToolkit;
using test::ScratchDir;
using test::WriteFile;

class CipherRegTest : public ::testing::Test {
 protected:
  // Puts a value of any type straight into the hive, as another program might.
  void Seed(const std::string& key, const std::string& name, std::uint32_t type,
            const std::string& data) {
    HiveFile file(hive_path_);
    file.Modify([&](Hive& hive) {
      std::vector<std::string> path = {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora"};
      if (!key.empty()) path.push_back(key);
      hive.CreateKey(path).SetValue(name, type, data);
      return true;
    });
  }

  ScratchDir dir_;
  std::string hive_path_ = dir_ / "wenlora/system.reg";
  RecordingToolkit toolkit_;
  ScopedToolkit use_toolkit_{toolkit_};
  tCipherReg store_{52719, hive_path_};
};

TEST_F(CipherRegTest, NewStoreHasNoKeyOpenAndTheFlagClear) {
  EXPECT_EQ(store_.CipherKey(), 52719);
  EXPECT_EQ(store_.RootKey(), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(store_.CurrentKey(), 0u);
  EXPECT_EQ(store_.CurrentPath(), "");
  EXPECT_FALSE(store_.LazyWrite());
  EXPECT_EQ(store_.HivePath(), hive_path_);
}

TEST_F(CipherRegTest, WriteCreatesTheMissingKeysAndTheFileThenReadsBack) {
  EXPECT_TRUE(store_.WriteValue("Pack", "Pack7", "/games/Tessaline.wpk"));
  EXPECT_EQ(store_.CurrentKey(), 0u);
  EXPECT_TRUE(std::filesystem::exists(hive_path_));
  const std::string text = ReadFile(hive_path_);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\n"
                      "\"Pack7\"=\"/games/Tessaline.wpk\"\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(store_.ReadValue("Pack", "Pack7", "none"), "/games/Tessaline.wpk");
  // Names ignore case; the first spelling stays.
  EXPECT_EQ(store_.ReadValue("PACK", "pack7", "none"), "/games/Tessaline.wpk");
  EXPECT_TRUE(store_.WriteValue("pack", "PACK7", "/other"));
  EXPECT_EQ(store_.ReadValue("Pack", "Pack7", "none"), "/other");
  EXPECT_NE(ReadFile(hive_path_).find("\"Pack7\"=\"/other\""), std::string::npos);
  // Another store (another process) sees the values at once.
  tCipherReg other(1, hive_path_);
  EXPECT_EQ(other.ReadValue("Pack", "Pack7", "none"), "/other");
  EXPECT_TRUE(toolkit_.Quiet());
}

TEST_F(CipherRegTest, EmptySubKeyMeansTheProductKeyItself) {
  EXPECT_FALSE(store_.SubKeyExists(""));
  EXPECT_FALSE(store_.SubKeyExists("Pack"));
  EXPECT_TRUE(store_.WriteValue("", "Wenlora", "/opt/wenlora"));
  EXPECT_TRUE(store_.SubKeyExists(""));
  EXPECT_FALSE(store_.SubKeyExists("Pack"));
  EXPECT_EQ(store_.ReadValue("", "Wenlora", "tmp"), "/opt/wenlora");
  EXPECT_EQ(store_.ReadValue("Pack", "Wenlora", "tmp"), "tmp");
  EXPECT_TRUE(store_.WriteValue("Pack", "Pack1", "x"));
  EXPECT_TRUE(store_.SubKeyExists("Pack"));
  EXPECT_TRUE(store_.SubKeyExists("pack"));
  EXPECT_FALSE(store_.SubKeyExists("Pack\\Deeper"));
  EXPECT_TRUE(toolkit_.Quiet());
}

TEST_F(CipherRegTest, MissingHiveKeyOrValueGivesTheDefaultQuietlyAndCreatesNothing) {
  EXPECT_EQ(store_.ReadValue("Pack", "Pack1", "dflt"), "dflt");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "wenlora"));
  Seed("", "Wenlora", kRegSz, std::string("/opt\0", 5));
  EXPECT_EQ(store_.ReadValue("Pack", "Pack1", "dflt"), "dflt");
  EXPECT_EQ(store_.ReadValue("", "Pack1", "dflt"), "dflt");
  EXPECT_EQ(store_.CurrentKey(), 0u);
  EXPECT_TRUE(toolkit_.Quiet());
}

TEST_F(CipherRegTest, ReadsStoredDataTheWayTheRegistryDoes) {
  Seed("Pack", "Middle", kRegSz, std::string("left\0right\0", 11));
  Seed("Pack", "Empty", kRegSz, std::string("\0", 1));
  Seed("Pack", "NoData", kRegSz, "");
  Seed("Pack", "Unterminated", kRegSz, "abc");
  Seed("Pack", "Expand", kRegExpandSz, std::string("%HOME%/packs\0", 13));
  Seed("Pack", "EmptyBinary", kRegBinary, "");
  EXPECT_EQ(store_.ReadValue("Pack", "Middle", "d"), "left");
  EXPECT_EQ(store_.ReadValue("Pack", "Empty", "d"), "");
  EXPECT_EQ(store_.ReadValue("Pack", "NoData", "d"), "");
  EXPECT_EQ(store_.ReadValue("Pack", "Unterminated", "d"), "abc");
  EXPECT_EQ(store_.ReadValue("Pack", "Expand", "d"), "%HOME%/packs");
  // A non-text value without data reads as empty, as its size is 0.
  EXPECT_EQ(store_.ReadValue("Pack", "EmptyBinary", "d"), "");
  EXPECT_TRUE(toolkit_.Quiet());
}

TEST_F(CipherRegTest, NonTextValuesRaiseAndLeaveNoKeyOpen) {
  Seed("Pack", "Count", kRegDword, std::string("\x2a\0\0\0", 4));
  Seed("Pack", "Blob", kRegBinary, "\x01\x02");
  Seed("Pack", "Wide", kRegQword, std::string(8, '\x7f'));
  for (const char* name : {"Count", "Blob", "Wide"}) {
    try {
      store_.ReadValue("Pack", name, "d");
      ADD_FAILURE() << name << " did not raise";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Invalid data type for '") + name + "'");
    }
    EXPECT_EQ(store_.CurrentKey(), 0u);
  }
  // No stale key is reported afterwards.
  EXPECT_EQ(store_.ReadValue("Pack", "Missing", "d"), "d");
  EXPECT_TRUE(toolkit_.Quiet());
}

TEST_F(CipherRegTest, FailedWriteLeavesTheKeyOpenAndTheNextOpenReportsIt) {
  ASSERT_TRUE(store_.WriteValue("Pack", "Pack1", "kept"));
  const std::string before = ReadFile(hive_path_);
  // A value name with a line break cannot be stored.
  try {
    store_.WriteValue("Pack", "bad\nname", "x");
    ADD_FAILURE() << "the write did not raise";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for 'bad\nname'");
  }
  EXPECT_NE(store_.CurrentKey(), 0u);
  EXPECT_EQ(store_.CurrentPath(), "SOFTWARE\\Wenlora\\Pack");
  EXPECT_EQ(ReadFile(hive_path_), before);

  EXPECT_EQ(store_.ReadValue("Pack", "Pack1", "d"), "kept");
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  EXPECT_EQ(toolkit_.boxes[0].text,
            "Registry error 1\r\nSOFTWARE\\Wenlora\\Pack\r\n\\SOFTWARE\\Wenlora\\Pack");
  EXPECT_EQ(toolkit_.boxes[0].caption, "");
  EXPECT_EQ(toolkit_.boxes[0].flags, kMbIconInformation);
  EXPECT_EQ(store_.CurrentKey(), 0u);
  // Once reported, the store works normally again.
  EXPECT_TRUE(store_.WriteValue("Pack", "Pack2", "y"));
  EXPECT_EQ(toolkit_.boxes.size(), 1u);
}

// The missing keys and the values go in one rewrite of the hive, and a
// write that fails creates no key either.
TEST_F(CipherRegTest, AWriteCreatesItsKeysWithItsValuesOrNothing) {
  EXPECT_THROW(store_.WriteValue("Pack", "bad\nname", "x"), ERegistryException);
  store_.CloseKey();
  EXPECT_FALSE(std::filesystem::exists(hive_path_));
  int rewrites = 0;
  {
    test::ScopedFaults fs;
    fs.FailWhen(
        [&](const test::FaultSystem::Call& call) {
          rewrites += call.op == test::FsOp::kRename && call.path == hive_path_;
          return false;
        },
        0);
    EXPECT_TRUE(store_.WriteValues("Pack", {{"Pack1", "/p"}, {"Comm1", "T"}}));
  }
  EXPECT_EQ(rewrites, 1);
  EXPECT_EQ(store_.ReadValue("Pack", "Comm1", "d"), "T");
}

TEST_F(CipherRegTest, OtherThreadsAreRefusedAndOpenNothing) {
  bool wrote = true, exists = true;
  std::string read;
  std::thread worker([&] {
    wrote = store_.WriteValue("Pack", "Pack1", "x");
    read = store_.ReadValue("Pack", "Pack1", "dflt");
    exists = store_.SubKeyExists("");
  });
  worker.join();
  EXPECT_FALSE(wrote);
  EXPECT_EQ(read, "dflt");
  EXPECT_FALSE(exists);
  EXPECT_EQ(store_.CurrentKey(), 0u);
  EXPECT_FALSE(std::filesystem::exists(hive_path_));
  ASSERT_EQ(toolkit_.boxes.size(), 3u);
  EXPECT_EQ(toolkit_.boxes[0].text, "Registry error 2\r\n\\SOFTWARE\\Wenlora\\Pack");
  EXPECT_EQ(toolkit_.boxes[2].text, "Registry error 2\r\n\\SOFTWARE\\Wenlora\\");
  // Refused opens do not count as the store's first close either.
  EXPECT_FALSE(store_.LazyWrite());
}

TEST_F(CipherRegTest, OnlyClosesBeforeTheFirstCloseAndMarkFlush) {
  // Opens that fail close nothing, so the flag stays clear.
  EXPECT_EQ(store_.ReadValue("Pack", "Pack1", "d"), "d");
  EXPECT_FALSE(store_.SubKeyExists(""));
  EXPECT_EQ(store_.FlushCount(), 0u);
  EXPECT_FALSE(store_.LazyWrite());
  // The first successful operation flushes; no later one does.
  EXPECT_TRUE(store_.WriteValue("Pack", "Pack1", "x"));
  EXPECT_EQ(store_.FlushCount(), 1u);
  EXPECT_TRUE(store_.LazyWrite());
  EXPECT_TRUE(store_.WriteValue("Pack", "Pack2", "y"));
  EXPECT_EQ(store_.ReadValue("Pack", "Pack2", "d"), "y");
  EXPECT_TRUE(store_.SubKeyExists("Pack"));
  EXPECT_EQ(store_.FlushCount(), 1u);
}

TEST_F(CipherRegTest, DamagedHiveIsShownNeverOverwrittenAndTreatedAsClosed) {
  const std::string damaged =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\n\"A\"=\"ok\"\n"
      "\"B\"=\"bad \\q escape\"\n";
  std::filesystem::create_directories(dir_ / "wenlora");
  WriteFile(hive_path_, damaged);
  EXPECT_EQ(store_.ReadValue("", "A", "dflt"), "dflt");
  EXPECT_FALSE(store_.WriteValue("", "C", "x"));
  EXPECT_FALSE(store_.SubKeyExists(""));
  EXPECT_EQ(ReadFile(hive_path_), damaged);
  ASSERT_EQ(toolkit_.exceptions.size(), 3u);
  for (const std::string& shown : toolkit_.exceptions) {
    EXPECT_NE(shown.find(hive_path_), std::string::npos) << shown;
    EXPECT_NE(shown.find("line 5"), std::string::npos) << shown;
  }
  EXPECT_TRUE(toolkit_.boxes.empty());
  EXPECT_EQ(store_.CurrentKey(), 0u);
}

TEST_F(CipherRegTest, StartupCreatesTheStoreOnTheHiveTheEnvironmentNames) {
  ASSERT_EQ(setenv("WENLORA_REGISTRY", hive_path_.c_str(), 1), 0);
  RegistryStartup();
  unsetenv("WENLORA_REGISTRY");
  ASSERT_NE(CipherReg, nullptr);
  tCipherReg* first = CipherReg;
  RegistryStartup();  // a second start-up keeps the store
  EXPECT_EQ(CipherReg, first);
  EXPECT_EQ(CipherReg->CipherKey(), 52719);
  EXPECT_EQ(CipherReg->HivePath(), hive_path_);
  EXPECT_TRUE(CipherReg->WriteValue("Pack", "Pack3", "z"));
  RegistryShutdown();
  EXPECT_EQ(CipherReg, nullptr);
  RegistryShutdown();  // harmless without a store
  EXPECT_EQ(tCipherReg(0, hive_path_).ReadValue("Pack", "Pack3", ""), "z");
}

// Runs `body` in a child process that has dropped root's rights (when the
// tests run as root) and returns its exit status.
int RunWithoutRoot(const std::function<int()>& body) {
  return test::RunInChild([&] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 99;
    return body();
  });
}

TEST_F(CipherRegTest, HiveThatCannotBeWrittenRefusesEveryOpenQuietly) {
  ASSERT_TRUE(store_.WriteValue("Pack", "Pack1", "x"));
  const std::string before = ReadFile(hive_path_);
  // Readable by everyone, writable by nobody but root.
  std::filesystem::permissions(dir_.path(), std::filesystem::perms(0755));
  std::filesystem::permissions(dir_ / "wenlora", std::filesystem::perms(0755));
  std::filesystem::permissions(hive_path_, std::filesystem::perms(0644));
  if (geteuid() != 0) {
    std::filesystem::permissions(dir_ / "wenlora", std::filesystem::perms(0555));
    std::filesystem::permissions(hive_path_, std::filesystem::perms(0444));
  }
  const std::string path = hive_path_;
  const std::string missing = dir_ / "elsewhere/system.reg";
  int status = RunWithoutRoot([&] {
    RecordingToolkit toolkit;
    ScopedToolkit use_toolkit(toolkit);
    tCipherReg store(1, path);
    if (store.ReadValue("Pack", "Pack1", "d") != "d") return 1;
    if (store.SubKeyExists("")) return 2;
    if (store.WriteValue("Pack", "Pack2", "y")) return 3;
    // A new hive whose folder cannot be made is refused the same way.
    if (tCipherReg(1, missing).WriteValue("Pack", "Pack2", "y")) return 4;
    return toolkit.Quiet() ? 0 : 5;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(hive_path_), before);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

// Makes the next WriteValue of `store` raise, leaving its key open.
void LeaveKeyOpen(tCipherReg& store) {
  EXPECT_THROW(store.WriteValue("Pack", "bad\nname", "x"), ERegistryException);
  ASSERT_EQ(store.CurrentPath(), "SOFTWARE\\Wenlora\\Pack");
}

TEST_F(CipherRegTest, StaleKeyIsClosedBeforeItsReportAndTheReportPrecedesTheThreadCheck) {
  // Records whether a key was still open when each box came up.
  struct Watching : RecordingToolkit {
    int MessageBox(const std::string& text, const std::string& caption,
                   std::int32_t flags) override {
      open_while_shown.push_back(store->CurrentKey() != 0);
      return RecordingToolkit::MessageBox(text, caption, flags);
    }
    tCipherReg* store = nullptr;
    std::vector<bool> open_while_shown;
  } watching;
  watching.store = &store_;
  ScopedToolkit use_watching(watching);

  LeaveKeyOpen(store_);
  std::string read;
  std::thread worker([&] { read = store_.ReadValue("", "Wenlora", "dflt"); });
  worker.join();
  EXPECT_EQ(read, "dflt");
  ASSERT_EQ(watching.boxes.size(), 2u);
  EXPECT_EQ(watching.boxes[0].text,
            "Registry error 1\r\nSOFTWARE\\Wenlora\\Pack\r\n\\SOFTWARE\\Wenlora\\");
  EXPECT_EQ(watching.boxes[1].text, "Registry error 2\r\n\\SOFTWARE\\Wenlora\\");
  EXPECT_EQ(watching.open_while_shown, (std::vector<bool>{false, false}));
  EXPECT_EQ(store_.CurrentKey(), 0u);
  EXPECT_TRUE(toolkit_.Quiet());
}

TEST_F(CipherRegTest, ClosingAStaleKeyLeavesTheFlagAsItWas) {
  Seed("Pack", "Other", kRegSz, std::string("x\0", 2));
  LeaveKeyOpen(store_);  // the store's first operation: the flag is clear
  EXPECT_EQ(store_.FlushCount(), 0u);
  EXPECT_EQ(store_.ReadValue("Pack", "Pack1", "d"), "d");
  // The stale close flushed with the flag clear, and so did the read's own close.
  EXPECT_EQ(store_.FlushCount(), 2u);
  EXPECT_TRUE(store_.LazyWrite());
  EXPECT_EQ(toolkit_.boxes.size(), 1u);
}

TEST_F(CipherRegTest, ARaisingReadStillClosesAndMarks) {
  Seed("Pack", "Count", kRegDword, std::string("\x2a\0\0\0", 4));
  EXPECT_THROW(store_.ReadValue("Pack", "Count", "d"), ERegistryException);
  EXPECT_EQ(store_.CurrentKey(), 0u);
  EXPECT_EQ(store_.FlushCount(), 1u);
  EXPECT_TRUE(store_.LazyWrite());
}

TEST_F(CipherRegTest, SubKeyExistsLooksBelowTheProductKeyOnly) {
  Seed("", "Wenlora", kRegSz, std::string("/opt\0", 5));
  HiveFile(hive_path_).Modify([](Hive& hive) {
    hive.CreateKey({"HKEY_LOCAL_MACHINE", "Pack"});
    hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Pack"});
    return true;
  });
  EXPECT_TRUE(store_.SubKeyExists(""));
  EXPECT_FALSE(store_.SubKeyExists("Pack"));
  EXPECT_FALSE(store_.SubKeyExists("Wenlora"));
  EXPECT_EQ(store_.CurrentKey(), 0u);
  EXPECT_TRUE(toolkit_.Quiet());
}

}  // namespace
}  // namespace tessaline
