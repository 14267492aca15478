#include "installer/uninstall.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

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
        {hive_path(), ExecutablePath(), test::AsSpan(test::ShippedSheet()), force}, out, err);
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
  EXPECT_EQ(ParseHive(ReadFile(hive_path())), ParseHive("REGEDIT4\r\n\r\n" + without_));
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
    EXPECT_NE(err_.find("; the file is kept, the record removed"), std::string::npos) << err_;
    EXPECT_EQ(ParseHive(ReadFile(hive_path())), ParseHive("REGEDIT4\r\n\r\n" + without_));
    EXPECT_EQ(contents(c.path), before);
  }
  EXPECT_EQ(ReadFile(real), PackFile(test::ShippedSheet()));
}

// A pack file that cannot be removed keeps its record; a failing hive write
// reports the failure.
TEST_F(UninstallTest, AFailedStepLeavesTheRecord) {
  WriteFile(tessaline(), PackFile(test::ShippedSheet()));
  WriteHiveNaming(tessaline());
  {
    test::ScopedFaults faults;
    faults.FailAll(test::FsOp::kUnlink, EPERM);
    EXPECT_EQ(Run(), 1);
  }
  EXPECT_NE(err_.find("Cannot remove the pack file"), std::string::npos) << err_;
  EXPECT_EQ(HiveBody(), with_);
  EXPECT_EQ(ReadFile(tessaline()), PackFile(test::ShippedSheet()));
  {
    test::ScopedFaults faults;
    faults.FailAll(test::FsOp::kRename, EIO);
    EXPECT_EQ(Run(), 1);
  }
  EXPECT_NE(err_, "");
  EXPECT_EQ(HiveBody(), with_);
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
