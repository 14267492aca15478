#include "platform/compare.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(AsciiUpper("a:/b.dic\xE0"), "A:/B.DIC\xE0");
}

}  // namespace
}  // namespace tessaline
