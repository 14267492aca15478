#include "registry/registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

using test::ReadFile;
using test::RecordingToolkit;
using test::ScopedToolkit;
using test::ScratchDir;
using test::WriteFile;

TEST(RegistryAccessorTest, KeepsPathsTheWayTheyWereOpened) {
  ScratchDir dir;
  RecordingToolkit toolkit;
  ScopedToolkit use_toolkit(toolkit);
  TRegistry reg(dir / "system.reg");
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Wenlora\\", true));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Wenlora\\");
  const HKEY product = reg.CurrentKey();
  EXPECT_NE(product, 0u);
  // Relative to the open key.
  ASSERT_TRUE(reg.OpenKey("Pack", true));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Wenlora\\\\Pack");
  EXPECT_NE(reg.CurrentKey(), product);
  EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\Wenlora\\Pack"));
  EXPECT_TRUE(reg.KeyExists(""));
  EXPECT_FALSE(reg.KeyExists("Pack"));
  // Empty names in the middle name no key.
  EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\\\Wenlora", true));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Wenlora\\\\Pack");
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists("SOFTWARE\\Wenlora"));  // from the root when none is open
  EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Missing", false));
  ASSERT_TRUE(reg.OpenKey("SOFTWARE", false));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");
  // Changing the root closes the open key; another root has its own keys.
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_EQ(reg.CurrentKey(), 0u);
  EXPECT_FALSE(reg.KeyExists("SOFTWARE"));
  EXPECT_EQ(reg.ReadStringIfExists("x"), std::nullopt);
  EXPECT_TRUE(toolkit.Quiet());
}

TEST(RegistryAccessorTest, ReadStringIfExistsTellsAMissingValueFromAnEmptyOne) {
  ScratchDir dir;
  WriteFile(dir / "system.reg",
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"Text\"=\"a\"\n"
            "\"Empty\"=\"\"\n\"None\"=hex(0):\n\"Number\"=dword:00000001\n\n");
  TRegistry reg(dir / "system.reg");
  EXPECT_EQ(reg.ReadStringIfExists("Text"), std::nullopt);  // no key open
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE", false));
  EXPECT_EQ(reg.ReadStringIfExists("text"), "a");
  EXPECT_EQ(reg.ReadStringIfExists("Empty"), "");
  EXPECT_EQ(reg.ReadStringIfExists("None"), "");  // no data, whatever its type
  EXPECT_EQ(reg.ReadStringIfExists("Missing"), std::nullopt);
  EXPECT_THROW(reg.ReadStringIfExists("Number"), ERegistryException);
  // A hive that no longer parses reads as no value.
  WriteFile(dir / "system.reg", "not a hive\n");
  EXPECT_EQ(reg.ReadStringIfExists("Text"), std::nullopt);
}

// The message an ERegistryException from `body` carries; empty when none.
template <typename Body>
std::string RegistryErrorOf(Body body) {
  try {
    body();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  return {};
}

TEST(RegistryAccessorTest, ClosingFlushesOnlyAnOpenKeyAndOnlyWhileTheFlagIsClear) {
  ScratchDir dir;
  TRegistry reg(dir / "system.reg");
  reg.CloseKey();  // nothing open: nothing to flush
  EXPECT_EQ(reg.FlushCount(), 0u);
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE", true));
  reg.CloseKey();
  EXPECT_EQ(reg.FlushCount(), 1u);
  EXPECT_EQ(reg.CurrentKey(), 0u);
  EXPECT_EQ(reg.CurrentPath(), "");
  // A successful open closes the key that was open, flushing it.
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE", false));
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Wenlora", true));
  EXPECT_EQ(reg.FlushCount(), 2u);
  // A failed open leaves the open key alone.
  EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\Missing", false));
  EXPECT_EQ(reg.FlushCount(), 2u);
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Wenlora");
  // With the flag set, closes only close.
  reg.SetLazyWrite(true);
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE", false));
  reg.CloseKey();
  EXPECT_EQ(reg.FlushCount(), 2u);
  EXPECT_EQ(reg.CurrentKey(), 0u);
}

TEST(RegistryAccessorTest, SettingTheSameRootKeepsTheKeyAndKeyExistsOpensNothing) {
  ScratchDir dir;
  TRegistry reg(dir / "system.reg");
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Wenlora\\Pack", true));
  const HKEY open = reg.CurrentKey();
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.CurrentKey(), open);
  EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\Wenlora"));
  EXPECT_FALSE(reg.KeyExists("Missing"));
  EXPECT_EQ(reg.CurrentKey(), open);
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Wenlora\\Pack");
  EXPECT_EQ(reg.FlushCount(), 0u);
}

