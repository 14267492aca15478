// Faults in a rewrite of the hive file, injected through the system seam.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/fail_each_step.h"
#include "common/fault_system.h"
#include "common/test_support.h"
#include "pack_values.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

using test::Get;
using test::kPackKey;
using test::Put;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

const std::vector<std::string> kHiveAndLock = {"system.reg", "system.reg.lock"};

// Every step of a rewrite failed in turn: the change is reported with the
// hive's path, the file keeps its bytes (the new ones only when the failed
// step came after the rename), and nothing is left beside it.
TEST(HiveFileFaultTest, EveryStepFailedInTurnKeepsTheOldHive) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  Put(*std::make_unique<HiveFile>(path), "A", "kept");
  const std::string before = ReadFile(path);
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed new file" : "named new file");
    test::StepDriver driver;
    driver.reset = [&] { WriteFile(path, before); };
    driver.prepare = [&](test::FaultSystem& fs) {
      if (!unnamed) fs.RefuseUnnamedFiles();
    };
    driver.operation = [&] {
      HiveFile file(path);
      try {
        Put(file, "B", "new");
      } catch (const ERegistryException& e) {
        return std::string(e.what());
      }
      return std::string();
    };
    driver.check = [&](const test::FailedStep& run) {
      if (run.failed.op == test::FsOp::kUnlink) {  // only a failed removal may leave one
        for (const std::string& name : test::ListDir(dir.path())) {
          if (name.starts_with(".system.reg.part-")) std::filesystem::remove(dir / name);
        }
      }
      EXPECT_EQ(test::ListDir(dir.path()), kHiveAndLock);
      if (run.message.empty()) {
        EXPECT_EQ(Get(HiveFile(path).Read(), "B"), "new");
        return;
      }
      EXPECT_NE(run.message.find(dir.path()), std::string::npos) << run.message;
      if (!run.After(test::FsOp::kRename)) {
        EXPECT_EQ(ReadFile(path), before);
      }
    };
    EXPECT_GT(test::FailEachStep(driver), 8) << "the faults never reached the rewrite";
  }
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

// A file-size limit does not end the writer: the change fails with a message
// and leaves nothing beside the hive.
TEST(HiveFileFaultTest, AFileSizeLimitIsAFailedWriteNotADeadProcess) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  HiveFile(path).Modify([](Hive& hive) {
    hive.CreateKey(kPackKey).SetValue("Seed", kRegSz, std::string(100000, 's') + '\0');
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
  EXPECT_EQ(test::ListDir(dir.path()), kHiveAndLock);
}

}  // namespace
}  // namespace tessaline
