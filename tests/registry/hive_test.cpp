#include "registry/hive.h"

#include <gtest/gtest.h>

#include <random>

namespace tessaline {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

HiveKey& Key(Hive& hive, std::vector<std::string> path) {
  return hive.CreateKey(path);
}

TEST(HiveKeyTest, RemoveValueKeepsTheOthersInOrderAndFindable) {
  HiveKey key("k");
  for (const char* name : {"a", "B", "c", "d"}) key.SetValue(name, kRegSz, name);
  EXPECT_TRUE(key.RemoveValue("b"));
  EXPECT_FALSE(key.RemoveValue("B"));
  ASSERT_EQ(key.value_count(), 3u);
  EXPECT_EQ(key.value_name(1), "c");
  EXPECT_EQ(key.FindValue("D")->data, "d");
  EXPECT_FALSE(key.FindValue("b"));
  key.SetValue("e", kRegSz, "e");
  EXPECT_EQ(key.FindValue("e")->data, "e");
  EXPECT_EQ(key.value_name(key.value_count() - 1), "e");
}

TEST(HiveTextTest, WritesEveryKeyAndEachTypeInItsForm) {
  Hive hive;
  Key(hive, {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Empty"});
  HiveKey& product = Key(hive, {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora"});
  product.SetValue("Wenlora", kRegSz, std::string("C:\\games \"cards\"\0", 17));
  product.SetValue("", kRegSz, std::string("Колода\0", 13));
  product.SetValue("Count", kRegDword, Bytes({0x2a, 0, 0, 0}));
  product.SetValue("Short", kRegDword, Bytes({1, 2}));
  product.SetValue("Blob", kRegBinary, Bytes({0, 0xff, 0x10}));
  product.SetValue("Path", kRegExpandSz, std::string("%HOME%\0", 7));
  product.SetValue("Big", 0xfffffff0u, "");
  // REG_SZ data that the quoted form cannot carry exactly.
  product.SetValue("Inner", kRegSz, std::string("a\0b\0", 4));
  product.SetValue("Lines", kRegSz, std::string("a\nb\0", 4));
  product.SetValue("Latin1", kRegSz, std::string("\xe9\0", 2));
  product.SetValue("Bare", kRegSz, "ab");
  product.SetValue("Nothing", kRegSz, "");
  product.SetValue("Blank", kRegSz, std::string("\0", 1));

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
            "\n");
  EXPECT_EQ(ParseHive(SerializeHive(hive)), hive);
}

TEST(HiveTextTest, ReadsHandEditedFiles) {
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
      "\"a\"=\"two\"\n"
      "\"x\"=hex(3):\n");
  const HiveKey* product = hive.FindKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora");
  ASSERT_NE(product, nullptr);
  // The spelling first met is kept; a repeated value replaces the data in place.
  EXPECT_EQ(product->name(), "Wenlora");
  EXPECT_EQ(hive.roots()[0]->name(), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(hive.roots()[0]->subkeys()[0]->name(), "Software");
  ASSERT_EQ(product->value_count(), 4u);
  EXPECT_EQ(*product->FindValue("a"), (HiveValue{"A", kRegSz, std::string("one\0", 4)}));
  EXPECT_EQ(product->FindValue("B")->type, kRegQword);
  EXPECT_EQ(product->FindValue("B")->data, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(product->FindValue("c")->data, Bytes({0xff, 0, 0, 0}));
  EXPECT_EQ(product->value_name(3), "");
  const HiveKey* pack = hive.FindKey("HKEY_LOCAL_MACHINE\\software\\wenlora\\PACK");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->FindValue("X")->type, kRegBinary);
  EXPECT_EQ(pack->FindValue("X")->data, "");
  EXPECT_TRUE(ParseHive("").roots().empty());
}

// A value listed twice keeps its name where it was first listed and its text
// where it was last: a change to a line between the two must not move the
// kept text from under it, whether the text is edited in its own memory or
// written anew.
TEST(HiveTextTest, AValueListedTwiceKeepsItsTextWhenALineBetweenItsListingsChanges) {
  for (const std::size_t room : {std::size_t{0}, std::size_t{4096}}) {
    SCOPED_TRACE(room);
    std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n\"B\"=hex:01\n\"A\"=\"2\"\n";
    text.reserve(text.size() + room);
    HiveText kept = HiveText::Parse(std::move(text));
    HiveKey* key = kept.mutable_hive().FindKey(std::vector<std::string>{"HKEY_LOCAL_MACHINE", "K"});
    ASSERT_NE(key, nullptr);
    key->SetValue("B", kRegSz, std::string("a text longer than the one before\0", 34));
    ASSERT_TRUE(kept.Commit(1 << 20));
    EXPECT_EQ(key->FindValue("A")->data, std::string("2\0", 2));
    EXPECT_EQ(ParseHive(kept.text()), kept.hive());
  }
}

// A text value read from a text is kept as its bytes there: it reads back
// with its NUL, a copy changes apart from it, and it equals only a REG_SZ
// value of the same bytes and one NUL.
TEST(HiveTextTest, AKeptTextIsItsBytesAndANul) {
  const Hive parsed = ParseHive("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"abc\"\n");
  const std::vector<std::string> path = {"HKEY_LOCAL_MACHINE", "K"};
  EXPECT_EQ(parsed.FindKey(path)->FindValue("A"), (HiveValue{"a", kRegSz, std::string("abc\0", 4)}));
  const auto equal_after = [&](std::uint32_t type, const std::string& data) {
    Hive copy = parsed;
    copy.CreateKey(path).SetValue("a", type, data);
    return copy == parsed && parsed == copy;
  };
  EXPECT_TRUE(equal_after(kRegSz, std::string("abc\0", 4)));
  EXPECT_FALSE(equal_after(kRegSz, "abcX"));
  EXPECT_FALSE(equal_after(kRegSz, "abc"));
  EXPECT_FALSE(equal_after(kRegSz, std::string("abd\0", 4)));
  EXPECT_FALSE(equal_after(kRegExpandSz, std::string("abc\0", 4)));
  EXPECT_EQ(parsed.FindKey(path)->FindValue("a")->data, std::string("abc\0", 4));
}


// A value listed again, near its first line or far from it, after lines of
// other kinds or under its key listed again, takes the later data and keeps
// its first spelling and position; a change to it is then written over each
// of its listings, so that the text reads back as the changed hive.
TEST(HiveTextTest, ARepeatedValueTakesItsLastDataInItsFirstPlace) {
  std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"Aa\"=\"1\"\n\"b\"=\"2\"\n\"AA\"=\"3\"\n";
  for (int i = 0; i < 12; ++i) text += "\"v" + std::to_string(i) + "\"=\"x\"\n";
  text += "\"aa\"=\"4\"\n\"h\"=hex:01\n\"B\"=\"5\"\n[HKEY_LOCAL_MACHINE\\L]\n\"b\"=\"other\"\n";
  text += "[HKEY_LOCAL_MACHINE\\k]\n\"v3\"=\"6\"\n\"AA\"=\"7\"";
  HiveText kept = HiveText::Parse(text);
  HiveKey* key = kept.mutable_hive().FindKey(std::vector<std::string>{"HKEY_LOCAL_MACHINE", "K"});
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->value_count(), 15u);
  EXPECT_EQ(key->value(0), (HiveValue{"Aa", kRegSz, std::string("7\0", 2)}));
  EXPECT_EQ(key->value(1), (HiveValue{"b", kRegSz, std::string("5\0", 2)}));
  EXPECT_EQ(key->value(2), (HiveValue{"v0", kRegSz, std::string("x\0", 2)}));
  EXPECT_EQ(key->value(5), (HiveValue{"v3", kRegSz, std::string("6\0", 2)}));
  EXPECT_EQ(key->value(14).name, "h");
  EXPECT_EQ(kept.hive().FindKey("HKEY_LOCAL_MACHINE\\L")->FindValue("B")->data,
            std::string("other\0", 6));

  key->SetValue("aA", kRegSz, std::string("8\0", 2));
  key->SetValue("b", kRegSz, std::string("9\0", 2));
  const Hive expected = kept.hive();
  ASSERT_TRUE(kept.Commit(1 << 20));
  EXPECT_EQ(ParseHive(kept.text()), expected);
  EXPECT_NE(kept.text().find("\"v3\"=\"6\"\n\"Aa\"=\"8\""), std::string::npos) << kept.text();
  EXPECT_EQ(kept.text().find("=\"7\""), std::string::npos) << kept.text();
}
TEST(HiveTextTest, NamesIgnoreCaseIncludingCyrillic) {
  Hive hive;
  HiveKey& key = Key(hive, {"HKEY_LOCAL_MACHINE", "Колода"});
  key.SetValue("Имя", kRegSz, "1");
  key.SetValue("ИМЯ", kRegSz, "2");
  EXPECT_EQ(key.value_count(), 1u);
  EXPECT_EQ(key.value_name(0), "Имя");
  EXPECT_EQ(key.value(0).data, "2");
  EXPECT_EQ(hive.FindKey("HKEY_LOCAL_MACHINE\\КОЛОДА"), &key);
  EXPECT_EQ(hive.FindKey("HKEY_LOCAL_MACHINE\\Колодa"), nullptr);  // Latin "a"
  EXPECT_FALSE(key.FindValue("Ёмя"));
}

// Thousands of names of every length around the index's eight-byte steps,
// ASCII and not: each is found under another spelling of its case, never
// under a different name, also after the index has grown and after removals.
TEST(HiveKeyTest, ManyNamesStayFindableUnderAnyCaseThroughGrowthAndRemoval) {
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
    lower += std::to_string(n);
    upper += std::to_string(n);
    names.emplace_back(lower, upper);
  }
  HiveKey key("k");
  for (const auto& [name, other] : names) key.SetValue(name, kRegSz, name);
  for (const auto& [name, other] : names) key.SetValue(other, kRegDword, other);
  ASSERT_EQ(key.value_count(), names.size());
  for (std::size_t i = 0; i < names.size(); i += 3) ASSERT_TRUE(key.RemoveValue(names[i].second));
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::optional<HiveValue> value = key.FindValue(names[i].second);
    if (i % 3 == 0) {
      EXPECT_FALSE(value) << names[i].first;
      continue;
    }
    ASSERT_TRUE(value) << names[i].first;
    EXPECT_EQ(value->name, names[i].first);  // the first spelling stays
    EXPECT_EQ(value->data, names[i].second);
  }
  // Е and Ё, a Latin and a Cyrillic "a", stay different letters.
  EXPECT_FALSE(key.FindValue("е1"));
  key.SetValue("Ёж", kRegSz, "");
  EXPECT_FALSE(key.FindValue("Еж"));
  EXPECT_TRUE(key.FindValue("ёЖ"));
}

// A quoted text is scanned eight bytes at a time: a quote, an escape, a
// control byte or a non-ASCII character must be seen at every position.
TEST(HiveTextTest, SpecialBytesAreSeenWhereverTheyFallInAText) {
  const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n";
  for (std::size_t at = 0; at < 20; ++at) {
    const std::string pad(at, 'x');
    const std::string tail(20 - at, 'y');
    const auto data = [&](const std::string& text) {
      const Hive hive = ParseHive(head + "\"" + pad + "N" + tail + "\"=\"" + text + "\"\n");
      const std::optional<HiveValue> value =
          hive.FindKey("HKEY_LOCAL_MACHINE\\K")->FindValue(pad + "n" + tail);
      return value ? value->data : "(no value)";
    };
    EXPECT_EQ(data(pad + "\\\"" + tail), pad + "\"" + tail + '\0') << at;
    EXPECT_EQ(data(pad + "\\\\" + tail), pad + "\\" + tail + '\0') << at;
    EXPECT_EQ(data(pad + "\t\x01" + tail), pad + "\t\x01" + tail + '\0') << at;
    EXPECT_EQ(data(pad + "Я" + tail), pad + "Я" + tail + '\0') << at;
    for (const std::string& bad : {std::string("\xff"), std::string("\xd0"), std::string("\r"),
                                   std::string(1, '\0'), std::string("\\q")}) {
      EXPECT_THROW(data(pad + bad + tail), HiveSyntaxError) << at;
      EXPECT_THROW(ParseHive(head + "\"" + pad + bad + tail + "\"=\"x\"\n"), HiveSyntaxError) << at;
    }
    // A text that ends in the middle of a word is cut, wherever it ends.
    EXPECT_THROW(ParseHive(head + "\"A\"=\"" + pad), HiveSyntaxError) << at;
  }
}

TEST(HiveTextTest, LongDataIsWrappedAndReadBack) {
  Hive hive;
  std::string data;
  for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 7));
  Key(hive, {"HKEY_LOCAL_MACHINE", "K"}).SetValue("Long", kRegBinary, data);
  const std::string text = SerializeHive(hive);
  std::size_t start = 0, longest = 0, lines = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    longest = std::max(longest, end - start);
    ++lines;
    start = end + 1;
  }
  EXPECT_LE(longest, 80u);
  EXPECT_GT(lines, 30u);
  EXPECT_EQ(ParseHive(text).FindKey("HKEY_LOCAL_MACHINE\\K")->FindValue("Long")->data, data);
}

