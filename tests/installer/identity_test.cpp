// The installer's identity: placeholders until the installer module starts,
// the pack's own values from then on, and nothing left after its shut-down;
// the text of the identity resource, and the titles and numbers a pack may
// have.
#include "installer/identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/exception.h"

namespace tessaline {
namespace {

// Other tests of this program start the identity module, so the placeholders
// are read in a fresh run of this test alone.
TEST(IdentityTest, PlaceholdersUntilStartUpThePacksValuesAfterItNothingAfterShutDown) {
  if (std::getenv("TESSALINE_IDENTITY_ALONE") == nullptr) {
    const std::string child = "TESSALINE_IDENTITY_ALONE=1 /proc/" + std::to_string(::getpid()) +
                              "/exe --gtest_filter=IdentityTest.* >/dev/null 2>&1";
    EXPECT_EQ(std::system(child.c_str()), 0) << child;
    return;
  }
  EXPECT_EQ(PackNo, 0);
  EXPECT_EQ(PackName, "Pack x");
  EXPECT_EQ(PackNameCyr, "Карты х");
  InstallerStartup({12, "Kestrel", "Пустельга"});
  EXPECT_EQ(PackNo, 12);
  EXPECT_EQ(PackName, "Kestrel");
  EXPECT_EQ(PackNameCyr, "Пустельга");
  InstallerShutdown();
  EXPECT_TRUE(PackName.empty());
  EXPECT_TRUE(PackNameCyr.empty());
  // Shutting down twice, or before any start-up, is harmless.
  InstallerShutdown();
  EXPECT_TRUE(PackName.empty());
}

TEST(IdentityTextTest, TitlesAndNumbers) {
  struct Title {
    std::string title;
    std::string as_title;           // TitleProblem(title, true)
    std::string as_cyrillic_title;  // TitleProblem(title, false)
  };
  const std::string too_long = std::string(kMaxTitleBytes - 1, 'a') + "я";  // 252 bytes
  const std::vector<Title> titles = {
      {"Tessaline", "", ""},
      {"Тесселин", "", ""},
      {" spaced  out ", "", ""},
      {std::string(kMaxTitleBytes, 'k'), "", ""},
      {"", "it is empty", "it is empty"},
      {"a/b", "it holds a \"/\" (the title names the pack file)", ""},
      {too_long, "it is longer than 251 bytes (the title names the pack file)", ""},
      {std::string("nul\0inside", 10), "it holds a NUL", "it holds a NUL"},
      {"line\nbreak", "it holds a control character", "it holds a control character"},
      {"del\x7f", "it holds a control character", "it holds a control character"},
      {"caf\xe9", "it is not UTF-8", "it is not UTF-8"},
  };
  for (const Title& t : titles) {
    EXPECT_EQ(TitleProblem(t.title, true), t.as_title) << t.title;
    EXPECT_EQ(TitleProblem(t.title, false), t.as_cyrillic_title) << t.title;
  }
  const std::vector<std::pair<std::string, std::optional<std::int32_t>>> numbers = {
      {"1", 1},
      {"2147483647", 2147483647},
      {"007", 7},
      {"0", std::nullopt},
      {"", std::nullopt},
      {"2147483648", std::nullopt},
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {" 1", std::nullopt},
      {"1e3", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& [text, number] : numbers) EXPECT_EQ(ParsePackNumber(text), number) << text;
}

TEST(IdentityTextTest, TheTextReadsBackAndAnythingElseIsDamaged) {
  const PackIdentity kestrel{2147483647, " Kestrel ", "Пустельга=птица"};
  const std::string text = IdentityText(kestrel);
  EXPECT_EQ(text, "Number=2147483647\nCyrillicTitle=Пустельга=птица\nTitle= Kestrel \n");
  const PackIdentity read = ParseIdentityText(text);
  EXPECT_EQ(read.number, kestrel.number);
  EXPECT_EQ(read.name, kestrel.name);
  EXPECT_EQ(read.cyrillic_name, kestrel.cyrillic_name);

  const std::vector<std::pair<std::string, std::string>> damaged = {
      {"", "line 1 is missing"},
      {"Number=1\nCyrillicTitle=Т\nTitle=T", "line 3 is missing"},
      {"Number=1\nCyrillicTitle=Т\nTitle=T\n\n", "it goes on after its three lines"},
      {"Number=1\r\nCyrillicTitle=Т\nTitle=T\n", "the number is not 1 to 2147483647"},
      {"Title=T\nCyrillicTitle=Т\nNumber=1\n", "line 1 is not Number=..."},
      {"number=1\nCyrillicTitle=Т\nTitle=T\n", "line 1 is not Number=..."},
      {"Number 1\nCyrillicTitle=Т\nTitle=T\n", "line 1 is not Number=..."},
      {"Number=01\nCyrillicTitle=Т\nTitle=T\n", "the number is not 1 to 2147483647"},
      {"Number=0\nCyrillicTitle=Т\nTitle=T\n", "the number is not 1 to 2147483647"},
      {"Number=1\nCyrillicTitle=\nTitle=T\n", "CyrillicTitle: it is empty"},
      {"Number=1\nCyrillicTitle=Т\nTitle=a/b\n", "Title: it holds a \"/\""},
      {"Number=1\nCyrillicTitle=Т\nTitle=T\r\n", "Title: it holds a control character"},
  };
  for (const auto& [bad, what] : damaged) {
    try {
      ParseIdentityText(bad);
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind("The pack identity is damaged: " + what, 0), 0u)
          << e.what();
    }
  }
}

// This test program carries no identity resource.
TEST(IdentityTextTest, AProgramWithoutItsIdentityIsToldSo) {
  try {
    ProgramIdentity();
    ADD_FAILURE() << "an identity was found";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "This program carries no pack identity: Resource IDENTITY not found");
  }
}

}  // namespace
}  // namespace tessaline
