#include "registry/hive_parse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaline {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

TEST(HiveParseTest, ReadsHandEditedFiles) {
  const Hive hive = ParseHive(
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "; written by hand\r\n"
      "  \r\n"
      "[hkey_local_machine\\Software\\Wenlora]\r\n"
      "\"A\" = \"one\"\r\n"
      "  ; a comment between values\r\n"
      "\"B\"=HEX(B):1,2,3,4,\\\r\n"
      "    05,06,07,08\r\n"
      "\"C\"=DWORD:FF\n"
      "\"\"=\"default\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WENLORA\\Pack]\n"
      "\"a\"=\"two \\\"quoted\\\" C:\\\\games\"\n"
      "\"x\"=hex(3):\n");
  const HiveKey* product = hive.FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora"));
  ASSERT_NE(product, nullptr);
  // The spelling first met is kept.
  EXPECT_EQ(product->name(), "Wenlora");
  EXPECT_EQ(hive.roots()[0]->name(), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(hive.roots()[0]->subkeys()[0]->name(), "Software");
  ASSERT_EQ(product->value_count(), 4u);
  EXPECT_EQ(*product->FindValue("a"), (HiveValue{"A", kRegSz, std::string("one\0", 4)}));
  EXPECT_EQ(product->FindValue("B")->type, kRegQword);
  EXPECT_EQ(product->FindValue("B")->data, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(product->FindValue("c")->data, Bytes({0xff, 0, 0, 0}));
  EXPECT_EQ(product->value_name(3), "");
  const HiveKey* pack = hive.FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\software\\wenlora\\PACK"));
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->FindValue("A")->data, std::string("two \"quoted\" C:\\games") + '\0');
  EXPECT_EQ(pack->FindValue("X")->type, kRegBinary);
  EXPECT_EQ(pack->FindValue("X")->data, "");
  EXPECT_TRUE(ParseHive("").roots().empty());
  EXPECT_TRUE(ParseHive("\xEF\xBB\xBF").roots().empty());
}

// A value listed again, near its first line or far from it, after lines of
// other kinds or under its key listed again, takes the later data and keeps
// its first spelling and position.
TEST(HiveParseTest, ARepeatedValueTakesItsLastDataInItsFirstPlace) {
  std::string text =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"Aa\"=\"1\"\n\"b\"=\"2\"\n\"AA\"=\"3\"\n";
  for (int i = 0; i < 12; ++i) text += "\"v" + std::to_string(i) + "\"=\"x\"\n";
  text += "\"aa\"=\"4\"\n\"h\"=hex:01\n\"B\"=\"5\"\n[HKEY_LOCAL_MACHINE\\L]\n\"b\"=\"other\"\n";
  text += "[HKEY_LOCAL_MACHINE\\k]\n\"v3\"=\"6\"\n\"AA\"=\"7\"";
  const Hive hive = ParseHive(text);
  const HiveKey* key = hive.FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\K"));
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->value_count(), 15u);
  EXPECT_EQ(key->value(0), (HiveValue{"Aa", kRegSz, std::string("7\0", 2)}));
  EXPECT_EQ(key->value(1), (HiveValue{"b", kRegSz, std::string("5\0", 2)}));
  EXPECT_EQ(key->value(2), (HiveValue{"v0", kRegSz, std::string("x\0", 2)}));
  EXPECT_EQ(key->value(5), (HiveValue{"v3", kRegSz, std::string("6\0", 2)}));
  EXPECT_EQ(key->value(14).name, "h");
  EXPECT_EQ(hive.FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\L"))->FindValue("B")->data,
            std::string("other\0", 6));
}

// Bytes a quoted text may or may not hold, in a name and in data.
TEST(HiveParseTest, QuotedTextsTakeEscapesAndUtf8AndRefuseBreaksAndOtherBytes) {
  const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n";
  const auto data = [&](const std::string& quoted) {
    const Hive hive = ParseHive(head + "\"N" + quoted + "\"=\"" + quoted + "\"\n");
    const HiveKey* key = hive.FindKey(SplitKeyPath("HKEY_LOCAL_MACHINE\\K"));
    return key->value(0).data;
  };
  EXPECT_EQ(data("a\\\"b"), std::string("a\"b\0", 4));
  EXPECT_EQ(data("a\\\\b"), std::string("a\\b\0", 4));
  EXPECT_EQ(data("\t\x01"), std::string("\t\x01\0", 3));
  EXPECT_EQ(data("Я😀"), std::string("Я😀\0", 7));
  for (const std::string& bad : {std::string("\xff"), std::string("\xd0"), std::string("\r"),
                                 std::string(1, '\0'), std::string("\\q"), std::string("\\")}) {
    EXPECT_THROW(data(bad), HiveSyntaxError) << bad;
  }
}