// Random names from characters that are hard for the text form.
std::string RandomName(std::mt19937& rng, bool key) {
  static const std::vector<std::string> kPieces = {"a", "Z", " ",  "\"", "\\", "[", "]", "=", ";",
                                                   "@", ",", "\t", "é",  "Ё",  "ж", "😀", "%"};
  std::uniform_int_distribution<int> length(key ? 1 : 0, 6);
  std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
  std::string name;
  for (int n = length(rng); n > 0; --n) {
    std::string p = kPieces[piece(rng)];
    if (key && p == "\\") p = "/";
    name += p;
  }
  return name;
}

TEST(HiveTextTest, RandomHivesSurviveWritingAndReadingUnchanged) {
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
        std::string data;
        if (type == kRegSz && rng() % 2) {
          data = RandomName(rng, false) + '\0';  // mostly quotable text
        } else {
          for (int n = std::uniform_int_distribution<int>(0, 90)(rng); n > 0; --n) {
            data.push_back(static_cast<char>(rng()));
          }
          if (type == kRegDword && rng() % 2) data.resize(4);
        }
        key.SetValue(RandomName(rng, false), type, data);
      }
    }
    const std::string text = SerializeHive(hive);
    Hive again;
    ASSERT_NO_THROW(again = ParseHive(text)) << text;
    ASSERT_EQ(again, hive) << text;
    ASSERT_EQ(SerializeHive(again), text);
  }
}

