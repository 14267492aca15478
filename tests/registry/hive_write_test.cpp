#include "registry/hive_write.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "random_values.h"
#include "registry/hive_parse.h"

namespace tessaline {
namespace {

using test::RandomData;
using test::RandomName;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

// REG_SZ data: `text` and its NUL.
std::string Sz(const std::string& text) {
  return text + '\0';
}

TEST(HiveWriteTest, WritesEveryKeyAndEachTypeInItsForm) {
  Hive hive;
  hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Empty"});
  HiveKey& product = hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora"});
  product.SetValue("Wenlora", kRegSz, Sz("C:\\games \"cards\""));
  product.SetValue("", kRegSz, Sz("Колода"));
  product.SetValue("Count", kRegDword, Bytes({0x2a, 0, 0, 0}));
  product.SetValue("Short", kRegDword, Bytes({1, 2}));
  product.SetValue("Blob", kRegBinary, Bytes({0, 0xff, 0x10}));
  product.SetValue("Path", kRegExpandSz, Sz("%HOME%"));
  product.SetValue("Big", 0xfffffff0u, "");
  // REG_SZ data that the quoted form cannot carry exactly.
  product.SetValue("Inner", kRegSz, std::string("a\0b\0", 4));
  product.SetValue("Lines", kRegSz, Sz("a\nb"));
  product.SetValue("Latin1", kRegSz, Sz("\xe9"));
  product.SetValue("Bare", kRegSz, "ab");
  product.SetValue("Nothing", kRegSz, "");
  product.SetValue("Blank", kRegSz, Sz(""));
  hive.CreateKey({"HKEY_USERS"}).SetValue("u", kRegDword, Bytes({1, 0, 0, 0}));

  EXPECT_EQ(SerializeHive(hive),
            "REGEDIT4\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\n"
            "\"Wenlora\"=\"C:\\\\games \\\"cards\\\"\"\n"
            "@=\"Колода\"\n"
            "\"Count\"=dword:0000002a\n"
            "\"Short\"=hex(4):01,02\n"
            "\"Blob\"=hex:00,ff,10\n"
            "\"Path\"=hex(2):25,48,4f,4d,45,25,00\n"
            "\"Big\"=hex(fffffff0):\n"
            "\"Inner\"=hex(1):61,00,62,00\n"
            "\"Lines\"=hex(1):61,0a,62,00\n"
            "\"Latin1\"=hex(1):e9,00\n"
            "\"Bare\"=hex(1):61,62\n"
            "\"Nothing\"=hex(1):\n"
            "\"Blank\"=\"\"\n"
            "\n"
            "[HKEY_USERS]\n"
            "\"u\"=dword:00000001\n"
            "\n");
  EXPECT_EQ(ParseHive(SerializeHive(hive)), hive);
}

TEST(HiveWriteTest, LongDataIsWrappedAndReadBack) {
  Hive hive;
  std::string data;
  for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 7));
  hive.CreateKey({"HKEY_LOCAL_MACHINE", "K"}).SetValue("Long", kRegBinary, data);
  const std::string text = SerializeHive(hive);
  std::size_t start = 0, longest = 0, lines = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    longest = std::max(longest, end - start);
    ++lines;
    start = end + 1;
  }
  EXPECT_LE(longest, 80u);
  EXPECT_GT(lines, 30u);
  EXPECT_EQ(ParseHive(text).FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\K"))->FindValue("Long")->data,
            data);
}

TEST(HiveWriteTest, RandomHivesSurviveWritingAndReadingUnchanged) {
  std::mt19937 rng(20240611);
  const std::vector<std::uint32_t> types = {0, 1, 1, 1, 2, 3, 4, 4, 7, 11, 0x12345678};
  for (int round = 0; round < 200; ++round) {
    Hive hive;
    std::vector<std::vector<std::string>> keys;
    for (int k = std::uniform_int_distribution<int>(0, 6)(rng); k > 0; --k) {
      std::vector<std::string> path = {rng() % 4 ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER"};
      if (!keys.empty() && rng() % 2) path = keys[rng() % keys.size()];
      path.push_back(RandomName(rng, true));
      keys.push_back(path);
      HiveKey& key = hive.CreateKey(path);
      for (int v = std::uniform_int_distribution<int>(0, 5)(rng); v > 0; --v) {
        const std::uint32_t type = types[rng() % types.size()];
        key.SetValue(RandomName(rng, false), type, RandomData(rng, type));
      }
    }
    const std::string text = SerializeHive(hive);
    Hive again;
    ASSERT_NO_THROW(again = ParseHive(text)) << text;
    ASSERT_EQ(again, hive) << text;
    ASSERT_EQ(SerializeHive(again), text);
  }
}

TEST(HiveWriteTest, WritingStopsAtTheSizeLimitAndDeepKeysAreWrittenWithoutRecursion) {
  Hive hive;
  HiveKey* key = &hive.CreateKey({"HKEY_LOCAL_MACHINE", std::string(1000, 'a')});
  for (int i = 0; i < 400; ++i) key = &key->AddSubKey(std::string(1000, 'b'));
  // Every key line repeats the whole path: about 80 MB written out.
  EXPECT_EQ(SerializeHive(hive, 64 << 20), std::nullopt);
  const std::string small = SerializeHive(ParseHive("REGEDIT4\n\n[HKEY_USERS]\n"));
  EXPECT_EQ(SerializeHive(ParseHive(small), small.size()), small);
  EXPECT_EQ(SerializeHive(ParseHive(small), small.size() - 1), std::nullopt);

  Hive deepest;
  key = &deepest.CreateKey({"HKEY_LOCAL_MACHINE"});
  for (std::size_t i = 1; i < kMaxKeyDepth; ++i) key = &key->AddSubKey("k");
  key->SetValue("v", kRegSz, Sz("x"));
  EXPECT_EQ(ParseHive(SerializeHive(deepest)), deepest);
}

}  // namespace
}  // namespace tessaline
