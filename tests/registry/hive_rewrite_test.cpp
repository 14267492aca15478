// RewriteHiveText (hive_write.cpp): a text changed line by line.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "random_values.h"
#include "registry/hive_parse.h"
#include "registry/hive_write.h"

namespace tessaline {
namespace {

using test::RandomData;

constexpr std::size_t kLimit = std::size_t{1} << 20;

std::string Sz(const std::string& text) {
  return text + '\0';
}

// `prefix` and the number `n` ("n12").
std::string Numbered(const char* prefix, int n) {
  std::string name(prefix);
  return name.append(std::to_string(n));
}

// `original` rewritten into `changed`, from its own parse.
std::optional<std::string> Rewrite(std::string_view original, const Hive& changed,
                                   std::size_t limit) {
  HiveLayout layout;
  Hive before = ParseHive(original, layout);
  return RewriteHiveText(original, std::move(before), std::move(layout), changed, limit);
}

HiveKey& Key(Hive& hive, const std::string& name) {
  return hive.CreateKey({"HKEY_LOCAL_MACHINE", name});
}

// A hive as a person writes it: a comment, CR LF, odd spacing, a continued
// hex value, a key listed twice in another spelling.
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

struct RewriteCase {
  const char* what;
  std::string original;
  std::function<void(Hive&)> change;
  std::string expected;
};

const std::string kKeyP = "[HKEY_LOCAL_MACHINE\\P]\n";

const std::vector<RewriteCase> kRewriteCases = {
    {"nothing changed", kHandWritten, [](Hive&) {}, kHandWritten},
    {"a value changed and one added, in the file's own line ends", kHandWritten,
     [](Hive& hive) {
       HiveKey& key = hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"});
       key.SetValue("pack2", kRegSz, Sz("/games/Kestrel.wpk"));
       key.SetValue("Pack1", kRegSz, Sz("/games/Tessaline.wpk"));
     },
     "REGEDIT4\r\n; the game's own settings\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n"
     "  \"Wenlora\" = \"/opt/wenlora/game\"\r\n\"Bytes\"=hex:01,02,\\\r\n   03,04\r\n\r\n"
     "; packs below\r\n[hkey_local_machine\\software\\wenlora\\pack]\r\n"
     "\"Pack2\"=\"/games/Kestrel.wpk\"\r\n\"Pack1\"=\"/games/Tessaline.wpk\"\r\n\r\n"},
    {"a removed value takes its continuation lines", kHandWritten,
     [](Hive& hive) {
       hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora"}).RemoveValue("bytes");
     },
     "REGEDIT4\r\n; the game's own settings\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n"
     "  \"Wenlora\" = \"/opt/wenlora/game\"\r\n\r\n"
     "; packs below\r\n[hkey_local_machine\\software\\wenlora\\pack]\r\n"
     "\"Pack2\"=\"/opt/wenlora/Kestrel.wpk\"\r\n\r\n"},
    {"a new key at the end", kHandWritten,
     [](Hive& hive) {
       hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Other"}).SetValue("A", kRegSz, Sz("1"));
     },
     kHandWritten + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"A\"=\"1\"\r\n\r\n"},
    {"a value of a key without a line of its own goes under a new key line", kHandWritten,
     [](Hive& hive) {
       hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE"}).SetValue("S", kRegSz, Sz("s"));
     },
     kHandWritten + "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"S\"=\"s\"\r\n\r\n"},
    {"a removed key takes its key line and values, comments stay",
     "REGEDIT4\n; kept\n" + kKeyP +
         "\"a\"=hex:01,\\\n  02\n; under P\n[HKEY_LOCAL_MACHINE\\Q]\n"
         "\"b\"=\"2\"\n",
     [](Hive& hive) { hive = ParseHive("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Q]\n\"b\"=\"2\"\n"); },
     "REGEDIT4\n; kept\n; under P\n[HKEY_LOCAL_MACHINE\\Q]\n\"b\"=\"2\"\n"},
    {"a byte-order mark, CR LF and the last line without its end",
     "\xEF\xBB\xBFREGEDIT4\r\n[HKEY_LOCAL_MACHINE\\P]\r\n\"a\"=\"1\"",
     [](Hive& hive) { Key(hive, "P").SetValue("b", kRegSz, Sz("2")); },
     "\xEF\xBB\xBFREGEDIT4\r\n[HKEY_LOCAL_MACHINE\\P]\r\n\"a\"=\"1\"\r\n\"b\"=\"2\"\r\n"},
    {"the last line without its end replaced", "REGEDIT4\n" + kKeyP + "\"a\"=\"1\"",
     [](Hive& hive) { Key(hive, "P").SetValue("a", kRegSz, Sz("2")); },
     "REGEDIT4\n" + kKeyP + "\"a\"=\"2\"\n"},
    {"the last line without its end kept, nothing after it", "REGEDIT4\n" + kKeyP + "\"a\"=\"1\"",
     [](Hive& hive) { Key(hive, "P").SetValue("a", kRegSz, Sz("1")); },
     "REGEDIT4\n" + kKeyP + "\"a\"=\"1\""},
    {"a value set to what its line already holds keeps the line",
     "REGEDIT4\n" + kKeyP + "\"C\" = DWORD:FF\n\"t\"=hex(1):61,00\n",
     [](Hive& hive) {
       Key(hive, "P").SetValue("c", kRegDword, std::string("\xff\0\0\0", 4));
       Key(hive, "P").SetValue("T", kRegSz, Sz("a"));
     },
     "REGEDIT4\n" + kKeyP + "\"C\" = DWORD:FF\n\"t\"=hex(1):61,00\n"},
    {"a value listed twice is written over both listings",
     "REGEDIT4\n" + kKeyP + "\"Aa\"=\"1\"\n\"x\"=\"2\"\n\"AA\"=\"3\"\n",
     [](Hive& hive) { Key(hive, "P").SetValue("aa", kRegSz, Sz("4")); },
     "REGEDIT4\n" + kKeyP + "\"Aa\"=\"4\"\n\"x\"=\"2\"\n\"Aa\"=\"4\"\n"},
    {"a key listed twice: a change in its first listing, a new value after its last",
     "REGEDIT4\n" + kKeyP +
         "\"a\"=\"1\"\n[HKEY_LOCAL_MACHINE\\Q]\n[hkey_local_machine\\p]\n"
         "\"b\"=\"2\"\n[HKEY_LOCAL_MACHINE\\R]\n",
     [](Hive& hive) {
       Key(hive, "P").SetValue("a", kRegBinary, "\x01");
       Key(hive, "P").SetValue("c", kRegSz, Sz("3"));
     },
     "REGEDIT4\n" + kKeyP +
         "\"a\"=hex:01\n[HKEY_LOCAL_MACHINE\\Q]\n[hkey_local_machine\\p]\n"
         "\"b\"=\"2\"\n\"c\"=\"3\"\n[HKEY_LOCAL_MACHINE\\R]\n"},
    {"text that cannot be quoted is written as hex(1)", "REGEDIT4\n" + kKeyP + "\"a\"=\"1\"\n",
     [](Hive& hive) { Key(hive, "P").SetValue("a", kRegSz, Sz("x\ny")); },
     "REGEDIT4\n" + kKeyP + "\"a\"=hex(1):78,0a,79,00\n"},
    {"an empty text is written whole", "",
     [](Hive& hive) { Key(hive, "P").SetValue("a", kRegSz, Sz("1")); },
     "REGEDIT4\n\n" + kKeyP + "\"a\"=\"1\"\n\n"},
    {"a value removed and set again reads back in its new place",
     "REGEDIT4\n" + kKeyP + "\"a\"=\"1\"\n\"b\"=\"2\"\n",
     [](Hive& hive) {
       Key(hive, "P").RemoveValue("a");
       Key(hive, "P").SetValue("a", kRegSz, Sz("1"));
     },
     "REGEDIT4\n\n" + kKeyP + "\"b\"=\"2\"\n\"a\"=\"1\"\n\n"},
};

TEST(HiveRewriteTest, OnlyTheLinesOfChangedValuesChange) {
  for (const RewriteCase& c : kRewriteCases) {
    SCOPED_TRACE(c.what);
    Hive hive = ParseHive(c.original);
    c.change(hive);
    const std::optional<std::string> rewritten = Rewrite(c.original, hive, kLimit);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(*rewritten, c.expected);
    EXPECT_EQ(ParseHive(*rewritten), hive);
  }
}

TEST(HiveRewriteTest, NothingWhenTheTextWouldPassTheLimit) {
  Hive hive = ParseHive(kHandWritten);
  EXPECT_EQ(Rewrite(kHandWritten, hive, kHandWritten.size()), kHandWritten);
  EXPECT_EQ(Rewrite(kHandWritten, hive, kHandWritten.size() - 1), std::nullopt);
  hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora"})
      .SetValue("Long", kRegSz, Sz(std::string(200, 'x')));
  EXPECT_EQ(Rewrite(kHandWritten, hive, kHandWritten.size() + 100), std::nullopt);
  EXPECT_EQ(Rewrite("", hive, 10), std::nullopt);
}

// Random changes to texts worth keeping (a byte-order mark or not, CR LF or
// LF, with or without a last line end, values and keys listed twice) read
// back as the changed hive without falling back to a whole write, which
// would lose the comment every text holds.
TEST(HiveRewriteTest, RandomChangesReadBackAndKeepTheOwnersLines) {
  std::mt19937 rng(20261209);
  const std::vector<std::uint32_t> types = {1, 1, 1, 3, 4, 7};
  const std::vector<std::string> starts = {
      kHandWritten,
      "REGEDIT4\n; c\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"",
      "\xEF\xBB\xBFREGEDIT4\r\n; c\r\n[HKEY_CURRENT_USER\\B]\r\n@=dword:00000001\r\n"
      "[HKEY_CURRENT_USER\\C]\r\n[hkey_current_user\\b]\r\n\"y\"=hex:01\r\n",
      "REGEDIT4\n; c\n[HKEY_LOCAL_MACHINE\\E]\n"
      "\"d\"=\"1\"\n\"e\"=hex:02\n\"f\"=\"3\"\n\"D\"=\"4\"\n"
      "[HKEY_LOCAL_MACHINE\\F]\n\"g\"=\"5\"\n[hkey_local_machine\\e]\n\"F\"=\"6\"\n",
  };
  int added = 0;
  for (int round = 0; round < 300; ++round) {
    std::string text = starts[round % starts.size()];
    const std::size_t comment_at = text.find("\n;");
    const std::string comment =
        text.substr(comment_at, text.find('\n', comment_at + 1) - comment_at);
    for (int step = 0; step < 4; ++step) {
      Hive hive = ParseHive(text);
      std::vector<HiveKey*> keys;  // every key but the root keys
      for (const auto& root : hive.roots()) {
        for (const auto& sub : root->subkeys()) keys.push_back(sub.get());
      }
      for (std::size_t i = 0; i < keys.size(); ++i) {
        for (const auto& sub : keys[i]->subkeys()) keys.push_back(sub.get());
      }
      for (int change = std::uniform_int_distribution<int>(1, 4)(rng); change > 0; --change) {
        HiveKey& key = *keys[rng() % keys.size()];
        const int what = static_cast<int>(rng() % 8);
        const std::uint32_t type = types[rng() % types.size()];
        if (what == 0 && key.value_count() > 1) {
          key.RemoveValue(std::string(key.value_name(rng() % key.value_count())));
        } else if (what == 1) {
          Key(hive, Numbered("N", ++added)).SetValue("n", kRegSz, Sz("v"));
        } else if (what < 4 && key.value_count() != 0) {
          const HiveValue value = key.value(rng() % key.value_count());
          key.SetValue(value.name, value.type, value.data);  // the same again
        } else if (what < 6 && key.value_count() != 0) {
          const HiveValue value = key.value(rng() % key.value_count());
          key.SetValue(value.name, type, RandomData(rng, type));
        } else {
          key.SetValue(Numbered("n", ++added), type, RandomData(rng, type));
        }
      }
      const std::optional<std::string> rewritten = Rewrite(text, hive, kLimit);
      ASSERT_TRUE(rewritten);
      ASSERT_EQ(ParseHive(*rewritten), hive) << *rewritten;
      ASSERT_NE(rewritten->find(comment), std::string::npos) << "from:\n" << text;
      ASSERT_EQ(rewritten->starts_with("\xEF\xBB\xBF"), text.starts_with("\xEF\xBB\xBF"));
      text = *rewritten;
    }
  }
}

// 10,000 packs of three values each in one key: a change of one value
// rewrites its line alone and the text reads back as the changed hive.
TEST(HiveRewriteTest, AHiveOfTenThousandPacksChangesOneLine) {
  std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n";
  for (int n = 1; n <= 10000; ++n) {
    const std::string no = std::to_string(n);
    text += "\"Pack" + no + "\"=\"/opt/wenlora/packs/Pack number " + no + ".wpk\"\r\n";
    text += "\"Comm" + no + "\"=\"Pack number " + no + "\"\r\n";
    text += "\"Cir" + no + "\"=\"Колода номер " + no + "\"\r\n";
  }
  Hive hive = ParseHive(text);
  HiveKey& key = hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"});
  ASSERT_EQ(key.value_count(), 30000u);
  key.SetValue("comm5000", kRegSz, Sz("Changed"));
  const std::optional<std::string> rewritten = Rewrite(text, hive, 64 << 20);
  ASSERT_TRUE(rewritten);
  std::string expected = text;
  const std::string old_line = "\"Comm5000\"=\"Pack number 5000\"\r\n";
  expected.replace(expected.find(old_line), old_line.size(), "\"Comm5000\"=\"Changed\"\r\n");
  EXPECT_TRUE(*rewritten == expected);
  EXPECT_EQ(ParseHive(*rewritten), hive);
}

}  // namespace
}  // namespace tessaline
