#include "text/compare.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {
namespace {

// Checks SameText and that FoldCase agrees with it, both ways round.
void ExpectSame(const std::string& a, const std::string& b, bool same) {
  EXPECT_EQ(SameText(a, b), same) << a << " vs " << b;
  EXPECT_EQ(SameText(b, a), same) << b << " vs " << a;
  EXPECT_EQ(FoldCase(a) == FoldCase(b), same) << a << " vs " << b;
}

TEST(SameTextTest, AsciiLettersFoldButNeighbouringSignsDoNot) {
  ExpectSame("Save", "SAVE", true);
  ExpectSame("registry ERROR 1", "Registry error 1", true);
  ExpectSame("", "", true);
  ExpectSame("", " ", false);
  ExpectSame("@", "`", false);
  ExpectSame("[", "{", false);
  ExpectSame("\\", "|", false);
  ExpectSame("]", "}", false);
  ExpectSame("^", "~", false);
  ExpectSame("coop", "co-op", false);
  ExpectSame("cant", "can't", false);
  ExpectSame("a b", "ab", false);
  ExpectSame("abc", "abc ", false);
}

TEST(SameTextTest, LatinOneLettersAndTheThreeExtraPairsFold) {
  ExpectSame("ÀÉÎÕÜÞ", "àéîõüþ", true);
  ExpectSame("ÇA VA", "ça va", true);
  ExpectSame("ŠŒŽ", "šœž", true);
  ExpectSame("×", "÷", false);  // U+00D7 and U+00F7 are signs, not a pair
  ExpectSame("ß", "ÿ", false);
  ExpectSame("ÿ", "Ÿ", false);
  ExpectSame("É", "E", false);
}

TEST(SameTextTest, CyrillicLettersOfCodePage1251Fold) {
  ExpectSame("Привет", "ПРИВЕТ", true);
  ExpectSame("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ", "абвгдежзийклмнопрстуфхцчшщъыьэюя", true);
  ExpectSame("ЁЂЃЄЅІЇЈЉЊЋЌЎЏҐ", "ёђѓєѕіїјљњћќўџґ", true);
  ExpectSame("Е", "Ё", false);
  ExpectSame("е", "ё", false);
  ExpectSame("И", "Й", false);
  ExpectSame("А", "A", false);  // Cyrillic A is not Latin A
  ExpectSame("Ѝ", "ѝ", false);  // not a letter of the code page
}

TEST(SameTextTest, OtherCharactersAndInvalidBytesCompareAsThemselves) {
  ExpectSame("Ω", "ω", false);        // Greek is outside the folded set
  ExpectSame("…", "…", true);         // three-byte characters byte for byte
  ExpectSame("\x85", "\x85", true);   // a lone continuation byte
  ExpectSame("\xC3", "\xE3", false);  // a truncated lead byte does not fold
  ExpectSame("a\xC3", "A\xC3", true);
  ExpectSame("\xC3\x80", "\xC3\xA0", true);  // À / à
  ExpectSame(
      "\xC3"
      "A",
      "\xC3"
      "a",
      true);                                  // invalid lead, then ASCII
  ExpectSame("\xC0\x80", "\xC0\xA0", false);  // overlong forms are not letters
  ExpectSame("\xE0\xC3\x80", "\xE0\xC3\xA0", true);
}

TEST(FoldCaseTest, KeepsLengthAndFoldsToLowerCase) {
  EXPECT_EQ(FoldCase("ÀB Ё Ґ x"), "àb ё ґ x");
  const std::vector<std::string> samples = {"ПРИВЕТ", "Š\xC3", "\xFF\xFE", "Ÿ"};
  for (const std::string& s : samples) EXPECT_EQ(FoldCase(s).size(), s.size());
}

TEST(AsciiCompareTest, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(SameTextAscii("Common", "COMMON"));
  EXPECT_FALSE(SameTextAscii("\xE0\xE1", "\xC0\xC1"));
  EXPECT_FALSE(SameTextAscii("Привет", "ПРИВЕТ"));
}

bool IsAsciiLetter(int b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

TEST(SameTextTest, SingleBytesFoldOnlyAsciiLetterPairs) {
  for (int a = 0; a < 256; ++a) {
    const std::string x(1, static_cast<char>(a));
    for (int b = 0; b < 256; ++b) {
      const std::string y(1, static_cast<char>(b));
      const bool same = a == b || (IsAsciiLetter(a) && IsAsciiLetter(b) && (a ^ b) == 0x20);
      ASSERT_EQ(SameText(x, y), same) << a << " " << b;
      ASSERT_EQ(FoldCase(x) == FoldCase(y), same) << a << " " << b;
      ASSERT_EQ(SameTextAscii(x, y), same) << a << " " << b;
    }
  }
}

// Code points of a text made of two-byte characters only.
std::vector<std::uint32_t> TwoByteCodePoints(const std::string& text) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    out.push_back(((static_cast<unsigned char>(text[i]) & 0x1Fu) << 6) |
                  (static_cast<unsigned char>(text[i + 1]) & 0x3Fu));
  }
  return out;
}

std::string EncodeTwoByte(std::uint32_t cp) {
  return {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
}

TEST(SameTextTest, EveryTwoByteCharacterFoldsExactlyWithItsListedPartner) {
  // The folded pairs: Latin-1 letters (without the signs × and ÷), Š Œ Ž, and
  // the Cyrillic letters of code page 1251. Nothing else from U+0080 to U+07FF.
  const std::vector<std::uint32_t> upper = TwoByteCodePoints(
      "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞŠŒŽ"
      "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯЁЂЃЄЅІЇЈЉЊЋЌЎЏҐ");
  const std::vector<std::uint32_t> lower = TwoByteCodePoints(
      "àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþšœž"
      "абвгдежзийклмнопрстуфхцчшщъыьэюяёђѓєѕіїјљњћќўџґ");
  ASSERT_EQ(upper.size(), 80u);
  ASSERT_EQ(lower.size(), 80u);
  std::vector<std::uint32_t> partner(0x800);
  for (std::uint32_t cp = 0; cp < 0x800; ++cp) partner[cp] = cp;
  for (std::size_t i = 0; i < upper.size(); ++i) partner[upper[i]] = lower[i];

  std::vector<std::string> texts(0x800);
  for (std::uint32_t cp = 0x80; cp < 0x800; ++cp) {
    texts[cp] = EncodeTwoByte(cp);
    ASSERT_EQ(FoldCase(texts[cp]), EncodeTwoByte(partner[cp])) << std::hex << cp;
  }
  for (std::uint32_t a = 0x80; a < 0x800; ++a) {
    for (std::uint32_t b = 0x80; b < 0x800; ++b) {
      ASSERT_EQ(SameText(texts[a], texts[b]), partner[a] == partner[b])
          << std::hex << a << " " << b;
    }
  }
}

}  // namespace
}  // namespace tessaline
