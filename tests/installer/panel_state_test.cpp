#include "installer/installation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "common/fault_system.h"
#include "registry/registry_exception.h"
#include "registry_fixture.h"

namespace tessaline {
namespace {

class PanelStateTest : public test::RegistryTest {};

TEST_F(PanelStateTest, WithoutProductOffersTheTemporaryFolder) {
  PanelState state;
  state.Create();
  EXPECT_EQ(state.destination, scratch() / "tmp/");
  EXPECT_FALSE(state.installed);
  EXPECT_EQ(state.title, "Tessaline");
}

TEST_F(PanelStateTest, OffersTheProductFolder) {
  CipherReg->WriteValue("", "Wenlora", "/opt/wenlora/");
  // Another pack's record, and this pack's record left empty, do not count.
  CipherReg->WriteValue("Pack", "Pack2", "/opt/wenlora/Other.wpk");
  CipherReg->WriteValue("Pack", "Pack1", "");
  PanelState state;
  state.Create();
  EXPECT_EQ(state.destination, "/opt/wenlora/");
  EXPECT_FALSE(state.installed);
  EXPECT_EQ(state.title, "Tessaline");
}

// A product key without the game's folder is what this program's own
// installs and uninstalls leave on a machine without the game: an empty
// destination there could only fail, so the temporary folder is offered.
TEST_F(PanelStateTest, ProductKeyWithoutFolderOffersTheTemporaryFolder) {
  for (const char* hive : {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n\"Wenlora\"=\"\"\r\n",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n\"Pack2\"=\"/k.wpk\"\r\n"}) {
    SCOPED_TRACE(hive);
    WriteHive(hive);
    PanelState state;
    state.Create();
    EXPECT_EQ(state.destination, scratch() / "tmp/");
    EXPECT_FALSE(state.installed);
    EXPECT_EQ(state.title, "Tessaline");
  }
}

TEST_F(PanelStateTest, InstalledPackOffersReinstalling) {
  CipherReg->WriteValue("", "Wenlora", "/opt/wenlora/");
  PackNo = 7;
  CipherReg->WriteValue("Pack", "Pack7", "/games/Tessaline.wpk");
  PanelState state;
  state.Create();
  EXPECT_EQ(state.destination, "/games/Tessaline.wpk");
  EXPECT_TRUE(state.installed);
  EXPECT_EQ(state.title, "Tessaline");
}

// The start only reads the hive, and a reader never touches the lock file:
// whatever stands there, or whoever holds it, the window shows the true
// state at once.
TEST_F(PanelStateTest, TheLockFileNeverChangesWhatTheStartShows) {
  CipherReg->WriteValue("Pack", "Pack1", "/games/Tessaline.wpk");
  const std::string lock = hive_path() + ".lock";
  const struct {
    const char* what;
    void (*make)(const std::string& lock);
  } cases[] = {
      {"a link", [](const std::string& lock) { std::filesystem::create_symlink("/nowhere", lock); }},
      {"a folder", [](const std::string& lock) { std::filesystem::create_directory(lock); }},
      {"a FIFO", [](const std::string& lock) { ASSERT_EQ(mkfifo(lock.c_str(), 0644), 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(lock);
    c.make(lock);
    test::ScopedFaults fs;
    PanelState state;
    state.Create();
    EXPECT_EQ(state.destination, "/games/Tessaline.wpk");
    EXPECT_TRUE(state.installed);
    EXPECT_TRUE(std::none_of(fs.calls().begin(), fs.calls().end(), [&](const auto& call) {
      return call.path == lock || call.op == test::FsOp::kLock;
    }));
  }
}

TEST_F(PanelStateTest, RecordThatIsNotTextStopsAfterTheProductFolder) {
  WriteHive(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n\"Wenlora\"=\"/opt/wenlora/\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n\"Pack1\"=dword:00000001\r\n");
  PanelState state;
  EXPECT_THROW(state.Create(), ERegistryException);
  EXPECT_EQ(state.destination, "/opt/wenlora/");
  EXPECT_FALSE(state.installed);
  EXPECT_EQ(state.title, std::nullopt);
}

TEST_F(PanelStateTest, ProductFolderThatIsNotTextLeavesEveryFactUnset) {
  WriteHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n\"Wenlora\"=dword:00000001\r\n");
  PanelState state;
  EXPECT_THROW(state.Create(), ERegistryException);
  EXPECT_EQ(state.destination, std::nullopt);
  EXPECT_FALSE(state.installed);
  EXPECT_EQ(state.title, std::nullopt);
}

}  // namespace
}  // namespace tessaline
