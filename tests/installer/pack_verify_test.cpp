#include "installer/pack_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "installer/installation.h"
#include "os/process.h"
#include "registry/hive_file.h"
#include "pack_files.h"
#include "registry_fixture.h"

namespace tessaline {
namespace {

using test::ReadFile;
using test::WriteFile;

class PackVerifyTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    WriteFile(program(), test::PackFile(test::ShippedSheet()));
  }
  int Run() {
    std::ostringstream out, err;
    const int status =
        RunVerify({hive_path(), program(), test::AsSpan(test::ShippedSheet())}, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }
  // The program being verified: a pack file carrying the shipped sheet.
  std::string program() const { return scratch() / "program"; }
  // Installs a copy of the program, as --install does.
  std::string Install() { return InstallPack(scratch() / "packs/", program()); }
  void RemoveValue(const std::string& name) {
    HiveFile(hive_path()).Modify([&](Hive& hive) {
      return hive
          .FindKey(std::vector<std::string>{"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"})
          ->RemoveValue(name);
    });
  }
  std::string out_, err_;
};

TEST_F(PackVerifyTest, AnIntactInstallationIsOk) {
  const std::string path = Install();
  EXPECT_EQ(Run(), 0) << err_;
  EXPECT_EQ(out_, "ok: " + path + "\n");
}

TEST_F(PackVerifyTest, NotInstalled) {
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "not installed\n");
}

TEST_F(PackVerifyTest, EachKindOfDamageIsNamed) {
  const std::string path = Install();
  // Other bytes, whether or not they still carry the card sheet.
  const std::string bytes = ReadFile(path);
  std::string flipped = bytes;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x01);
  for (const std::string& damaged : {bytes + "x", flipped, bytes.substr(0, bytes.size() - 1)}) {
    WriteFile(path, damaged);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(out_.rfind("file differs: " + path, 0), 0u) << out_;
  }
  WriteFile(path, bytes + "x");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "file differs: " + path + "\n");

  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "file missing: " + path + "\n");

  Install();
  CipherReg->WriteValue("Pack", "Comm1", "Kestrel");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "record differs: Comm1\n");

  Install();
  RemoveValue("Cir1");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "record incomplete: Cir1 missing\n");
  RemoveValue("Pack1");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "record incomplete: Pack1 missing\n");
}

// --verify calls "ok" only a file --uninstall would remove as this pack's,
// and names what is not a pack as --list does.
TEST_F(PackVerifyTest, AgreesWithUninstallAndListOnWhatIsThisPack) {
  const std::string path = Install();
  const std::string folder = scratch() / "elsewhere";
  ::mkdir(folder.c_str(), 0755);
  ::mkdir((folder + "/dir").c_str(), 0755);
  ::mkdir((folder + "/dir/Tessaline.wpk").c_str(), 0755);
  ASSERT_EQ(::symlink(path.c_str(), (folder + "/Tessaline.wpk").c_str()), 0);
  WriteFile(folder + "/Other.wpk", ReadFile(path));
  ::mkdir((folder + "/other").c_str(), 0755);
  WriteFile(folder + "/other/Tessaline.wpk", test::PackFile(test::OtherSheet()));
  const struct {
    std::string recorded, line;
  } cases[] = {
      {folder + "/Tessaline.wpk", "file differs: " + folder + "/Tessaline.wpk: it is a symbolic link"},
      {folder + "/Other.wpk", "file differs: " + folder + "/Other.wpk: it is not named Tessaline.wpk"},
      {folder + "/other/Tessaline.wpk", "file differs: " + folder +
                                            "/other/Tessaline.wpk: it does not carry this pack's "
                                            "card sheet"},
      {folder + "/dir/Tessaline.wpk", "not a pack: " + folder + "/dir/Tessaline.wpk"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recorded);
    CipherReg->WriteValue("Pack", "Pack1", c.recorded);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(out_, c.line + "\n");
  }
}

TEST_F(PackVerifyTest, ADamagedHiveIsAnError) {
  WriteHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\nbroken\r\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "");
  EXPECT_NE(err_.find(hive_path()), std::string::npos) << err_;
}

}  // namespace
}  // namespace tessaline
