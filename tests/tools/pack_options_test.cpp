// tessaline-pack's command line: each form of an option, help and version,
// and every mistake with its message.
#include "tessaline_pack/pack_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaline {
namespace {

using Mode = PackOptions::Mode;

const std::vector<std::string> kComplete = {
    "--sheet", "s.png", "--title", "T", "--cyrillic-title", "Т", "--number", "7", "--output", "o"};

std::vector<std::string> With(std::vector<std::string> arguments,
                              const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

TEST(PackOptionsTest, ValuesFollowTheirOptionOrAnEqualsSign) {
  PackOptions options = ParsePackOptions(kComplete);
  ASSERT_EQ(options.mode, Mode::kMake) << options.error;
  EXPECT_EQ(options.sheet, "s.png");
  EXPECT_EQ(options.title, "T");
  EXPECT_EQ(options.cyrillic_title, "Т");
  EXPECT_EQ(options.number, "7");
  EXPECT_EQ(options.output, "o");
  EXPECT_EQ(options.base, "");

  options = ParsePackOptions({"--output=o=p", "--number=", "--base", "--title", "--title=--sheet",
                              "--sheet", "-", "--cyrillic-title", ""});
  ASSERT_EQ(options.mode, Mode::kMake) << options.error;
  EXPECT_EQ(options.output, "o=p");
  EXPECT_EQ(options.number, "");  // checked, and refused, when the pack is made
  EXPECT_EQ(options.base, "--title");
  EXPECT_EQ(options.title, "--sheet");
  EXPECT_EQ(options.sheet, "-");
  EXPECT_EQ(options.cyrillic_title, "");
}

TEST(PackOptionsTest, HelpVersionAndMistakes) {
  struct Case {
    std::vector<std::string> arguments;
    Mode mode;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"--help"}, Mode::kHelp, ""},
      {{"-h"}, Mode::kHelp, ""},
      {{"--version"}, Mode::kVersion, ""},
      {{}, Mode::kError, "--sheet is needed"},
      {{"--help", "--version"}, Mode::kError, "unknown argument '--help'"},
      {With(kComplete, {"--help"}), Mode::kError, "unknown argument '--help'"},
      {With(kComplete, {"extra"}), Mode::kError, "unknown argument 'extra'"},
      {With(kComplete, {"--title", "U"}), Mode::kError, "--title is given twice"},
      {With(kComplete, {"--base=a", "--base=b"}), Mode::kError, "--base is given twice"},
      {With(kComplete, {"--base"}), Mode::kError, "--base needs a value"},
      {{kComplete.begin(), kComplete.end() - 2}, Mode::kError, "--output is needed"},
      {{kComplete.begin() + 2, kComplete.end()}, Mode::kError, "--sheet is needed"},
  };
  for (const Case& c : cases) {
    const PackOptions options = ParsePackOptions(c.arguments);
    EXPECT_EQ(options.mode, c.mode) << c.error;
    EXPECT_EQ(options.error, c.error);
  }
  EXPECT_NE(PackUsageText().find("--cyrillic-title TEXT"), std::string::npos);
}

}  // namespace
}  // namespace tessaline