struct Damage {
  const char* what;
  std::string text;
  std::size_t line;
};

TEST(HiveTextTest, DamagedTextsNameTheLineAtFault) {
  const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\n\"A\"=\"ok\"\n";
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
      {"a bad escape", head + "\"B\"=\"C:\\games\"\n", 5},
      {"an unclosed key line", head + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n\"B\"=\"x\"\n", 5},
      {"an unknown root", head + "[HKEY_NOWHERE\\SOFTWARE]\n", 5},
      {"an empty key name", head + "[HKEY_LOCAL_MACHINE\\\\SOFTWARE]\n", 5},
      {"a value before any key", "REGEDIT4\n\n\"A\"=\"x\"\n", 3},
      {"text after the value", head + "\"B\"=\"x\" y\n", 5},
      {"no equals sign", head + "\"B\" \"x\"\n", 5},
      {"a bad byte", head + "\"B\"=hex:01,2g\n", 5},
      {"a dangling comma", head + "\"B\"=hex:01,\n", 5},
      {"an overlong dword", head + "\"B\"=dword:123456789\n", 5},
      {"an unknown form", head + "\"B\"=qword:1\n", 5},
      {"a deletion", head + "\"B\"=-\n", 5},
      {"bytes that are not UTF-8", head + "\"B\"=\"\xe9t\xe9\"\n", 5},
      {"a carriage return inside a text", head + "\"B\"=\"a\rb\"\n", 5},
      {"a NUL inside a name", head + std::string("\"B\0\"=\"x\"\n", 9), 5},
      {"a bad type", head + "\"B\"=hex(zz):00\n", 5},
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

TEST(HiveTextTest, CreateKeyRefusesNamesTheFileCannotHold) {
  Hive hive;
  EXPECT_THROW(hive.CreateKey({"HKEY_NOWHERE", "A"}), ERegistryException);
  EXPECT_THROW(hive.CreateKey({"HKEY_LOCAL_MACHINE", ""}), ERegistryException);
  EXPECT_THROW(hive.CreateKey({"HKEY_LOCAL_MACHINE", "a\nb"}), ERegistryException);
  EXPECT_THROW(hive.CreateKey({"HKEY_LOCAL_MACHINE", "\xff"}), ERegistryException);
  EXPECT_TRUE(hive.roots().empty());
}

}  // namespace
}  // namespace tessaline

