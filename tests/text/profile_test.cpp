#include "text/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace tessaline {
namespace {

using Names = std::vector<std::string>;

bool IsAsciiLetter(int b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

ProfileReader Read(const std::string& contents) {
  return ProfileReader::FromBytes(contents);
}

TEST(ProfileReaderTest, BlanksAreTrimmedAroundLinesKeysAndValues) {
  ProfileReader r = Read(
      " \t[ Common ]\r\n"
      "  key 4 = value 4 with  inner  blanks \t\x1A\n"
      "\vk2\f=\x0Bv2\n"
      "nb\xA0=\xA0v\x85\n");
  EXPECT_EQ(r.KeyNames("Common"), (Names{"key 4", "k2", "nb\xA0"}));
  EXPECT_EQ(r.Value("Common", "key 4"), "value 4 with  inner  blanks");
  EXPECT_EQ(r.Value("Common", "  key 4\t"), "value 4 with  inner  blanks");
  EXPECT_EQ(r.Value("Common", "k2"), "v2");
  // 0xA0 and 0x85 are not blanks.
  EXPECT_EQ(r.Value("Common", "nb\xA0"), "\xA0v\x85");
}

TEST(ProfileReaderTest, SectionHeaders) {
  ProfileReader r = Read(
      "top=level\n"
      "[a]b]rest=ignored\n"
      "x=1\n"
      "[open\n"
      "[open=2\n"
      "[]\n"
      "hidden=1\n"
      "[ ]\n"
      "hidden2=1\n");
  EXPECT_EQ(r.KeyNames(""), (Names{"top"}));  // text before the first section
  EXPECT_EQ(r.KeyNames("a]b"), (Names{"x", "[open"}));
  EXPECT_EQ(r.Value("a]b", "[open"), "2");
  EXPECT_TRUE(r.KeyNames("open").empty());
  EXPECT_EQ(r.Value("", "hidden", "none"), "none");
  EXPECT_EQ(r.Value("", "hidden2", "none"), "none");
}

TEST(ProfileReaderTest, NamesMatchIgnoringAsciiCaseOnly) {
  ProfileReader r = Read("[Common]\nSave=1\n[\xC0\xC1]\nk=2\n[Привет]\nk=3\n");
  EXPECT_EQ(r.Value("COMMON", "sAVE"), "1");
  EXPECT_EQ(r.Value("\xC0\xC1", "K"), "2");
  EXPECT_TRUE(r.KeyNames("\xE0\xE1").empty());
  EXPECT_TRUE(r.KeyNames("ПРИВЕТ").empty());
  EXPECT_EQ(r.Value("Привет", "k"), "3");
}

TEST(ProfileReaderTest, QuotesLoseOneMatchingPair) {
  ProfileReader r = Read(
      "[s]\n"
      "a=\"quoted value\"\n"
      "b=\"\"x\"\"\n"
      "c=  \"  padded  \"  \n"
      "d=\"\"\n"
      "e=\"\n"
      "f=\"only leading\n"
      "g=only trailing\"\n"
      "h=\"abc'\n"
      "i=a \"b\" c\n"
      "j='single'\n"
      "\"k\"=v\n");
  EXPECT_EQ(r.Value("s", "a"), "quoted value");
  EXPECT_EQ(r.Value("s", "b"), "\"x\"");
  EXPECT_EQ(r.Value("s", "c"), "  padded  ");
  EXPECT_EQ(r.Value("s", "d"), "");
  EXPECT_EQ(r.Value("s", "e"), "\"");
  EXPECT_EQ(r.Value("s", "f"), "\"only leading");
  EXPECT_EQ(r.Value("s", "g"), "only trailing\"");
  EXPECT_EQ(r.Value("s", "h"), "\"abc'");
  EXPECT_EQ(r.Value("s", "i"), "a \"b\" c");
  EXPECT_EQ(r.Value("s", "j"), "single");
  EXPECT_EQ(r.Value("s", "\"k\""), "v");  // quotes in key names stay
}

TEST(ProfileReaderTest, CommentsLinesWithoutEqualsAndSplitting) {
  ProfileReader r = Read(
      "[s]\n"
      "  ;k1=hidden\n"
      ";[t]\n"
      "#k2=hash\n"
      "//k3=slashes\n"
      "k4=v4 ; note\n"
      "no equals here\n"
      "eq=a=b=c\n"
      "k = = v\n");
  EXPECT_EQ(r.KeyNames("s"), (Names{"#k2", "//k3", "k4", "eq", "k"}));
  EXPECT_EQ(r.Value("s", "k4"), "v4 ; note");
  EXPECT_EQ(r.Value("s", "eq"), "a=b=c");
  EXPECT_EQ(r.Value("s", "k"), "= v");
  EXPECT_EQ(r.Value("s", "no equals here", "-"), "-");
  // A comment line is not listed, but a direct lookup of its text finds it.
  EXPECT_EQ(r.Value("s", ";k1"), "hidden");
}

TEST(ProfileReaderTest, DuplicatesEmptyValuesAndEmptyNames) {
  ProfileReader r = Read(
      "[s]\nk=first\nk=second\nK=third\ne1=\ne2=   \n"
      "[S]\nlater=ignored\n"
      "[empty first]\n=value\nafter=1\n"
      "[empty later]\nbefore=1\n=value\nafter=2\n");
  EXPECT_EQ(r.KeyNames("s"), (Names{"k", "k", "K", "e1", "e2"}));
  EXPECT_EQ(r.Value("s", "K"), "first");
  EXPECT_EQ(r.Value("s", "e1", "dflt"), "");
  EXPECT_EQ(r.Value("s", "e2", "dflt"), "");
  EXPECT_EQ(r.Value("s", "later", "none"), "none");
  EXPECT_TRUE(r.KeyNames("empty first").empty());
  EXPECT_EQ(r.KeyNames("empty later"), (Names{"before"}));
}

TEST(ProfileReaderTest, LineEndsOfEveryKind) {
  ProfileReader r = Read("[s]\ra=1\r\nb=2\nc=3\r\rd=4");
  EXPECT_EQ(r.KeyNames("s"), (Names{"a", "b", "c", "d"}));
  EXPECT_EQ(r.Value("s", "d"), "4");
  EXPECT_EQ(r.Value("s", "c"), "3");
}

TEST(ProfileReaderTest, ByteOrderMarks) {
  EXPECT_EQ(Read("\xEF\xBB\xBF[s]\nk=v").Value("s", "k"), "v");
  // UTF-16 "[s]\nП=ё" in both byte orders, and a surrogate pair.
  const std::u16string text = u"[s]\n\u041F=\u0451\U0001F600";
  std::string le = "\xFF\xFE";
  std::string be = "\xFE\xFF";
  for (char16_t c : text) {
    le += static_cast<char>(c & 0xFF);
    le += static_cast<char>(c >> 8);
    be += static_cast<char>(c >> 8);
    be += static_cast<char>(c & 0xFF);
  }
  EXPECT_EQ(Read(le).Value("s", "П"), "ё\U0001F600");
  EXPECT_EQ(Read(be).Value("s", "П"), "ё\U0001F600");
  // A lone surrogate becomes U+FFFD instead of invalid UTF-8.
  std::string lone = "\xFF\xFE";
  for (char16_t c : std::u16string(u"[s]\nk=") + char16_t{0xD800}) {
    lone += static_cast<char>(c & 0xFF);
    lone += static_cast<char>(c >> 8);
  }
  EXPECT_EQ(Read(lone).Value("s", "k"), "\xEF\xBF\xBD");
  // Without a mark, bytes are kept as they are.
  EXPECT_EQ(Read("[s]\nk=\xFF\xFE").Value("s", "k"), "\xFF\xFE");
}

TEST(ProfileReaderTest, LongValuesAreCutBeforeUnquoting) {
  const std::string v2047(2047, 'v');
  const std::string v2048(2048, 'w');
  ProfileReader r = Read("[s]\na=" + v2047 + "\nb=" + v2048 + "\nc=\"" + v2047 + "\"\nd=\"" +
                         std::string(2045, 'q') + "\"\n");
  EXPECT_EQ(r.Value("s", "a"), v2047);
  EXPECT_EQ(r.Value("s", "b"), v2048.substr(0, 2047));
  EXPECT_EQ(r.Value("s", "c"), v2047.substr(0, 2046));
  EXPECT_EQ(r.Value("s", "d"), std::string(2045, 'q'));
}

TEST(ProfileReaderTest, LongKeyListsEndWithACutName) {
  std::string file = "[s]\n";
  for (int i = 0; i < 1000; ++i) {
    std::string name = "key" + std::to_string(100000 + i) + "_abcdefghi";  // 19 bytes
    file += name + "=v\n";
  }
  ProfileReader r = Read(file);
  std::string buffer = r.KeyListBuffer("s");
  EXPECT_EQ(buffer.size(), ProfileReader::kKeyListBytes);
  Names names = r.KeyNames("s");
  ASSERT_EQ(names.size(), 820u);
  EXPECT_EQ(names[818], "key100818_abcdefghi");
  EXPECT_EQ(names[819], "ke");
  EXPECT_EQ(r.Value("s", names[819], "none"), "none");
  EXPECT_EQ(r.Value("s", "key100999_abcdefghi"), "v");  // still readable directly
}

// The bytes the reader trims; CR and LF end lines before trimming matters.
bool IsProfileBlank(int b) {
  return b == ' ' || b == '\t' || b == 0x0B || b == 0x0C || b == 0x1A;
}

TEST(ProfileReaderTest, EveryByteIsTrimmedAsABlankOrKept) {
  for (int b = 1; b < 256; ++b) {
    if (b == '\n' || b == '\r' || b == '=') continue;
    const std::string c(1, static_cast<char>(b));
    const bool blank = IsProfileBlank(b);
    // Around the "=" of a line.
    ProfileReader inner = Read("[s]\nk" + c + "=" + c + "v\n");
    EXPECT_EQ(inner.KeyNames("s"), (Names{blank ? "k" : "k" + c})) << b;
    EXPECT_EQ(inner.Value("s", blank ? "k" : "k" + c), blank ? "v" : c + "v") << b;
    // At both ends of a line; ";" there makes a comment, "[" only a key.
    ProfileReader outer = Read("[s]\n" + c + "k=v" + c + "\n");
    if (b == ';') {
      EXPECT_TRUE(outer.KeyNames("s").empty());
      continue;
    }
    EXPECT_EQ(outer.KeyNames("s"), (Names{blank ? "k" : c + "k"})) << b;
    EXPECT_EQ(outer.Value("s", blank ? "k" : c + "k"), blank ? "v" : "v" + c) << b;
  }
}

TEST(ProfileReaderTest, SectionAndKeyNamesFoldAsciiLettersOnly) {
  for (int b = 33; b < 127; ++b) {
    if (b == '=') continue;
    const std::string c(1, static_cast<char>(b));
    ProfileReader r = Read("[S" + c + "]\nk" + c + "=1\n");
    for (int d = 33; d < 127; ++d) {
      if (d == '=') continue;
      const std::string e(1, static_cast<char>(d));
      const bool same = b == d || (IsAsciiLetter(b) && IsAsciiLetter(d) && (b ^ d) == 0x20);
      ASSERT_EQ(r.Value("S" + e, "k" + c, "-"), same ? "1" : "-") << b << " " << d;
      ASSERT_EQ(r.Value("S" + c, "k" + e, "-"), same ? "1" : "-") << b << " " << d;
    }
  }
  ProfileReader cyrillic = Read("[s]\nПривет=1\nÀ=2\n");
  EXPECT_EQ(cyrillic.Value("s", "ПРИВЕТ", "-"), "-");
  EXPECT_EQ(cyrillic.Value("s", "à", "-"), "-");
  EXPECT_EQ(cyrillic.Value("s", "Привет", "-"), "1");
}

TEST(ProfileReaderTest, TheValueLimitCountsBytesOfMultiByteText) {
  std::string ya;
  for (int i = 0; i < 1023; ++i) ya += "Я";  // 2,046 bytes
  ProfileReader r = Read("[s]\nfits=" + ya + "a\nover=" + ya + "Я\n");
  EXPECT_EQ(r.Value("s", "fits"), ya + "a");      // 2,047 bytes come back whole
  // 2,048 bytes do not; the last character does not fit whole and goes.
  EXPECT_EQ(r.Value("s", "over"), ya);
}

}  // namespace
}  // namespace tessaline
