#include "installer/installation.h"

#include <gtest/gtest.h>

#include <sstream>

#include "os/process.h"
#include "registry_fixture.h"
#include "support/toolkit.h"

namespace tessaline {
namespace {

using test::ListDir;
using test::ReadFile;
using test::WriteFile;

using Names = std::vector<std::string>;

class UnattendedTest : public test::RegistryTest {
 protected:
  int Run(const std::optional<std::string>& dir) {
    out_.str("");
    err_.str("");
    return RunUnattendedInstall(dir, out_, err_);
  }
  std::string out() const { return out_.str(); }
  std::string err() const { return err_.str(); }

 private:
  std::ostringstream out_;
  std::ostringstream err_;
};

// The pack is a copy of the running executable: this test program.
TEST_F(UnattendedTest, InstallsIntoTheNamedFolder) {
  const std::string dest = scratch() / "packs";
  ASSERT_EQ(Run(dest), 0) << err();
  const std::string path = dest + "/Tessaline.wpk";
  EXPECT_EQ(out(), "Pack installation finished\n" + path + "\n");
  EXPECT_EQ(err(), "");
  EXPECT_TRUE(ReadFile(path) == ReadFile(ExecutablePath()));
  EXPECT_EQ(PackValue("Pack1"), path);
  EXPECT_EQ(PackValue("Comm1"), "Tessaline");
  EXPECT_EQ(PackValue("Cir1"), "Тесселин");
}

TEST_F(UnattendedTest, RelativeFolderIsTakenFromTheCurrentDirectory) {
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(scratch().path());
  const int code = Run("rel/packs");
  std::filesystem::current_path(old);
  ASSERT_EQ(code, 0) << err();
  EXPECT_EQ(PackValue("Pack1"), scratch() / "rel/packs/Tessaline.wpk");
}

TEST_F(UnattendedTest, WithoutFolderUsesTheWindowsDestination) {
  // No product: the temporary folder.
  ASSERT_EQ(Run(std::nullopt), 0) << err();
  EXPECT_EQ(PackValue("Pack1"), scratch() / "tmp/Tessaline.wpk");
  EXPECT_EQ(ListDir(scratch() / "tmp"), Names{"Tessaline.wpk"});

  // Installed: the installed file's folder again.
  ::mkdir((scratch() / "moved").c_str(), 0777);
  CipherReg->WriteValue("Pack", "Pack1", scratch() / "moved/Tessaline.wpk");
  ASSERT_EQ(Run(std::nullopt), 0) << err();
  EXPECT_EQ(ListDir(scratch() / "moved"), Names{"Tessaline.wpk"});
}

// A hive that cannot be read gives no destination to fall back on: the
// install stops with the reason instead of going to the temporary folder.
TEST_F(UnattendedTest, AnUnreadableHiveStopsTheInstallInsteadOfUsingTheTemporaryFolder) {
  WriteHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n\"Wenlora\"=\"" + scratch() / "game/" +
            "\"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack\r\n");
  EXPECT_EQ(Run(std::nullopt), 1);
  EXPECT_NE(err().find("Failed to set data for 'Pack1'"), std::string::npos) << err();
  EXPECT_NE(err().find("is damaged at line 5"), std::string::npos) << err();
  EXPECT_EQ(ListDir(scratch() / "tmp"), Names{});
  EXPECT_EQ(out(), "");
}

TEST_F(UnattendedTest, FailuresGoToTheErrorStreamAsDisplayed) {
  WriteFile(scratch() / "plain", "x");
  EXPECT_EQ(Run(scratch() / "plain"), 1);
  EXPECT_EQ(err(), "Cannot create file " + (scratch() / "plain/Tessaline.wpk") +
                       "\nCannot create the folder '" + (scratch() / "plain") +
                       "': Not a directory.\n");
  EXPECT_EQ(out(), "");
  EXPECT_FALSE(CipherReg->SubKeyExists(""));

  // An empty folder name is refused, not taken for the root.
  EXPECT_EQ(Run(""), 1);
  EXPECT_EQ(err(), "Unable to create directory.\n");

  // A damaged record stops the choice of the destination.
  WriteHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n\"Pack1\"=hex:01,02\r\n");
  EXPECT_EQ(Run(std::nullopt), 1);
  // A closing quote sorts below ".": no full stop is added.
  EXPECT_EQ(err(), "Invalid data type for 'Pack1'\n");
  EXPECT_EQ(out(), "");
}

TEST_F(UnattendedTest, RestoresTheToolkitInUse) {
  Toolkit* before = &CurrentToolkit();
  Run(scratch() / "d");
  EXPECT_EQ(&CurrentToolkit(), before);
}

}  // namespace
}  // namespace tessaline