namespace tessaline {
namespace {

std::string KeyLine(std::size_t levels) {
  std::string line = "[HKEY_LOCAL_MACHINE";
  for (std::size_t i = 1; i < levels; ++i) line += "\\k";
  return line + "]\n";
}

TEST(HiveDepthTest, KeysDeeperThanTheLimitAreDamageAndTheDeepestAllowedRoundTrips) {
  const Hive deepest = ParseHive("REGEDIT4\n\n" + KeyLine(kMaxKeyDepth) + "\"v\"=\"x\"\n");
  EXPECT_EQ(ParseHive(SerializeHive(deepest)), deepest);
  EXPECT_EQ(Hive(deepest), deepest);  // a copy
  try {
    ParseHive("REGEDIT4\n\n; two lines before\n" + KeyLine(kMaxKeyDepth + 1));
    ADD_FAILURE() << "a key one level too deep was read";
  } catch (const HiveSyntaxError& e) {
    EXPECT_EQ(e.line(), 4u);
  }
  // Far deeper: refused without running out of stack.
  EXPECT_THROW(ParseHive("REGEDIT4\n\n" + KeyLine(100000)), HiveSyntaxError);
  EXPECT_THROW(Hive().CreateKey(std::vector<std::string>(kMaxKeyDepth + 1, "HKEY_LOCAL_MACHINE")),
               ERegistryException);
}

TEST(HiveDepthTest, WritingStopsAtTheSizeLimit) {
  Hive hive;
  HiveKey* key = &hive.CreateKey({"HKEY_LOCAL_MACHINE", std::string(1000, 'a')});
  for (int i = 0; i < 400; ++i) key = &key->AddSubKey(std::string(1000, 'b'));
  // Every key line repeats the whole path: about 80 MB written out.
  EXPECT_EQ(SerializeHive(hive, 64 << 20), std::nullopt);
  const std::string small = SerializeHive(ParseHive("REGEDIT4\n\n[HKEY_USERS]\n"));
  EXPECT_EQ(SerializeHive(ParseHive(small), small.size()), small);
  EXPECT_EQ(SerializeHive(ParseHive(small), small.size() - 1), std::nullopt);
}

}  // namespace
}  // namespace tessaline

