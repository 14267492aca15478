#include "text/utf8.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

TEST(Utf8Test, ValidityAtEveryEdgeOfTheEncoding) {
  struct Row {
    const char* bytes;
    bool valid;
  };
  const Row rows[] = {
      {"", true},
      {"\x7f", true},
      {"\x80", false},              // a continuation alone
      {"\xc1\xbf", false},          // overlong two bytes
      {"\xc2\x80", true},           // U+0080
      {"\xdf\xbf", true},           // U+07FF
      {"\xe0\x9f\xbf", false},      // overlong three bytes
      {"\xe0\xa0\x80", true},       // U+0800
      {"\xed\x9f\xbf", true},       // U+D7FF
      {"\xed\xa0\x80", false},      // a surrogate
      {"\xee\x80\x80", true},       // U+E000
      {"\xef\xbf\xbf", true},       // U+FFFF
      {"\xf0\x8f\xbf\xbf", false},  // overlong four bytes
      {"\xf0\x90\x80\x80", true},   // U+10000
      {"\xf4\x8f\xbf\xbf", true},   // U+10FFFF
      {"\xf4\x90\x80\x80", false},  // past U+10FFFF
      {"\xf5\x80\x80\x80", false},
      {"\xff", false},
      {"\xd0\x9a", true},  // К
      {"\xd0", false},     // cut off
      {"\xe2\x82", false},
      {"\xd0\x41", false},  // a lead without its continuation
  };
  for (const Row& row : rows) {
    EXPECT_EQ(utf8::IsValid(row.bytes), row.valid) << testing::PrintToString(row.bytes);
  }
}

TEST(Utf8Test, AppendEncodesEachLength) {
  std::string out;
  for (std::uint32_t cp : {0x41u, 0x41Au, 0x20ACu, 0x1F600u}) utf8::Append(out, cp);
  EXPECT_EQ(out, "A\xd0\x9a\xe2\x82\xac\xf0\x9f\x98\x80");
}

TEST(Utf8Test, CutsNeverSplitACharacter) {
  const std::string text = "ab\xd0\x9a\xe2\x82\xac\xf0\x9f\x98\x80";  // a b К € 😀
  const std::size_t expected[] = {0, 1, 2, 2, 4, 4, 4, 7, 7, 7, 7, 11, 11};
  for (std::size_t limit = 0; limit <= 12; ++limit) {
    EXPECT_EQ(utf8::CharacterBoundaryAtMost(text, limit), expected[limit]) << limit;
  }
  // Bytes that are not UTF-8 are characters of their own.
  EXPECT_EQ(utf8::CharacterBoundaryAtMost("a\x80\x80\x80\x80", 3), 3u);
  EXPECT_EQ(utf8::CharacterBoundaryAtMost("\xff\xff", 1), 1u);
}

// What a terminal is shown: text as it is, every control character and
// every byte that is not UTF-8 escaped, the escape itself doubled.
TEST(Utf8Test, PrintableEscapesControlsAndBytesThatAreNotUtf8) {
  const struct {
    std::string bytes, shown;
  } cases[] = {
      {"/opt/wenlora/Tessaline.wpk", "/opt/wenlora/Tessaline.wpk"},
      {"Тесселин", "Тесселин"},
      {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},  // a title change
      {"\x1b[2J", "\\x1b[2J"},                       // clear the screen
      {"a\tb\nc\rd", "a\\tb\\nc\\rd"},
      {"back\\slash", "back\\\\slash"},
      {"\x7f", "\\x7f"},
      {"\xc2\x9b" "2J", "\\xc2\\x9b" "2J"},  // U+009B, the one-byte CSI
      {"caf\xe9/", "caf\\xe9/"},                // Latin-1, not UTF-8
      {std::string("nul\0", 4), "nul\\x00"},
      {"\xe2\x82", "\\xe2\\x82"},  // cut short
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8::Printable(c.bytes), c.shown) << c.shown;
  }
}

}  // namespace
}  // namespace tessaline
