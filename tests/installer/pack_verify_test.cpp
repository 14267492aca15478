#include "installer/pack_verify.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "installer/installation.h"
#include "os/process.h"
#include "registry/hive_file.h"
#include "registry_fixture.h"

namespace tessaline {
namespace {

using test::ReadFile;
using test::WriteFile;

class PackVerifyTest : public test::RegistryTest {
 protected:
  int Run() {
    std::ostringstream out, err;
    const int status = RunVerify(hive_path(), ExecutablePath(), out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }
  // Installs a copy of this test program, as --install does.
  std::string Install() { return InstallPack(scratch() / "packs/", ExecutablePath()); }
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
  std::string bytes = ReadFile(path);
  bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x01);
  WriteFile(path, bytes);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "file differs: " + path + "\n");

  bytes.pop_back();
  WriteFile(path, ReadFile(ExecutablePath()).substr(0, bytes.size()));
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

TEST_F(PackVerifyTest, ADamagedHiveIsAnError) {
  WriteHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\nbroken\r\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "");
  EXPECT_NE(err_.find(hive_path()), std::string::npos) << err_;
}

}  // namespace
}  // namespace tessaline