namespace tessaline {
namespace {

// A hive as a person writes it: a comment, CR LF, odd spacing, a continued
// hex value, a key listed twice.
const std::string kHandWritten =
    "REGEDIT4\r\n"
    "; the game's own settings\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n"
    "  \"Wenlora\" = \"/opt/wenlora/game\"\r\n"
    "\"Bytes\"=hex:01,02,\\\r\n"
    "   03,04\r\n"
    "\r\n"
    "; packs below\r\n"
    "[hkey_local_machine\\software\\wenlora\\pack]\r\n"
    "\"Pack2\"=\"/opt/wenlora/Kestrel.wpk\"\r\n"
    "\r\n";

TEST(HiveRewriteTest, OnlyTheLinesOfChangedValuesChange) {
  Hive hive = ParseHive(kHandWritten);
  // Nothing changed: the text stays byte for byte.
  EXPECT_EQ(RewriteHiveText(kHandWritten, hive, 1 << 20), kHandWritten);

  HiveKey* pack =
      hive.FindKey(std::vector<std::string>{"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"});
  ASSERT_NE(pack, nullptr);
  pack->SetValue("Pack2", kRegSz, std::string("/games/Kestrel.wpk\0", 19));
  pack->SetValue("Pack1", kRegSz, std::string("/games/Tessaline.wpk\0", 21));
  std::string expected = kHandWritten;
  expected.replace(expected.find("\"Pack2\"=\"/opt/wenlora/Kestrel.wpk\"\r\n"),
                   std::string("\"Pack2\"=\"/opt/wenlora/Kestrel.wpk\"\r\n").size(),
                   "\"Pack2\"=\"/games/Kestrel.wpk\"\r\n\"Pack1\"=\"/games/Tessaline.wpk\"\r\n");
  EXPECT_EQ(RewriteHiveText(kHandWritten, hive, 1 << 20), expected);

  // A new key goes at the end, in the file's own line ends.
  hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Other"})
      .SetValue("A", kRegSz, std::string("1\0", 2));
  const std::string with_key = *RewriteHiveText(kHandWritten, hive, 1 << 20);
  EXPECT_EQ(with_key.substr(0, expected.size()), expected);
  EXPECT_EQ(with_key.substr(expected.size()),
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"A\"=\"1\"\r\n\r\n");
  EXPECT_EQ(ParseHive(with_key), hive);
}

TEST(HiveRewriteTest, RemovedValuesTakeTheirContinuationLinesAndDamagedTextsAreWrittenWhole) {
  Hive hive = ParseHive(kHandWritten);
  Hive without = hive;
  without.FindKey(std::vector<std::string>{"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora"})
      ->RemoveValue("bytes");
  std::string expected = kHandWritten;
  const std::string bytes = "\"Bytes\"=hex:01,02,\\\r\n   03,04\r\n";
  expected.erase(expected.find(bytes), bytes.size());
  EXPECT_EQ(RewriteHiveText(kHandWritten, without, 1 << 20), expected);
  // A text that does not parse is replaced by the hive's own form.
  EXPECT_EQ(RewriteHiveText("REGEDIT4\n[broken\n", without, 1 << 20), SerializeHive(without));
  EXPECT_EQ(RewriteHiveText(kHandWritten, hive, 10), std::nullopt);
}

}  // namespace
}  // namespace tessaline

