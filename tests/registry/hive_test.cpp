#include "registry/hive.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tessaline {
namespace {

TEST(HiveKeyTest, RemoveValueKeepsTheOthersInOrderAndFindable) {
  HiveKey key("k");
  for (const char* name : {"a", "B", "c", "d"}) key.SetValue(name, kRegSz, name);
  EXPECT_TRUE(key.RemoveValue("b"));
  EXPECT_FALSE(key.RemoveValue("B"));
  ASSERT_EQ(key.value_count(), 3u);
  EXPECT_EQ(key.value_name(1), "c");
  EXPECT_EQ(key.ValuePosition("D"), 2u);
  EXPECT_EQ(key.FindValue("D")->data, "d");
  EXPECT_FALSE(key.FindValue("b"));
  EXPECT_EQ(key.SetValue("e", kRegSz, "e"), 3u);
  EXPECT_EQ(key.FindValue("e")->data, "e");
  EXPECT_EQ(key.SetValue("C", kRegDword, "1234"), 1u);  // in place, first spelling kept
  EXPECT_EQ(key.value(1), (HiveValue{"c", kRegDword, "1234"}));
}

TEST(HiveKeyTest, NamesIgnoreCaseIncludingCyrillic) {
  Hive hive;
  HiveKey& key = hive.CreateKey({"HKEY_LOCAL_MACHINE", "Колода"});
  key.SetValue("Имя", kRegSz, "1");
  key.SetValue("ИМЯ", kRegSz, "2");
  EXPECT_EQ(key.value_count(), 1u);
  EXPECT_EQ(key.value_name(0), "Имя");
  EXPECT_EQ(key.value(0).data, "2");
  EXPECT_EQ(hive.FindKey(SplitKeyPath("hkey_local_machine\\КОЛОДА")), &key);
  EXPECT_EQ(hive.FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\Колодa")), nullptr);  // Latin "a"
  EXPECT_FALSE(key.FindValue("Ёмя"));
  // Е and Ё stay different letters; Ё and ё are one.
  key.SetValue("Ёж", kRegSz, "");
  EXPECT_FALSE(key.FindValue("Еж"));
  EXPECT_TRUE(key.FindValue("ёЖ"));
  bool created = false;
  HiveKey& sub = key.AddSubKey("Ёж", &created);
  EXPECT_TRUE(created);
  EXPECT_EQ(key.FindSubKey("ёж"), &sub);
  created = false;
  key.AddSubKey("ЁЖ", &created);
  EXPECT_FALSE(created);
  EXPECT_EQ(key.subkeys().size(), 1u);
}

// Thousands of mixed Latin-1 and Cyrillic names: each is found under another
// spelling of its case, never under a different name, also after removals
// have moved the values behind them.
TEST(HiveKeyTest, ManyNamesStayFindableUnderAnyCaseThroughRemoval) {
  const std::vector<std::pair<std::string, std::string>> letters = {
      {"p", "P"}, {"я", "Я"}, {"à", "À"}, {"ё", "Ё"}, {"š", "Š"}, {"_", "_"}};
  std::vector<std::pair<std::string, std::string>> names;  // spelling, other case
  for (int n = 0; n < 3000; ++n) {
    std::string lower, upper;
    for (int i = 0; i < 1 + n % 19; ++i) {
      const auto& [l, u] = letters[(n + i) % letters.size()];
      lower += i % 3 == 0 ? l : u;
      upper += i % 3 == 0 ? u : l;
    }
    names.emplace_back(lower + std::to_string(n), upper + std::to_string(n));
  }
  HiveKey key("k");
  for (const auto& [name, other] : names) key.SetValue(name, kRegSz, name);
  for (const auto& [name, other] : names) key.SetValue(other, kRegDword, other);
  ASSERT_EQ(key.value_count(), names.size());
  for (std::size_t i = 0; i < names.size(); i += 3) ASSERT_TRUE(key.RemoveValue(names[i].second));
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::optional<std::size_t> at = key.ValuePosition(names[i].second);
    if (i % 3 == 0) {
      EXPECT_FALSE(at) << names[i].first;
      continue;
    }
    ASSERT_TRUE(at) << names[i].first;
    EXPECT_EQ(key.value(*at), (HiveValue{names[i].first, kRegDword, names[i].second}));
  }
}

TEST(HiveTest, CreateKeyRefusesNamesTheFileCannotHold) {
  Hive hive;
  EXPECT_THROW(hive.CreateKey({"HKEY_NOWHERE", "A"}), ERegistryException);
  EXPECT_THROW(hive.CreateKey({"HKEY_LOCAL_MACHINE", ""}), ERegistryException);
  EXPECT_THROW(hive.CreateKey({"HKEY_LOCAL_MACHINE", "a\\b"}), ERegistryException);
  EXPECT_THROW(hive.CreateKey({"HKEY_LOCAL_MACHINE", "a\nb"}), ERegistryException);
  EXPECT_THROW(hive.CreateKey({"HKEY_LOCAL_MACHINE", "\xff"}), ERegistryException);
  EXPECT_THROW(hive.CreateKey({}), ERegistryException);
  EXPECT_THROW(hive.CreateKey(std::vector<std::string>(kMaxKeyDepth + 1, "HKEY_LOCAL_MACHINE")),
               ERegistryException);
  EXPECT_TRUE(hive.roots().empty());
  bool created = false;
  hive.CreateKey({"hkey_users", "A"}, &created);
  EXPECT_TRUE(created);
  EXPECT_EQ(hive.roots()[0]->name(), "HKEY_USERS");
  created = false;
  hive.CreateKey({"HKEY_USERS", "a"}, &created);
  EXPECT_FALSE(created);
}

// A key 100,000 levels deep below HKEY_LOCAL_MACHINE.
HiveKey& DeepKey(Hive& hive) {
  HiveKey* key = &hive.CreateKey({"HKEY_LOCAL_MACHINE"});
  for (int i = 0; i < 100000; ++i) key = &key->AddSubKey("k");
  return *key;
}

// Comparisons and frees of a tree far deeper than a file may hold run
// without recursion; equality is exact (spelling, order, data).
TEST(HiveTest, DeepTreesAreComparedAndFreedAndEqualityIsExact) {
  Hive hive, other;
  HiveKey& key = DeepKey(hive);
  key.SetValue("v", kRegSz, "x");
  DeepKey(other).SetValue("v", kRegSz, "x");
  EXPECT_EQ(other, hive);
  key.SetValue("v", kRegSz, "y");
  EXPECT_FALSE(other == hive);

  Hive a, b;
  a.CreateKey({"HKEY_LOCAL_MACHINE", "K"}).SetValue("Name", kRegSz, "1");
  b.CreateKey({"HKEY_LOCAL_MACHINE", "K"}).SetValue("name", kRegSz, "1");
  EXPECT_FALSE(a == b);  // the spelling counts
  b.FindKey({"HKEY_LOCAL_MACHINE", "K"})->RemoveValue("name");
  b.FindKey({"HKEY_LOCAL_MACHINE", "K"})->SetValue("Name", kRegSz, "1");
  EXPECT_EQ(a, b);
  b.CreateKey({"HKEY_LOCAL_MACHINE", "K"}).SetValue("Other", kRegSz, "2");
  a.CreateKey({"HKEY_LOCAL_MACHINE", "K"}).SetValue("Other", kRegBinary, "2");
  EXPECT_FALSE(a == b);  // the type counts
  EXPECT_EQ(b.FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\K"))->value_count(), 2u);
}

}  // namespace
}  // namespace tessaline