struct Damage {
  const char* what;
  std::string text;
  std::size_t line;
};

TEST(HiveParseTest, DamagedTextsNameTheLineAtFault) {
  const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\n\"A\"=\"ok\"\n";
  std::string too_deep = "[HKEY_LOCAL_MACHINE";
  for (std::size_t i = 1; i <= kMaxKeyDepth; ++i) too_deep += "\\k";
  std::string far_too_deep = "[HKEY_LOCAL_MACHINE";
  for (int i = 0; i < 100000; ++i) far_too_deep += "\\k";
  const std::vector<Damage> cases = {
      {"cut in the header", "REGED", 1},
      {"another format", "Windows Registry Editor Version 5.00\n", 1},
      {"binary garbage",
       std::string("\x7f"
                   "ELF\x02\x01\x01\0\0\0",
                   10),
       1},
      {"garbage after the header", "REGEDIT4\n\n\x01\x02\xff\xfe\x00zz", 3},
      {"cut inside a text", head + "\"B\"=\"/games/Tess", 5},
      {"cut inside a name", head + "\"Pa", 5},
      {"cut after a continuation", head + "\"B\"=hex:01,02,\\\n", 5},
      {"a bad byte on a continuation line", head + "\"B\"=hex:01,\\\n  zz\n", 5},
      {"a bad escape", head + "\"B\"=\"C:\\games\"\n", 5},
      {"an unclosed key line", head + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n\"B\"=\"x\"\n", 5},
      {"an unknown root", head + "[HKEY_NOWHERE\\SOFTWARE]\n", 5},
      {"an empty key name", head + "[HKEY_LOCAL_MACHINE\\\\SOFTWARE]\n", 5},
      {"a key one level too deep", head + "; a comment\n" + too_deep + "]\n", 6},
      {"a key far too deep", head + far_too_deep + "]\n", 5},
      {"a value before any key", "REGEDIT4\n\n\"A\"=\"x\"\n", 3},
      {"text after the value", head + "\"B\"=\"x\" y\n", 5},
      {"no equals sign", head + "\"B\" \"x\"\n", 5},
      {"a bad byte", head + "\"B\"=hex:01,2g\n", 5},
      {"a dangling comma", head + "\"B\"=hex:01,\n", 5},
      {"an overlong dword", head + "\"B\"=dword:123456789\n", 5},
      {"an empty dword", head + "\"B\"=dword:\n", 5},
      {"an unknown form", head + "\"B\"=qword:1\n", 5},
      {"a deletion", head + "\"B\"=-\n", 5},
      {"bytes that are not UTF-8", head + "\"B\"=\"\xe9t\xe9\"\n", 5},
      {"a carriage return inside a text", head + "\"B\"=\"a\rb\"\n", 5},
      {"a NUL inside a name", head + std::string("\"B\0\"=\"x\"\n", 9), 5},
      {"a bad type", head + "\"B\"=hex(zz):00\n", 5},
      {"a type without its ')'", head + "\"B\"=hex(1:00\n", 5},
  };
  for (const Damage& c : cases) {
    try {
      ParseHive(c.text);
      ADD_FAILURE() << c.what << ": parsed";
    } catch (const HiveSyntaxError& e) {
      EXPECT_EQ(e.line(), c.line) << c.what << ": " << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("line " + std::to_string(c.line) + ": ", 0), 0u)
          << e.what();
    }
  }
}

TEST(HiveParseTest, TheDeepestKeyAllowedIsRead) {
  std::string line = "[HKEY_LOCAL_MACHINE";
  for (std::size_t i = 1; i < kMaxKeyDepth; ++i) line += "\\k";
  const Hive hive = ParseHive("REGEDIT4\n\n" + line + "]\n\"v\"=\"x\"\n");
  const HiveKey* key = hive.roots().at(0).get();
  std::size_t depth = 1;
  for (; !key->subkeys().empty(); ++depth) key = key->subkeys()[0].get();
  EXPECT_EQ(depth, kMaxKeyDepth);
  EXPECT_EQ(key->FindValue("v")->data, std::string("x\0", 2));
}

}  // namespace
}  // namespace tessaline