namespace tessaline {
namespace {

// Random data of `type`: quotable text, long binary data that wraps onto
// continuation lines, a dword of either form.
std::string RandomData(std::mt19937& rng, std::uint32_t type) {
  std::string data;
  if (type == kRegSz && rng() % 3) return RandomName(rng, false) + '\0';
  for (int n = std::uniform_int_distribution<int>(0, 90)(rng); n > 0; --n) {
    data.push_back(static_cast<char>(rng()));
  }
  if (type == kRegDword && rng() % 2) data.resize(4);
  return data;
}

// Changes in place, committed one after another, must give the text the
// line-by-line rewrite gives from the previous text, read back as the
// changed hive, and leave a layout the next change can rely on: with a byte
// order mark or not, CR LF or LF, with or without a last line end, values
// changed back to what their line already holds, values listed twice, new values in keys listed
// twice, and now and then a removal or a new key (written line by line).
TEST(HiveRewriteTest, ChangesCommittedInPlaceMatchTheLineByLineRewrite) {
  std::mt19937 rng(20261209);
  const std::vector<std::uint32_t> types = {1, 1, 1, 3, 4, 7};
  const std::vector<std::string> starts = {
      kHandWritten,
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"",
      "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\B]\r\n@=dword:00000001\r\n"
      "[HKEY_CURRENT_USER\\C]\r\n[hkey_current_user\\b]\r\n\"y\"=hex:01\r\n",
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\D]\n",
      // Values listed twice, with lines between their listings.
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\E]\n\"d\"=\"1\"\n\"e\"=hex:02\n\"f\"=\"3\"\n\"D\"=\"4\"\n"
      "[HKEY_LOCAL_MACHINE\\F]\n\"g\"=\"5\"\n[hkey_local_machine\\e]\n\"F\"=\"6\"\n",
  };
  for (int round = 0; round < 300; ++round) {
    HiveText text = HiveText::Parse(starts[round % starts.size()]);
    for (int step = 0; step < 6; ++step) {
      const std::string before = text.text();
      Hive& hive = text.mutable_hive();
      std::vector<HiveKey*> keys;
      for (const auto& root : hive.roots()) {
        for (const auto& sub : root->subkeys()) keys.push_back(sub.get());
      }
      ASSERT_FALSE(keys.empty());
      for (int change = std::uniform_int_distribution<int>(1, 4)(rng); change > 0; --change) {
        HiveKey& key = *keys[rng() % keys.size()];
        const int what = static_cast<int>(rng() % 10);
        if (what == 0 && key.value_count() != 0) {
          key.RemoveValue(std::string(key.value_name(rng() % key.value_count())));
        } else if (what == 1) {
          hive.CreateKey({"HKEY_LOCAL_MACHINE", RandomName(rng, true)})
              .SetValue("n", kRegSz, std::string("v\0", 2));
        } else if (what < 5 && key.value_count() != 0) {
          const HiveValue value = key.value(rng() % key.value_count());
          key.SetValue(value.name, value.type, value.data);  // the same again
        } else if (what < 8 && key.value_count() != 0) {
          const HiveValue value = key.value(rng() % key.value_count());
          const std::uint32_t type = types[rng() % types.size()];
          key.SetValue(value.name, type, RandomData(rng, type));
        } else {
          const std::uint32_t type = types[rng() % types.size()];
          key.SetValue(RandomName(rng, false), type, RandomData(rng, type));
        }
      }
      // Every other round a copy of the changed hive, which keeps values in
      // the same text, lives on through the commit; otherwise the commit
      // edits the text the hive's own kept values stand in.
      auto changed = std::make_optional<Hive>(hive);
      const std::optional<std::string> expected = RewriteHiveText(before, *changed, 1 << 20);
      ASSERT_TRUE(expected);
      if (round % 2 == 0) changed.reset();
      ASSERT_TRUE(text.Commit(1 << 20));
      ASSERT_EQ(text.text(), expected) << "from:\n" << before;
      const Hive reread = ParseHive(*expected);
      ASSERT_EQ(text.hive(), reread);
      if (changed) {
        ASSERT_EQ(*changed, reread);
      }
      ASSERT_FALSE(text.mutable_hive().HasChanges());
      // The lines the layout now notes are where Rewrite finds them.
      Hive next = text.hive();
      next.CreateKey({"HKEY_LOCAL_MACHINE", "Z"}).SetValue("z", kRegDword, "1234");
      for (const auto& root : next.roots()) {
        for (const auto& sub : root->subkeys()) {
          if (sub->value_count() != 0 && rng() % 2) {
            sub->RemoveValue(std::string(sub->value_name(rng() % sub->value_count())));
          }
        }
      }
      ASSERT_EQ(text.Rewrite(next, 1 << 20)->text(), RewriteHiveText(text.text(), next, 1 << 20));
    }
  }
}

TEST(HiveRewriteTest, CommitRefusesATextPastTheLimit) {
  HiveText text = HiveText::Parse(kHandWritten);
  text.mutable_hive()
      .CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"})
      .SetValue("Pack1", kRegSz, std::string(200, 'x') + '\0');
  EXPECT_FALSE(text.Commit(kHandWritten.size() + 100));
}

}  // namespace
}  // namespace tessaline