TEST(RegistryAccessorTest, WritesTextAsRegSzWithItsTerminatingNul) {
  ScratchDir dir;
  TRegistry reg(dir / "system.reg");
  ASSERT_TRUE(
      reg.CreateKeyWithStrings("\\SOFTWARE\\Wenlora", {{"Cir1", "Кестрел"}, {"Empty", ""}}));
  HiveFile file(dir / "system.reg");
  const Hive hive = file.Read();
  const HiveKey* key = hive.FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora"));
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->FindValue("Cir1"));
  EXPECT_EQ(key->FindValue("Cir1")->type, kRegSz);
  EXPECT_EQ(key->FindValue("Cir1")->data, std::string("Кестрел\0", 15));
  EXPECT_EQ(key->FindValue("Empty")->data, std::string(1, '\0'));
  EXPECT_EQ(reg.ReadStringIfExists("Empty"), "");
  EXPECT_EQ(reg.ReadStringIfExists("Missing"), std::nullopt);
}

// A value name: a letter and the type's number.
std::string NameOf(char letter, std::uint32_t type) {
  std::string name(1, letter);
  name += std::to_string(type);
  return name;
}

TEST(RegistryAccessorTest, OnlyTextTypesReadAndEveryOtherTypeWithDataRaises) {
  ScratchDir dir;
  const std::string path = dir / "system.reg";
  const std::vector<std::uint32_t> types = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xFFFF};
  HiveFile(path).Modify([&](Hive& hive) {
    HiveKey& key = hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE"});
    for (std::uint32_t type : types) {
      key.SetValue(NameOf('v', type), type, std::string("text\0", 5));
      key.SetValue(NameOf('e', type), type, "");
    }
    return true;
  });
  TRegistry reg(path);
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE", false));
  for (std::uint32_t type : types) {
    const std::string name = NameOf('v', type);
    if (type == kRegSz || type == kRegExpandSz) {
      EXPECT_EQ(reg.ReadStringIfExists(name), "text") << type;
    } else {
      std::string expected = "Invalid data type for '";
      expected.append(name).append("'");
      EXPECT_EQ(RegistryErrorOf([&] { reg.ReadStringIfExists(name); }), expected) << type;
    }
    // A value without data has size 0 and reads as the empty text.
    EXPECT_EQ(reg.ReadStringIfExists(NameOf('e', type)), "") << type;
  }
}

// A hive that cannot be read reads as no value, and a write then fails as
// its open does, naming the file, and changes nothing.
TEST(RegistryAccessorTest, AHiveThatCannotBeReadIsNeverWritten) {
  ScratchDir dir;
  TRegistry reg(dir / "system.reg");
  ASSERT_TRUE(reg.CreateKeyWithStrings("\\SOFTWARE", {{"Name", "x"}}));
  WriteFile(dir / "system.reg", "not a hive\n");
  EXPECT_EQ(reg.ReadStringIfExists("Name"), std::nullopt);
  const std::string error = RegistryErrorOf([&] {
    reg.CreateKeyWithStrings("\\SOFTWARE", {{"Name", "y"}});
  });
  EXPECT_NE(error.find(dir / "system.reg"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(dir / "system.reg"), "not a hive\n");
}

}  // namespace
}  // namespace tessaline
