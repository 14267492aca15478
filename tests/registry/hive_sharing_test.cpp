// Several processes on one hive: writers at once lose nothing, and a writer
// killed at any moment leaves a whole hive that keeps every finished write.
#include <gtest/gtest.h>
#include <signal.h>

#include <random>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/test_support.h"
#include "pack_values.h"
#include "registry/cipher_reg.h"
#include "registry/hive_file.h"
#include "registry/hive_parse.h"

namespace tessaline {
namespace {

using test::Get;
using test::kPackKey;
using test::ReadFile;
using test::ScratchDir;

TEST(HiveSharingTest, TwoProcessesWritingAtOnceLoseNothing) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  constexpr int kEach = 200;
  const std::vector<int> codes = test::RunChildren(2, [&](int child) {
    tCipherReg store(1, path);
    for (int i = 0; i < kEach; ++i) {
      const std::string n = std::to_string(child) + "_" + std::to_string(i);
      if (!store.WriteValue("Pack", "Pack" + n, "/games/" + n + ".wpk")) return 1;
    }
    return 0;
  });
  EXPECT_EQ(codes, (std::vector<int>{0, 0}));
  const Hive hive = ParseHive(ReadFile(path));
  ASSERT_NE(hive.FindKey(kPackKey), nullptr);
  EXPECT_EQ(hive.FindKey(kPackKey)->value_count(), 2u * kEach);
  for (int child = 0; child < 2; ++child) {
    for (int i = 0; i < kEach; ++i) {
      const std::string n = std::to_string(child) + "_" + std::to_string(i);
      EXPECT_EQ(Get(hive, "Pack" + n), "/games/" + n + ".wpk");
    }
  }
}

// Each round a writer reports every finished write through a gate and is
// killed after a few, either at once or after a read of the hive meanwhile
// (which must find a whole hive), so that kills land all over a write.
TEST(HiveSharingTest, KilledWritersNeverLeaveABrokenHiveOrLoseAFinishedWrite) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  // A hive of some size, so that a kill can land in the middle of writing it.
  HiveFile(path).Modify([](Hive& hive) {
    HiveKey& key = hive.CreateKey(kPackKey);
    for (int i = 0; i < 300; ++i) {
      key.SetValue("Seed" + std::to_string(i), kRegSz, std::string(40, 'x') + '\0');
    }
    return true;
  });
  std::mt19937 rng(7);
  std::vector<std::string> finished;
  for (int round = 0; round < 50; ++round) {
    const std::string prefix = "R" + std::to_string(round) + "_";
    test::Gate wrote;
    test::Child writer([&] {
      tCipherReg store(1, path);
      for (int i = 0;; ++i) {
        if (!store.WriteValue("Pack", prefix + std::to_string(i), "v")) return 1;
        wrote.Post();  // only once the write has returned
      }
    });
    ASSERT_TRUE(writer.started());
    int done = 0;
    for (int wait_for = std::uniform_int_distribution<int>(1, 4)(rng); wait_for > 0; --wait_for) {
      ASSERT_TRUE(wrote.Await()) << "the writer stopped by itself";
      ++done;
    }
    if (rng() % 2) {
      EXPECT_EQ(Get(HiveFile(path).Read(), "Seed299"), std::string(40, 'x'));
    }
    ASSERT_EQ(writer.Kill(), 128 + SIGKILL) << "the writer stopped by itself";
    while (wrote.Await()) ++done;
    for (int i = 0; i < done; ++i) finished.push_back(prefix + std::to_string(i));

    Hive hive;
    ASSERT_NO_THROW(hive = ParseHive(ReadFile(path))) << "round " << round;
    for (const std::string& name : finished) {
      ASSERT_EQ(Get(hive, name), "v") << name << " lost in round " << round;
    }
    ASSERT_EQ(Get(hive, "Seed299"), std::string(40, 'x'));
  }
}

}  // namespace
}  // namespace tessaline
